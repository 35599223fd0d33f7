// Where songs end: small songs from the tests' XM writer are measured through the offline
// renderer, and the frames are checked against counts made by hand from each song's rows,
// ticks per row and frames per tick. At 44,100 Hz BPM 125 gives 882 frames a tick and BPM 80
// gives 1378; every song runs at 3 ticks a row, so a row at BPM 125 is 2646 frames.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "test_song.h"
#include "tests/support/xm_writer.h"
#include "tools/xmrender/render.h"
#include "tools/xmrender/song_end.h"

namespace ostrel::testing {
namespace {

constexpr int64_t row125 = 3 * 882;
constexpr int64_t row80 = 3 * 1378;

struct Effect {
    int pattern;
    int row;
    int channel;
    uint8_t effect;
    uint8_t param;
};

struct SongCase {
    const char* name;
    std::vector<uint8_t> orders;
    uint16_t restart;
    std::vector<Effect> effects;
    int32_t passes;
    int64_t frames;     // the passes asked for
    int64_t passFrames; // the first pass
    int32_t repeatOrder;
    int32_t repeatRow;
    int32_t stopped;
};

void PrintTo(const SongCase& song, std::ostream* out) {
    *out << song.name;
}

// Two channels, 8-row patterns, one per order position, no instruments: only the flow counts.
std::string writeSong(const SongCase& song) {
    xmtest::XmModule module;
    module.channels = 2;
    module.tempo = 3;
    module.bpm = 125;
    module.songLength = uint16_t(song.orders.size());
    module.restartPosition = song.restart;
    module.patterns.clear();
    for (size_t i = 0; i < song.orders.size(); ++i) {
        module.orderTable[i] = song.orders[i];
        xmtest::XmPattern pattern;
        pattern.rows = 8;
        pattern.cells.assign(8 * 2, xmtest::XmCell{});
        module.patterns.push_back(pattern);
    }
    for (const Effect& e : song.effects) {
        xmtest::XmCell& cell = module.patterns[e.pattern].cells[e.row * 2 + e.channel];
        cell.effect = e.effect;
        cell.effectParam = e.param;
    }
    const std::string path =
        ::testing::TempDir() + "song_end_" + std::to_string(getpid()) + "_" + song.name + ".xm";
    const xmtest::XmImage image = xmtest::buildXm(module);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (file) {
        std::fwrite(image.bytes.data(), 1, image.bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

const SongCase songCases[] = {
    // rows 0-3 at BPM 125, then F50 sets BPM 80 for the rest; the song wraps to order 0 row 0
    {"order_wrap",
     {0, 1},
     0,
     {{0, 4, 0, 0xF, 0x50}},
     1,
     4 * row125 + 12 * row80,
     4 * row125 + 12 * row80,
     0,
     0,
     0},
    // 24 rows, then orders 1 and 2 again (16 rows) make the second pass
    {"restart_position", {0, 1, 2}, 1, {}, 2, 40 * row125, 24 * row125, 1, 0, 0},
    // B01 on row 3 of order 2: 8 + 8 + 4 rows, then order 1 comes round again
    {"backward_jump", {0, 1, 2}, 0, {{2, 3, 0, 0xB, 0x01}}, 1, 20 * row125, 20 * row125, 1, 0, 0},
    // D04 on row 5 of the last order breaks to row 4 of order 0: 8 + 6 rows
    {"break_to_earlier_order",
     {0, 1},
     0,
     {{1, 5, 1, 0xD, 0x04}},
     1,
     14 * row125,
     14 * row125,
     0,
     4,
     0},
    // rows 2-4 three times: 5 + 3 + 3 + 3 rows before the wrap
    {"pattern_loop",
     {0},
     0,
     {{0, 2, 0, 0xE, 0x60}, {0, 4, 0, 0xE, 0x62}},
     1,
     14 * row125,
     14 * row125,
     0,
     0,
     0},
    // the whole pattern twice through a loop from row 0, then the wrap
    {"loop_from_row_zero",
     {0},
     0,
     {{0, 0, 1, 0xE, 0x60}, {0, 7, 1, 0xE, 0x61}},
     1,
     16 * row125,
     16 * row125,
     0,
     0,
     0},
    // B02 on row 3 skips order 1: 4 + 8 + 8 rows, then the wrap
    {"forward_jump", {0, 1, 2, 3}, 0, {{0, 3, 0, 0xB, 0x02}}, 1, 20 * row125, 20 * row125, 0, 0, 0},
    // B01 and D02 on row 2 of order 1 play that row again and again: the first pass ends after
    // 8 + 3 rows, each later pass is that one row
    {"jump_to_itself",
     {0, 1},
     0,
     {{1, 2, 0, 0xB, 0x01}, {1, 2, 1, 0xD, 0x02}},
     3,
     13 * row125,
     11 * row125,
     1,
     2,
     0},
    // F00 on row 5 stops the song: 5 rows of 3 ticks, and the F00 row lasts one tick
    {"speed_zero_stops", {0}, 0, {{0, 5, 0, 0xF, 0x00}}, 2, 16 * 882, 16 * 882, -1, -1, 1},
};

class SongEndTest : public ::testing::TestWithParam<SongCase> {};

TEST_P(SongEndTest, EndsWhereARowWouldPlayAgain) {
    const SongCase& song = GetParam();
    const std::string path = writeSong(song);
    xmrender::SongLength length{};
    const char* reason = "";
    ASSERT_EQ(
        xmrender::measureSong(path.c_str(), 44100, song.passes, 1800 * 44100, &length, &reason), 1)
        << reason;
    EXPECT_EQ(length.frames, song.frames);
    EXPECT_EQ(length.passFrames, song.passFrames);
    EXPECT_EQ(length.repeatOrder, song.repeatOrder);
    EXPECT_EQ(length.repeatRow, song.repeatRow);
    EXPECT_EQ(length.stopped, song.stopped);
    EXPECT_EQ(length.capped, 0);
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Songs, SongEndTest, ::testing::ValuesIn(songCases),
                         [](const auto& test) { return std::string(test.param.name); });

// A pass that finds no end within the cap is cut exactly there, even inside a chunk: here the
// song repeats after 16 rows (42,336 frames) and the cap is 30,000 frames, 33.9 chunks.
TEST(SongEndCap, CutsAPassThatFindsNoEndAtTheCap) {
    const SongCase song = {"capped", {0, 1}, 0, {}, 1, 0, 0, 0, 0, 0};
    const std::string path = writeSong(song);
    const struct {
        int32_t passes;
        int64_t cap;
        int64_t frames;
        int32_t capped;
    } table[] = {
        {1, 30000, 30000, 1},                     // the first pass is cut
        {1, 16 * row125, 16 * row125, 0},         // an end right at the cap counts
        {1, 16 * row125 - 1, 16 * row125 - 1, 1}, // one frame short of it does not
        {3, 10 * row125, 10 * row125, 1},         // a cut pass is the last, whatever was asked
    };
    for (const auto& row : table) {
        xmrender::SongLength length{};
        const char* reason = "";
        ASSERT_EQ(xmrender::measureSong(path.c_str(), 44100, row.passes, row.cap, &length, &reason),
                  1);
        EXPECT_EQ(length.frames, row.frames) << row.cap;
        EXPECT_EQ(length.capped, row.capped) << row.cap;
    }
    std::remove(path.c_str());
}

// The renderer's test song: four orders of 64 rows at 6 ticks a row, each pattern half at
// BPM 95 (1160 frames a tick) and half at BPM 131 (841), 384,192 frames a pattern; its end is
// the wrap after the fourth order, at 1,536,768 frames (34.847 s).
constexpr int64_t testSongFrames = 4 * (32 * 6 * 1160 + 32 * 6 * 841);

std::vector<int16_t> renderChunks(const std::string& path, int32_t chunks,
                                  xmrender::PrepareSong prepare, void* context) {
    std::vector<int16_t> samples;
    const char* reason = "";
    EXPECT_EQ(xmrender::beginRender(path.c_str(), 44100, &reason, prepare, context), 1) << reason;
    for (int32_t k = 0; k < chunks; ++k) {
        ChunkInfo info;
        const int16_t* chunk = xmrender::renderNextChunk(&info);
        samples.insert(samples.end(), chunk, chunk + 884 * 2);
    }
    xmrender::endRender();
    return samples;
}

xmrender::SongWatch silencingWatch;
void watchAndSilence(ModulePlayer* player, void*) {
    ASSERT_EQ(xmrender::watchSong(&silencingWatch, player, 1, 0, true), 1);
}

// Live playback silences the song at its end: every frame before the end is the plain
// rendering's, every frame from it on is zero, though the song's notes ring on past it.
TEST(SongEndSilence, SilenceStartsAtTheEndFrame) {
    const std::string path =
        ::testing::TempDir() + "song_end_silence_" + std::to_string(getpid()) + ".xm";
    ASSERT_TRUE(xmtest::writeTestSong(path, 4));
    xmrender::SongLength length{};
    const char* reason = "";
    ASSERT_EQ(xmrender::measureSong(path.c_str(), 44100, 1, 1800 * 44100, &length, &reason), 1);
    ASSERT_EQ(length.frames, testSongFrames);
    EXPECT_EQ(length.repeatOrder, 0);
    const int32_t chunks = int32_t(testSongFrames / 884) + 3;
    const std::vector<int16_t> plain = renderChunks(path, chunks, nullptr, nullptr);
    const std::vector<int16_t> silenced = renderChunks(path, chunks, watchAndSilence, nullptr);
    xmrender::unwatchSong(&silencingWatch);
    ASSERT_EQ(plain.size(), silenced.size());
    const size_t end = size_t(testSongFrames) * 2;
    size_t differences = 0, heardAfter = 0, soundAfter = 0;
    for (size_t i = 0; i < plain.size(); ++i) {
        if (i < end)
            differences += plain[i] != silenced[i];
        else {
            soundAfter += silenced[i] != 0;
            heardAfter += plain[i] != 0;
        }
    }
    EXPECT_EQ(differences, 0u);
    EXPECT_EQ(soundAfter, 0u);
    EXPECT_GT(heardAfter, 1000u) << "the song should ring on past its end";
    std::remove(path.c_str());
}

} // namespace
} // namespace ostrel::testing
