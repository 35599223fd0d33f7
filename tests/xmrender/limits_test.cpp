// The command line's forms, through the real program.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "test_song.h"
#include "tool_run.h"

namespace ostrel::testing {
namespace {

// Every option's value can be joined with "=", "--" makes what follows songs, and the results
// are the same bytes; --version tells the project's version.
TEST(Limits, CommandLineForms) {
    ScratchDir dir;
    ASSERT_TRUE(xmtest::writeTestSong(dir / "song.xm", 4));
    ASSERT_TRUE(xmtest::writeTestSong(dir / "-dash.xm", 4));
    ASSERT_EQ(runTool("song.xm -o ref.wav --seconds 1 --rate 22050", "", dir.dir).exitCode, 0);
    const char* forms[] = {
        "--output=a.wav --seconds=1 --rate=22050 song.xm",
        "--rate=22050 --seconds 1 -o a.wav -- -dash.xm",
        "-o a.wav --seconds=1 --rate 22050 --positions=a.txt song.xm",
    };
    for (const char* form : forms) {
        const ToolRun run = runTool(form, "", dir.dir);
        EXPECT_EQ(run.exitCode, 0) << form << ": " << run.err;
        EXPECT_EQ(readFile(dir / "a.wav"), readFile(dir / "ref.wav")) << form;
        std::remove((dir / "a.wav").c_str());
    }
    // after "--" an option's name is a song's, which is missing
    const ToolRun dashed = runTool("-o a.wav -- --seconds", "", dir.dir);
    EXPECT_EQ(dashed.exitCode, 2);
    EXPECT_EQ(dashed.err, std::string("xmrender: --seconds: ") + std::strerror(ENOENT) + "\n");
    const ToolRun version = runTool("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "xmrender " XMRENDER_VERSION "\n");
}

} // namespace
} // namespace ostrel::testing
