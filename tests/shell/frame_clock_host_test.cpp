// The static frame clock on the host's own sources, with the offset from the settings.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "shell/frame_clock.h"
#include "shell/settings.h"

namespace ostrel {
namespace {

class HostFrameClockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = builtinSettings;
        frameClock = FrameClock{};
    }
};

TEST_F(HostFrameClockTest, TicksFollowTheHostClock) {
    startFrameClock();
    platform::sleepMs(20);
    tickFrameClock();
    // About the 20 ms slept (less a little for the start reading's rounding to a float); far
    // less than seconds on any machine that runs the tests.
    EXPECT_GE(frameClockTime(), 0.015f);
    EXPECT_LT(frameClockTime(), 5.0f);
    EXPECT_EQ(frameClockDelta(), frameClockTime());
}

TEST_F(HostFrameClockTest, TheOffsetSettingIsSubtracted) {
    settings.timeOffset = -30.0f;
    startFrameClock();
    tickFrameClock();
    // Scene time starts about 30 seconds in.
    EXPECT_GE(frameClockTime(), 29.99f);
    EXPECT_LT(frameClockTime(), 35.0f);
}

TEST_F(HostFrameClockTest, TimeNeverRunsBackwards) {
    startFrameClock();
    float previous = -1.0f;
    for (int i = 0; i < 5; ++i) {
        platform::sleepMs(2);
        tickFrameClock();
        EXPECT_GE(frameClockTime(), previous);
        EXPECT_GE(frameClockDelta(), 0.0f);
        previous = frameClockTime();
    }
}

} // namespace
} // namespace ostrel
