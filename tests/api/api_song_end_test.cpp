// Where songs end: small songs from the tests' XM writer are measured through the library's row
// walk and, with caps of their own, by rendering with the song-end watch, and the frames are
// checked against counts made by hand from each song's rows, ticks per row and frames per tick. At
// 44,100 Hz BPM 125 gives 882 frames a tick and BPM 80 gives 1378; every song runs at 3 ticks a
// row, so a row at BPM 125 is 2646 frames.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include <ostrel/ostrel.h>

#include "audio/renderer.h"
#include "audio/song_end.h"
#include "module/stream.h"
#include "tests/support/xm_writer.h"
#include "tests/xmrender/test_song.h"

namespace ostrel::testing {
namespace {

constexpr int64_t row125 = 3 * 882;
constexpr int64_t row80 = 3 * 1378;

struct SongCase {
    const char* name;
    int orders; // order i plays pattern i
    int restart;
    const char* effects; // "pattern.row.channel:EFFECT" separated by spaces, e.g. "2.3.0:B01"
    int passes;
    int64_t frames;      // the passes asked for
    int64_t passFrames;  // the first pass
    const char* repeats; // "order.row" the first pass would play again
};

void PrintTo(const SongCase& song, std::ostream* out) {
    *out << song.name;
}

// Two channels, 8-row patterns, no instruments: only the flow counts.
std::string writeSong(const SongCase& song) {
    xmtest::XmModule module;
    module.channels = 2;
    module.tempo = 3;
    module.songLength = uint16_t(song.orders);
    module.restartPosition = uint16_t(song.restart);
    module.patterns.assign(size_t(song.orders), xmtest::XmPattern{});
    for (int i = 0; i < song.orders; ++i) {
        module.orderTable[i] = uint8_t(i);
        module.patterns[i].rows = 8;
        module.patterns[i].cells.resize(8 * 2);
    }
    int pattern = 0, row = 0, channel = 0, used = 0;
    unsigned effect = 0;
    for (const char* at = song.effects;
         std::sscanf(at, " %d.%d.%d:%3x%n", &pattern, &row, &channel, &effect, &used) == 4;
         at += used) {
        xmtest::XmCell& cell = module.patterns[pattern].cells[row * 2 + channel];
        cell.effect = uint8_t(effect >> 8);
        cell.effectParam = uint8_t(effect);
    }
    const std::string path =
        ::testing::TempDir() + "song_end_" + std::to_string(getpid()) + "_" + song.name + ".xm";
    EXPECT_TRUE(xmtest::writeXmFile(path, module));
    return path;
}

struct Length {
    int64_t frames;
    int64_t passFrames;
    int32_t capped;
    int32_t repeatOrder;
    int32_t repeatRow;
};

// Through the library, whose passes are cut at 30 minutes.
Length measure(const std::string& path, int32_t passes) {
    ostrel_player* player = ostrel_load_file(path.c_str(), nullptr, nullptr);
    EXPECT_NE(player, nullptr);
    ostrel_duration all{}, first{};
    EXPECT_EQ(ostrel_measure(player, 44100, passes, &all), OSTREL_OK);
    EXPECT_EQ(ostrel_measure(player, 44100, 1, &first), OSTREL_OK);
    ostrel_free(player);
    return {all.frames, first.frames, all.end_found ? 0 : 1, first.repeat_order, first.repeat_row};
}

// The song on the renderer with the song-end watch, in chunks of 884 frames until the watch
// finishes or `chunks` have been rendered.
void renderUntilFinished(const std::string& path, int32_t chunks, SongWatch* watch, int32_t passes,
                         int64_t cap) {
    std::vector<int16_t> chunk(884 * 2);
    const char* reason = "";
    ModulePlayer* player = createPlayer(&fileStreamHooks, path.c_str(), nullptr, &reason);
    ASSERT_NE(player, nullptr) << reason;
    ASSERT_EQ(watchSong(watch, player, passes, cap), 1);
    Renderer renderer{};
    ASSERT_EQ(startRenderer(&renderer, player, 44100), 1);
    for (int32_t k = 0; k < chunks && !watch->finished; ++k)
        renderS16(&renderer, chunk.data(), 884);
    stopRenderer(&renderer);
    destroyPlayer(player);
}

// With a cap of its own, through the watch the library's walks use.
Length measureWithCap(const std::string& path, int32_t passes, int64_t cap) {
    SongWatch watch{};
    renderUntilFinished(path, int32_t(cap / 884) + 2, &watch, passes, cap);
    const Length length = {watch.endFrame, watch.firstPassFrames, watch.capped, watch.repeatOrder,
                           watch.repeatRow};
    unwatchSong(&watch);
    return length;
}

const SongCase songCases[] = {
    // rows 0-3 at BPM 125, then F50 sets BPM 80 for the other 12; the song wraps to order 0
    {"order_wrap", 2, 0, "0.4.0:F50", 1, 4 * row125 + 12 * row80, 4 * row125 + 12 * row80, "0.0"},
    // 24 rows, then orders 1 and 2 again (16 rows) make the second pass
    {"restart_position", 3, 1, "", 2, 40 * row125, 24 * row125, "1.0"},
    // B01 on row 3 of order 2: 8 + 8 + 4 rows, then order 1 comes round again
    {"backward_jump", 3, 0, "2.3.0:B01", 1, 20 * row125, 20 * row125, "1.0"},
    // D04 on row 5 of the last order breaks to row 4 of order 0: 8 + 6 rows
    {"break_to_earlier_order", 2, 0, "1.5.1:D04", 1, 14 * row125, 14 * row125, "0.4"},
    // rows 2-4 three times: 5 + 3 + 3 + 3 rows, then the wrap starts at the loop's row 2
    {"pattern_loop", 1, 0, "0.2.0:E60 0.4.0:E62", 1, 14 * row125, 14 * row125, "0.2"},
    // the whole pattern twice through a loop from row 0, then the wrap
    {"loop_from_row_zero", 1, 0, "0.0.1:E60 0.7.1:E61", 1, 16 * row125, 16 * row125, "0.0"},
    // B02 on row 3 skips order 1: 4 + 8 + 8 rows, then the wrap
    {"forward_jump", 4, 0, "0.3.0:B02", 1, 20 * row125, 20 * row125, "0.0"},
    // B01 and D02 on row 2 of order 1 play that row again and again: the first pass ends after
    // 8 + 3 rows, each later pass is that one row
    {"jump_to_itself", 2, 0, "1.2.0:B01 1.2.1:D02", 3, 13 * row125, 11 * row125, "1.2"},
    // F00 on row 5 does nothing, nor does it cancel the F02 of channel 0: 5 rows of 3 ticks and
    // 3 of 2 before the wrap, then a second pass of 8 rows of 2 ticks
    {"speed_zero_does_nothing", 1, 0, "0.5.0:F02 0.5.1:F00", 2, 37 * 882, 21 * 882, "0.0"},
};

class SongEndTest : public ::testing::TestWithParam<SongCase> {};

TEST_P(SongEndTest, EndsWhereARowWouldPlayAgain) {
    const SongCase& song = GetParam();
    const std::string path = writeSong(song);
    const Length length = measure(path, song.passes);
    EXPECT_EQ(length.frames, song.frames);
    EXPECT_EQ(length.passFrames, song.passFrames);
    const std::string repeats =
        std::to_string(length.repeatOrder) + "." + std::to_string(length.repeatRow);
    EXPECT_EQ(repeats, song.repeats);
    EXPECT_EQ(length.capped, 0);
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Songs, SongEndTest, ::testing::ValuesIn(songCases),
                         [](const auto& test) { return std::string(test.param.name); });

// A pass that finds no end within the cap is cut exactly there, even inside a chunk: here the
// song repeats after 16 rows (42,336 frames).
TEST(SongEndCap, CutsAPassThatFindsNoEndAtTheCap) {
    const std::string path = writeSong({"capped", 2, 0, "", 1, 0, 0, ""});
    const struct {
        int32_t passes;
        int64_t cap;
        int64_t frames;
        int32_t capped;
    } table[] = {
        {1, 30000, 30000, 1},                     // the first pass is cut, 33.9 chunks in
        {1, 16 * row125, 16 * row125, 0},         // an end right at the cap counts
        {1, 16 * row125 - 1, 16 * row125 - 1, 1}, // one frame short of it does not
        {3, 10 * row125, 10 * row125, 1},         // a cut pass is the last, whatever was asked
    };
    for (const auto& row : table) {
        const Length length = measureWithCap(path, row.passes, row.cap);
        EXPECT_EQ(length.frames, row.frames) << row.cap;
        EXPECT_EQ(length.capped, row.capped) << row.cap;
    }
    std::remove(path.c_str());
}

} // namespace
} // namespace ostrel::testing
