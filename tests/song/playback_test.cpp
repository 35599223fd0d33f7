// The built-in song played through the demo's own engine and output path: its levels, its
// ending before the show's 60 seconds are up, and its loop back to the theme.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/mixer.h"
#include "audio/renderer.h"
#include "module/stream.h"
#include "tools/songgen/song.h"
#include "tools/songviz/analysis.h"
#include "tools/songviz/song_render.h"

using namespace ostrel;
using namespace ostrel::songviz;

namespace {

constexpr double rate = 44100.0;

// Two passes of the song: the whole first one (with its intro) and the loop from the theme,
// rendered once for all tests of this file.
const Rendering& twoPasses() {
    static Rendering r;
    static bool done = false;
    if (!done) {
        done = true;
        EXPECT_TRUE(renderSong(nullptr, 116.0, -1, r));
    }
    return r;
}

// Samples (both channels) from second a to second b.
std::vector<int16_t> span(const Rendering& r, double a, double b) {
    size_t from = static_cast<size_t>(a * rate) * 2;
    size_t to = std::min(r.pcm.size(), static_cast<size_t>(b * rate) * 2);
    if (from >= to)
        return {};
    return std::vector<int16_t>(r.pcm.begin() + static_cast<long>(from),
                                r.pcm.begin() + static_cast<long>(to));
}

Levels levelsOf(const std::vector<int16_t>& s) {
    return measureLevels(s.data(), s.size());
}

// Seconds at the end of chunk i.
double chunkEnd(size_t i) {
    return static_cast<double>(i + 1) * chunkFramesAt(44100) / rate;
}

} // namespace

TEST(SongLevels, FirstSixtyFourSecondsStayBelowFullScale) {
    std::vector<int16_t> s = span(twoPasses(), 0.0, 64.0);
    ASSERT_EQ(s.size(), static_cast<size_t>(64 * 44100 * 2));
    Levels l = levelsOf(s);
    // The mixer clips without scaling: a sample at +-32767 would mean the mix overflowed.
    EXPECT_LT(l.peak, 32767);
    EXPECT_LE(l.peakDb, -0.5);
    EXPECT_GE(l.peakDb, -3.0);
}

TEST(SongLevels, RmsOfTheFirstSixtyFourSecondsIsModerate) {
    Levels l = levelsOf(span(twoPasses(), 0.0, 64.0));
    EXPECT_GE(l.rmsDb, -20.0);
    EXPECT_LE(l.rmsDb, -14.0);
}

TEST(SongShape, IntroBuildsUpToTheTheme) {
    const Rendering& r = twoPasses();
    double intro = levelsOf(span(r, 0.5, 3.5)).rmsDb;
    double theme = levelsOf(span(r, 8.0, 15.0)).rmsDb;
    EXPECT_LT(intro, theme - 3.0);
}

TEST(SongShape, LastChordRingsOutBeforeSixtySeconds) {
    const Rendering& r = twoPasses();
    // The final chord sounds after the cadence ...
    EXPECT_GT(levelsOf(span(r, 52.2, 53.5)).rmsDb, -30.0);
    // ... dies away ...
    EXPECT_LT(levelsOf(span(r, 59.0, 59.5)).rmsDb, levelsOf(span(r, 53.0, 54.0)).rmsDb - 20.0);
    // ... and is silent by the time the show ends, so the loop starts without a click.
    EXPECT_LT(levelsOf(span(r, 59.6, 59.9)).peak, 64);
}

TEST(SongLoop, OrdersRunThroughThenRestartAtTheTheme) {
    const Rendering& r = twoPasses();
    ASSERT_FALSE(r.chunks.empty());
    std::vector<int> orders; // each order position as it is entered
    std::vector<double> entered;
    for (size_t i = 0; i < r.chunks.size(); ++i) {
        if (orders.empty() || r.chunks[i].order != orders.back()) {
            orders.push_back(r.chunks[i].order);
            entered.push_back(chunkEnd(i));
        }
    }
    const std::vector<int> expected = {0, 1, 2, 3, 4, 5, 6, 7, 1, 2, 3, 4, 5, 6, 7, 1};
    EXPECT_EQ(orders, expected);
    ASSERT_EQ(entered.size(), expected.size());
    // The last chord begins after the cadence at about 52 s; the song comes round again at
    // the theme just before 60 s, and the second pass lasts as long as the first without
    // its intro.
    EXPECT_NEAR(entered[7], 52.03, 0.05);
    EXPECT_NEAR(entered[8], 59.95, 0.05);
    EXPECT_NEAR(entered[15] - entered[8], 59.95 - 7.68, 0.05);
}

TEST(SongLoop, RowsAdvanceWithinEveryOrder) {
    const Rendering& r = twoPasses();
    for (size_t i = 1; i < r.chunks.size(); ++i) {
        const ChunkInfo& a = r.chunks[i - 1];
        const ChunkInfo& b = r.chunks[i];
        if (a.order == b.order) {
            // A chunk (20 ms) is shorter than a row, so the row moves on by at most one.
            EXPECT_GE(b.row, a.row) << "chunk " << i;
            EXPECT_LE(b.row, a.row + 1) << "chunk " << i;
        } else {
            EXPECT_LE(b.row, 1) << "chunk " << i; // a new order starts at its top
        }
        // ChunkInfo is packed: copy the unaligned times out before comparing them.
        const int32_t before = a.timeMs;
        const int32_t after = b.timeMs;
        EXPECT_GT(after, before);
    }
}

TEST(SongLoop, SecondPassSoundsLikeTheFirst) {
    const Rendering& r = twoPasses();
    // The theme's first bars after the loop against the same bars the first time round.
    Levels first = levelsOf(span(r, 7.7, 14.0));
    Levels second = levelsOf(span(r, 59.97, 66.27));
    EXPECT_NEAR(first.rmsDb, second.rmsDb, 1.0);
}

// 64 s of the built-in song mixed with the given loops; empty when they are not to be had.
std::vector<int16_t> renderWithLoops(MixerLoops loops) {
    std::vector<int16_t> pcm;
    ModulePlayer* player = createPlayer(&memoryStreamHooks, "music.xm", nullptr, nullptr);
    Renderer renderer;
    if (player && setMixerLoops(player, loops) && startRenderer(&renderer, player, 44100)) {
        pcm.resize(64 * 44100 * 2);
        renderS16(&renderer, pcm.data(), 64 * 44100);
        stopRenderer(&renderer);
    }
    destroyPlayer(player);
    return pcm;
}

// The whole song through both kinds of mixer loops: the same bytes, on real instruments,
// envelopes, ramps and loops rather than made-up voices.
TEST(SongPlayback, BothKindsOfMixerLoopsGiveTheSameBytes) {
    const std::vector<int16_t> wide = renderWithLoops(MixerLoops::avx2);
    if (wide.empty()) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    const std::vector<int16_t> narrow = renderWithLoops(MixerLoops::sse2);
    ASSERT_EQ(wide.size(), narrow.size());
    EXPECT_TRUE(wide == narrow);
    EXPECT_TRUE(std::any_of(wide.begin(), wide.end(), [](int16_t s) { return s != 0; }));
}
