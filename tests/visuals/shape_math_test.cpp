// The vertex arithmetic of the wire-frame shapes and the coarse random value, without GL.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "visuals/draw.h"

namespace ostrel {
namespace {

TEST(RingPoints, DecagonOfRadiusTenAroundTheCentre) {
    // i -> angle (0.1 i as a float, times 6.283184) -> point around (0, 0), radius 10
    //  0   0          (10, 0)
    //  1   0.6283184  (8.0901707, 5.8778515)
    //  5   3.141592   (-10, 0.0000065)  just short of pi
    // 10   6.283184   (10, -0.0000013)  a little short of a full turn
    EXPECT_EQ(ringPoint(0, 0, 10, 0).x, 10.0f);
    EXPECT_EQ(ringPoint(0, 0, 10, 0).y, 0.0f);
    EXPECT_NEAR(ringPoint(0, 0, 10, 1).x, 8.0901707f, 1e-6);
    EXPECT_NEAR(ringPoint(0, 0, 10, 1).y, 5.8778515f, 1e-6);
    EXPECT_NEAR(ringPoint(0, 0, 10, 5).x, -10.0f, 1e-6);
    EXPECT_GT(ringPoint(0, 0, 10, 5).y, 0.0f);
    EXPECT_LT(ringPoint(0, 0, 10, 10).y, 0.0f);
    EXPECT_NEAR(ringPoint(0, 0, 10, 10).y, -1.3e-5f, 2e-6);
}

TEST(RingPoints, EachCoordinateIsTheSinglePrecisionRoundingOfTheExactValue) {
    for (int32_t i = 0; i <= 10; ++i) {
        const long double theta = static_cast<float>(0.1 * i) * 6.283184L;
        const Point2f p = ringPoint(640.25f, 360.5f, 17.3f, i);
        EXPECT_EQ(p.x, static_cast<float>(640.25f + 17.3f * std::cos(theta))) << i;
        EXPECT_EQ(p.y, static_cast<float>(360.5f + 17.3f * std::sin(theta))) << i;
    }
}

TEST(CirclePoints, StartOnThePositiveXAxisAndStayAtTheirHeight) {
    // 4 segments, radius 2 around (1, 5, -1): quarter turns
    //  i  point
    //  0  (3, 5, -1)
    //  1  (1, 5, 1)    angle 1.570796, a hair short of pi/2
    //  2  (-1, 5, -1)
    const Point3f p0 = circleXZPoint(1, 5, -1, 2, 4, 0);
    EXPECT_EQ(p0.x, 3.0f);
    EXPECT_EQ(p0.y, 5.0f);
    EXPECT_EQ(p0.z, -1.0f);
    const Point3f p1 = circleXZPoint(1, 5, -1, 2, 4, 1);
    EXPECT_NEAR(p1.x, 1.0f, 1e-6);
    EXPECT_EQ(p1.y, 5.0f);
    EXPECT_NEAR(p1.z, 1.0f, 1e-6);
    const Point3f p2 = circleXZPoint(1, 5, -1, 2, 4, 2);
    EXPECT_NEAR(p2.x, -1.0f, 1e-6);
    EXPECT_NEAR(p2.z, -1.0f, 1e-5);
}

TEST(CubeGrid, SixteenPositionsFromMinusHalfToOneStepShortOfHalf) {
    // size 2: -1, -0.875, ..., 0.875 (no line at +1)
    for (int32_t n = 0; n < 16; ++n) {
        EXPECT_EQ(cubeGridPosition(2.0f, n), -1.0f + 0.125f * n) << n;
    }
    // Accumulated in single precision: for size 0.3 the sixteenth position is the running sum,
    // which need not equal -h + 15 * step computed in one go.
    float p = -0.15f;
    for (int32_t n = 0; n < 15; ++n) {
        p += 0.3f * 0.0625f;
    }
    EXPECT_EQ(cubeGridPosition(0.3f, 15), p);
}

TEST(RandomUnit, IsRandModulo25000TimesFourHundredThousandths) {
    std::srand(42);
    std::vector<int> r;
    for (int i = 0; i < 100; ++i) {
        r.push_back(std::rand());
    }
    std::srand(42);
    for (int i = 0; i < 100; ++i) {
        const double value = randomUnit();
        EXPECT_EQ(value, (r[i] % 25000) * 0.00004);
        EXPECT_GE(value, 0.0);
        EXPECT_LT(value, 1.0);
    }
}

} // namespace
} // namespace ostrel
