// Opening and closing the device: the sizes that follow from the rate and the refusals.
#include <gtest/gtest.h>

#include "output_fixture.h"

namespace ostrel::testing {
namespace {

struct RateSizes {
    uint32_t rate;
    int32_t chunkFrames; // rate / 50 rounded up to a multiple of 4
    int32_t ringFrames;  // 50 chunks per 1000 ms, twice
    int32_t chunks;
};

// rate       chunk   ring    chunks
constexpr RateSizes rateTable[] = {
    {44100, 884, 88400, 100}, // 882 -> 884
    {48000, 960, 96000, 100}, // already a multiple of 4
    {22050, 444, 44400, 100}, // 441 -> 444
};

class OpenAudioSizes : public OutputTest, public ::testing::WithParamInterface<RateSizes> {};

TEST_P(OpenAudioSizes, FollowFromTheRate) {
    const RateSizes& expected = GetParam();
    ASSERT_EQ(openAudio(expected.rate), 1);
    EXPECT_EQ(outputRate, static_cast<int32_t>(expected.rate));
    EXPECT_EQ(chunkFrames, expected.chunkFrames);
    EXPECT_EQ(ringFrames, expected.ringFrames);
    EXPECT_EQ(chunkCount(), expected.chunks);
    EXPECT_EQ(platform::headlessAudioIsOpen(), 1);
}

INSTANTIATE_TEST_SUITE_P(Rates, OpenAudioSizes, ::testing::ValuesIn(rateTable));

TEST_F(OutputTest, OpenReportsADeviceThatFails) {
    ASSERT_EQ(openAudio(44100), 1);
    platform::headlessAudioSetOpenResult(2);
    EXPECT_EQ(openAudio(22050), 0);
    EXPECT_EQ(platform::headlessAudioIsOpen(), 0); // the first device was closed before
    EXPECT_EQ(chunkFrames, 884);
}

// A program that installs no device (or takes its device away) plays nothing, and starting,
// stopping and closing stay harmless.
TEST_F(OutputTest, WithoutAnInstalledDeviceNothingOpens) {
    installAudioDevice(nullptr);
    EXPECT_EQ(openAudio(44100), 0);
    EXPECT_EQ(startPlayback(&player), 0);
    EXPECT_EQ(ticksSeen.size(), 0u);
    EXPECT_NE(closeAudio(), 0);
    EXPECT_EQ(platform::headlessAudioIsOpen(), 0);
    installAudioDevice(&platform::headlessAudioDevice);
    EXPECT_EQ(openAudio(44100), 1);
}

TEST_F(OutputTest, OpenRefusesRatesThatGiveEmptyChunksOrRamps) {
    EXPECT_EQ(openAudio(0), 0);
    EXPECT_EQ(openAudio(300), 0); // a ramp of 0 frames
    EXPECT_EQ(platform::headlessAudioIsOpen(), 0);
}

TEST_F(OutputTest, CloseGivesTheDeviceCloseResult) {
    ASSERT_EQ(openAudio(44100), 1);
    EXPECT_EQ(closeAudio(), 0); // closed, as wave-out reports success
    EXPECT_EQ(platform::headlessAudioIsOpen(), 0);
    EXPECT_NE(closeAudio(), 0); // nothing left to close
}

} // namespace
} // namespace ostrel::testing
