// The renderer on its own: what its start sets up at each rate, the same bytes for any split of
// the frames into calls, and players that share nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/mixer.h"
#include "audio/renderer.h"
#include "module/stream.h"
#include "player/sequencer.h"
#include "tests/xmrender/test_song.h"

namespace ostrel::testing {
namespace {

struct StartCase {
    int32_t rate;
    int32_t started;
    int32_t chunkFrames; // rate / 50 rounded up to a multiple of 4
    int32_t rampFrames;  // rate * 128 / 44100
};

const StartCase startCases[] = {
    {44100, 1, 884, 128},   {48000, 1, 960, 139}, {22050, 1, 444, 64},     {8000, 1, 160, 23},
    {192000, 1, 3840, 557}, {1000, 1, 20, 2},     {384000, 1, 7680, 1114}, {999, 0, 0, 0},
    {384001, 0, 0, 0},      {0, 0, 0, 0},
};

void ownTick(ModulePlayer* player) {
    player->samplesPerTick = 1000;
}

TEST(RendererStart, SetsUpThePlayerForTheRate) {
    for (const StartCase& c : startCases) {
        SCOPED_TRACE(c.rate);
        auto* player = new ModulePlayer{};
        player->defaultBpm = 125;
        player->defaultTempo = 6;
        std::memset(static_cast<void*>(player->voices), 0x5a, sizeof player->voices);
        Renderer renderer;
        ASSERT_EQ(startRenderer(&renderer, player, c.rate), c.started);
        if (c.started) {
            EXPECT_EQ(renderer.chunkFrames, c.chunkFrames);
            EXPECT_EQ(renderer.frameSeconds, 1.0f / static_cast<float>(c.rate));
            EXPECT_EQ(player->outputRate, c.rate);
            EXPECT_EQ(player->rampFrames, c.rampFrames);
            EXPECT_EQ(player->rampScale, 1.0f / static_cast<float>(c.rampFrames));
            EXPECT_EQ(player->tickFunction, &playerTick);
            // Every voice reset to its slot, idle, at step 1.
            for (int32_t i = 0; i < voiceSlotCount; ++i) {
                const Voice& v = player->voices[i];
                ASSERT_TRUE(v.index == i && v.stepInt == 1 && v.sample == nullptr &&
                            v.volume == 0 && v.positionInt == 0 && v.rampFramesLeft == 0)
                    << i;
            }
        } else {
            EXPECT_EQ(renderer.player, nullptr);
            int16_t none[2] = {7, 7};
            EXPECT_EQ(renderS16(&renderer, none, 1), 0);
            EXPECT_EQ(none[0], 7);
        }
        stopRenderer(&renderer);
        // A tick function of the player's own is kept.
        player->tickFunction = ownTick;
        ASSERT_EQ(startRenderer(&renderer, player, 44100), 1);
        EXPECT_EQ(player->tickFunction, &ownTick);
        stopRenderer(&renderer);
        delete player;
    }
    Renderer renderer;
    EXPECT_EQ(startRenderer(&renderer, nullptr, 44100), 0);
}

ModulePlayer* loadTestSong(uint16_t channels) {
    static std::vector<uint8_t> image;
    image = xmtest::buildXm(xmtest::makeTestSong(channels)).bytes;
    return createPlayer(xmtest::imageHooks(image), "song.xm", nullptr, nullptr);
}

ModulePlayer* loadBuiltinSong() {
    return createPlayer(&memoryStreamHooks, "music.xm", nullptr, nullptr);
}

// Renders frames of the player in calls of the sizes given, taken in turn; f32 or s16.
template <typename T>
std::vector<T> renderInCalls(ModulePlayer* player, int32_t rate, int32_t frames,
                             const std::vector<int32_t>& calls) {
    std::vector<T> out(static_cast<size_t>(frames) * 2);
    Renderer renderer;
    EXPECT_EQ(startRenderer(&renderer, player, rate), 1);
    for (int32_t done = 0, k = 0; done < frames; ++k) {
        int32_t n = calls[static_cast<size_t>(k) % calls.size()];
        n = n < frames - done ? n : frames - done;
        int32_t given = 0;
        if constexpr (sizeof(T) == sizeof(float))
            given = renderF32(&renderer, out.data() + static_cast<size_t>(done) * 2, n);
        else
            given = renderS16(&renderer, out.data() + static_cast<size_t>(done) * 2, n);
        EXPECT_EQ(given, n);
        done += n;
    }
    stopRenderer(&renderer);
    return out;
}

// Whatever the calls, the frames are those of whole chunks one after another (what the ring
// plays), in 16 bits and as floats, and the floats convert to the 16-bit frames.
TEST(RendererSplits, AnySplitGivesTheSameFrames) {
    struct Song {
        ModulePlayer* player;
        int32_t rate;
    };
    const Song songs[] = {{loadBuiltinSong(), 44100}, {loadTestSong(6), 48000}};
    const std::vector<std::vector<int32_t>> splits = {
        {1}, {3, 881, 2}, {883, 885}, {7, 1919, 4096}, {44100}};
    for (const Song& song : songs) {
        ASSERT_NE(song.player, nullptr);
        const int32_t chunk = chunkFramesAt(song.rate);
        const int32_t frames = 3 * song.rate + 17;
        const auto whole16 = renderInCalls<int16_t>(song.player, song.rate, frames, {chunk});
        const auto whole32 = renderInCalls<float>(song.player, song.rate, frames, {chunk});
        std::vector<int16_t> converted(whole16.size());
        convertToPcm16(converted.data(), whole32.data(), frames, mixerLoops(song.player));
        EXPECT_TRUE(converted == whole16);
        EXPECT_LT(std::count(whole16.begin(), whole16.end(), 0), frames); // not silent
        for (const auto& calls : splits) {
            SCOPED_TRACE(calls[0]);
            EXPECT_TRUE(renderInCalls<int16_t>(song.player, song.rate, frames, calls) == whole16);
            const auto split32 = renderInCalls<float>(song.player, song.rate, frames, calls);
            EXPECT_EQ(std::memcmp(split32.data(), whole32.data(), whole32.size() * sizeof(float)),
                      0);
        }
        destroyPlayer(song.player);
    }
}

// Two players rendered in turns on one thread, at different rates and with different frame
// loops, each give the frames they give alone: nothing of one song's playback lies outside its
// player and renderer.
TEST(RendererPlayers, InterleavedPlayersEqualTheirRenderAlone) {
    ModulePlayer* a = loadBuiltinSong();
    ModulePlayer* b = loadTestSong(12);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(setMixerLoops(b, MixerLoops::sse2));
    constexpr int32_t frames = 5 * 44100;
    const auto aloneA = renderInCalls<int16_t>(a, 44100, frames, {884});
    const auto aloneB = renderInCalls<int16_t>(b, 22050, frames, {444});
    std::vector<int16_t> outA(aloneA.size()), outB(aloneB.size());
    Renderer ra, rb;
    ASSERT_EQ(startRenderer(&ra, a, 44100), 1);
    ASSERT_EQ(startRenderer(&rb, b, 22050), 1);
    for (int32_t done = 0; done < frames; done += 1000) {
        const int32_t n = frames - done < 1000 ? frames - done : 1000;
        renderS16(&ra, outA.data() + static_cast<size_t>(done) * 2, n);
        renderS16(&rb, outB.data() + static_cast<size_t>(done) * 2, n);
    }
    stopRenderer(&ra);
    stopRenderer(&rb);
    EXPECT_TRUE(outA == aloneA);
    EXPECT_TRUE(outB == aloneB);
    destroyPlayer(a);
    destroyPlayer(b);
}

} // namespace
} // namespace ostrel::testing
