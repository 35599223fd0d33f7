// Volume and panning envelopes, the envelope position effect, fade-out and auto-vibrato.
#include <cmath>
#include <vector>

#include "engine_fixture.h"

namespace ostrel::test {
namespace {

class EnvelopeTest : public EngineTest {
  protected:
    Instrument in{};
    ChannelState c{};

    void SetUp() override {
        EngineTest::SetUp();
        c.voice = &player.voices[0];
    }
    void points(std::vector<EnvelopePoint> p, uint8_t flags) {
        for (size_t i = 0; i < p.size(); ++i) {
            in.volumeEnvelope[i] = p[i];
            in.panningEnvelope[i] = p[i];
        }
        in.volumeEnvelopePointCount = static_cast<uint8_t>(p.size());
        in.panningEnvelopePointCount = static_cast<uint8_t>(p.size());
        in.volumeEnvelopeFlags = flags;
        in.panningEnvelopeFlags = flags;
        resetChannelForInstrument(&c, &samples[0]);
    }
    // Volume envelope values of the next n ticks.
    std::vector<int> run(int n) {
        std::vector<int> values;
        for (int i = 0; i < n; ++i) {
            if (!c.volEnvDone) {
                stepVolumeEnvelope(&c, &in);
            }
            values.push_back(c.volEnvValue);
        }
        return values;
    }
};

TEST_F(EnvelopeTest, FallingLineReachesItsLastPointAndStops) {
    points({{0, 64}, {32, 0}}, envelopeOn);
    auto values = run(40);
    for (int k = 0; k < 32; ++k) {
        EXPECT_EQ(values[k], 64 - 2 * k) << k;
    }
    EXPECT_EQ(values[32], 0);
    EXPECT_EQ(c.volEnvDone, 1);
    EXPECT_EQ(values[39], 0);
}

TEST_F(EnvelopeTest, SustainHoldsUntilKeyOff) {
    points({{0, 64}, {32, 0}}, envelopeOn | envelopeSustain);
    in.volumeSustainPoint = 0;
    auto held = run(10);
    EXPECT_EQ(held, std::vector<int>(10, 64));
    EXPECT_EQ(c.volEnvTick, 0);
    c.keyOff = 1;
    auto released = run(3);
    EXPECT_EQ(released, (std::vector<int>{64, 62, 60}));
}

TEST_F(EnvelopeTest, LoopRepeatsTheSegmentWithoutShowingTheLoopEnd) {
    points({{0, 0}, {10, 64}, {20, 32}}, envelopeOn | envelopeLoop);
    in.volumeLoopStartPoint = 1;
    in.volumeLoopEndPoint = 2;
    auto values = run(31);
    EXPECT_EQ(values[0], 0);
    EXPECT_EQ(values[9], 57); // 9 * (64 * 65536 / 10) >> 16
    EXPECT_EQ(values[10], 64);
    EXPECT_EQ(values[19], 35);
    EXPECT_EQ(values[20], 64); // reaching point 2 outputs point 1's value
    EXPECT_EQ(values[29], 35);
    EXPECT_EQ(values[30], 64);
    EXPECT_EQ(c.volEnvDone, 0);
}

TEST_F(EnvelopeTest, SustainOnTheLastPointEndsInsteadOfHolding) {
    points({{0, 64}, {4, 16}}, envelopeOn | envelopeSustain);
    in.volumeSustainPoint = 1;
    auto values = run(6);
    EXPECT_EQ(values[4], 16);
    EXPECT_EQ(c.volEnvDone, 1);
}

TEST_F(EnvelopeTest, PanningEnvelopeMarksPanning) {
    points({{0, 0}, {4, 64}}, envelopeOn);
    c.updateFlags = 0;
    stepPanningEnvelope(&c, &in);
    stepPanningEnvelope(&c, &in);
    EXPECT_EQ(c.panEnvValue, 16);
    EXPECT_EQ(c.updateFlags, panningChanged);
}

TEST_F(EnvelopeTest, PointCountBeyondTheFileLimitStaysInsideThePoints) {
    points({{0, 64}, {2, 0}}, envelopeOn);
    in.volumeEnvelopePointCount = 200;
    auto values = run(30);
    EXPECT_EQ(values[2], 0);
    setEnvelopePosition(&c, &in, 255);
    EXPECT_EQ(c.volEnvDone, 1);
}

TEST_F(EnvelopeTest, SetPositionLandsInsideASegment) {
    points({{0, 64}, {32, 0}}, envelopeOn);
    run(1);
    setEnvelopePosition(&c, &in, 0x10);
    EXPECT_EQ(c.volEnvStep, -131072);
    EXPECT_EQ(c.volEnvValueFixed, 16 * -131072 + 64 * 65536);
    EXPECT_EQ(c.volEnvValue, 32);
    EXPECT_EQ(c.volEnvPoint, 1);
    EXPECT_EQ(c.volEnvTick, 16);
    EXPECT_EQ(run(2), (std::vector<int>{30, 28}));
}

TEST_F(EnvelopeTest, SetPositionPastTheEndFinishes) {
    points({{0, 64}, {32, 8}}, envelopeOn);
    setEnvelopePosition(&c, &in, 40);
    EXPECT_EQ(c.volEnvValue, 8);
    EXPECT_EQ(c.volEnvDone, 1);
}

// A position before the first point starts the envelope at that point: extrapolating the first
// segment backwards would leave 0..64, and far enough back overflow the fixed-point value.
TEST_F(EnvelopeTest, SetPositionBeforeTheFirstPointStartsThere) {
    struct Case {
        EnvelopePoint first, second;
        int32_t position;
        std::vector<int> values; // on the tick of Lxx and the two after it
    };
    const Case cases[] = {
        {{10, 64}, {20, 0}, 0, {64, 57, 51}},
        {{60000, 0}, {60001, 64}, 0, {0, 64, 64}},
        {{60000, 40}, {60000, 20}, 255, {40, 20, 20}},
    };
    for (const Case& k : cases) {
        points({k.first, k.second}, envelopeOn);
        setEnvelopePosition(&c, &in, k.position);
        std::vector<int> values = {c.volEnvValue};
        for (int v : run(2)) {
            values.push_back(v);
        }
        EXPECT_EQ(values, k.values) << "first point x " << k.first.x;
    }
}

TEST_F(EnvelopeTest, SetPositionEffectThroughThePattern) {
    instruments[0].volumeEnvelope[0] = {0, 64};
    instruments[0].volumeEnvelope[1] = {32, 0};
    instruments[0].volumeEnvelopePointCount = 2;
    instruments[0].volumeEnvelopeFlags = envelopeOn;
    put(0, 0, 0, 49, 1, 0, 21, 0x10);
    put(0, 0, 1, 49, 2, 0, 21, 0x10); // instrument 2 has no envelope: L10 does nothing
    start();
    ticks(1);
    EXPECT_EQ(ch(0).volEnvValue, 32);
    EXPECT_EQ(ch(0).voice->volume, 63);
    EXPECT_EQ(ch(1).volEnvValue, 64);
    ticks(2);
    EXPECT_EQ(ch(0).volEnvValue, 28);
}

TEST_F(EnvelopeTest, FadeoutSilencesAfterThirtyTwoTicks) {
    Instrument& inst = instruments[0];
    inst.volumeEnvelope[0] = {0, 64};
    inst.volumeEnvelope[1] = {1, 64};
    inst.volumeEnvelopePointCount = 2;
    inst.volumeEnvelopeFlags = envelopeOn;
    inst.fadeout = 2048; // 1024 in the file
    put(0, 0, 0, 49, 1);
    putEffect(0, 1, 0, 20, 0);
    start();
    ticks(6);
    ticks(31);
    EXPECT_EQ(ch(0).fadeoutVolume, 2048);
    EXPECT_GT(ch(0).voice->volume, 0);
    ticks(1);
    EXPECT_EQ(ch(0).fadeoutVolume, 0);
    EXPECT_EQ(ch(0).voice->volume, 0);
    ticks(1);
    EXPECT_EQ(ch(0).fadeoutVolume, 0);
}

TEST_F(EnvelopeTest, AutoVibratoSineStaysBelow64) {
    for (int p = 57; p <= 71; ++p) {
        EXPECT_EQ(autoVibratoWave(0, p), 63) << p;
    }
    EXPECT_LT(autoVibratoWave(0, 56), 63);
    EXPECT_LT(autoVibratoWave(0, 72), 63);
    EXPECT_EQ(autoVibratoWave(0, 0), 0);
    EXPECT_EQ(autoVibratoWave(0, 128), 0);
    EXPECT_EQ(autoVibratoWave(0, 192), -63);
}

// The table is written out in the source; every entry must follow trunc(sin(p * K) * 64) with
// K the single-precision 2 pi / 256.
TEST_F(EnvelopeTest, AutoVibratoSineTableFollowsTheFormula) {
    const double k = static_cast<double>(0.0245436877f);
    for (int p = 0; p < 256; ++p) {
        EXPECT_EQ(autoVibratoWave(0, p), static_cast<int32_t>(std::sin(p * k) * 64.0)) << p;
    }
}

TEST_F(EnvelopeTest, AutoVibratoOtherWaveforms) {
    EXPECT_EQ(autoVibratoWave(1, 127), 64);
    EXPECT_EQ(autoVibratoWave(1, 128), -64);
    // Ramp down.
    EXPECT_EQ(autoVibratoWave(2, 0), 0);
    EXPECT_EQ(autoVibratoWave(2, 1), -1);
    EXPECT_EQ(autoVibratoWave(2, 127), -64);
    EXPECT_EQ(autoVibratoWave(2, 128), 64);
    EXPECT_EQ(autoVibratoWave(2, 129), 63);
    EXPECT_EQ(autoVibratoWave(2, 255), 0);
    // Ramp up.
    EXPECT_EQ(autoVibratoWave(3, 0), 0);
    EXPECT_EQ(autoVibratoWave(3, 1), 0);
    EXPECT_EQ(autoVibratoWave(3, 127), 63);
    EXPECT_EQ(autoVibratoWave(3, 128), 64);
    EXPECT_EQ(autoVibratoWave(3, 129), -64);
    EXPECT_EQ(autoVibratoWave(3, 255), -1);
    EXPECT_EQ(autoVibratoWave(4, 64), 0);
}

TEST_F(EnvelopeTest, AutoVibratoWithoutSweepHasFullDepthAtOnce) {
    in.vibratoType = 1;
    in.vibratoDepth = 64;
    stepAutoVibrato(&c, &in);
    EXPECT_EQ(c.periodDelta, 64);
    EXPECT_EQ(c.updateFlags & pitchChanged, pitchChanged);
}

TEST_F(EnvelopeTest, AutoVibratoSweepGrowsOverTenTicks) {
    in.vibratoType = 1;
    in.vibratoDepth = 64;
    in.vibratoSweep = 10;
    std::vector<int> deltas;
    for (int k = 0; k < 12; ++k) {
        c.periodDelta = 0;
        stepAutoVibrato(&c, &in);
        deltas.push_back(c.periodDelta);
    }
    // 4096 * k / 10 >> 6 for k = 0..10, then full depth.
    const std::vector<int> expected = {0, 6, 12, 19, 25, 32, 38, 44, 51, 57, 64, 64};
    EXPECT_EQ(deltas, expected);
    EXPECT_EQ(c.autoVibratoSweep, 10);
}

TEST_F(EnvelopeTest, AutoVibratoAddsToTheEffectOffsetAndWrapsPosition) {
    in.vibratoType = 0;
    in.vibratoDepth = 16;
    in.vibratoRate = 200;
    c.autoVibratoPos = 64;
    c.periodDelta = 100;
    stepAutoVibrato(&c, &in);
    EXPECT_EQ(c.periodDelta, 100 + (63 * 16 >> 6));
    EXPECT_EQ(c.autoVibratoPos, 8); // 264 - 256
}

} // namespace
} // namespace ostrel::test
