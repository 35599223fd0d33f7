// Small helpers shared by the mixer tests: a sample whose data block holds exactly the frames
// a loaded sample has (so the address sanitizer reports any read outside them), a fixture that
// runs a test under each kind of frame loops, and a field by field comparison of voice records
// with floats compared by bit pattern.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/mixer.h"

namespace ostrel::test {
// The player whose voice table, ramp and frame loops the mixer tests use, set up at 44,100 Hz
// with the processor's default loops; one for the whole test program.
inline ModulePlayer* mixerPlayer() {
    static ModulePlayer* player = [] {
        auto* made = new ModulePlayer{};
        setMixerRate(made, 44100);
        return made;
    }();
    return player;
}
} // namespace ostrel::test

namespace ostrel::test {

struct TestSample {
    std::unique_ptr<int16_t[]> block;
    std::unique_ptr<float[]> values;
    std::unique_ptr<float[]> copies;
    Sample sample{};
};

// Frames after the last given one, as a loaded sample has them: its block holds `length` +
// sampleSpareFrames frames. The mixer may load them (the eight-frame loops read a window of up
// to 17 frames from the first one of a pass) but must never hear them, so they hold a value
// that would show.
constexpr size_t spareFrames = sampleSpareFrames - 1;
constexpr int16_t spareValue = 0x2345;

// frames: data[0 .. E] inclusive, guard frame already in place; `length` is E, and the spare
// frames follow. A spare frame in front of frame 0 holds `poisonBefore` when `withFrameBefore`
// is set, so that a read of frame -1 shows up in the output; otherwise data starts at the
// block start.
inline void makeSample(TestSample& t, const std::vector<int16_t>& frames, uint32_t loopStart,
                       uint8_t loopType, bool withFrameBefore = false, int16_t poisonBefore = 0) {
    size_t offset = withFrameBefore ? 1 : 0;
    t.block.reset(new int16_t[frames.size() + offset + spareFrames]);
    if (withFrameBefore) {
        t.block[0] = poisonBefore;
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        t.block[i + offset] = frames[i];
    }
    for (size_t i = 0; i < spareFrames; ++i) {
        t.block[frames.size() + offset + i] = spareValue;
    }
    // The float values, as loading makes them: the same frames and spare frames.
    const size_t values = frames.size() + spareFrames;
    t.values.reset(new float[values]);
    for (size_t i = 0; i < values; ++i) {
        t.values[i] = static_cast<float>(t.block[i + offset]);
    }
    t.sample = Sample{};
    t.sample.data = t.block.get() + offset;
    t.sample.frameValues = t.values.get();
    t.sample.length = static_cast<uint32_t>(frames.size() - 1);
    t.sample.loopStart = loopStart;
    t.sample.loopLength = static_cast<uint32_t>(frames.size() - 1) - loopStart;
    t.sample.bitsPerSample = 16;
    t.sample.loopType = loopType;
}

// Loop copies as loading makes them for a short forward loop: `repeats` loop lengths from
// loopStart on, the guard frame (the loop's first frame) and poisoned spare frames.
inline void addLoopCopies(TestSample& t, uint32_t repeats) {
    const uint32_t length = t.sample.loopLength;
    const uint32_t frames = repeats * length;
    t.copies.reset(new float[frames + sampleSpareFrames]);
    for (uint32_t k = 0; k <= frames; ++k) {
        t.copies[k] = static_cast<float>(t.sample.data[t.sample.loopStart + k % length]);
    }
    for (uint32_t k = frames + 1; k < frames + sampleSpareFrames; ++k) {
        t.copies[k] = static_cast<float>(spareValue);
    }
    t.sample.loopCopies = t.copies.get();
    t.sample.loopCopyFrames = frames;
}

// A sample as loading leaves one too long for float values (and so without loop copies).
inline void dropFrameValues(TestSample& t) {
    t.sample.frameValues = nullptr;
    t.sample.loopCopies = nullptr;
    t.sample.loopCopyFrames = 0;
}

// A test run once with each kind of frame loops: the suite is instantiated with
// loopsKinds and named by loopsName (Sse2, Avx2). On a processor without AVX2 the AVX2 run is
// skipped, and says so.
class LoopsTest : public ::testing::TestWithParam<MixerLoops> {
  protected:
    void SetUp() override {
        before = mixerLoops(mixerPlayer());
        if (!setMixerLoops(mixerPlayer(), GetParam())) {
            GTEST_SKIP() << "no AVX2 on this processor: the AVX2 loops were not tested";
        }
    }
    void TearDown() override { setMixerLoops(mixerPlayer(), before); }

  private:
    MixerLoops before = MixerLoops::sse2;
};

inline const auto loopsKinds = ::testing::Values(MixerLoops::sse2, MixerLoops::avx2);

inline std::string loopsName(const ::testing::TestParamInfo<MixerLoops>& info) {
    return info.param == MixerLoops::avx2 ? "Avx2" : "Sse2";
}

// Fixed-point helpers: whole frames plus a fraction of 2^32.
inline void setPosition(Voice& v, uint32_t whole, uint32_t fraction) {
    v.positionInt = whole;
    v.positionFrac = fraction;
}
inline void setStep(Voice& v, uint32_t whole, uint32_t fraction) {
    v.stepInt = whole;
    v.stepFrac = fraction;
}

// A playing voice at steady volume `volume` on both output channels, moving forward.
inline Voice steadyVoice(Sample* s, int32_t volume) {
    Voice v{};
    v.sample = s;
    v.direction = 1;
    v.stepInt = 1;
    v.targetVolume0 = v.targetVolume1 = volume;
    v.lastTarget0 = v.lastTarget1 = volume;
    v.currentVolume0 = v.currentVolume1 = volume * 256;
    return v;
}

inline ::testing::AssertionResult sameVoice(const Voice& a, const Voice& b) {
#define OSTREL_SAME(field)                                                                         \
    if (a.field != b.field)                                                                        \
        return ::testing::AssertionFailure() << #field << ": " << a.field << " vs " << b.field;
#define OSTREL_SAME_BITS(field)                                                                    \
    if (std::bit_cast<uint32_t>(a.field) != std::bit_cast<uint32_t>(b.field))                      \
        return ::testing::AssertionFailure() << #field << ": " << a.field << " vs " << b.field;
    OSTREL_SAME(index)
    OSTREL_SAME(volumeCopy)
    OSTREL_SAME(frequency)
    OSTREL_SAME(panningCopy)
    OSTREL_SAME(volume)
    OSTREL_SAME(panning)
    OSTREL_SAME(startOffset)
    OSTREL_SAME(sample)
    OSTREL_SAME(targetVolume0)
    OSTREL_SAME(targetVolume1)
    OSTREL_SAME(positionInt)
    OSTREL_SAME(positionFrac)
    OSTREL_SAME(stepFrac)
    OSTREL_SAME(stepInt)
    OSTREL_SAME(direction)
    OSTREL_SAME(lastTarget0)
    OSTREL_SAME(lastTarget1)
    OSTREL_SAME(currentVolume0)
    OSTREL_SAME(currentVolume1)
    OSTREL_SAME_BITS(rampStep0)
    OSTREL_SAME_BITS(rampStep1)
    OSTREL_SAME(rampFramesLeft)
#undef OSTREL_SAME
#undef OSTREL_SAME_BITS
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult sameBits(const std::vector<float>& a,
                                           const std::vector<float>& b) {
    if (a.size() != b.size()) {
        return ::testing::AssertionFailure() << "sizes " << a.size() << " vs " << b.size();
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::bit_cast<uint32_t>(a[i]) != std::bit_cast<uint32_t>(b[i])) {
            return ::testing::AssertionFailure()
                   << "float " << i << " (frame " << i / 2 << "): " << a[i] << " vs " << b[i];
        }
    }
    return ::testing::AssertionSuccess();
}

// The mixer skips the work of a voice that is silent at both gains, where every frame would
// add s x 0.0. Adding a zero leaves every non-zero element exactly as it is; only an element
// that is itself zero can differ, in its sign (+0 + -0 = +0, -0 + -0 = -0), and both zeros
// convert to the same 16-bit sample. So mix buffers are compared bit for bit except that +0.0
// and -0.0 count as equal, and the 16-bit conversion of both is compared bit for bit as well.
inline ::testing::AssertionResult sameMix(const std::vector<float>& a,
                                          const std::vector<float>& b) {
    if (a.size() != b.size()) {
        return ::testing::AssertionFailure() << "sizes " << a.size() << " vs " << b.size();
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const bool bothZero = a[i] == 0.0f && b[i] == 0.0f;
        if (!bothZero && std::bit_cast<uint32_t>(a[i]) != std::bit_cast<uint32_t>(b[i])) {
            return ::testing::AssertionFailure()
                   << "float " << i << " (frame " << i / 2 << "): " << a[i] << " vs " << b[i];
        }
    }
    const int32_t frames = static_cast<int32_t>(a.size() / 2);
    std::vector<int16_t> pcmA(2 * static_cast<size_t>(frames));
    std::vector<int16_t> pcmB(pcmA.size());
    convertToPcm16(pcmA.data(), a.data(), frames, mixerLoops(mixerPlayer()));
    convertToPcm16(pcmB.data(), b.data(), frames, mixerLoops(mixerPlayer()));
    if (pcmA != pcmB) {
        return ::testing::AssertionFailure() << "16-bit samples differ";
    }
    return ::testing::AssertionSuccess();
}

} // namespace ostrel::test
