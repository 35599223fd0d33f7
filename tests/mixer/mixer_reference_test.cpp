// The optimised mixer against the plain frame-by-frame one on many random voices: the mix
// buffers must agree bit for bit and so must the voice records after every call. Each sample's
// block holds exactly frames 0..E, so a read outside them is caught by the address sanitizer,
// and otherwise shows as a difference because the reference reads silence there.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <vector>

#include "audio/mixer.h"
#include "tests/mixer/mixer_support.h"
#include "tests/mixer/reference_mixer.h"

namespace ostrel::test {
namespace {

struct Rng {
    std::mt19937_64 engine;
    explicit Rng(uint64_t seed) : engine(seed) {}
    uint64_t bits() { return engine(); }
    // Uniform in [lo, hi].
    int64_t range(int64_t lo, int64_t hi) {
        return lo + static_cast<int64_t>(bits() % static_cast<uint64_t>(hi - lo + 1));
    }
    bool chance(int percent) { return range(0, 99) < percent; }
};

struct CaseOptions {
    uint64_t minStep; // 32.32 fixed point
    uint64_t maxStep;
    int maxEnd;
    int maxBlock;
};

void buildRandomSample(Rng& rng, TestSample& t, const CaseOptions& opt) {
    uint32_t end =
        static_cast<uint32_t>(rng.chance(30) ? rng.range(1, 6) : rng.range(1, opt.maxEnd));
    uint8_t loopType = static_cast<uint8_t>(rng.range(0, 2) == 0 ? loopNone
                                            : rng.chance(50)     ? loopForward
                                                                 : loopPingPong);
    uint32_t loopStart = 0;
    if (loopType != loopNone && !rng.chance(35)) {
        loopStart = static_cast<uint32_t>(rng.range(0, end - 1));
    }
    std::vector<int16_t> frames(end + 1);
    for (auto& f : frames) {
        f = static_cast<int16_t>(rng.range(-32768, 32767));
    }
    // The guard frame as loading leaves it; 0 (the spare frame) without loop.
    frames[end] = loopType == loopForward    ? frames[loopStart]
                  : loopType == loopPingPong ? frames[end - 1]
                                             : 0;
    makeSample(t, frames, loopStart, loopType);
}

uint32_t randomWholeNear(Rng& rng, const Sample& s) {
    uint32_t end = s.loopStart + s.loopLength;
    switch (rng.range(0, 5)) {
    case 0:
        return end - 1;
    case 1:
        return end > 1 ? end - 2 : 0;
    case 2:
        return s.loopStart;
    case 3:
        return s.loopStart + 1 < end ? s.loopStart + 1 : s.loopStart;
    default:
        return static_cast<uint32_t>(rng.range(0, end - 1));
    }
}

uint32_t randomFraction(Rng& rng) {
    switch (rng.range(0, 3)) {
    case 0:
        return 0;
    case 1:
        return 0xFFFFFFFFu - static_cast<uint32_t>(rng.range(0, 300));
    case 2:
        return static_cast<uint32_t>(rng.range(0, 300));
    default:
        return static_cast<uint32_t>(rng.bits());
    }
}

// Log-uniform step between the two limits.
uint64_t randomStep(Rng& rng, const CaseOptions& opt) {
    int lowBit = std::bit_width(opt.minStep) - 1;
    int highBit = std::bit_width(opt.maxStep) - 1;
    int b = static_cast<int>(rng.range(lowBit, highBit));
    uint64_t step = (uint64_t{1} << b) | (rng.bits() & ((uint64_t{1} << b) - 1));
    return std::clamp(step, opt.minStep, opt.maxStep);
}

void randomVolumes(Rng& rng, Voice& v) {
    v.targetVolume0 = static_cast<int32_t>(rng.range(0, 127));
    v.targetVolume1 = static_cast<int32_t>(rng.range(0, 127));
    v.currentVolume0 = static_cast<int32_t>(rng.range(0, 127 * 256 + 255));
    v.currentVolume1 = static_cast<int32_t>(rng.range(0, 127 * 256 + 255));
    v.lastTarget0 = rng.chance(60) ? v.targetVolume0 : static_cast<int32_t>(rng.range(0, 127));
    v.lastTarget1 = rng.chance(60) ? v.targetVolume1 : static_cast<int32_t>(rng.range(0, 127));
    if (rng.chance(50)) {
        v.rampFramesLeft = static_cast<int32_t>(rng.range(1, rampFrames));
        v.rampStep0 = static_cast<float>(rng.range(-1000, 1000)) * 1e-5f;
        v.rampStep1 = static_cast<float>(rng.range(-1000, 1000)) * 1e-5f;
    }
    if (rng.chance(20)) {
        // Steady at the targets.
        v.currentVolume0 = v.targetVolume0 * 256;
        v.currentVolume1 = v.targetVolume1 * 256;
        v.lastTarget0 = v.targetVolume0;
        v.lastTarget1 = v.targetVolume1;
        v.rampFramesLeft = 0;
        v.rampStep0 = v.rampStep1 = 0.0f;
    }
}

// Runs `cases` random voices through both mixers; returns the number of frames compared.
int64_t compareMixers(uint64_t seed, int cases, const CaseOptions& opt) {
    Rng rng(seed);
    int64_t framesCompared = 0;
    const int32_t rates[] = {44100, 44100, 44100, 22050, 48000, 8000};
    for (int c = 0; c < cases; ++c) {
        setMixerRate(rates[rng.range(0, 5)]);
        TestSample t;
        buildRandomSample(rng, t, opt);
        Voice v{};
        v.index = static_cast<int32_t>(rng.range(0, 63));
        v.sample = &t.sample;
        v.positionInt = randomWholeNear(rng, t.sample);
        if (rng.chance(3)) {
            // Out of range as the engine never leaves it: the mixer must still stay inside.
            v.positionInt =
                t.sample.loopStart + t.sample.loopLength + static_cast<uint32_t>(rng.range(0, 3));
        }
        v.positionFrac = randomFraction(rng);
        uint64_t step = randomStep(rng, opt);
        v.stepInt = static_cast<uint32_t>(step >> 32);
        v.stepFrac = static_cast<uint32_t>(step);
        v.direction = t.sample.loopType == loopPingPong && rng.chance(50) ? 2 : 1;
        randomVolumes(rng, v);
        Voice ref = v;

        int calls = static_cast<int>(rng.range(1, 6));
        for (int call = 0; call < calls; ++call) {
            int32_t frames = static_cast<int32_t>(rng.chance(5) ? 0 : rng.range(1, opt.maxBlock));
            std::vector<float> bufA(2 * static_cast<size_t>(frames) + 2);
            for (auto& x : bufA) {
                x = static_cast<float>(rng.range(-100000, 100000)) * 0.01f;
            }
            std::vector<float> bufB = bufA;
            mixVoice(&v, bufA.data(), frames);
            referenceMixVoice(&ref, bufB.data(), frames);
            framesCompared += frames;
            EXPECT_TRUE(sameBits(bufA, bufB)) << "case " << c << " call " << call;
            EXPECT_TRUE(sameVoice(v, ref)) << "case " << c << " call " << call;
            if (::testing::Test::HasFailure()) {
                return framesCompared;
            }
            // The engine changes targets between ticks now and then.
            if (rng.chance(40)) {
                v.targetVolume0 = ref.targetVolume0 = static_cast<int32_t>(rng.range(0, 127));
            }
            if (rng.chance(40)) {
                v.targetVolume1 = ref.targetVolume1 = static_cast<int32_t>(rng.range(0, 127));
            }
        }
    }
    return framesCompared;
}

TEST(MixerAgainstReference, StepsFromOneSixtyFourthToSixteenFrames) {
    CaseOptions opt{uint64_t{1} << 26, uint64_t{16} << 32, 300, 1000};
    int64_t frames = compareMixers(1, 4000, opt);
    EXPECT_GT(frames, 1000000);
}

TEST(MixerAgainstReference, StepsNearOneOnLongerSamples) {
    CaseOptions opt{(uint64_t{1} << 32) - (uint64_t{1} << 29),
                    (uint64_t{1} << 32) + (uint64_t{1} << 29), 3000, 2000};
    compareMixers(2, 1500, opt);
}

TEST(MixerAgainstReference, TinyLoopsAndShortBlocks) {
    CaseOptions opt{uint64_t{1} << 26, uint64_t{16} << 32, 4, 40};
    compareMixers(3, 4000, opt);
}

TEST(MixerAgainstReference, StepsBelowTheLookAheadResolution) {
    // Steps under 2^-24 frame, including 0.
    CaseOptions opt{1, uint64_t{1} << 12, 8, 300};
    compareMixers(4, 1000, opt);
}

TEST(MixerAgainstReference, StepsFarLargerThanTheLoop) {
    CaseOptions opt{uint64_t{16} << 32, uint64_t{5000} << 32, 50, 200};
    compareMixers(5, 1000, opt);
}

} // namespace
} // namespace ostrel::test
