// Projection and drawing helpers shared by the scenes: the standard perspective, a bracket for
// 2-D drawing in screen-sized coordinates, a coarse random value and three wire-frame shapes.
// Everything works on the current rendering context and keeps no state of its own.
#pragma once

#include <cstdint>

namespace ostrel {

// A point of the plane, as the helpers hand it to glVertex.
struct Point2f {
    float x;
    float y;
};
struct Point3f {
    float x;
    float y;
    float z;
};

// 45 degrees, fixed 16:9, near 0.01, far 10000; model-view reset to identity.
void setPerspective();
// 2-D drawing with x 0..width left to right and y 0..height bottom to top, depth testing off.
void beginOrtho(int32_t width, int32_t height);
// Undoes beginOrtho and restores the standard perspective and an identity model-view.
void endOrtho();

// (rand() % 25000) * 0.00004: a multiple of 0.00004 in [0, 0.99996].
double randomUnit();

// Lines on the six faces of a cube of edge size centred on the origin; inside glBegin(GL_LINES).
void drawWireCubeGrid(float size);
// A horizontal circle of segments lines at height y; inside glBegin(GL_LINES).
void drawCircleXZ(float cx, float y, float cz, float radius, int32_t segments);
// A ten-sided outline in the current colour; brackets its own glBegin(GL_LINES).
void drawRing2D(float x, float y, float radius);

// The vertex arithmetic of the shapes above, without GL, so that it can be checked on its own.
// Position number `index` of the cube grid (-h + index * step, accumulated in single precision).
float cubeGridPosition(float size, int32_t index);
// Point i of drawCircleXZ (0 <= i <= segments).
Point3f circleXZPoint(float cx, float y, float cz, float radius, int32_t segments, int32_t i);
// Point i of drawRing2D (0 <= i <= 10).
Point2f ringPoint(float x, float y, float radius, int32_t i);

} // namespace ostrel
