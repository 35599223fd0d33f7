// The float copies of a sample's frames that the AVX2 loops read: what makeFloatCopies builds
// for each kind of sample loaded from a file, and that a player's samples get them when its
// playback starts, only where the loops in use read them.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "audio/mixer.h"
#include "audio/renderer.h"
#include "tests/loader/loader_helpers.h"
#include "tests/mixer/mixer_support.h"

namespace ostrel::test {
namespace {

using loadertest::load;
using loadertest::withSamples;
using xmtest::XmSample;

// A 16-bit sample of `frames` frames that differ from their neighbours, with a loop (loopKind:
// 0 none, 1 forward, 2 ping-pong).
XmSample sampleOf(uint32_t frames, uint8_t loopKind, uint32_t loopStart, uint32_t loopLength) {
    std::vector<int32_t> values(frames);
    for (uint32_t k = 0; k < frames; ++k) {
        values[k] = static_cast<int32_t>((k * 7919u) % 65536u) - 32768;
    }
    XmSample s = XmSample::sixteen(values);
    s.loopKind = loopKind;
    s.loopStart = loopStart;
    s.loopLength = loopLength;
    return s;
}

struct CopiesCase {
    const char* name;
    XmSample sample;
    uint32_t copyFrames; // 0: no loop copies
};

// Loop copies go to forward loops shorter than 4096 frames, repeated to the first whole number
// of loop lengths from 4096 frames on; ping-pong loops, samples without loop and longer loops
// read their frames where they are.
const CopiesCase copiesCases[] = {
    {"forward loop of 4 frames: 1024 passes", sampleOf(8, 1, 2, 4), 4096},
    {"forward loop of 1 frame", sampleOf(3, 1, 2, 1), 4096},
    {"forward loop of 1500 frames: 3 passes", sampleOf(3000, 1, 1000, 1500), 4500},
    {"forward loop of 4095 frames: 2 passes", sampleOf(5000, 1, 10, 4095), 8190},
    {"forward loop of 4096 frames", sampleOf(5000, 1, 0, 4096), 0},
    {"ping-pong loop", sampleOf(8, 2, 2, 4), 0},
    {"no loop", sampleOf(8, 0, 0, 0), 0},
};

// Every frame of the block as a float (the guard frame and the zero spare frames included),
// and the copies: the loop's frames over and over, the guard frame (the loop's first frame),
// then zeros.
TEST(FloatCopies, HoldTheFramesAndTheRepeatedLoop) {
    for (const CopiesCase& c : copiesCases) {
        SCOPED_TRACE(c.name);
        auto player = load(withSamples({c.sample}));
        ASSERT_TRUE(player);
        Sample* s = player->instruments[0].samples[0];
        EXPECT_EQ(s->frameValues, nullptr) << "loading builds no copies";
        makeFloatCopies(s);
        ASSERT_NE(s->frameValues, nullptr);
        for (uint32_t k = 0; k < s->length + sampleSpareFrames; ++k) {
            ASSERT_EQ(s->frameValues[k], static_cast<float>(s->data[k])) << "frame " << k;
        }
        EXPECT_EQ(s->loopCopyFrames, c.copyFrames);
        if (c.copyFrames == 0) {
            EXPECT_EQ(s->loopCopies, nullptr);
            continue;
        }
        ASSERT_NE(s->loopCopies, nullptr);
        for (uint32_t k = 0; k <= c.copyFrames; ++k) {
            const int16_t frame = s->data[s->loopStart + k % s->loopLength];
            ASSERT_EQ(s->loopCopies[k], static_cast<float>(frame)) << "copy frame " << k;
        }
        for (uint32_t k = c.copyFrames + 1; k < c.copyFrames + sampleSpareFrames; ++k) {
            ASSERT_EQ(s->loopCopies[k], 0.0f) << "spare frame " << k;
        }
    }
}

// Past the limit a sample keeps only its 16-bit frames (the mixer reads those), and so has no
// loop copies either, however short its loop; a sample of no frames has nothing to copy.
TEST(FloatCopies, NoneForSamplesPastTheLimitOrWithoutFrames) {
    XmSample huge = XmSample::sixteen(std::vector<int32_t>(frameValuesLimit + 1, 3));
    huge.loopKind = 1;
    huge.loopLength = 100;
    XmSample atLimit = XmSample::sixteen(std::vector<int32_t>(frameValuesLimit, 5));
    auto player = load(withSamples({huge, atLimit, XmSample::sixteen({})}));
    ASSERT_TRUE(player);
    Sample* const* samples = player->instruments[0].samples;
    for (int k = 0; k < 3; ++k) {
        makeFloatCopies(samples[k]);
    }
    EXPECT_EQ(samples[0]->frameValues, nullptr);
    EXPECT_EQ(samples[0]->loopCopies, nullptr);
    ASSERT_NE(samples[1]->frameValues, nullptr);
    EXPECT_EQ(samples[1]->frameValues[frameValuesLimit - 1], 5.0f);
    EXPECT_EQ(samples[2]->data, nullptr);
    EXPECT_EQ(samples[2]->frameValues, nullptr);
}

using FloatCopiesAtStart = LoopsTest;

// The renderer's start gives every sample its copies where the player's loops are the AVX2
// ones, and none where they are the SSE2 ones, which never read them. A second start keeps the
// copies it finds.
TEST_P(FloatCopiesAtStart, OnlyWhereTheLoopsInUseReadThem) {
    auto player = load(withSamples({sampleOf(8, 1, 2, 4), sampleOf(8, 2, 2, 4)}));
    ASSERT_TRUE(player);
    ASSERT_TRUE(setMixerLoops(player.get(), GetParam()));
    Renderer renderer;
    ASSERT_EQ(startRenderer(&renderer, player.get(), 44100), 1);
    stopRenderer(&renderer);
    const Sample* forward = player->instruments[0].samples[0];
    const Sample* pingPong = player->instruments[0].samples[1];
    if (GetParam() == MixerLoops::sse2) {
        EXPECT_EQ(forward->frameValues, nullptr);
        EXPECT_EQ(forward->loopCopies, nullptr);
        EXPECT_EQ(pingPong->frameValues, nullptr);
        return;
    }
    ASSERT_NE(forward->frameValues, nullptr);
    ASSERT_NE(forward->loopCopies, nullptr);
    ASSERT_NE(pingPong->frameValues, nullptr);
    const float* values = forward->frameValues;
    const float* copies = forward->loopCopies;
    ASSERT_EQ(startRenderer(&renderer, player.get(), 44100), 1);
    EXPECT_EQ(forward->frameValues, values);
    EXPECT_EQ(forward->loopCopies, copies);
    stopRenderer(&renderer);
}

INSTANTIATE_TEST_SUITE_P(Loops, FloatCopiesAtStart, loopsKinds, loopsName);

} // namespace
} // namespace ostrel::test
