// Damaged songs through the real program: a song cut in its sample data renders, with one
// warning line, and exits 0; --info says what is missing; one cut in its headers is refused.
#include <gtest/gtest.h>

#include <string>

#include "test_song.h"
#include "tool_run.h"

namespace ostrel::testing {
namespace {

TEST(XmrenderDamage, CutSongsPlayWithAWarningAndCutHeadersAreRefused) {
    ScratchDir dir;
    ASSERT_TRUE(xmtest::writeTestSong(dir / "whole.xm", 4));
    const std::string whole = readFile(dir / "whole.xm");
    // The test song ends with its second instrument's 48 frames of 8-bit sample data.
    writeFile(dir / "cut.xm", whole.substr(0, whole.size() - 40));
    writeFile(dir / "header.xm", whole.substr(0, 100));

    ToolRun run = runTool("cut.xm -o cut.wav", "", dir.dir);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "xmrender: warning: cut.xm: sample 1 of instrument 2: 8 of 48 frames; the "
                       "rest is silence\n");
    // The same length as the whole song's render: only the sound of the lost frames differs.
    ASSERT_EQ(runTool("whole.xm -o whole.wav", "", dir.dir).exitCode, 0);
    EXPECT_EQ(readFile(dir / "cut.wav").size(), readFile(dir / "whole.wav").size());
    EXPECT_NE(readFile(dir / "cut.wav"), readFile(dir / "whole.wav"));

    run = runTool("--info cut.xm", "", dir.dir);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("\nDamaged: sample 1 of instrument 2: 8 of 48 frames; the rest is "
                           "silence\n"),
              std::string::npos)
        << run.out;

    run = runTool("header.xm -o header.wav", "", dir.dir);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "xmrender: header.xm: file is truncated\n");
    EXPECT_EQ(dir.contents().count("header.wav"), 0u);
}

} // namespace
} // namespace ostrel::testing
