// The schedule turns the clock's time into the scene's progress, with both bounds exclusive,
// and ends the run only strictly after 60 seconds.
#include <gtest/gtest.h>

#include <vector>

#include "visuals/scene.h"

namespace ostrel {
namespace {

std::vector<float> progressSeen;
int startCalls = 0;
int endCalls = 0;

void recordProgress(float progress) {
    progressSeen.push_back(progress);
}
void otherProgress(float) {}
int onStart() {
    ++startCalls;
    return 7;
}
int onEnd() {
    ++endCalls;
    return 9;
}

class ScheduleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sceneSchedule = {};
        progressSeen.clear();
        startCalls = 0;
        endCalls = 0;
    }
    // Runs one frame at time t; returns runSchedule's result.
    int frameAt(float t) { return runSchedule(t); }
};

TEST_F(ScheduleTest, AddSceneStoresTheWindowAsStartPlusLength) {
    addScene("Middle", 10.0f, 20.0f, onStart, recordProgress, onEnd);
    EXPECT_EQ(sceneSchedule.registered, 1);
    EXPECT_STREQ(sceneSchedule.scene.name, "Middle");
    EXPECT_EQ(sceneSchedule.scene.start, 10.0f);
    EXPECT_EQ(sceneSchedule.scene.end, 30.0f);
    EXPECT_EQ(sceneSchedule.scene.onStart, &onStart);
    EXPECT_EQ(sceneSchedule.scene.onProgress, &recordProgress);
    EXPECT_EQ(sceneSchedule.scene.onEnd, &onEnd);
}

TEST_F(ScheduleTest, SecondRegistrationIsIgnored) {
    addScene("First", 0.0f, 60.0f, nullptr, recordProgress, nullptr);
    addScene("Second", 5.0f, 10.0f, onStart, otherProgress, onEnd);
    EXPECT_STREQ(sceneSchedule.scene.name, "First");
    EXPECT_EQ(sceneSchedule.scene.start, 0.0f);
    EXPECT_EQ(sceneSchedule.scene.end, 60.0f);
    EXPECT_EQ(sceneSchedule.scene.onProgress, &recordProgress);
    EXPECT_EQ(sceneSchedule.scene.onEnd, nullptr);
    EXPECT_EQ(endSchedule(), 0);
}

TEST_F(ScheduleTest, ProgressIsTheFractionOfTheWindow) {
    addScene("Start", 0.0f, 60.0f, nullptr, recordProgress, nullptr);
    // time -> progress: 15 s is a quarter, 30 s a half, 59.5 s just short of the end.
    EXPECT_EQ(frameAt(15.0f), 1);
    EXPECT_EQ(frameAt(30.0f), 1);
    EXPECT_EQ(frameAt(59.5f), 1);
    ASSERT_EQ(progressSeen.size(), 3u);
    EXPECT_FLOAT_EQ(progressSeen[0], 0.25f);
    EXPECT_FLOAT_EQ(progressSeen[1], 0.5f);
    EXPECT_FLOAT_EQ(progressSeen[2], 59.5f / 60.0f);
}

TEST_F(ScheduleTest, ProgressIsMeasuredFromTheSceneStart) {
    addScene("Late", 20.0f, 10.0f, nullptr, recordProgress, nullptr);
    EXPECT_EQ(frameAt(19.0f), 1); // before the window: nothing
    EXPECT_EQ(frameAt(22.5f), 1); // a quarter in
    EXPECT_EQ(frameAt(30.0f), 1); // at its end, exclusive: nothing
    EXPECT_EQ(frameAt(45.0f), 1); // after it, run still going: nothing
    ASSERT_EQ(progressSeen.size(), 1u);
    EXPECT_FLOAT_EQ(progressSeen[0], 0.25f);
}

TEST_F(ScheduleTest, NoProgressAtOrBeforeTimeZero) {
    addScene("Start", 0.0f, 60.0f, nullptr, recordProgress, nullptr);
    EXPECT_EQ(frameAt(0.0f), 1);
    EXPECT_EQ(frameAt(-0.0f), 1);
    EXPECT_EQ(frameAt(-3.0f), 1); // a positive time offset makes the first frames negative
    EXPECT_TRUE(progressSeen.empty());
    EXPECT_EQ(frameAt(1e-6f), 1); // the smallest step past zero runs the scene
    ASSERT_EQ(progressSeen.size(), 1u);
    EXPECT_GT(progressSeen[0], 0.0f);
}

TEST_F(ScheduleTest, SixtySecondsExactlyGoesOnWithoutTheScene) {
    addScene("Start", 0.0f, 60.0f, nullptr, recordProgress, nullptr);
    EXPECT_EQ(frameAt(60.0f), 1);
    EXPECT_TRUE(progressSeen.empty());
}

TEST_F(ScheduleTest, RunEndsStrictlyAfterSixtySeconds) {
    addScene("Start", 0.0f, 60.0f, nullptr, recordProgress, nullptr);
    EXPECT_EQ(frameAt(60.000004f), 0); // the next float above 60
    EXPECT_EQ(frameAt(1000.0f), 0);
    EXPECT_TRUE(progressSeen.empty());
}

TEST_F(ScheduleTest, RunLengthIsIndependentOfTheSceneEnd) {
    // A scene that would last to 100 s still ends the run after 60.
    addScene("Long", 0.0f, 100.0f, nullptr, recordProgress, nullptr);
    EXPECT_EQ(frameAt(70.0f), 0);
    EXPECT_TRUE(progressSeen.empty());
}

TEST_F(ScheduleTest, WithoutRegistrationNothingRunsButTheRunStillEnds) {
    EXPECT_EQ(sceneSchedule.scene.start, 0.0f);
    EXPECT_EQ(sceneSchedule.scene.end, 0.0f);
    EXPECT_EQ(frameAt(0.0f), 1);
    EXPECT_EQ(frameAt(30.0f), 1); // onProgress is null: it must not be reached
    EXPECT_EQ(frameAt(60.5f), 0);
    EXPECT_EQ(endSchedule(), 0);
}

TEST_F(ScheduleTest, EndScheduleReturnsTheEndCallbacksResult) {
    addScene("Start", 0.0f, 60.0f, onStart, recordProgress, onEnd);
    EXPECT_EQ(endSchedule(), 9);
    EXPECT_EQ(endCalls, 1);
    EXPECT_EQ(startCalls, 0); // only setupSchedule runs onStart
}

} // namespace
} // namespace ostrel
