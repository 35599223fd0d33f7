// Projection and drawing helpers. Angles and products are formed in extended precision and each
// coordinate is rounded to single precision only as it is handed to GL, so the shapes come out
// the same whichever floating-point unit the build uses for plain doubles.
#include "visuals/draw.h"

#include <cmath>
#include <cstdlib>

#include "platform/gl.h"

namespace ostrel {

namespace {

// A little short of 2 pi: the last point of a full turn stops just before the first.
constexpr long double turn = 6.283184L;

} // namespace

void setPerspective() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // 0.01 as the single-precision value, widened.
    gluPerspective(45.0, 1.7777778, static_cast<double>(0.01f), 10000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void beginOrtho(int32_t width, int32_t height) {
    glDisable(GL_DEPTH_TEST);
    glPushMatrix(); // the caller's model-view matrix
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glPushMatrix();
    glOrtho(0.0, width, 0.0, height, 0.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void endOrtho() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    // Whatever the pops restored, the caller continues in the standard perspective.
    setPerspective();
}

double randomUnit() {
    return static_cast<double>(std::rand() % 25000) * 0.00004;
}

float cubeGridPosition(float size, int32_t index) {
    const float h = size * 0.5f;
    const float step = size * 0.0625f;
    // Accumulated pass by pass, as the drawing loop does, so the rounding matches it.
    float p = -h;
    for (int32_t n = 0; n < index; ++n) {
        p += step;
    }
    return p;
}

void drawWireCubeGrid(float size) {
    const float h = size * 0.5f;
    const float step = size * 0.0625f;
    float p = -h;
    for (int32_t n = 0; n < 16; ++n) {
        glVertex3f(-h, -h, p);
        glVertex3f(-h, h, p);
        glVertex3f(-h, p, -h);
        glVertex3f(-h, p, h);
        glVertex3f(h, -h, p);
        glVertex3f(h, h, p);
        glVertex3f(h, p, -h);
        glVertex3f(h, p, h);
        glVertex3f(-h, -h, p);
        glVertex3f(h, -h, p);
        glVertex3f(p, -h, -h);
        glVertex3f(p, -h, h);
        glVertex3f(-h, h, p);
        glVertex3f(h, h, p);
        glVertex3f(p, h, -h);
        glVertex3f(p, h, h);
        glVertex3f(-h, p, -h);
        glVertex3f(h, p, -h);
        glVertex3f(p, -h, -h);
        glVertex3f(p, h, -h);
        glVertex3f(-h, p, h);
        glVertex3f(h, p, h);
        glVertex3f(p, -h, h);
        glVertex3f(p, h, h);
        p += step;
    }
}

Point3f circleXZPoint(float cx, float y, float cz, float radius, int32_t segments, int32_t i) {
    const long double theta = turn * i / segments;
    return Point3f{static_cast<float>(cx + radius * std::cos(theta)), y,
                   static_cast<float>(cz + radius * std::sin(theta))};
}

void drawCircleXZ(float cx, float y, float cz, float radius, int32_t segments) {
    if (segments <= 0) {
        return;
    }
    Point3f previous = circleXZPoint(cx, y, cz, radius, segments, 0);
    for (int32_t i = 1; i <= segments; ++i) {
        const Point3f point = circleXZPoint(cx, y, cz, radius, segments, i);
        glVertex3f(point.x, point.y, point.z);
        glVertex3f(previous.x, previous.y, previous.z);
        previous = point;
    }
}

Point2f ringPoint(float x, float y, float radius, int32_t i) {
    // The fraction of the turn is rounded to single precision before it is scaled.
    const float fraction = static_cast<float>(0.1 * i);
    const long double theta = fraction * turn;
    return Point2f{static_cast<float>(x + radius * std::cos(theta)),
                   static_cast<float>(y + radius * std::sin(theta))};
}

void drawRing2D(float x, float y, float radius) {
    glBegin(GL_LINES);
    Point2f previous = ringPoint(x, y, radius, 0);
    for (int32_t i = 1; i <= 10; ++i) {
        const Point2f point = ringPoint(x, y, radius, i);
        glVertex2f(point.x, point.y);
        glVertex2f(previous.x, previous.y);
        previous = point;
    }
    glEnd();
}

} // namespace ostrel
