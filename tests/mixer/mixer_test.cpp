// Behaviour of the voice mixer, one case per test, on tiny hand-made samples.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "audio/mixer.h"
#include "tests/mixer/mixer_support.h"

namespace ostrel::test {
namespace {

constexpr uint32_t half = 0x80000000u;    // 0.5 frame
constexpr uint32_t quarter = 0x40000000u; // 0.25 frame
constexpr uint32_t threeQuarters = 0xC0000000u;

// The interpolation weight the mixer derives from a position fraction.
float weight(uint32_t fraction) {
    return static_cast<float>(static_cast<int32_t>(fraction >> 1)) *
           std::bit_cast<float>(0x2FFFF910u);
}

// Gain of volume 255: 255 x (1/255) in single precision.
const float fullGain = 255.0f * (1.0f / 255.0f);

class MixerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setMixerRate(mixerPlayer(), 44100);
        std::memset(static_cast<void*>(mixerPlayer()->voices), 0, sizeof mixerPlayer()->voices);
    }
    void TearDown() override {
        std::memset(static_cast<void*>(mixerPlayer()->voices), 0, sizeof mixerPlayer()->voices);
    }
};

// --- Idle voices ---------------------------------------------------------------------------

TEST_F(MixerTest, IdleVoiceLeavesBufferAndRecordUntouched) {
    Voice v{};
    v.targetVolume0 = 100; // would start a ramp if the voice were looked at
    v.positionInt = 7;
    v.direction = 1;
    Voice before = v;
    for (int32_t frames : {0, 1, 5, 300}) {
        std::vector<float> buf(600, 0.25f);
        mixVoice(mixerPlayer(), &v, buf.data(), frames);
        EXPECT_TRUE(sameBits(buf, std::vector<float>(600, 0.25f))) << frames;
        EXPECT_TRUE(sameVoice(v, before)) << frames;
    }
}

// --- Samples without loop ------------------------------------------------------------------

TEST_F(MixerTest, SampleWithoutLoopStopsAtItsEndInsideTheBlock) {
    TestSample t;
    // Four frames and the zero spare frame after them.
    makeSample(t, {100, 200, 300, 400, 0}, 0, loopNone);
    Voice v = steadyVoice(&t.sample, 255);
    std::vector<float> buf(16, 0.5f);
    mixVoice(mixerPlayer(), &v, buf.data(), 8);
    // Frames 0..3 carry the sample at gain 255/255, frames 4..7 keep their 0.5.
    const float expected[8] = {100, 200, 300, 400, 0, 0, 0, 0};
    for (int k = 0; k < 8; ++k) {
        float want = k < 4 ? 0.5f + expected[k] * fullGain : 0.5f;
        EXPECT_EQ(buf[2 * k], want) << k;
        EXPECT_EQ(buf[2 * k + 1], want) << k;
    }
    EXPECT_EQ(v.sample, nullptr);
    EXPECT_EQ(v.positionInt, 0u);
    EXPECT_EQ(v.positionFrac, 0u);
}

TEST_F(MixerTest, SampleOfLengthZeroGoesIdleWithoutReadingOrAdding) {
    Sample empty{}; // data null: any read would fault
    Voice v{};
    v.sample = &empty;
    v.direction = 1;
    v.stepInt = 1;
    v.targetVolume0 = v.targetVolume1 = 64; // a ramp would start on a readable sample
    std::vector<float> buf(64, -3.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 32);
    EXPECT_EQ(v.sample, nullptr);
    EXPECT_TRUE(sameBits(buf, std::vector<float>(64, -3.0f)));
}

// --- Forward loops -------------------------------------------------------------------------

TEST_F(MixerTest, ForwardLoopStepLargerThanLoopWrapsByWholeLoopsKeepingFraction) {
    TestSample t;
    // Loop [2, 5), guard frame 5 = frame 2.
    makeSample(t, {0, 10, 20, 30, 40, 20}, 2, loopForward);
    Voice v = steadyVoice(&t.sample, 255);
    setPosition(v, 1, half);
    setStep(v, 7, quarter);
    std::vector<float> buf(2, 0.0f);
    // Position after each frame: 1.5 + 7.25 = 8.75 -> 5.75 -> 2.75 (two loop lengths);
    // 2.75 + 7.25 = 10.0 -> 7.0 -> 4.0.
    const uint32_t wholeAfter[2] = {2, 4};
    const uint32_t fractionAfter[2] = {threeQuarters, 0};
    for (int call = 0; call < 2; ++call) {
        mixVoice(mixerPlayer(), &v, buf.data(), 1);
        EXPECT_EQ(v.positionInt, wholeAfter[call]) << call;
        EXPECT_EQ(v.positionFrac, fractionAfter[call]) << call;
        EXPECT_EQ(v.direction, 1);
        EXPECT_EQ(v.sample, &t.sample);
    }
}

TEST_F(MixerTest, ForwardLoopBlendsLastFrameWithGuardFrameHalfAFrameBeforeTheEnd) {
    TestSample t;
    // Loop [1, 5): the guard frame 5 holds frame 1's value.
    makeSample(t, {0, 3000, 0, 0, 1000, 3000}, 1, loopForward);
    Voice v = steadyVoice(&t.sample, 255);
    setPosition(v, 4, half); // E - 0.5
    setStep(v, 0, quarter);
    std::vector<float> buf(2, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 1);
    float s = 1000.0f + weight(half) * (3000.0f - 1000.0f); // about 1999.9
    EXPECT_EQ(buf[0], s * fullGain);
    EXPECT_GT(buf[0], 1999.0f);
    EXPECT_EQ(v.positionInt, 4u);
    EXPECT_EQ(v.positionFrac, threeQuarters);
}

TEST_F(MixerTest, PositionJustBeforeTheEndStillMovesOn) {
    TestSample t;
    makeSample(t, {1, 2, 3, 4, 1}, 0, loopForward); // loop [0, 4)
    Voice v = steadyVoice(&t.sample, 255);
    // 101 fraction units before the end: the look-ahead rounds this to 0 frames.
    const uint32_t fraction = 0xFFFFFFFFu - 100;
    setPosition(v, 3, fraction);
    setStep(v, 1, 0);
    std::vector<float> buf(6, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 3);
    // Frames at 3.99.., 0.99.. (wrapped), 1.99..; the fraction is kept.
    EXPECT_EQ(v.positionInt, 2u);
    EXPECT_EQ(v.positionFrac, fraction);
    const float expected[3] = {4.0f + weight(fraction) * (1.0f - 4.0f),
                               1.0f + weight(fraction) * (2.0f - 1.0f),
                               2.0f + weight(fraction) * (3.0f - 2.0f)};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(buf[2 * k], expected[k] * fullGain) << k;
    }
}

// The look-ahead works with the step rounded down to 8.24, so a call can end with the position
// carried just past the loop end without a wrap. The next call must wrap it at once instead of
// taking the negative distance for a far-away end and running on through silence.
TEST_F(MixerTest, ForwardPositionJustPastTheEndWrapsAtOnce) {
    TestSample t;
    makeSample(t, {1, 2, 3, 4, 1}, 0, loopForward); // loop [0, 4)
    Voice v = steadyVoice(&t.sample, 255);
    setPosition(v, 4, 100); // 100 fraction units past the end
    setStep(v, 1, 0);
    std::vector<float> buf(4, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 2);
    // Wrapped to 0 + 100 units before the first frame: frames at 0.00.. and 1.00..
    EXPECT_EQ(v.positionInt, 2u);
    EXPECT_EQ(v.positionFrac, 100u);
    EXPECT_EQ(buf[0], (1.0f + weight(100) * (2.0f - 1.0f)) * fullGain);
    EXPECT_EQ(buf[2], (2.0f + weight(100) * (3.0f - 2.0f)) * fullGain);
}

// A rewind puts a voice at frame 0 but keeps its direction: a ping-pong voice moving backward
// then stands before its loop start and must turn there, not run backward below frame 0.
TEST_F(MixerTest, BackwardPositionBeforeTheLoopStartTurnsAtOnce) {
    TestSample t;
    makeSample(t, {0, 0, 10, 20, 30, 30}, 2, loopPingPong); // loop [2, 5)
    Voice v = steadyVoice(&t.sample, 255);
    v.direction = 2;
    setPosition(v, 0, 0);
    setStep(v, 0, half);
    std::vector<float> buf(2, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 1);
    // 0 reflects to 2 x 2 - 0 - one unit = 3.99.., played forward, then half a frame on.
    EXPECT_EQ(v.direction, 1);
    EXPECT_EQ(v.positionInt, 4u);
    EXPECT_EQ(v.positionFrac, half - 1);
    EXPECT_EQ(buf[0], (20.0f + weight(0xFFFFFFFFu) * (30.0f - 20.0f)) * fullGain);
}

// A sample without loop whose position stands past its end ends at once, adding nothing.
TEST_F(MixerTest, PositionPastTheEndOfASampleWithoutLoopEndsIt) {
    TestSample t;
    makeSample(t, {1, 2, 3, 4, 0}, 0, loopNone);
    Voice v = steadyVoice(&t.sample, 255);
    setPosition(v, 5, 0);
    std::vector<float> buf(4, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 2);
    EXPECT_EQ(v.sample, nullptr);
    EXPECT_EQ(buf, std::vector<float>(4, 0.0f));
}

TEST_F(MixerTest, LookAheadRoundingNeverReadsPastTheGuardFrame) {
    TestSample t;
    // Loop [4, 8); frame 9 lies beyond the guard frame and holds a value that must not be heard.
    makeSample(t, {0, 0, 0, 0, 500, 600, 700, 800, 500, 30000}, 4, loopForward);
    t.sample.loopLength = 4;
    Voice v = steadyVoice(&t.sample, 255);
    // 3 frames + 300 units before the end with a step of 1 + 255 units: the 8.24 look-ahead
    // rounds the step down and plans 4 frames, and the 4th lands 465 units past the end.
    setPosition(v, 4, 0xFFFFFFFFu - 299);
    setStep(v, 1, 255);
    std::vector<float> buf(8, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 4);
    // Frame 3 blends the guard frame with silence, not with frame 9.
    EXPECT_EQ(buf[6], (500.0f + weight(465) * (0.0f - 500.0f)) * fullGain);
    // 9 + 720 units wraps to 5 + 720 units.
    EXPECT_EQ(v.positionInt, 5u);
    EXPECT_EQ(v.positionFrac, 720u);
}

TEST_F(MixerTest, StepBelowTheLookAheadResolutionStillFindsTheEnd) {
    TestSample t;
    makeSample(t, {1, 2, 3, 4, 1}, 0, loopForward); // loop [0, 4)
    Voice v = steadyVoice(&t.sample, 255);
    setPosition(v, 3, 0xFFFFFFFFu - 149); // 150 units before the end
    setStep(v, 0, 100);                   // no 8.24 form: 100 / 256 rounds to 0
    std::vector<float> buf(4, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 2);
    // Two frames reach 50 units past the end, which wraps to 50 units past the loop start.
    EXPECT_EQ(v.positionInt, 0u);
    EXPECT_EQ(v.positionFrac, 50u);
}

TEST_F(MixerTest, ZeroStepHoldsThePositionAndReturns) {
    TestSample t;
    makeSample(t, {1, 2, 3, 4, 1}, 0, loopForward);
    Voice v = steadyVoice(&t.sample, 255);
    setPosition(v, 3, 0xFFFFFFFFu); // one unit before the end
    setStep(v, 0, 0);
    std::vector<float> buf(20, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 10);
    EXPECT_EQ(v.positionInt, 3u);
    EXPECT_EQ(v.positionFrac, 0xFFFFFFFFu);
    EXPECT_EQ(buf[18], (4.0f + weight(0xFFFFFFFFu) * (1.0f - 4.0f)) * fullGain);
}

// --- Ping-pong loops -----------------------------------------------------------------------

TEST_F(MixerTest, PingPongTurnsAtTheEndOneUnitShortOfTheMirror) {
    TestSample t;
    // Loop [2, 8), guard frame 8 = frame 7.
    makeSample(t, {0, 0, 1, 2, 3, 4, 5, 6, 6}, 2, loopPingPong);
    Voice v = steadyVoice(&t.sample, 255);
    setPosition(v, 7, half); // E - 0.5
    setStep(v, 0, threeQuarters);
    std::vector<float> buf(4, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 1);
    // E + 0.25 reflects to E - 0.25 - one unit, moving backward.
    EXPECT_EQ(v.direction, 2);
    EXPECT_EQ(v.positionInt, 7u);
    EXPECT_EQ(v.positionFrac, threeQuarters - 1);
    // The next frame is read there and the position then moves down by the step.
    mixVoice(mixerPlayer(), &v, buf.data() + 2, 1);
    // 7.75 - one unit - 0.75 = 7 - one unit.
    EXPECT_EQ(buf[2], (6.0f + weight(threeQuarters - 1) * (6.0f - 6.0f)) * fullGain);
    EXPECT_EQ(v.positionInt, 6u);
    EXPECT_EQ(v.positionFrac, 0xFFFFFFFFu);
    EXPECT_EQ(v.direction, 2);
}

TEST_F(MixerTest, PingPongTurnsAtTheStartMovingForwardAgain) {
    TestSample t;
    makeSample(t, {0, 0, 10, 20, 30, 30}, 2, loopPingPong); // loop [2, 5)
    Voice v = steadyVoice(&t.sample, 255);
    v.direction = 2;
    setPosition(v, 2, quarter); // loopStart + 0.25
    setStep(v, 0, half);
    std::vector<float> buf(2, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 1);
    // 2.25 - 0.5 = 1.75 reflects to 2 x 2 - 1.75 - one unit = 2.25 - one unit.
    EXPECT_EQ(v.direction, 1);
    EXPECT_EQ(v.positionInt, 2u);
    EXPECT_EQ(v.positionFrac, quarter - 1);
}

TEST_F(MixerTest, PingPongReflectsRepeatedlyWhenTheStepSpansTheLoop) {
    TestSample t;
    makeSample(t, {0, 0, 10, 20, 30, 30}, 2, loopPingPong); // loop [2, 5), length 3
    Voice v = steadyVoice(&t.sample, 255);
    setPosition(v, 4, 0);
    setStep(v, 4, 0);
    std::vector<float> buf(2, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 1);
    // 8.0 -> end: 10 - 8 - u = 2 - u (below start) -> start: 4 - (2 - u) - u = 2.0, forward.
    EXPECT_EQ(v.direction, 1);
    EXPECT_EQ(v.positionInt, 2u);
    EXPECT_EQ(v.positionFrac, 0u);
}

TEST_F(MixerTest, PingPongAtLoopStartZeroReadsSilenceBeforeFrame0) {
    TestSample t;
    // Loop [0, 4); a poison value sits in memory just before frame 0.
    makeSample(t, {1000, 2000, 3000, 4000, 4000}, 0, loopPingPong, true, 30000);
    Voice v = steadyVoice(&t.sample, 255);
    v.direction = 2;
    setPosition(v, 0, 0); // on the loop start, moving down
    setStep(v, 1, 0);
    std::vector<float> buf(2, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 1);
    // The reflection leaves the position one unit below 0: whole part -1, maximal fraction.
    // Frame -1 reads as 0, so the frame blends silence into frame 0's 1000.
    float s = 0.0f + weight(0xFFFFFFFFu) * (1000.0f - 0.0f);
    EXPECT_EQ(buf[0], s * fullGain);
    EXPECT_EQ(v.direction, 1);
    EXPECT_EQ(v.positionInt, 0u);
    EXPECT_EQ(v.positionFrac, 0xFFFFFFFFu);
}

// --- Volume ramps --------------------------------------------------------------------------

// A long forward loop of constant value 1000, so every frame's sample value is exactly 1000.
void makeFlatSample(TestSample& t) {
    makeSample(t, std::vector<int16_t>(4001, 1000), 0, loopForward);
}

TEST_F(MixerTest, RampFrom0To255RunsLinearlyOver128FramesAcrossCalls) {
    TestSample t;
    makeFlatSample(t);
    Voice v = steadyVoice(&t.sample, 0);
    v.targetVolume0 = 255;
    std::vector<float> buf(2 * 200, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 100);
    EXPECT_EQ(v.rampFramesLeft, 28);
    EXPECT_EQ(v.rampStep0, 255.0f * (1.0f / 255.0f) * (1.0f / 128.0f));
    EXPECT_EQ(v.rampStep1, 0.0f);
    EXPECT_NEAR(v.currentVolume0, 65280 * 100 / 128, 2);
    mixVoice(mixerPlayer(), &v, buf.data() + 200, 100);
    // Gain k/128 on frame k while the ramp runs, then full gain; channel 1 stays silent.
    for (int k = 0; k < 200; ++k) {
        float want = k < 128 ? 1000.0f * static_cast<float>(k) / 128.0f : 1000.0f * fullGain;
        EXPECT_NEAR(buf[2 * k], want, 0.05f) << k;
        EXPECT_EQ(buf[2 * k + 1], 0.0f) << k;
    }
    EXPECT_EQ(v.currentVolume0, 65280);
    EXPECT_EQ(v.currentVolume1, 0);
    EXPECT_EQ(v.rampFramesLeft, 0);
    EXPECT_EQ(v.rampStep0, 0.0f);
    EXPECT_EQ(v.rampStep1, 0.0f);
}

TEST_F(MixerTest, NoRampWhenTheTopBitsOfTheCurrentVolumeEqualTheTarget) {
    TestSample t;
    makeFlatSample(t);
    Voice v = steadyVoice(&t.sample, 200);
    v.currentVolume0 = 200 * 256 + 255; // 200.996 still has 200 in its top 24 bits
    v.targetVolume0 = 200;
    v.lastTarget0 = 0; // the targets look changed, so the mixer looks again
    std::vector<float> buf(8, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 4);
    EXPECT_EQ(v.rampFramesLeft, 0);
    EXPECT_EQ(v.rampStep0, 0.0f);
    EXPECT_EQ(v.lastTarget0, 200);
    EXPECT_EQ(v.currentVolume0, 200 * 256 + 255);
    EXPECT_EQ(buf[6], 1000.0f * (200.0f * (1.0f / 255.0f)));
}

TEST_F(MixerTest, NewTargetDuringARampStartsAFreshRampFromTheVolumeReached) {
    TestSample t;
    makeFlatSample(t);
    Voice v = steadyVoice(&t.sample, 0);
    v.targetVolume0 = 255;
    std::vector<float> buf(2 * 200, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 64); // half way: about volume 127.5
    ASSERT_EQ(v.rampFramesLeft, 64);
    int32_t reached = v.currentVolume0;
    EXPECT_NEAR(reached, 32640, 2);
    v.targetVolume0 = 0;
    mixVoice(mixerPlayer(), &v, buf.data() + 128, 1);
    // Down from 127 (the whole part reached) to 0 over a full ramp.
    EXPECT_EQ(v.rampStep0, -127.0f * (1.0f / 255.0f) * (1.0f / 128.0f));
    EXPECT_EQ(v.rampFramesLeft, 127);
    EXPECT_EQ(buf[128],
              1000.0f * (static_cast<float>(reached) * (1.0f / 256.0f) * (1.0f / 255.0f)));
    mixVoice(mixerPlayer(), &v, buf.data() + 130, 127);
    // The last frame of the new ramp: 127 steps down from the volume reached.
    EXPECT_NEAR(buf[2 * 65 + 2 * 126],
                1000.0f *
                    (static_cast<float>(reached) / 65280.0f - 127.0f * 127.0f / 255.0f / 128.0f),
                0.1f);
    EXPECT_EQ(v.currentVolume0, 0);
    EXPECT_EQ(v.rampFramesLeft, 0);
}

TEST_F(MixerTest, RampEndingInsideTheBlockMixesTheRestAtTheTargetGain) {
    TestSample t;
    makeFlatSample(t);
    Voice v = steadyVoice(&t.sample, 0);
    v.targetVolume0 = 255;
    v.targetVolume1 = 51;
    std::vector<float> buf(2 * 200, 0.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 200);
    EXPECT_NEAR(buf[2 * 127], 1000.0f * 127.0f / 128.0f, 0.05f);
    EXPECT_NEAR(buf[2 * 127 + 1], 1000.0f * 0.2f * 127.0f / 128.0f, 0.05f);
    for (int k = 128; k < 200; ++k) {
        EXPECT_EQ(buf[2 * k], 1000.0f * fullGain) << k;
        EXPECT_EQ(buf[2 * k + 1], 1000.0f * (51.0f * (1.0f / 255.0f))) << k;
    }
    EXPECT_EQ(v.rampFramesLeft, 0);
    EXPECT_EQ(v.currentVolume0, 255 * 256);
    EXPECT_EQ(v.currentVolume1, 51 * 256);
    EXPECT_EQ(v.positionInt, 200u);
}

TEST_F(MixerTest, RampLengthFollowsTheOutputRate) {
    setMixerRate(mixerPlayer(), 44100);
    EXPECT_EQ(mixerPlayer()->rampFrames, 128);
    EXPECT_EQ(mixerPlayer()->rampScale, 1.0f / 128.0f);
    setMixerRate(mixerPlayer(), 22050);
    EXPECT_EQ(mixerPlayer()->rampFrames, 64);
    setMixerRate(mixerPlayer(), 48000);
    EXPECT_EQ(mixerPlayer()->rampFrames, 139); // 6,144,000 / 44,100 truncated
    EXPECT_EQ(mixerPlayer()->rampScale, 1.0f / 139.0f);
}

// --- Silent voices -------------------------------------------------------------------------

TEST_F(MixerTest, SilentVoiceLeavesTheBufferAndMovesOnAsIfMixed) {
    TestSample t;
    // Loop [2, 5), guard frame 5 = frame 2.
    makeSample(t, {0, 10, 20, 30, 40, 20}, 2, loopForward);
    Voice v = steadyVoice(&t.sample, 0);
    setPosition(v, 3, 0);
    setStep(v, 0, threeQuarters);
    v.rampStep0 = 0.5f; // stale steps are cleared by the ramp set-up, as for any voice
    std::vector<float> buf = {0.5f, -0.0f, 0.0f, -7.25f, 1e-30f, 3.0f, -1.0f, 2.0f, 9.0f, 8.0f,
                              7.0f, 6.0f,  5.0f, 4.0f,   3.0f,   2.0f, 1.0f,  0.0f, 0.0f, -0.0f};
    const std::vector<float> before = buf;
    mixVoice(mixerPlayer(), &v, buf.data(), 10);
    // Every frame adds s x 0.0: non-zero elements keep their bits, zeros stay zeros.
    for (size_t i = 0; i < buf.size(); ++i) {
        if (before[i] != 0.0f) {
            EXPECT_EQ(std::bit_cast<uint32_t>(buf[i]), std::bit_cast<uint32_t>(before[i])) << i;
        } else {
            EXPECT_EQ(buf[i], 0.0f) << i;
        }
    }
    // Pieces: 3.0 + 3 x 0.75 = 5.25 wraps to 2.25; + 4 x 0.75 = 5.25 wraps to 2.25; the
    // last three frames end at 4.5.
    EXPECT_EQ(v.positionInt, 4u);
    EXPECT_EQ(v.positionFrac, half);
    EXPECT_EQ(v.direction, 1);
    EXPECT_EQ(v.sample, &t.sample);
    EXPECT_EQ(v.rampFramesLeft, 0);
    EXPECT_EQ(std::bit_cast<uint32_t>(v.rampStep0), 0u);
}

TEST_F(MixerTest, SilentPingPongVoiceTurnsAsIfMixed) {
    TestSample t;
    // Loop [1, 4), guard frame 4 = frame 3.
    makeSample(t, {0, 100, 200, 300, 300}, 1, loopPingPong);
    Voice v = steadyVoice(&t.sample, 0);
    setPosition(v, 2, half);
    setStep(v, 1, 0);
    std::vector<float> buf(8, 1.0f);
    mixVoice(mixerPlayer(), &v, buf.data(), 4);
    // 2.5 -> 3.5 -> 4.5 reflects to 3.5 - e moving back -> 2.5 - e -> 1.5 - e.
    EXPECT_EQ(v.positionInt, 1u);
    EXPECT_EQ(v.positionFrac, half - 1);
    EXPECT_EQ(v.direction, 2);
    EXPECT_TRUE(sameBits(buf, std::vector<float>(8, 1.0f)));
}

TEST_F(MixerTest, FadingOldSlotRampsToSilenceThenAddsNothing) {
    TestSample t;
    std::vector<int16_t> frames(301, 1000); // loop [0, 300), guard frame = frame 0
    makeSample(t, frames, 0, loopForward);
    Voice v = steadyVoice(&t.sample, 64);
    v.targetVolume0 = v.targetVolume1 = 0; // the channel has moved to the partner slot
    std::vector<float> buf(2 * 200, 0.25f);
    mixVoice(mixerPlayer(), &v, buf.data(), 200);
    // 128 frames of a ramp from gain 64/255 down, the first at the full starting gain...
    const float start = static_cast<float>(64 * 256) * (1.0f / 256.0f) * (1.0f / 255.0f);
    EXPECT_EQ(buf[0], 0.25f + 1000.0f * start);
    EXPECT_GT(buf[2 * 127], 0.25f);
    // ...then silence: the rest of the buffer keeps its value.
    for (int k = 128; k < 200; ++k) {
        EXPECT_EQ(buf[2 * k], 0.25f) << k;
        EXPECT_EQ(buf[2 * k + 1], 0.25f) << k;
    }
    EXPECT_EQ(v.currentVolume0, 0);
    EXPECT_EQ(v.rampFramesLeft, 0);
    EXPECT_EQ(v.positionInt, 200u);
    EXPECT_EQ(v.positionFrac, 0u);
}

// --- The voice table -----------------------------------------------------------------------

TEST_F(MixerTest, MixVoicesWithZeroFramesDoesNothing) {
    TestSample t;
    makeFlatSample(t);
    mixerPlayer()->voices[0] = steadyVoice(&t.sample, 0);
    mixerPlayer()->voices[0].targetVolume0 = 255;
    Voice before = mixerPlayer()->voices[0];
    std::vector<float> buf(8, 1.0f);
    mixVoices(mixerPlayer(), buf.data(), 0);
    EXPECT_TRUE(sameVoice(mixerPlayer()->voices[0], before));
    EXPECT_TRUE(sameBits(buf, std::vector<float>(8, 1.0f)));
}

TEST_F(MixerTest, MixVoicesAddsSlots0To63InOrderAndNeverTheRest) {
    TestSample t;
    makeFlatSample(t);
    for (int slot : {0, 40, 63, 64, 100, 255}) {
        mixerPlayer()->voices[slot] = steadyVoice(&t.sample, slot == 40 ? 3 : 77);
        setStep(mixerPlayer()->voices[slot], 0, 0x12345678u + static_cast<uint32_t>(slot));
    }
    Voice upper[3] = {mixerPlayer()->voices[64], mixerPlayer()->voices[100],
                      mixerPlayer()->voices[255]};
    // Expected: the three low slots one after the other into the same buffer.
    Voice copies[3] = {mixerPlayer()->voices[0], mixerPlayer()->voices[40],
                       mixerPlayer()->voices[63]};
    std::vector<float> want(64, 0.125f);
    for (Voice& c : copies) {
        mixVoice(mixerPlayer(), &c, want.data(), 32);
    }
    std::vector<float> buf(64, 0.125f);
    mixVoices(mixerPlayer(), buf.data(), 32);
    EXPECT_TRUE(sameBits(buf, want));
    EXPECT_TRUE(sameVoice(mixerPlayer()->voices[63], copies[2]));
    EXPECT_TRUE(sameVoice(mixerPlayer()->voices[64], upper[0]));
    EXPECT_TRUE(sameVoice(mixerPlayer()->voices[100], upper[1]));
    EXPECT_TRUE(sameVoice(mixerPlayer()->voices[255], upper[2]));
}

// --- 16-bit conversion ---------------------------------------------------------------------
// Under each kind of loops: the AVX2 conversion takes groups of sixteen floats, the SSE2 one
// groups of sixteen and eight, then single floats.

class ConvertToPcm16 : public LoopsTest {};

TEST_P(ConvertToPcm16, TruncatesTowardZeroAndClipsWithoutScaling) {
    // Eleven frames: the first sixteen floats go eight at a time, the last six one by one.
    const float src[22] = {40000.7f,  -40000.0f, 1.9f,     -1.9f,     0.0f,  32767.9f,
                           -32768.9f, 12345.5f,  40000.7f, -40000.0f, 1.9f,  -1.9f,
                           32767.0f,  -32768.0f, 0.4f,     -0.4f,     1e10f, -1e10f,
                           100.99f,   -100.99f,  32768.0f, -32769.0f};
    const int16_t want[22] = {32767, -32768, 1,   -1,   0,     32767,  -32768, 12345,
                              32767, -32768, 1,   -1,   32767, -32768, 0,      0,
                              32767, -32768, 100, -100, 32767, -32768};
    int16_t dst[22] = {};
    convertToPcm16(dst, src, 11, mixerLoops(mixerPlayer()));
    for (int i = 0; i < 22; ++i) {
        EXPECT_EQ(dst[i], want[i]) << i;
    }
}

TEST_P(ConvertToPcm16, EveryLengthMatchesTruncateThenClamp) {
    // Lengths of 1 to 40 frames reach the 16-float and 8-float vector passes and the single
    // floats after them in every combination; the values straddle both clip points, 2^31 and
    // the small fractions around zero.
    const float values[] = {0.0f,      -0.0f,     0.99f,      -0.99f,   1.5f,      -1.5f,
                            32766.9f,  32767.0f,  32767.5f,   32768.0f, -32768.0f, -32768.9f,
                            -32769.0f, 2.2e9f,    -2.2e9f,    1e38f,    -1e38f,    12345.67f,
                            -7654.3f,  100000.0f, -100000.0f, 2.5e-8f,  -65535.0f};
    const size_t valueCount = sizeof values / sizeof values[0];
    for (int32_t frames = 1; frames <= 40; ++frames) {
        std::vector<float> src(2 * static_cast<size_t>(frames));
        for (size_t i = 0; i < src.size(); ++i) {
            src[i] = values[(i * 7 + static_cast<size_t>(frames)) % valueCount];
        }
        std::vector<int16_t> dst(src.size() + 1, 77);
        convertToPcm16(dst.data(), src.data(), frames, mixerLoops(mixerPlayer()));
        for (size_t i = 0; i < src.size(); ++i) {
            double t = std::trunc(static_cast<double>(src[i]));
            int16_t want = static_cast<int16_t>(t > 32767.0 ? 32767 : t < -32768.0 ? -32768 : t);
            ASSERT_EQ(dst[i], want) << frames << " frames, float " << i << " = " << src[i];
        }
        EXPECT_EQ(dst[src.size()], 77) << "written past the end at " << frames << " frames";
    }
}

TEST_P(ConvertToPcm16, NotANumberGivesTheLowestSample) {
    // Not a value the mixer produces; the conversion takes it to -32,768 in the vector passes
    // and in the single floats alike, as truncation does on this hardware.
    std::vector<float> src(2 * 13, std::nanf(""));
    std::vector<int16_t> dst(src.size(), 0);
    convertToPcm16(dst.data(), src.data(), 13, mixerLoops(mixerPlayer()));
    for (size_t i = 0; i < dst.size(); ++i) {
        EXPECT_EQ(dst[i], -32768) << i;
    }
}

TEST_P(ConvertToPcm16, NothingHappensWithoutBuffersOrFrames) {
    const float src[4] = {5.0f, 6.0f, 7.0f, 8.0f};
    int16_t dst[4] = {9, 9, 9, 9};
    convertToPcm16(dst, src, 0, mixerLoops(mixerPlayer()));
    convertToPcm16(dst, src, -2, mixerLoops(mixerPlayer()));
    convertToPcm16(dst, nullptr, 2, mixerLoops(mixerPlayer()));
    convertToPcm16(nullptr, src, 2, mixerLoops(mixerPlayer()));
    for (int16_t d : dst) {
        EXPECT_EQ(d, 9);
    }
    convertToPcm16(dst, src, 1,
                   mixerLoops(mixerPlayer())); // the same buffers with a frame count do convert
    EXPECT_EQ(dst[0], 5);
    EXPECT_EQ(dst[1], 6);
    EXPECT_EQ(dst[2], 9);
}

INSTANTIATE_TEST_SUITE_P(Loops, ConvertToPcm16, loopsKinds, loopsName);

} // namespace
} // namespace ostrel::test
