// The hand-over of a channel's state to its voice: trigger and partner slots, final volume,
// final panning, frequency and step, rewind.
#include <algorithm>

#include "engine_fixture.h"

namespace ostrel::test {
namespace {

class VoiceUpdateTest : public EngineTest {
  protected:
    ChannelState c{};

    void SetUp() override {
        EngineTest::SetUp();
        c.voice = &player.voices[3];
        c.volEnvValue = 64;
        c.fadeoutVolume = 65536;
        c.volume = 64;
        c.panEnvValue = 32;
        player.globalVolume = 64;
    }
    void update(uint8_t flags) {
        c.updateFlags = flags;
        updateVoice(&c, &samples[0], &player);
    }
};

TEST_F(VoiceUpdateTest, FinalVolumeIsTheExactProduct) {
    player.voices[3].panning = 255;
    update(volumeChanged);
    EXPECT_EQ(player.voices[3].volume, 127);
    EXPECT_EQ(player.voices[3].volumeCopy, 127);
    EXPECT_EQ(player.voices[3].targetVolume0, 0); // panning 255 is full right
    EXPECT_EQ(player.voices[3].targetVolume1, 127);
    c.volume = 32;
    update(volumeChanged);
    EXPECT_EQ(player.voices[3].volume, 63);
    c.volume = 40;
    c.volumeDelta = -40;
    update(volumeChanged);
    EXPECT_EQ(player.voices[3].volume, 0);
}

TEST_F(VoiceUpdateTest, VolumeIsOnlyRecomputedWhenFlagged) {
    update(volumeChanged);
    c.volume = 10;
    update(pitchChanged);
    EXPECT_EQ(player.voices[3].volume, 127);
}

TEST_F(VoiceUpdateTest, PanningDividesBeforeScalingTheEnvelope) {
    player.voices[3].volume = 127;
    c.panning = 128;
    c.panEnvValue = 0;
    update(panningChanged);
    EXPECT_EQ(player.voices[3].panning, 0);         // q = 4
    EXPECT_EQ(player.voices[3].targetVolume0, 127); // full left
    EXPECT_EQ(player.voices[3].targetVolume1, 0);
    c.panning = 200;
    c.panEnvValue = 64;
    update(panningChanged);
    EXPECT_EQ(player.voices[3].panning, 232); // q = 1
    EXPECT_EQ(player.voices[3].panningCopy, 232);
    EXPECT_EQ(player.voices[3].targetVolume0, 23 * 127 / 255);
    EXPECT_EQ(player.voices[3].targetVolume1, 127 * 232 / 255);
}

TEST_F(VoiceUpdateTest, CentrePanningSplitsUnevenly) {
    player.voices[3].volume = 127;
    c.panning = 128;
    update(panningChanged);
    EXPECT_EQ(player.voices[3].targetVolume0, 63); // 127 * 127 / 255
    EXPECT_EQ(player.voices[3].targetVolume1, 63); // 127 * 128 / 255
    c.panning = 300;
    c.panEnvValue = 0;
    update(panningChanged);
    EXPECT_EQ(player.voices[3].panning, 255); // clamped
}

TEST_F(VoiceUpdateTest, LinearFrequencyAndStep) {
    c.period = 4608;
    update(pitchChanged);
    EXPECT_EQ(player.voices[3].frequency, 8363);
    EXPECT_EQ(player.voices[3].stepInt, 0u);
    EXPECT_EQ(player.voices[3].stepFrac, static_cast<uint32_t>((uint64_t{8363} << 32) / 44100));
    c.period = 3840 - 768 * 2; // four times 8363 Hz: more than one frame per output frame
    update(pitchChanged);
    EXPECT_EQ(player.voices[3].frequency, 66904);
    EXPECT_EQ(player.voices[3].stepInt, 1u);
    // The low word of the dividend carries stepInt.
    EXPECT_EQ(player.voices[3].stepFrac,
              static_cast<uint32_t>(((uint64_t{66904 - 44100} << 32) + 1) / 44100));
}

// The step is the 64-bit integer quotient at every rate, whether computed in double below
// 2^21 Hz or by integer division above: every Amiga period from 1 to 40,000 (frequencies from
// 358 Hz to 14 MHz) at common and odd rates.
TEST_F(VoiceUpdateTest, StepIsTheIntegerQuotientAtEveryRate) {
    player.flags = 0;
    for (int32_t rate : {44100, 48000, 22050, 8000, 96000, 192000, 1, 7, 65537, 2097151, 2097152,
                         1000003, 2147483647}) {
        player.outputRate = rate;
        for (int32_t period = 1; period <= 40000; ++period) {
            c.period = period;
            update(pitchChanged);
            const uint32_t hz = static_cast<uint32_t>(std::max(player.voices[3].frequency, 100));
            const uint32_t r = static_cast<uint32_t>(rate);
            const uint64_t dividend = (static_cast<uint64_t>(hz % r) << 32) | (hz / r);
            ASSERT_EQ(player.voices[3].stepInt, hz / r) << rate << " Hz, period " << period;
            ASSERT_EQ(player.voices[3].stepFrac, static_cast<uint32_t>(dividend / r))
                << rate << " Hz, period " << period;
        }
    }
}

TEST_F(VoiceUpdateTest, AmigaFrequency) {
    player.flags = 0;
    c.period = 1712;
    update(pitchChanged);
    EXPECT_EQ(player.voices[3].frequency, 8362);
}

TEST_F(VoiceUpdateTest, ZeroAmigaPeriodLeavesThePitchAlone) {
    player.flags = 0;
    player.voices[3].frequency = 1234;
    player.voices[3].stepFrac = 77;
    c.period = 20;
    c.periodDelta = -20;
    update(pitchChanged);
    EXPECT_EQ(player.voices[3].frequency, 1234);
    EXPECT_EQ(player.voices[3].stepFrac, 77u);
}

TEST_F(VoiceUpdateTest, LowFrequencyStepIsRaisedTo100Hz) {
    player.flags = 0;
    c.period = 14317056 / 50;
    update(pitchChanged);
    EXPECT_EQ(player.voices[3].frequency, 50);
    EXPECT_EQ(player.voices[3].stepFrac, static_cast<uint32_t>((uint64_t{100} << 32) / 44100));
}

TEST_F(VoiceUpdateTest, TriggerStartsTheSampleFromItsOffset) {
    Voice& v = player.voices[3];
    v.startOffset = 300;
    v.positionFrac = 5;
    v.direction = 2;
    v.currentVolume0 = 999;
    v.rampFramesLeft = 12;
    update(triggerNote);
    EXPECT_EQ(c.voice, &v);
    EXPECT_EQ(v.sample, &samples[0]);
    EXPECT_EQ(v.positionInt, 300u);
    EXPECT_EQ(v.positionFrac, 0u);
    EXPECT_EQ(v.direction, 1);
    EXPECT_EQ(v.startOffset, 0);
    EXPECT_EQ(v.currentVolume0, 0);
    EXPECT_EQ(v.rampFramesLeft, 0);
}

TEST_F(VoiceUpdateTest, OffsetBeyondThePlayRangeStartsAtZero) {
    player.voices[3].startOffset = 1000;
    update(triggerNote);
    EXPECT_EQ(player.voices[3].positionInt, 0u);
}

TEST_F(VoiceUpdateTest, ThreeNotesAlternateBetweenPartnerSlots) {
    put(0, 0, 2, 49, 1);
    put(0, 1, 2, 49, 1);
    put(0, 2, 2, 49, 1);
    start();
    ticks(1);
    EXPECT_EQ(ch(2).voice, &player.voices[2]);
    player.voices[2].positionInt = 123;
    ticks(6);
    // The second note plays on slot 34; slot 2 keeps its note but ramps to silence.
    EXPECT_EQ(ch(2).voice, &player.voices[34]);
    EXPECT_EQ(player.voices[34].index, 34);
    EXPECT_EQ(player.voices[34].positionInt, 0u);
    EXPECT_EQ(player.voices[34].volume, 127);
    EXPECT_EQ(player.voices[2].index, 2);
    EXPECT_EQ(player.voices[2].sample, &samples[0]);
    EXPECT_EQ(player.voices[2].positionInt, 123u);
    EXPECT_EQ(player.voices[2].volume, 0);
    EXPECT_EQ(player.voices[2].targetVolume0, 0);
    EXPECT_EQ(player.voices[2].targetVolume1, 0);
    ticks(6);
    EXPECT_EQ(ch(2).voice, &player.voices[2]);
    EXPECT_EQ(player.voices[2].volume, 127);
    EXPECT_EQ(player.voices[34].targetVolume0, 0);
    EXPECT_EQ(player.voices[34].targetVolume1, 0);
}

TEST_F(VoiceUpdateTest, IdleSlotIsReusedWithoutMoving) {
    put(0, 0, 0, 49, 1);
    put(0, 1, 0, 49, 1);
    start();
    ticks(6);
    player.voices[0].sample = nullptr; // the mixer finished the note
    ticks(1);
    EXPECT_EQ(ch(0).voice, &player.voices[0]);
}

} // namespace
} // namespace ostrel::test
