// Whole closing-scene frames at 1280 x 720 on the software renderer: where the picture, the
// rings, the lines and the text end up, and what state the scene leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

#include "assets/assets.h"

#include "platform/fonts.h"
#include "platform/gl.h"
#include "tests/visuals/osmesa_context.h"
#include "visuals/closing_scene.h"
#include "visuals/draw.h"
#include "visuals/picture.h"
#include "visuals/text.h"

namespace ostrel {
namespace {

using testgl::pixelAt;
using testgl::Rgba;

constexpr Rgba background{20, 17, 99, 0};
constexpr Rgba ringWhite{255, 255, 255, 0};
constexpr Rgba lineGreen{32, 221, 32, 0};

bool sameColour(const Rgba& a, const Rgba& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

class ClosingFrameTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(testgl::makeCurrent());
        static bool fontsBuilt = false;
        if (!fontsBuilt) {
            EXPECT_EQ(platform::buildFonts(nullptr, "Comic Sans MS", &bitmapBase, &outlineBase), 1);
            fontsBuilt = true;
        }
    }
    // As on the scene's first frame of the run: nothing decoded or seeded, rand() unseeded.
    void SetUp() override {
        ASSERT_TRUE(testgl::makeCurrent());
        std::free(closingScene.picture);
        closingScene = {};
        std::srand(1);
    }
    // One frame as the program draws it: frame state, the schedule's matrix bracket, the scene.
    static void renderAt(float progress) {
        testgl::resetFrameState();
        setPerspective();
        glPushMatrix();
        drawClosingScene(progress);
        glPopMatrix();
        glFinish();
    }
    // How far (x, y) is from the outline of the nearest ring at this progress.
    static float distanceToRings(float progress, int32_t x, int32_t y) {
        float best = 1e9f;
        for (const RisingRing& ring : closingScene.rings) {
            const Point2f c = risingRingCentre(ring, progress);
            const float d = std::fabs(std::hypot(x + 0.5f - c.x, y + 0.5f - c.y) - ring.radius);
            best = std::fmin(best, d);
        }
        return best;
    }
    // White pixels in the text's box that no ring explains.
    static int32_t textPixels(float progress, Rgba colour, int32_t tolerance) {
        int32_t count = 0;
        for (int32_t y = 300; y < 440; ++y) {
            for (int32_t x = 420; x < 960; ++x) {
                const Rgba p = pixelAt(x, y);
                if (std::abs(p.r - colour.r) <= tolerance &&
                    std::abs(p.g - colour.g) <= tolerance &&
                    std::abs(p.b - colour.b) <= tolerance && distanceToRings(progress, x, y) > 3) {
                    ++count;
                }
            }
        }
        return count;
    }
};

TEST_F(ClosingFrameTest, FirstFrameDecodesThePictureAndSeedsRingsThenLines) {
    renderAt(0.5f);
    ASSERT_EQ(closingScene.initialised, 1);
    ASSERT_NE(closingScene.picture, nullptr);
    // The seeding order: all rings (six draws each), then all lines (six draws each).
    std::srand(1);
    RisingRing firstRing{};
    seedRisingRing(&firstRing);
    for (int32_t n = 1; n < risingRingCount; ++n) {
        RisingRing skipped{};
        seedRisingRing(&skipped);
    }
    WavyLine firstLine{};
    seedWavyLine(&firstLine);
    EXPECT_EQ(std::memcmp(&closingScene.rings[0], &firstRing, sizeof firstRing), 0);
    EXPECT_EQ(std::memcmp(&closingScene.lines[0], &firstLine, sizeof firstLine), 0);
}

TEST_F(ClosingFrameTest, PictureCellsShowTheirColoursInTheBottomLeftArea) {
    renderAt(0.5f);
    // At 0.5 rows 21..41 are not yet subject to the rules: their colours are as decoded. The
    // inner pixel (4 col + 1, 169 - 4 row) of each cell is lit in the pixel's colour, unless a
    // ring or a line is drawn over it.
    const uint8_t* picture = closingScene.picture;
    int32_t checked = 0;
    for (int32_t row = 21; row < pictureHeight; ++row) {
        for (int32_t col = 0; col < pictureWidth; ++col) {
            const uint8_t* p = picture + 3 * (pictureWidth * row + col);
            const Rgba got = pixelAt(4 * col + 1, 169 - 4 * row);
            if (sameColour(got, ringWhite) || sameColour(got, lineGreen)) {
                continue;
            }
            const Rgba expected = p[0] == 0 ? background : Rgba{p[0], p[1], p[2], 0};
            ASSERT_TRUE(sameColour(got, expected)) << "col " << col << " row " << row;
            ++checked;
        }
    }
    EXPECT_GT(checked, 2500);
}

TEST_F(ClosingFrameTest, OutsideThePictureAreaOnlyBackgroundRingsAndLines) {
    renderAt(0.5f);
    for (int32_t y = 0; y < testgl::height; ++y) {
        for (int32_t x = 0; x < testgl::width; ++x) {
            if (x < 604 && y < 173) {
                continue; // the picture's cells, with the points' smoothing spill
            }
            const Rgba p = pixelAt(x, y);
            ASSERT_TRUE(sameColour(p, background) || sameColour(p, ringWhite) ||
                        sameColour(p, lineGreen))
                << x << ", " << y;
        }
    }
}

TEST_F(ClosingFrameTest, RingsAreWhiteOutlinesAtTheirCentres) {
    renderAt(0.5f);
    int32_t onScreen = 0;
    for (const RisingRing& ring : closingScene.rings) {
        const Point2f c = risingRingCentre(ring, 0.5f);
        if (c.x - ring.radius < 2 || c.x + ring.radius > 1277 || c.y - ring.radius < 180 ||
            c.y + ring.radius > 717) {
            continue; // partly off screen, or where the lines and picture may cover it
        }
        ++onScreen;
        // The outline passes through P(0) = (x + radius, y); the centre stays background.
        bool white = false;
        const auto px = static_cast<int32_t>(c.x + ring.radius);
        const auto py = static_cast<int32_t>(c.y);
        for (int32_t dy = -1; dy <= 1; ++dy) {
            for (int32_t dx = -1; dx <= 1; ++dx) {
                white = white || sameColour(pixelAt(px + dx, py + dy), ringWhite);
            }
        }
        EXPECT_TRUE(white) << "ring at " << c.x << ", " << c.y;
    }
    EXPECT_GT(onScreen, 10);
}

TEST_F(ClosingFrameTest, WavyLinesAreGreenAlongTheBottom) {
    renderAt(0.5f);
    for (const WavyLine& line : closingScene.lines) {
        // Halfway between points 1 and 2 of the strip.
        const Point2f a = wavyLinePoint(line, 0.5f, 1);
        const Point2f b = wavyLinePoint(line, 0.5f, 2);
        const auto mx = static_cast<int32_t>((a.x + b.x) / 2);
        const auto my = static_cast<int32_t>((a.y + b.y) / 2);
        bool green = false;
        for (int32_t dy = -2; dy <= 2; ++dy) {
            for (int32_t dx = -2; dx <= 2; ++dx) {
                if (mx + dx >= 0 && mx + dx < testgl::width && my + dy >= 0) {
                    green = green || sameColour(pixelAt(mx + dx, my + dy), lineGreen);
                }
            }
        }
        EXPECT_TRUE(green) << "line at " << line.x;
    }
    // Nothing green above the tallest line (23 points, 7.9 apart: about 174 pixels).
    for (int32_t x = 0; x < testgl::width; ++x) {
        ASSERT_FALSE(sameColour(pixelAt(x, 200), lineGreen)) << x;
    }
}

TEST_F(ClosingFrameTest, NoTextAtHalfway) {
    renderAt(0.5f);
    EXPECT_EQ(textPixels(0.5f, ringWhite, 0), 0);
}

TEST_F(ClosingFrameTest, OpaqueTextNearTheMiddleLeftAt95Percent) {
    renderAt(0.95f);
    EXPECT_GT(textPixels(0.95f, ringWhite, 0), 800);
    // The text starts at about x 466 on the middle row y 360.
    int32_t leftmost = testgl::width;
    for (int32_t y = 300; y < 440; ++y) {
        for (int32_t x = 420; x < 960; ++x) {
            if (sameColour(pixelAt(x, y), ringWhite) && distanceToRings(0.95f, x, y) > 3) {
                leftmost = std::min(leftmost, x);
            }
        }
    }
    EXPECT_GE(leftmost, 460);
    EXPECT_LE(leftmost, 480);
    // Drawn with additive blending, which the scene switches off again.
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(ClosingFrameTest, HalfTransparentTextAt85PercentIsAddedToTheBackground) {
    renderAt(0.85f);
    // Background (20, 17, 99) plus white at alpha 0.5.
    EXPECT_EQ(textPixels(0.85f, ringWhite, 0), 0);
    EXPECT_GT(textPixels(0.85f, Rgba{148, 145, 227, 0}, 2), 800);
}

TEST_F(ClosingFrameTest, WithoutAPictureOnlyRingsAndLinesAreDrawn) {
    // What a failed decode or allocation leaves: initialised, no picture.
    closingScene.initialised = 1;
    for (RisingRing& ring : closingScene.rings) {
        seedRisingRing(&ring);
    }
    for (WavyLine& line : closingScene.lines) {
        seedWavyLine(&line);
    }
    renderAt(0.3f);
    EXPECT_EQ(closingScene.picture, nullptr);
    for (int32_t y = 0; y < 180; ++y) {
        for (int32_t x = 0; x < 610; ++x) {
            const Rgba p = pixelAt(x, y);
            ASSERT_TRUE(sameColour(p, background) || sameColour(p, ringWhite) ||
                        sameColour(p, lineGreen))
                << x << ", " << y;
        }
    }
}

TEST_F(ClosingFrameTest, SweepChangesRuledPixelsAboveTheThresholdOnly) {
    renderAt(0.5f);
    std::vector<uint8_t> decoded(pictureBytes);
    ASSERT_EQ(decodePicture(closingPicture + closingPicturePreamble,
                            closingPictureSize - closingPicturePreamble, decoded.data()),
              1);
    int32_t changedAbove = 0;
    for (int32_t i = 0; i < pictureBytes; i += 3) {
        const bool ruled = (decoded[i] > 180 && decoded[i + 1] <= 99) ||
                           (decoded[i] > 230 && decoded[i + 1] > 230 && decoded[i + 2] > 230);
        const bool changed = std::memcmp(&decoded[i], closingScene.picture + i, 3) != 0;
        if (i >= 9450 || decoded[i] == 0) {
            ASSERT_FALSE(changed) << "pixel " << i / 3;
        } else if (ruled) {
            changedAbove += changed;
        } else {
            ASSERT_FALSE(changed) << "pixel " << i / 3;
        }
    }
    EXPECT_GT(changedAbove, 100);
}

} // namespace
} // namespace ostrel
