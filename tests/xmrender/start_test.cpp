// --start through the real program: every way of writing a start gives the frames of a render
// from the beginning, from exactly that point on; a start the song does not have is refused
// before any file is written.
#include <gtest/gtest.h>

#include <string>

#include "test_song.h"
#include "tool_run.h"

namespace ostrel::testing {
namespace {

constexpr size_t headerBytes = 44;
constexpr size_t frameBytes = 4;

// The test song's orders (patterns 0, 1, 0, 1) are 64 rows of 6 ticks: pattern 0 plays rows 0-31
// at BPM 95 (1160 frames a tick) and 32-63 at 131 (841); pattern 1 the other way round. So an
// order is 32 * 6 * (1160 + 841) = 384,192 frames, and row 16 of order 1 is 16 * 6 * 841 in.
TEST(Start, EveryFormStartsAtItsFrame) {
    ScratchDir dir;
    ASSERT_TRUE(xmtest::writeTestSong(dir / "song.xm", 4));
    ASSERT_EQ(runTool("song.xm -o full.wav", "", dir.dir).exitCode, 0);
    const std::string full = readFile(dir / "full.wav").substr(headerBytes);
    const struct {
        const char* start;
        size_t frame;
    } table[] = {
        {"10", 441000},    {"0:10", 441000}, {"0:10.5", 463050}, {"o1", 384192},
        {"o1:16", 464928}, {"o2", 768384},   {"o0", 0},          {"0", 0},
    };
    for (const auto& c : table) {
        const ToolRun run =
            runTool(std::string("song.xm -f -o start.wav --start ") + c.start, "", dir.dir);
        ASSERT_EQ(run.exitCode, 0) << c.start << ": " << run.err;
        const std::string part = readFile(dir / "start.wav").substr(headerBytes);
        EXPECT_EQ(part.size(), full.size() - c.frame * frameBytes) << c.start;
        EXPECT_TRUE(part == full.substr(c.frame * frameBytes)) << c.start;
    }
}

TEST(Start, StartsTheSongDoesNotHaveAreRefused) {
    ScratchDir dir;
    ASSERT_TRUE(xmtest::writeTestSong(dir / "song.xm", 4));
    const struct {
        const char* start;
        const char* message;
    } table[] = {
        {"o4", "the song has 4 orders (0 to 3)"},
        {"o1:64", "the song never plays that row"},
        {"40", "is past the song's end, at 0:34.8"},
        {"1:60", "--start needs a time"}, // not a time: seconds stop at 59
        {"o", "--start needs a time"},
        {"o1:", "--start needs a time"},
        {"-1", "--start needs a time"},
        {"1:-5", "--start needs a time"},
        {"ten", "--start needs a time"},
    };
    for (const auto& c : table) {
        const ToolRun run =
            runTool(std::string("song.xm -o out.wav --start=") + c.start, "", dir.dir);
        EXPECT_EQ(run.exitCode, 1) << c.start;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.start << ": " << run.err;
        EXPECT_EQ(dir.contents().size(), 1u) << c.start << " left a file";
    }
}

} // namespace
} // namespace ostrel::testing
