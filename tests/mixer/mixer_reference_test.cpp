// The optimised mixer, with each kind of frame loops, against the plain frame-by-frame one on
// many random voices: the mix buffers must agree bit for bit (but for the sign of a zero, see
// sameMix) and so must their 16-bit conversions and the voice records after every call. Each
// sample's block holds exactly frames 0..E and the spare frames after them, so a read outside
// the block is caught by the address sanitizer, and a spare frame heard shows as a difference
// because the reference reads silence there.
//
// This file is built with its own copy of the mixer, which counts the paths it takes (see
// audio/mixer_paths.h): the cases together must reach every path of each kind of loops, or a
// path could break unseen.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

#include "audio/mixer.h"
#include "audio/mixer_paths.h"
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
    // Half the forward loops carry copies, of one to eight loop lengths; a few samples have no
    // float values, as the longest ones loaded.
    if (loopType == loopForward && rng.chance(50)) {
        addLoopCopies(t, static_cast<uint32_t>(rng.range(1, 8)));
    }
    if (rng.chance(10)) {
        dropFrameValues(t);
    }
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
        v.rampFramesLeft = static_cast<int32_t>(rng.range(1, mixerPlayer()->rampFrames));
        v.rampStep0 = static_cast<float>(rng.range(-1000, 1000)) * 1e-5f;
        v.rampStep1 = static_cast<float>(rng.range(-1000, 1000)) * 1e-5f;
    }
    if (rng.chance(25)) {
        // Silent targets: either fading out towards them (an old slot of a channel that has
        // moved on) or already there, looping unheard.
        v.targetVolume0 = v.targetVolume1 = 0;
        if (rng.chance(50)) {
            v.currentVolume0 = static_cast<int32_t>(rng.range(0, 255));
            v.currentVolume1 = static_cast<int32_t>(rng.range(0, 255));
            v.lastTarget0 = v.lastTarget1 = 0;
            v.rampFramesLeft = 0;
            v.rampStep0 = v.rampStep1 = 0.0f;
        }
    } else if (rng.chance(20)) {
        // Steady at the targets.
        v.currentVolume0 = v.targetVolume0 * 256;
        v.currentVolume1 = v.targetVolume1 * 256;
        v.lastTarget0 = v.targetVolume0;
        v.lastTarget1 = v.targetVolume1;
        v.rampFramesLeft = 0;
        v.rampStep0 = v.rampStep1 = 0.0f;
    }
}

// A random playing voice on the sample t (built here).
Voice randomVoice(Rng& rng, TestSample& t, const CaseOptions& opt) {
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
    return v;
}

// A mix buffer as the chunk renderer leaves it between voices: mostly sums, now and then a
// run of zeros of either sign, where a skipped silent voice could differ in a zero's sign.
std::vector<float> randomBuffer(Rng& rng, int32_t frames) {
    std::vector<float> buf(2 * static_cast<size_t>(frames) + 2);
    const bool zeros = rng.chance(20);
    for (auto& x : buf) {
        if (zeros && rng.chance(70)) {
            x = rng.chance(50) ? 0.0f : -0.0f;
        } else {
            x = static_cast<float>(rng.range(-100000, 100000)) * 0.01f;
        }
    }
    return buf;
}

// The engine changes targets between ticks now and then, to silence as well.
void changeTargets(Rng& rng, Voice& v, Voice& ref) {
    if (rng.chance(10)) {
        v.targetVolume0 = ref.targetVolume0 = 0;
        v.targetVolume1 = ref.targetVolume1 = 0;
        return;
    }
    if (rng.chance(40)) {
        v.targetVolume0 = ref.targetVolume0 = static_cast<int32_t>(rng.range(0, 127));
    }
    if (rng.chance(40)) {
        v.targetVolume1 = ref.targetVolume1 = static_cast<int32_t>(rng.range(0, 127));
    }
}

// Silent at both gains for the whole call: no ramp running or about to start.
bool silentThroughout(const Voice& v) {
    return v.sample && v.targetVolume0 == 0 && v.targetVolume1 == 0 && v.rampFramesLeft == 0 &&
           (v.currentVolume0 >> 8) == 0 && (v.currentVolume1 >> 8) == 0;
}

struct CompareTally {
    int64_t frames = 0;       // frames compared
    int64_t silentFrames = 0; // of them, frames of voices silent for the whole call
};

// Runs `cases` random voices through both mixers.
CompareTally compareMixers(uint64_t seed, int cases, const CaseOptions& opt) {
    Rng rng(seed);
    CompareTally tally;
    const int32_t rates[] = {44100, 44100, 44100, 22050, 48000, 8000};
    for (int c = 0; c < cases; ++c) {
        setMixerRate(mixerPlayer(), rates[rng.range(0, 5)]);
        TestSample t;
        Voice v = randomVoice(rng, t, opt);
        Voice ref = v;

        int calls = static_cast<int>(rng.range(1, 6));
        for (int call = 0; call < calls; ++call) {
            int32_t frames = static_cast<int32_t>(rng.chance(5) ? 0 : rng.range(1, opt.maxBlock));
            std::vector<float> bufA = randomBuffer(rng, frames);
            std::vector<float> bufB = bufA;
            if (silentThroughout(v)) {
                tally.silentFrames += frames;
            }
            mixVoice(mixerPlayer(), &v, bufA.data(), frames);
            referenceMixVoice(mixerPlayer(), &ref, bufB.data(), frames);
            tally.frames += frames;
            EXPECT_TRUE(sameMix(bufA, bufB)) << "case " << c << " call " << call;
            EXPECT_TRUE(sameVoice(v, ref)) << "case " << c << " call " << call;
            if (::testing::Test::HasFailure()) {
                return tally;
            }
            changeTargets(rng, v, ref);
        }
    }
    return tally;
}

// The random cases of each test below: step range, sample end and block length.
const CaseOptions wideSteps{uint64_t{1} << 26, uint64_t{16} << 32, 300, 1000};
const CaseOptions stepsNearOne{(uint64_t{1} << 32) - (uint64_t{1} << 29),
                               (uint64_t{1} << 32) + (uint64_t{1} << 29), 3000, 2000};
const CaseOptions tinyLoops{uint64_t{1} << 26, uint64_t{16} << 32, 4, 40};
const CaseOptions tinySteps{1, uint64_t{1} << 12, 8, 300}; // under 2^-24 frame, 0 included
const CaseOptions stepsAroundOneFrame{(uint64_t{1} << 32) - (uint64_t{1} << 12),
                                      (uint64_t{1} << 32) + (uint64_t{1} << 12), 40, 30};
const CaseOptions hugeSteps{uint64_t{16} << 32, uint64_t{5000} << 32, 50, 200};

// A sample of random frames with a forward loop [loopStart, loopStart + length) and its guard.
void randomForwardLoop(Rng& rng, TestSample& t, uint32_t loopStart, uint32_t length) {
    std::vector<int16_t> frames(loopStart + length + 1);
    for (auto& f : frames) {
        f = static_cast<int16_t>(rng.range(-32768, 32767));
    }
    frames[loopStart + length] = frames[loopStart];
    makeSample(t, frames, loopStart, loopForward);
}

// Mixes n frames of v into a copy of buf and, from the same start, n frames of a copy of v with
// the reference mixer into another: the buffers and the voices after must agree.
::testing::AssertionResult mixesAsReference(Voice& v, const std::vector<float>& buf, int32_t n) {
    Voice ref = v;
    std::vector<float> mine = buf;
    std::vector<float> theirs = buf;
    mixVoice(mixerPlayer(), &v, mine.data(), n);
    referenceMixVoice(mixerPlayer(), &ref, theirs.data(), n);
    if (::testing::AssertionResult same = sameMix(mine, theirs); !same) {
        return same;
    }
    return sameVoice(v, ref);
}

// Silent voices whose call ends within a hair of a turn of their loop (its end, or for ping-pong
// either end), where the look-ahead's rounded step decides whether the turn has come yet: the
// position after the call is aimed at the turn, give or take up to 300 units per frame, and
// every call must leave the voice where the frame-by-frame mixer does. Returns the cases run.
int64_t silentVoicesEndingAtATurn(int cases) {
    Rng rng(8);
    int64_t nearTurns = 0;
    for (int c = 0; c < cases && !::testing::Test::HasFailure(); ++c) {
        const bool pingPong = rng.chance(50);
        const uint32_t loopStart = static_cast<uint32_t>(rng.range(0, 20));
        const uint32_t length = static_cast<uint32_t>(rng.range(1, 300));
        std::vector<int16_t> frames(loopStart + length + 1, 1000);
        TestSample t;
        makeSample(t, frames, loopStart, pingPong ? loopPingPong : loopForward);
        Voice v = steadyVoice(&t.sample, 0);
        const uint64_t loop = static_cast<uint64_t>(length) << 32;
        const uint64_t step = std::clamp<uint64_t>(
            randomStep(rng, {uint64_t{1} << 26, uint64_t{64} << 32, 0, 0}), 1, loop - 1);
        setStep(v, static_cast<uint32_t>(step >> 32), static_cast<uint32_t>(step));
        const int32_t n = static_cast<int32_t>(rng.range(1, 2000));
        // Unfolded positions: forward (position - loop start), backward one period minus
        // one unit minus that.
        const uint64_t period = pingPong ? 2 * loop : loop;
        const uint64_t turn = pingPong && rng.chance(50) ? loop : 0;
        const int64_t reach = 300 * static_cast<int64_t>(n);
        const uint64_t target = turn + period + static_cast<uint64_t>(rng.range(-reach, reach));
        const uint64_t from =
            (target % period + period - (static_cast<uint64_t>(n) * step) % period) % period;
        const bool backward = from >= loop;
        const uint64_t pos =
            (static_cast<uint64_t>(loopStart) << 32) + (backward ? period - 1 - from : from);
        setPosition(v, static_cast<uint32_t>(pos >> 32), static_cast<uint32_t>(pos));
        v.direction = backward ? 2 : 1;
        EXPECT_TRUE(mixesAsReference(v, std::vector<float>(2 * static_cast<size_t>(n), 1.0f), n))
            << "case " << c;
        ++nearTurns;
    }
    return nearTurns;
}

// Steady voices on short forward loops with loop copies, whose call has a frame that passes the
// play end by a hair (up to 300 units per frame of the call): the look-ahead's rounded step may
// then end a piece one frame late, so that its last frame is read past the end, and the mixer
// must mix what mixing piece by piece mixes, frame for frame. Returns the cases run.
int64_t steadyVoicesPassingTheEndByAHair(int cases) {
    Rng rng(10);
    int64_t run = 0;
    for (int c = 0; c < cases && !::testing::Test::HasFailure(); ++c) {
        const uint32_t loopStart = static_cast<uint32_t>(rng.range(0, 20));
        const uint32_t length = static_cast<uint32_t>(rng.range(1, 300));
        TestSample t;
        randomForwardLoop(rng, t, loopStart, length);
        addLoopCopies(t, static_cast<uint32_t>(rng.range(1, (4096 + length - 1) / length)));
        Voice v = steadyVoice(&t.sample, static_cast<int32_t>(rng.range(1, 255)));
        v.targetVolume1 = v.lastTarget1 = static_cast<int32_t>(rng.range(0, 255));
        v.currentVolume1 = v.targetVolume1 * 256;
        const uint64_t loop = static_cast<uint64_t>(length) << 32;
        const uint64_t step = std::clamp<uint64_t>(
            randomStep(rng, {uint64_t{1} << 26, uint64_t{2} << 32, 0, 0}), 1, loop - 1);
        setStep(v, static_cast<uint32_t>(step >> 32), static_cast<uint32_t>(step));
        const int32_t n = static_cast<int32_t>(rng.range(1, 2000));
        // Frame k of the call passes an end by r: it starts at (r - k x step) mod loop.
        const uint64_t k = static_cast<uint64_t>(rng.range(1, n));
        const uint64_t r = static_cast<uint64_t>(rng.range(0, 300 * static_cast<int64_t>(n)));
        const uint64_t back = (k * step) % loop;
        const uint64_t from = (r % loop + loop - back) % loop;
        const uint64_t pos = (static_cast<uint64_t>(loopStart) << 32) + from;
        setPosition(v, static_cast<uint32_t>(pos >> 32), static_cast<uint32_t>(pos));
        EXPECT_TRUE(mixesAsReference(v, randomBuffer(rng, n), n)) << "case " << c;
        ++run;
    }
    return run;
}

// Ramps as the engine starts them, between any two volumes at each output rate's ramp length,
// over a long forward loop: their gains cross many binades (from or to 0 most of all), and steps
// with few significant bits meet the gains' units half-way, where rounding to even decides. Any
// way of forming the gains other than adding the step frame after frame shows here. Returns the
// ramps run.
int64_t rampGainsAcrossBinades(int cases) {
    Rng rng(9);
    int64_t ramps = 0;
    for (int c = 0; c < cases && !::testing::Test::HasFailure(); ++c) {
        const int32_t rates[] = {44100, 48000, 22050};
        setMixerRate(mixerPlayer(), rates[rng.range(0, 2)]);
        TestSample t;
        randomForwardLoop(rng, t, 0, 2000);
        const int32_t from = rng.chance(30) ? 0 : static_cast<int32_t>(rng.range(0, 255));
        const int32_t to = rng.chance(30) ? 0 : static_cast<int32_t>(rng.range(0, 255));
        Voice v = steadyVoice(&t.sample, from);
        v.targetVolume0 = to;
        v.targetVolume1 = static_cast<int32_t>(rng.range(0, 255));
        if (rng.chance(50)) {
            // A running ramp whose step has few significant bits.
            v.lastTarget0 = v.targetVolume0;
            v.lastTarget1 = v.targetVolume1;
            v.rampFramesLeft = mixerPlayer()->rampFrames;
            v.rampStep0 = std::ldexp(static_cast<float>(rng.range(-7, 7)),
                                     static_cast<int>(rng.range(-20, -8)));
            v.rampStep1 = std::ldexp(static_cast<float>(rng.range(-7, 7)),
                                     static_cast<int>(rng.range(-20, -8)));
        }
        const uint64_t step = randomStep(rng, {uint64_t{1} << 28, uint64_t{3} << 32, 0, 0});
        setStep(v, static_cast<uint32_t>(step >> 32), static_cast<uint32_t>(step));
        const int32_t n = static_cast<int32_t>(rng.range(1, 300));
        EXPECT_TRUE(mixesAsReference(v, std::vector<float>(2 * static_cast<size_t>(n), 0.0f), n))
            << "case " << c;
        ++ramps;
    }
    setMixerRate(mixerPlayer(), 44100);
    return ramps;
}

// The whole table through mixVoices against the reference voice by voice in slot order, chunk
// after chunk as the renderer calls it: pieces of a tick's length at every frame offset of the
// chunk, with idle, silent, fading and sounding slots side by side in one buffer. Returns the
// calls of voices silent throughout.
int64_t compareVoiceTables(int chunks) {
    Rng rng(6);
    CaseOptions opt{uint64_t{1} << 28, uint64_t{4} << 32, 400, 0};
    setMixerRate(mixerPlayer(), 44100);
    std::vector<TestSample> samples(mixedVoiceCount);
    Voice ref[mixedVoiceCount];
    for (int slot = 0; slot < mixedVoiceCount; ++slot) {
        mixerPlayer()->voices[slot] =
            rng.chance(20) ? Voice{} : randomVoice(rng, samples[slot], opt);
        mixerPlayer()->voices[slot].index = slot;
        ref[slot] = mixerPlayer()->voices[slot];
    }
    const int32_t chunkFrames = 884;
    int64_t silentCalls = 0;
    for (int chunk = 0; chunk < chunks && !::testing::Test::HasFailure(); ++chunk) {
        std::vector<float> mixA(2 * chunkFrames, 0.0f);
        std::vector<float> mixB = mixA;
        int32_t done = 0;
        while (done < chunkFrames) {
            int32_t n =
                std::min<int32_t>(static_cast<int32_t>(rng.range(1, 400)), chunkFrames - done);
            mixVoices(mixerPlayer(), mixA.data() + 2 * done, n);
            for (int slot = 0; slot < mixedVoiceCount; ++slot) {
                silentCalls += silentThroughout(ref[slot]) ? 1 : 0;
                referenceMixVoice(mixerPlayer(), &ref[slot], mixB.data() + 2 * done, n);
            }
            done += n;
            for (int slot = 0; slot < mixedVoiceCount; ++slot) {
                changeTargets(rng, mixerPlayer()->voices[slot], ref[slot]);
            }
        }
        EXPECT_TRUE(sameMix(mixA, mixB)) << "chunk " << chunk;
        for (int slot = 0; slot < mixedVoiceCount && !::testing::Test::HasFailure(); ++slot) {
            EXPECT_TRUE(sameVoice(mixerPlayer()->voices[slot], ref[slot]))
                << "chunk " << chunk << " slot " << slot;
        }
    }
    std::memset(static_cast<void*>(mixerPlayer()->voices), 0, sizeof mixerPlayer()->voices);
    return silentCalls;
}

class MixerAgainstReference : public LoopsTest {};

TEST_P(MixerAgainstReference, StepsFromOneSixtyFourthToSixteenFrames) {
    CompareTally tally = compareMixers(1, 4000, wideSteps);
    EXPECT_GT(tally.frames, 500000);
    // The skipped silent voices are among them in numbers.
    EXPECT_GT(tally.silentFrames, 25000);
}

TEST_P(MixerAgainstReference, StepsNearOneOnLongerSamples) {
    CompareTally tally = compareMixers(2, 1500, stepsNearOne);
    EXPECT_GT(tally.silentFrames, 25000);
}

TEST_P(MixerAgainstReference, TinyLoopsAndShortBlocks) {
    CompareTally tally = compareMixers(3, 4000, tinyLoops);
    EXPECT_GT(tally.silentFrames, 2500);
}

TEST_P(MixerAgainstReference, StepsBelowTheLookAheadResolution) {
    compareMixers(4, 1000, tinySteps);
}

// Steps a hair either side of one frame, where the eight-frame loops switch between loading a
// window of frames and loading each frame's pair, with short blocks, so that most calls end in
// a partial pass, and short loops, so that backward play often comes within a window's width
// of frame 0.
TEST_P(MixerAgainstReference, StepsAroundOneFrameWithPartialPasses) {
    CompareTally tally = compareMixers(7, 4000, stepsAroundOneFrame);
    EXPECT_GT(tally.frames, 50000);
}

TEST_P(MixerAgainstReference, StepsFarLargerThanTheLoop) {
    compareMixers(5, 1000, hugeSteps);
}

TEST_P(MixerAgainstReference, SilentVoicesEndingAtATurn) {
    EXPECT_EQ(silentVoicesEndingAtATurn(20000), 20000);
}

TEST_P(MixerAgainstReference, SteadyVoicesPassingTheEndByAHair) {
    EXPECT_EQ(steadyVoicesPassingTheEndByAHair(20000), 20000);
}

TEST_P(MixerAgainstReference, RampGainsAcrossBinadesAndHalfwaySteps) {
    EXPECT_EQ(rampGainsAcrossBinades(6000), 6000);
}

TEST_P(MixerAgainstReference, VoiceTableChunkAfterChunk) {
    EXPECT_GT(compareVoiceTables(40), 100);
}

INSTANTIATE_TEST_SUITE_P(Loops, MixerAgainstReference, loopsKinds, loopsName);

// Every path of the mixer, and whether each kind of loops must take it on the reference cases
// (true) or never (false). The SSE2 loops must never enter an AVX2 path: on a processor without
// AVX2 that would fault. The AVX2 conversion does all the sixteen-float passes, so the SSE2 one
// is never reached beside it.
struct PathRow {
    MixerPath path;
    const char* name;
    bool sse2;
    bool avx2;
};

const PathRow pathRows[] = {
    {MixerPath::silentAlongLoop, "silentAlongLoop", true, true},
    {MixerPath::silentPieces, "silentPieces", true, true},
    {MixerPath::rampChecked, "rampChecked", true, true},
    {MixerPath::rampSse2, "rampSse2", true, true},
    {MixerPath::rampSingle, "rampSingle", true, true},
    {MixerPath::constantChecked, "constantChecked", true, true},
    {MixerPath::constantSse2, "constantSse2", true, true},
    {MixerPath::constantSingle, "constantSingle", true, true},
    {MixerPath::windowAvx2, "windowAvx2", false, true},
    {MixerPath::windowPartialAvx2, "windowPartialAvx2", false, true},
    {MixerPath::wideWindowPartialAvx2, "wideWindowPartialAvx2", false, true},
    {MixerPath::gatherAvx2, "gatherAvx2", false, true},
    {MixerPath::valueWindowForwardAvx2, "valueWindowForwardAvx2", false, true},
    {MixerPath::valueWindowBackwardAvx2, "valueWindowBackwardAvx2", false, true},
    {MixerPath::valueGatherAvx2, "valueGatherAvx2", false, true},
    {MixerPath::valuePartialAvx2, "valuePartialAvx2", false, true},
    {MixerPath::copiesWalkedAvx2, "copiesWalkedAvx2", false, true},
    {MixerPath::copiesInOneStepAvx2, "copiesInOneStepAvx2", false, true},
    {MixerPath::steadyFallbackAvx2, "steadyFallbackAvx2", false, true},
    {MixerPath::convertAvx2, "convertAvx2", false, true},
    {MixerPath::convertSse2Sixteen, "convertSse2Sixteen", true, false},
    {MixerPath::convertSse2Eight, "convertSse2Eight", true, true},
    {MixerPath::convertSingle, "convertSingle", true, true},
};
static_assert(std::size(pathRows) == mixerPathCount, "a row for every path");

class MixerPaths : public LoopsTest {};

// A share of every test above, under one kind of loops, with the path counts cleared before:
// every path that kind must take has been taken, and none it must not.
TEST_P(MixerPaths, TheReferenceCasesReachEveryPath) {
    std::memset(mixerPathCounts, 0, sizeof mixerPathCounts);
    compareMixers(1, 1000, wideSteps);
    compareMixers(2, 300, stepsNearOne);
    compareMixers(3, 1000, tinyLoops);
    compareMixers(4, 250, tinySteps);
    compareMixers(7, 1000, stepsAroundOneFrame);
    compareMixers(5, 250, hugeSteps);
    silentVoicesEndingAtATurn(2000);
    steadyVoicesPassingTheEndByAHair(2000);
    rampGainsAcrossBinades(1000);
    compareVoiceTables(10);
    ASSERT_FALSE(HasFailure());
    const bool avx2 = GetParam() == MixerLoops::avx2;
    for (int i = 0; i < mixerPathCount; ++i) {
        const PathRow& row = pathRows[i];
        ASSERT_EQ(static_cast<int>(row.path), i) << row.name << ": the rows follow the paths";
        const int64_t taken = mixerPathCounts[i];
        if (avx2 ? row.avx2 : row.sse2) {
            EXPECT_GT(taken, 0) << row.name << " was never taken";
        } else {
            EXPECT_EQ(taken, 0) << row.name << " must not be taken";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Loops, MixerPaths, loopsKinds, loopsName);

} // namespace
} // namespace ostrel::test
