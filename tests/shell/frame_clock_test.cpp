// Frame clock arithmetic on a substitute source whose readings the tests set.
#include <gtest/gtest.h>

#include <cmath>

#include "shell/frame_clock.h"

namespace ostrel {
namespace {

struct FakeSource {
    int hasCounter;
    int64_t frequency;
    int64_t counter;
    uint32_t milliseconds;
};
FakeSource fake;

int fakeFrequency(int64_t* frequency) {
    *frequency = fake.frequency;
    return fake.hasCounter;
}
int64_t fakeCounter() {
    return fake.counter;
}
uint32_t fakeMilliseconds() {
    return fake.milliseconds;
}
const ClockSource source = {fakeFrequency, fakeCounter, fakeMilliseconds};

class FrameClockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake = FakeSource{1, 1000000, 0, 0};
        clock = FrameClock{};
    }
    FrameClock clock;
};

TEST_F(FrameClockTest, StartChoosesCounterAndKeepsItsReading) {
    fake.counter = 5000;
    startClock(&clock, &source);
    EXPECT_EQ(clock.useCounter, 1);
    EXPECT_EQ(clock.startReading, 5000.0f);
    EXPECT_EQ(clock.secondsPerCount, 1.0f / 1000000.0f);
    // Start does not touch time.
    EXPECT_EQ(clock.time, 0.0f);
}

TEST_F(FrameClockTest, FirstDeltaEqualsTime) {
    fake.counter = 1000;
    startClock(&clock, &source);
    fake.counter = 1000 + 250000; // a quarter of a second later
    tickClock(&clock, &source, -0.0f);
    EXPECT_FLOAT_EQ(clock.time, 0.25f);
    EXPECT_EQ(clock.delta, clock.time);
    EXPECT_EQ(clock.previousTime, 0.0f);
}

TEST_F(FrameClockTest, TicksStepTimeAndDelta) {
    startClock(&clock, &source);
    // counter:        500000  1500000  1600000
    // time (s):       0.5     1.5      1.6
    // delta (s):      0.5     1.0      0.1
    const int64_t readings[3] = {500000, 1500000, 1600000};
    const float times[3] = {0.5f, 1.5f, 1.6f};
    const float deltas[3] = {0.5f, 1.0f, 0.1f};
    for (int i = 0; i < 3; ++i) {
        fake.counter = readings[i];
        tickClock(&clock, &source, -0.0f);
        EXPECT_FLOAT_EQ(clock.time, times[i]) << "tick " << i;
        EXPECT_NEAR(clock.delta, deltas[i], 1e-6f) << "tick " << i;
    }
    EXPECT_FLOAT_EQ(clock.previousTime, 1.5f);
}

TEST_F(FrameClockTest, NegativeOffsetMovesTimeAhead) {
    startClock(&clock, &source);
    fake.counter = 100000; // 0.1 s
    tickClock(&clock, &source, -30.0f);
    EXPECT_FLOAT_EQ(clock.time, 30.1f);
}

TEST_F(FrameClockTest, PositiveOffsetMakesEarlyTimeNegative) {
    startClock(&clock, &source);
    fake.counter = 2000000; // 2 s
    tickClock(&clock, &source, 5.0f);
    EXPECT_FLOAT_EQ(clock.time, -3.0f);
    EXPECT_FLOAT_EQ(clock.delta, -3.0f);
}

TEST_F(FrameClockTest, MinusZeroOffsetLeavesElapsedTimeExact) {
    startClock(&clock, &source);
    fake.counter = 0;
    tickClock(&clock, &source, -0.0f);
    EXPECT_EQ(clock.time, 0.0f);
    EXPECT_FALSE(std::signbit(clock.time));
}

TEST_F(FrameClockTest, FallbackUsesMillisecondsAsSeconds) {
    fake.hasCounter = 0;
    fake.milliseconds = 4000000000u; // above 2^31: read as unsigned
    startClock(&clock, &source);
    EXPECT_EQ(clock.useCounter, 0);
    EXPECT_EQ(clock.startReading, 4000000000.0f);
    // The float start reading is 4e9 exactly; 1536 ms later is 1.536 s.
    fake.milliseconds = 4000001536u;
    tickClock(&clock, &source, -0.0f);
    EXPECT_FLOAT_EQ(clock.time, 1.536f);
}

TEST_F(FrameClockTest, FallbackIgnoresTheCounter) {
    fake.hasCounter = 0;
    fake.milliseconds = 1000;
    startClock(&clock, &source);
    fake.counter = 999999999;
    fake.milliseconds = 1250;
    tickClock(&clock, &source, -0.0f);
    EXPECT_FLOAT_EQ(clock.time, 0.25f);
}

TEST_F(FrameClockTest, StartReadingIsRoundedToSinglePrecision) {
    // 123456789 is not a float: it rounds to 123456792, three counts later. A tick at the very
    // count of the start therefore reads three counts before zero.
    fake.frequency = 1000;
    fake.counter = 123456789;
    startClock(&clock, &source);
    EXPECT_EQ(clock.startReading, 123456792.0f);
    tickClock(&clock, &source, -0.0f);
    EXPECT_FLOAT_EQ(clock.time, -0.003f);
    // And the extended-precision difference keeps a single count's step visible.
    fake.counter = 123456793;
    tickClock(&clock, &source, -0.0f);
    EXPECT_FLOAT_EQ(clock.time, 0.001f);
}

TEST_F(FrameClockTest, SecondsPerCountIsRoundedToSinglePrecision) {
    fake.frequency = 3579545; // the classic ACPI timer rate
    startClock(&clock, &source);
    EXPECT_EQ(clock.secondsPerCount, static_cast<float>(1.0L / 3579545.0L));
    fake.counter = 3579545;
    tickClock(&clock, &source, -0.0f);
    // One second of counts times the rounded step is one second within float rounding.
    EXPECT_NEAR(clock.time, 1.0f, 1e-6f);
}

} // namespace
} // namespace ostrel
