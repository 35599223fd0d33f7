// --info's names and --json through the real program: names numbered as a tracker shows them,
// empty ones left out, and JSON that stays valid whatever bytes the file's texts hold.
#include <gtest/gtest.h>

#include <string>

#include "test_song.h"
#include "tool_run.h"

namespace ostrel::testing {
namespace {

TEST(Info, NamesAndJson) {
    ScratchDir dir;
    xmtest::XmModule module;
    module.name = "say \"hi\"";
    module.patterns.resize(1);
    module.patterns[0].rows = 4;
    module.instruments.resize(3);
    module.instruments[0].name = "greets to";
    module.instruments[2].name = "back\\slash \x82t\x01";
    module.instruments[0].samples = {xmtest::XmSample::eightBit({1}),
                                     xmtest::XmSample::eightBit({2})};
    module.instruments[0].samples[1].name = "second";
    module.instruments[2].samples = {xmtest::XmSample::eightBit({3})};
    module.instruments[2].samples[0].name = "third's";
    ASSERT_TRUE(xmtest::writeXmFile(dir / "names.xm", module));

    ToolRun run = runTool("--info names.xm", "", dir.dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Instrument 2 and sample 1 of instrument 1 have no name.
    EXPECT_NE(run.out.find("Instrument names:\n"
                           "    1  greets to\n"
                           "    3  back\\slash \x82t?\n"
                           "Sample names:\n"
                           "    1.2   second\n"
                           "    3.1   third's\n"),
              std::string::npos)
        << run.out;

    run = runTool("--info --json names.xm", "", dir.dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("{\"file\":\"names.xm\",\"title\":\"say \\\"hi\\\"\","), 0u) << run.out;
    // Code page 437's 0x82 is U+00E9; the control byte was already shown as '?'.
    EXPECT_NE(run.out.find("\"instrument_names\":[{\"instrument\":1,\"name\":\"greets to\"},"
                           "{\"instrument\":3,\"name\":\"back\\\\slash \\u00e9t?\"}],"
                           "\"sample_names\":[{\"instrument\":1,\"sample\":2,\"name\":\"second\"},"
                           "{\"instrument\":3,\"sample\":1,\"name\":\"third's\"}]}\n"),
              std::string::npos)
        << run.out;
    // 4 rows of 6 ticks of 882 frames (BPM 125 at 44,100 Hz).
    EXPECT_NE(run.out.find("\"duration\":{\"seconds\":0.480000,\"frames\":21168,\"rate\":44100}"),
              std::string::npos)
        << run.out;
}

} // namespace
} // namespace ostrel::testing
