// The drawing helpers on real OpenGL: the vertices they send, read back through feedback mode,
// and the matrices and state that the projection helpers and the schedule's setup leave.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/gl.h"
#include "tests/visuals/osmesa_context.h"
#include "visuals/closing_scene.h"
#include "visuals/draw.h"
#include "visuals/scene.h"

namespace ostrel {
namespace {

struct Vertex {
    float x, y, z;
};
struct Segment {
    Vertex from, to;
};

// Runs draw() in feedback mode and returns the line segments it produced, in window
// coordinates (x, y in pixels, z in depth 0..1).
std::vector<Segment> feedbackSegments(void (*draw)()) {
    static GLfloat buffer[1 << 16];
    glFeedbackBuffer(static_cast<GLsizei>(sizeof buffer / sizeof buffer[0]), GL_3D, buffer);
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<Segment> segments;
    for (GLint at = 0; at < used;) {
        const auto token = static_cast<GLenum>(buffer[at]);
        EXPECT_TRUE(token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) << token;
        if (token != GL_LINE_TOKEN && token != GL_LINE_RESET_TOKEN) {
            break;
        }
        segments.push_back(Segment{{buffer[at + 1], buffer[at + 2], buffer[at + 3]},
                                   {buffer[at + 4], buffer[at + 5], buffer[at + 6]}});
        at += 7;
    }
    return segments;
}

// Window pixels equal 2-D scene coordinates: the scene's own 1280 x 720 orthographic area.
void pixelProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, testgl::width, 0, testgl::height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// For the 3-D shapes: a box of +-100 on every axis, mapped back from window coordinates.
void boxProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-100, 100, -100, 100, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
Vertex fromBoxWindow(const Vertex& w) {
    return Vertex{w.x / testgl::width * 200.0f - 100.0f, w.y / testgl::height * 200.0f - 100.0f,
                  -(2.0f * w.z - 1.0f) * 100.0f};
}

void expectVertex(const Vertex& got, float x, float y, float z, float tolerance) {
    EXPECT_NEAR(got.x, x, tolerance);
    EXPECT_NEAR(got.y, y, tolerance);
    EXPECT_NEAR(got.z, z, tolerance);
}

void expectMatrix(GLenum which, const double (&expected)[16], double tolerance) {
    GLdouble m[16];
    glGetDoublev(which, m);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(m[i], expected[i], tolerance) << "element " << i;
    }
}

constexpr double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// gluPerspective(45, 1.7777778, 0.01f, 10000) worked out by hand, column-major.
void standardPerspective(double (&m)[16]) {
    const double f = 1.0 / std::tan(22.5 * 3.14159265358979323846 / 180.0);
    const double nearPlane = 0.01f;
    const double farPlane = 10000.0;
    for (double& v : m) {
        v = 0;
    }
    m[0] = f / 1.7777778;
    m[5] = f;
    m[10] = (farPlane + nearPlane) / (nearPlane - farPlane);
    m[11] = -1;
    m[14] = 2 * farPlane * nearPlane / (nearPlane - farPlane);
}

GLint stackDepth(GLenum which) {
    GLint depth = 0;
    glGetIntegerv(which, &depth);
    return depth;
}

class GlHelpersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(testgl::makeCurrent());
        testgl::resetFrameState();
    }
};

TEST_F(GlHelpersTest, RingIsTenSegmentsEachFromTheNextPointBackToThePrevious) {
    pixelProjection();
    const std::vector<Segment> segments = feedbackSegments([] { drawRing2D(640, 360, 10); });
    ASSERT_EQ(segments.size(), 10u);
    // Segment 0 joins P(1) (angle 0.628...) to P(0) (angle 0): (648.09017, 365.87785) -> (650, 360)
    expectVertex(segments[0].from, 648.09017f, 365.87785f, 0.5f, 2e-3f);
    expectVertex(segments[0].to, 650.0f, 360.0f, 0.5f, 2e-3f);
    for (int32_t i = 1; i <= 10; ++i) {
        const Point2f p = ringPoint(640, 360, 10, i);
        const Point2f q = ringPoint(640, 360, 10, i - 1);
        expectVertex(segments[i - 1].from, p.x, p.y, 0.5f, 2e-3f);
        expectVertex(segments[i - 1].to, q.x, q.y, 0.5f, 2e-3f);
    }
}

TEST_F(GlHelpersTest, CircleXZEmitsSegmentsFromEachPointBackToThePrevious) {
    boxProjection();
    const std::vector<Segment> segments = feedbackSegments([] {
        glBegin(GL_LINES);
        drawCircleXZ(10, 5, -10, 40, 4);
        glEnd();
    });
    ASSERT_EQ(segments.size(), 4u);
    // points: P0 (50, 5, -10), P1 (10, 5, 30), P2 (-30, 5, -10), P3 (10, 5, -50), P4 ~ P0
    const float expected[5][3] = {
        {50, 5, -10}, {10, 5, 30}, {-30, 5, -10}, {10, 5, -50}, {50, 5, -10}};
    for (int i = 1; i <= 4; ++i) {
        const Vertex from = fromBoxWindow(segments[i - 1].from);
        const Vertex to = fromBoxWindow(segments[i - 1].to);
        expectVertex(from, expected[i][0], expected[i][1], expected[i][2], 1e-2f);
        expectVertex(to, expected[i - 1][0], expected[i - 1][1], expected[i - 1][2], 1e-2f);
    }
}

TEST_F(GlHelpersTest, CircleXZWithoutSegmentsEmitsNothing) {
    boxProjection();
    EXPECT_TRUE(feedbackSegments([] {
                    glBegin(GL_LINES);
                    drawCircleXZ(0, 0, 0, 10, 0);
                    drawCircleXZ(0, 0, 0, 10, -3);
                    glEnd();
                }).empty());
}

TEST_F(GlHelpersTest, CubeGridDrawsTwelveSegmentsAtEachOfSixteenPositions) {
    boxProjection();
    const std::vector<Segment> segments = feedbackSegments([] {
        glBegin(GL_LINES);
        drawWireCubeGrid(64);
        glEnd();
    });
    ASSERT_EQ(segments.size(), 16u * 12u);
    const float h = 32;
    for (int32_t n = 0; n < 16; ++n) {
        const float p = -32 + 4.0f * n; // -32, -28, ..., 28: never +32
        // The twelve segments of one position, as (from, to):
        const float table[12][6] = {
            {-h, -h, p, -h, h, p}, {-h, p, -h, -h, p, h}, // face x = -h
            {h, -h, p, h, h, p},   {h, p, -h, h, p, h},   // face x = h
            {-h, -h, p, h, -h, p}, {p, -h, -h, p, -h, h}, // face y = -h
            {-h, h, p, h, h, p},   {p, h, -h, p, h, h},   // face y = h
            {-h, p, -h, h, p, -h}, {p, -h, -h, p, h, -h}, // face z = -h
            {-h, p, h, h, p, h},   {p, -h, h, p, h, h},   // face z = h
        };
        for (int32_t s = 0; s < 12; ++s) {
            const Segment& got = segments[static_cast<size_t>(12 * n + s)];
            SCOPED_TRACE(testing::Message() << "position " << n << " segment " << s + 1);
            const Vertex from = fromBoxWindow(got.from);
            const Vertex to = fromBoxWindow(got.to);
            expectVertex(from, table[s][0], table[s][1], table[s][2], 1e-2f);
            expectVertex(to, table[s][3], table[s][4], table[s][5], 1e-2f);
        }
    }
}

TEST_F(GlHelpersTest, BeginOrthoSetsUpTheScreenAreaAndPushesBothStacks) {
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, 3);
    const GLint modelviewDepth = stackDepth(GL_MODELVIEW_STACK_DEPTH);
    const GLint projectionDepth = stackDepth(GL_PROJECTION_STACK_DEPTH);
    beginOrtho(1280, 720);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(stackDepth(GL_MODELVIEW_STACK_DEPTH), modelviewDepth + 1);
    EXPECT_EQ(stackDepth(GL_PROJECTION_STACK_DEPTH), projectionDepth + 1);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    expectMatrix(GL_MODELVIEW_MATRIX, identity, 0);
    // glOrtho(0, 1280, 0, 720, 0, 1)
    const double ortho[16] = {2.0 / 1280, 0, 0, 0, 0, 2.0 / 720, 0, 0, 0, 0, -2, 0, -1, -1, -1, 1};
    expectMatrix(GL_PROJECTION_MATRIX, ortho, 1e-7);
    endOrtho();
}

TEST_F(GlHelpersTest, EndOrthoRestoresStackDepthsAndTheStandardPerspective) {
    glMatrixMode(GL_PROJECTION);
    glOrtho(-5, 5, -5, 5, -5, 5); // whatever the caller had: endOrtho replaces it
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, 3);
    const GLint modelviewDepth = stackDepth(GL_MODELVIEW_STACK_DEPTH);
    const GLint projectionDepth = stackDepth(GL_PROJECTION_STACK_DEPTH);
    beginOrtho(1280, 720);
    endOrtho();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(stackDepth(GL_MODELVIEW_STACK_DEPTH), modelviewDepth);
    EXPECT_EQ(stackDepth(GL_PROJECTION_STACK_DEPTH), projectionDepth);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    expectMatrix(GL_MODELVIEW_MATRIX, identity, 0);
    double perspective[16];
    standardPerspective(perspective);
    expectMatrix(GL_PROJECTION_MATRIX, perspective, 1e-5);
}

TEST_F(GlHelpersTest, SetPerspectiveLoadsTheFixedSixteenByNineProjection) {
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(4, 5, 6);
    setPerspective();
    double perspective[16];
    standardPerspective(perspective);
    expectMatrix(GL_PROJECTION_MATRIX, perspective, 1e-5);
    expectMatrix(GL_MODELVIEW_MATRIX, identity, 0);
}

int swapCount = 0;
void countSwap() {
    ++swapCount;
}

TEST_F(GlHelpersTest, SetupScheduleRegistersTheSceneAndShowsOneClearedFrame) {
    sceneSchedule = {};
    swapCount = 0;
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.078431375f, 0.06666667f, 0.3882353f, 0.0f);
    EXPECT_EQ(setupSchedule(countSwap), 0); // no start callback
    EXPECT_EQ(swapCount, 1);
    EXPECT_EQ(testgl::pixelAt(640, 360), (testgl::Rgba{20, 17, 99, 0}));
    EXPECT_STREQ(sceneSchedule.scene.name, "Start");
    EXPECT_EQ(sceneSchedule.scene.start, 0.0f);
    EXPECT_EQ(sceneSchedule.scene.end, 60.0f);
    EXPECT_EQ(sceneSchedule.scene.onStart, nullptr);
    EXPECT_EQ(sceneSchedule.scene.onProgress, &drawClosingScene);
    EXPECT_EQ(sceneSchedule.scene.onEnd, nullptr);
    double perspective[16];
    standardPerspective(perspective);
    expectMatrix(GL_PROJECTION_MATRIX, perspective, 1e-5);
}

} // namespace
} // namespace ostrel
