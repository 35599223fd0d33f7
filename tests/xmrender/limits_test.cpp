// Limits before work, and the command line's forms, through the real program.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "test_song.h"
#include "tool_run.h"

namespace ostrel::testing {
namespace {

// What a format holds is checked before the song is even loaded: a song that cannot be loaded
// fails with 2 only once the length has passed, and with 1 when it is refused. The edges are
// the whole seconds --help gives.
TEST(Limits, TooLongForTheFormatIsRefusedBeforeLoading) {
    const struct {
        const char* options;
        int exitCode;
    } cases[] = {
        {"-o out.wav --seconds 24347", 2},
        {"-o out.wav --seconds 24348", 1},
        {"-o out.wav --seconds 22369 --rate 48000", 2},
        {"-o out.wav --seconds 22370 --rate 48000", 1},
        {"-o out.wav --seconds 12173 --float", 2},
        {"-o out.wav --seconds 12174 --float", 1},
        {"-o out.flac --seconds 86400", 2},
    };
    ScratchDir dir;
    writeFile(dir / "bad.xm", "no module here, only words");
    const auto before = dir.contents();
    for (const auto& c : cases) {
        const ToolRun run = runTool(std::string("bad.xm ") + c.options, "", dir.dir);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.options << ": " << run.err;
        if (c.exitCode == 1) {
            EXPECT_NE(run.err.find("too long for a WAV file"), std::string::npos) << run.err;
        }
        EXPECT_EQ(dir.contents(), before) << c.options;
    }
}

// Passes after the first foretell the rest: the test song's passes are 1,536,768 frames each
// (34.85 s), so 700 of them (24,393 s) do not fit a WAV, and that is known after two passes
// rather than after measuring 24,347 s of them.
TEST(Limits, ManyLoopsAreRefusedAfterTwoPasses) {
    ScratchDir dir;
    ASSERT_TRUE(xmtest::writeTestSong(dir / "song.xm", 4));
    const auto started = std::chrono::steady_clock::now();
    const ToolRun run = runTool("song.xm -o out.wav --loops 700", "", dir.dir);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("too long for a WAV file: about 24393 s, and it holds at most 24347 s "
                           "at 44100 Hz"),
              std::string::npos)
        << run.err;
    EXPECT_LT(seconds, 2.0) << "measured far more than two passes";
    EXPECT_EQ(dir.contents().size(), 1u);
}

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
