// Several songs in one run, through the real program: each to its own file or --info block, as
// the same song alone would give, a failing song reported in one line while the rest go on, and
// the runs refused before anything is done.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "test_song.h"
#include "tool_run.h"

namespace ostrel::testing {
namespace {

// Songs of different lengths and channels, one that is no module, one missing, and one whose
// output is already there.
class Batch : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
        ASSERT_TRUE(xmtest::writeTestSong(dir / "a.xm", 4));
        ASSERT_TRUE(xmtest::writeTestSong(dir / "sub/b.xm", 2));
        ASSERT_TRUE(xmtest::writeTestSong(dir / "c.song.mod", 6));
        ASSERT_TRUE(xmtest::writeTestSong(dir / "kept.xm", 4));
        writeFile(dir / "bad.xm", "no module here");
    }
    ScratchDir dir;
};

TEST_F(Batch, EachSongGoesToItsOwnFileAndFailuresAreReported) {
    for (const char* options : {"--seconds 2", "--float --loops 2"}) {
        SCOPED_TRACE(options);
        ScratchDir out;
        writeFile(out / "kept.wav", "old");
        const ToolRun run = runTool(std::string("a.xm bad.xm sub/b.xm missing.xm kept.xm ") +
                                        "c.song.mod -d " + out.dir + " " + options,
                                    "", dir.dir);
        EXPECT_EQ(run.exitCode, 2) << "the first failure's";
        // one line for each failure, naming it
        EXPECT_EQ(run.err.rfind("xmrender: bad.xm: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("\nxmrender: missing.xm: "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("\nxmrender: " + out.dir + "/kept.wav exists"), std::string::npos)
            << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 3) << run.err;
        ScratchDir alone;
        for (const char* song : {"a", "sub/b", "c.song"}) {
            const std::string name = std::string(song).substr(std::string(song).rfind('/') + 1);
            const std::string path = std::string(song) + (song[0] == 'c' ? ".mod" : ".xm");
            ASSERT_EQ(
                runTool(path + " -o " + (alone / name) + ".wav " + options, "", dir.dir).exitCode,
                0);
        }
        auto expected = alone.contents();
        expected["kept.wav"] = "old";
        EXPECT_EQ(out.contents(), expected);
    }
}

TEST_F(Batch, InfoPrintsABlockPerSong) {
    const ToolRun run = runTool("--info a.xm bad.xm sub/b.xm", "", dir.dir);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.find("xmrender: bad.xm: "), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(run.out, "File: a.xm\n" + runTool("--info a.xm", "", dir.dir).out +
                           "\nFile: sub/b.xm\n" + runTool("--info sub/b.xm", "", dir.dir).out);
}

// Two songs of one name would land on one file: refused before any file or folder is made.
TEST_F(Batch, SongsOfOneNameAreRefusedBeforeAnything) {
    ASSERT_TRUE(xmtest::writeTestSong(dir / "sub/a.xm", 3));
    const auto before = dir.contents();
    const ToolRun run = runTool("a.xm sub/a.xm -d out", "", dir.dir);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "xmrender: out/a.wav and out/a.wav are the same file; each output needs "
                       "its own\n");
    EXPECT_EQ(dir.contents(), before);
}

} // namespace
} // namespace ostrel::testing
