// The closing scene's arithmetic, without GL: seeding from rand() in the fixed field order, the
// sweep threshold, the two colour rules, ring and line positions, and the text's fade.
#include <gtest/gtest.h>

#include <cstdlib>

#include "visuals/closing_scene.h"
#include "visuals/picture.h"

namespace ostrel {
namespace {

// The next n values of rand() after srand(seed).
std::vector<int> randValues(unsigned seed, int n) {
    std::srand(seed);
    std::vector<int> values;
    for (int i = 0; i < n; ++i) {
        values.push_back(std::rand());
    }
    return values;
}

TEST(ClosingSeeding, RingFieldsDrawRandInTheOrderRadiusXY0SpeedAmplitudeFrequency) {
    const std::vector<int> r = randValues(1, 7);
    std::srand(1);
    RisingRing ring{};
    seedRisingRing(&ring);
    EXPECT_FLOAT_EQ(ring.radius, static_cast<float>(10 + 0.1 * (r[0] % 250)));
    EXPECT_EQ(ring.x, static_cast<float>(r[1] % 1280));
    EXPECT_EQ(ring.y0, static_cast<float>(r[2] % 720));
    EXPECT_EQ(ring.speed, static_cast<float>(500 + r[3] % 500));
    EXPECT_FLOAT_EQ(ring.swayAmplitude, static_cast<float>(10 + 0.1 * (r[4] % 200)));
    EXPECT_EQ(ring.swayFrequency, static_cast<float>(40 + r[5] % 100));
    // Exactly six values were drawn.
    EXPECT_EQ(std::rand(), r[6]);
}

TEST(ClosingSeeding, LineFieldsDrawRandInTheOrderCountStepXFrequencyAmplitudePhase) {
    const std::vector<int> r = randValues(3, 6);
    std::srand(3);
    WavyLine line{};
    seedWavyLine(&line);
    EXPECT_EQ(line.count, 14 + r[0] % 10);
    EXPECT_FLOAT_EQ(line.step, static_cast<float>(4 + 0.1 * (r[1] % 40)));
    EXPECT_EQ(line.x, static_cast<float>(r[2] % 1280));
    EXPECT_EQ(line.frequency, static_cast<float>(20 + r[3] % 80));
    EXPECT_FLOAT_EQ(line.amplitude, static_cast<float>(5 + 0.1 * (r[4] % 50)));
    EXPECT_FLOAT_EQ(line.phase, static_cast<float>(0.1 * (r[5] % 100)));
}

TEST(ClosingSeeding, SeededValuesStayInTheirRanges) {
    std::srand(1);
    for (int n = 0; n < 500; ++n) {
        RisingRing ring{};
        seedRisingRing(&ring);
        ASSERT_GE(ring.radius, 10.0f);
        ASSERT_LE(ring.radius, 34.9f + 1e-4f);
        ASSERT_LE(ring.x, 1279.0f);
        ASSERT_LE(ring.y0, 719.0f);
        ASSERT_GE(ring.speed, 500.0f);
        ASSERT_LE(ring.speed, 999.0f);
        WavyLine line{};
        seedWavyLine(&line);
        ASSERT_GE(line.count, 14);
        ASSERT_LE(line.count, 23);
        ASSERT_LE(line.phase, 9.9f + 1e-4f);
    }
}

TEST(ClosingThreshold, PixelBecomesSubjectOnceProgressTimes18900ExceedsItsIndex) {
    // progress -> threshold -> first red-byte index not yet subject
    //   1e-6      0.0189        index 0 subject, index 3 not
    //   0.5       9450          index 9447 subject, 9450 not (strictly less)
    //   0.99999   18899.81      the last pixel (18897) subject
    EXPECT_TRUE(pixelSubject(0, pictureThreshold(1e-6f)));
    EXPECT_FALSE(pixelSubject(3, pictureThreshold(1e-6f)));
    EXPECT_EQ(pictureThreshold(0.5f), 9450.0f);
    EXPECT_TRUE(pixelSubject(9447, pictureThreshold(0.5f)));
    EXPECT_FALSE(pixelSubject(9450, pictureThreshold(0.5f)));
    EXPECT_TRUE(pixelSubject(18897, pictureThreshold(0.99999f)));
    EXPECT_FALSE(pixelSubject(18897, pictureThreshold(0.9998f)));
}

TEST(ClosingColourRules, ReddishPixelTurnsBrownOrangeFromThreeRandValues) {
    const std::vector<int> r = randValues(7, 3);
    std::srand(7);
    uint8_t pixel[3] = {200, 99, 50}; // red above 180, green at the 99 limit
    applyColourRules(pixel);
    EXPECT_EQ(pixel[0], 122 + r[0] % 60);
    EXPECT_EQ(pixel[1], 79 + r[1] % 50);
    EXPECT_EQ(pixel[2], 6 + r[2] % 30);
}

TEST(ClosingColourRules, NearWhitePixelDimsTo170To249PerComponent) {
    const std::vector<int> r = randValues(9, 3);
    std::srand(9);
    uint8_t pixel[3] = {231, 240, 255};
    applyColourRules(pixel);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(pixel[c], (r[c] % 80 - 86 + 256) % 256);
        EXPECT_GE(pixel[c], 170);
        EXPECT_LE(pixel[c], 249);
    }
}

TEST(ClosingColourRules, PixelsOutsideBothRulesStayAndDrawNoRandom) {
    // pixel -> why it is left alone
    const uint8_t cases[][3] = {
        {180, 10, 10},   // red not above 180
        {200, 100, 10},  // green above 99
        {230, 240, 240}, // red not above 230
        {240, 240, 230}, // blue not above 230
        {20, 17, 99},
    };
    const int firstRand = randValues(5, 1)[0];
    for (const auto& c : cases) {
        std::srand(5);
        uint8_t pixel[3] = {c[0], c[1], c[2]};
        applyColourRules(pixel);
        EXPECT_EQ(pixel[0], c[0]);
        EXPECT_EQ(pixel[1], c[1]);
        EXPECT_EQ(pixel[2], c[2]);
        EXPECT_EQ(std::rand(), firstRand) << "no rand() drawn";
    }
}

TEST(ClosingColourRules, ReddishResultIsNeverWhiteSoOnlyOneRuleApplies) {
    std::srand(11);
    for (int n = 0; n < 200; ++n) {
        uint8_t pixel[3] = {255, 0, 0};
        applyColourRules(pixel);
        ASSERT_LE(pixel[0], 181);
        ASSERT_GE(pixel[1], 79);
        ASSERT_LE(pixel[2], 35);
    }
}

TEST(ClosingRings, CentreRisesWrapsAndSways) {
    const RisingRing ring{100.0f, 700.0f, 600.0f, 20.0f, 50.0f, 25.5f}; // k = 25
    // progress -> height = progress*600 + 700 -> (height mod 745) - 25; x = 100 + 20 sin(50 p)
    //   0.1     760      -> 15 - 25 = -10     x = 80.82151
    //   0.5     1000     -> 255 - 25 = 230    x = 97.35296
    //   0.9     1239.99998 (0.9 as a float is a hair below) -> 1239 -> 494 - 25 = 469
    //                                         x = 117.01806
    const Point2f a = risingRingCentre(ring, 0.1f);
    EXPECT_EQ(a.y, -10.0f);
    EXPECT_NEAR(a.x, 80.82151f, 1e-4);
    const Point2f b = risingRingCentre(ring, 0.5f);
    EXPECT_EQ(b.y, 230.0f);
    EXPECT_NEAR(b.x, 97.35296f, 1e-4);
    const Point2f c = risingRingCentre(ring, 0.9f);
    EXPECT_EQ(c.y, 469.0f);
    EXPECT_NEAR(c.x, 117.01806f, 1e-4);
}

TEST(ClosingRings, CentreStaysBetweenMinusRadiusAndTheTopRow) {
    std::srand(1);
    for (int n = 0; n < 40; ++n) {
        RisingRing ring{};
        seedRisingRing(&ring);
        for (float p = 0.01f; p < 1.0f; p += 0.01f) {
            const Point2f centre = risingRingCentre(ring, p);
            ASSERT_GE(centre.y, -static_cast<float>(static_cast<int>(ring.radius)));
            ASSERT_LE(centre.y, 719.0f);
        }
    }
}

TEST(ClosingLines, PointsBendMoreAsProgressGrows) {
    const WavyLine line{14, 5.5f, 300.0f, 40.0f, 8.0f, 1.5f};
    // theta = j * (progress * 40) + 1.5; vertex (300 + 8 sin theta, 5.5 j)
    //  progress  j   x            y
    //  0.25      0   307.97996    0
    //  0.25      1   292.99638    5.5
    //  0.25      2   303.77311    11
    //  0.25      13  296.54269    71.5
    //  0.75      1   300.67180    5.5
    //  0.75      2   292.22729    11
    struct Row {
        float progress;
        int32_t j;
        float x;
        float y;
    };
    const Row rows[] = {{0.25f, 0, 307.97996f, 0.0f},  {0.25f, 1, 292.99638f, 5.5f},
                        {0.25f, 2, 303.77311f, 11.0f}, {0.25f, 13, 296.54269f, 71.5f},
                        {0.75f, 1, 300.67180f, 5.5f},  {0.75f, 2, 292.22729f, 11.0f}};
    for (const Row& row : rows) {
        const Point2f point = wavyLinePoint(line, row.progress, row.j);
        EXPECT_NEAR(point.x, row.x, 2e-4) << row.progress << " " << row.j;
        EXPECT_EQ(point.y, row.y);
    }
}

TEST(ClosingLines, LineIsStraightAtTheStart) {
    const WavyLine line{20, 4.0f, 640.0f, 99.0f, 9.9f, 2.0f};
    const float x0 = wavyLinePoint(line, 1e-7f, 0).x;
    EXPECT_NEAR(wavyLinePoint(line, 1e-7f, 19).x, x0, 1e-3);
}

TEST(ClosingText, HiddenUpToPointEightThenFadesInUntilPointNine) {
    // progress -> shown, alpha
    EXPECT_FALSE(closingTextShown(0.5f));
    EXPECT_FALSE(closingTextShown(0.79999995f));
    // 0.8 as a float lies a hair above the double 0.8, so that frame already shows the text,
    // nearly transparent.
    EXPECT_TRUE(closingTextShown(0.8f));
    EXPECT_NEAR(closingTextAlpha(0.8f), 0.0f, 1e-6);
    EXPECT_TRUE(closingTextShown(0.85f));
    EXPECT_NEAR(closingTextAlpha(0.85f), 0.5f, 1e-6);
    EXPECT_NEAR(closingTextAlpha(0.88f), 0.8f, 1e-5);
    // Above 0.9 opaque; 0.9 as a float is a hair below the double 0.9, so it is still fading.
    EXPECT_LT(closingTextAlpha(0.9f), 1.0f);
    EXPECT_EQ(closingTextAlpha(0.95f), 1.0f);
    EXPECT_EQ(closingTextAlpha(0.9000001f), 1.0f);
}

} // namespace
} // namespace ostrel
