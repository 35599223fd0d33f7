// Text through display lists: the list handling of drawText2D and drawText3D with lists made
// here, and the Linux font build's two families on the software renderer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/fonts.h"
#include "platform/gl.h"
#include "tests/visuals/osmesa_context.h"
#include "visuals/text.h"

namespace ostrel {
namespace {

void pixelProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, testgl::width, 0, testgl::height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

float rasterX() {
    GLfloat position[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
    return position[0];
}

GLint listBase() {
    GLint base = -1;
    glGetIntegerv(GL_LIST_BASE, &base);
    return base;
}

float modelviewTranslation(int axis) {
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    return m[12 + axis];
}

class TextListsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(testgl::makeCurrent());
        testgl::resetFrameState();
        savedBitmapBase = bitmapBase;
        savedOutlineBase = outlineBase;
    }
    void TearDown() override {
        bitmapBase = savedBitmapBase;
        outlineBase = savedOutlineBase;
    }
    uint32_t savedBitmapBase = 0;
    uint32_t savedOutlineBase = 0;
};

TEST_F(TextListsTest, EmptyTextLeavesTheListBaseAsFound) {
    glListBase(7);
    drawText2D(10, 10, "");
    EXPECT_EQ(listBase(), 7);
    drawText2D(10, 10, "The End :(");
    EXPECT_EQ(listBase(), 7);
}

TEST_F(TextListsTest, CodesOutsideTheBitmapRangeAreSkipped) {
    // 400 lists: the 96 of the fake bitmap font move the raster position on by 1 pixel, every
    // list around them by 100, so a call outside the range shows in the final position.
    const GLuint lists = glGenLists(400);
    for (GLuint n = 0; n < 400; ++n) {
        const bool glyph = n >= 100 && n < 196;
        glNewList(lists + n, GL_COMPILE);
        const GLubyte empty[4] = {0, 0, 0, 0};
        glBitmap(1, 1, 0, 0, glyph ? 1.0f : 100.0f, 0, empty);
        glEndList();
    }
    bitmapBase = lists + 100;
    pixelProjection();
    // text -> raster x after drawing from x 10
    //   "AB"                          12 (two glyphs)
    //   "\x01" "A" "\x7f" "\x80" "\xff" "\x1f" " "   13 (A, DEL, space)
    drawText2D(10.0f, 10.0f, "AB");
    EXPECT_EQ(rasterX(), 12.0f);
    drawText2D(10.0f, 10.0f,
               "\x01"
               "A"
               "\x7f"
               "\x80"
               "\xff"
               "\x1f"
               " ");
    EXPECT_EQ(rasterX(), 13.0f);
    // A long text goes through in pieces, none lost.
    std::string longText(300, 'x');
    longText[150] = '\x90';
    drawText2D(10.0f, 10.0f, longText.c_str());
    EXPECT_EQ(rasterX(), 309.0f);
    glDeleteLists(lists, 400);
}

TEST_F(TextListsTest, Text3DMovesOnByTheAdvancesAndUndoesOnlyTheFixedOffset) {
    // Every fake outline glyph advances by 0.5 along x.
    const GLuint lists = glGenLists(256);
    for (GLuint n = 0; n < 256; ++n) {
        glNewList(lists + n, GL_COMPILE);
        glTranslatef(0.5f, 0, 0);
        glEndList();
    }
    outlineBase = lists;
    glListBase(3);
    drawText3D("abc");
    EXPECT_FLOAT_EQ(modelviewTranslation(0), 1.5f);
    EXPECT_NEAR(modelviewTranslation(1), 0.0f, 1e-6);
    EXPECT_EQ(listBase(), 3);
    // A second call continues where the first text ended.
    drawText3D("de");
    EXPECT_FLOAT_EQ(modelviewTranslation(0), 2.5f);
    glDeleteLists(lists, 256);
}

TEST_F(TextListsTest, DeleteFontsReleasesBothRanges) {
    const GLuint bitmaps = glGenLists(96);
    const GLuint outlines = glGenLists(256);
    glNewList(bitmaps + 95, GL_COMPILE);
    glEndList();
    glNewList(outlines + 0, GL_COMPILE);
    glEndList();
    bitmapBase = bitmaps;
    outlineBase = outlines;
    deleteFonts();
    EXPECT_FALSE(glIsList(bitmaps + 95));
    EXPECT_FALSE(glIsList(outlines));
}

// The real font build, once per program.
class BuiltFontsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(testgl::makeCurrent());
        static bool built = false;
        if (!built) {
            EXPECT_EQ(platform::buildFonts(nullptr, "Comic Sans MS", &bitmapBase, &outlineBase), 1);
            built = true;
        }
    }
    void SetUp() override {
        ASSERT_TRUE(testgl::makeCurrent());
        testgl::resetFrameState();
    }
    // Lit rows of a single bitmap glyph drawn in white at (200, 300): lowest and highest.
    static void glyphRows(const char* glyph, int32_t* low, int32_t* high) {
        pixelProjection();
        glColor3f(1, 1, 1);
        drawText2D(200.0f, 300.0f, glyph);
        *low = testgl::height;
        *high = -1;
        for (int32_t y = 150; y < 450; ++y) {
            for (int32_t x = 150; x < 350; ++x) {
                if (testgl::pixelAt(x, y).r == 255) {
                    *low = std::min(*low, y);
                    *high = std::max(*high, y);
                }
            }
        }
    }
};

TEST_F(BuiltFontsTest, ListsExistForTheWholeBitmapRangeAndOutlineCodesUpTo254) {
    EXPECT_NE(bitmapBase, 0u);
    EXPECT_NE(outlineBase, 0u);
    EXPECT_TRUE(glIsList(bitmapBase));
    EXPECT_TRUE(glIsList(bitmapBase + 95));
    EXPECT_TRUE(glIsList(outlineBase));
    EXPECT_TRUE(glIsList(outlineBase + 254));
    // Code 254 is a glyph that moves on; 255 is reserved but left empty: it does nothing.
    glCallList(outlineBase + 254);
    EXPECT_GT(modelviewTranslation(0), 0.2f);
    glLoadIdentity();
    glCallList(outlineBase + 255);
    EXPECT_EQ(modelviewTranslation(0), 0.0f);
}

TEST_F(BuiltFontsTest, BitmapGlyphsSitOnTheBaselineAndAdvance) {
    int32_t low = 0;
    int32_t high = 0;
    glyphRows("T", &low, &high);
    // A capital stands on the baseline (y 300) and, in a 90-pixel cell, is 40 to 75 tall.
    EXPECT_GE(low, 299);
    EXPECT_LE(low, 302);
    EXPECT_GE(high - low, 40);
    EXPECT_LE(high - low, 75);
    testgl::resetFrameState();
    glyphRows("g", &low, &high);
    EXPECT_LT(low, 290); // the descender goes below the baseline
    // Each glyph moves the raster position on by its advance; a space too.
    pixelProjection();
    drawText2D(200.0f, 300.0f, "T");
    const float afterT = rasterX();
    EXPECT_GT(afterT, 220.0f);
    EXPECT_LT(afterT, 280.0f);
    drawText2D(200.0f, 300.0f, "T T");
    EXPECT_GT(rasterX(), 2 * afterT - 200.0f);
}

TEST_F(BuiltFontsTest, OutlineGlyphIsFilledPolygonsInEmUnitsFollowedByItsAdvance) {
    // Project em units 1:1000 to pixels: (0, 0) at (100, 100).
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-0.1, 1.18, -0.1, 0.62, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    static GLfloat buffer[1 << 16];
    glFeedbackBuffer(static_cast<GLsizei>(sizeof buffer / sizeof buffer[0]), GL_2D, buffer);
    glRenderMode(GL_FEEDBACK);
    glCallList(outlineBase + 'H');
    const GLint used = glRenderMode(GL_RENDER);
    int32_t polygons = 0;
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (GLint at = 0; at < used;) {
        ASSERT_EQ(static_cast<GLenum>(buffer[at]), static_cast<GLenum>(GL_POLYGON_TOKEN));
        const auto n = static_cast<GLint>(buffer[at + 1]);
        ASSERT_EQ(n, 3); // the tessellator's triangles, clipped by nothing here
        for (GLint v = 0; v < n; ++v) {
            // Back to em units.
            const float x = buffer[at + 2 + 2 * v] / 1000.0f - 0.1f;
            const float y = buffer[at + 3 + 2 * v] / 1000.0f - 0.1f;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
        ++polygons;
        at += 2 + 2 * n;
    }
    EXPECT_GT(polygons, 4);
    // An H: from the baseline to the cap height (about 0.7 em), about half an em wide.
    EXPECT_NEAR(minY, 0.0f, 0.02f);
    EXPECT_GT(maxY, 0.55f);
    EXPECT_LT(maxY, 0.85f);
    EXPECT_GT(maxX - minX, 0.3f);
    EXPECT_LT(maxX - minX, 0.9f);
    // The list ends by moving on by the advance, a little more than the ink's width.
    glLoadIdentity();
    glCallList(outlineBase + 'H');
    EXPECT_GT(modelviewTranslation(0), maxX - 0.01f);
    EXPECT_LT(modelviewTranslation(0), 1.0f);
}

TEST_F(BuiltFontsTest, OutlineSpaceDrawsNothingButAdvances) {
    static GLfloat buffer[256];
    glFeedbackBuffer(256, GL_2D, buffer);
    glRenderMode(GL_FEEDBACK);
    glCallList(outlineBase + ' ');
    EXPECT_EQ(glRenderMode(GL_RENDER), 0);
    EXPECT_GT(modelviewTranslation(0), 0.1f);
}

} // namespace
} // namespace ostrel
