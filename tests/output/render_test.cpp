// Starting and stopping playback without an audio thread: the pre-render of the ring, the tick
// timing inside chunks, the song clock and the ChunkInfo records.
#include <gtest/gtest.h>

#include <chrono>

#include "output_fixture.h"

namespace ostrel::testing {
namespace {

// Ticks run by the end of chunk k when a tick lasts 1160 frames and chunks 884: the ticks at
// frames 0, 1160, 2320, ... below 884 (k + 1).
int32_t ticksByEndOfChunk(int32_t k) {
    return (884 * (k + 1) - 1) / 1160 + 1;
}

TEST_F(OutputTest, Bpm95SplitsTheSecondChunkAtItsTick) {
    ASSERT_EQ(openAudio(44100), 1);
    ASSERT_EQ(startPlayback(&player), 1);
    ASSERT_GE(ticksSeen.size(), 3u);
    // tick  clock when it ran                         chunk
    //  1    0                                         0  (first frame of the first chunk)
    //  2    20 (884 frames) + 6 (276 frames)          1
    //  3    39 (+ 13 for 608 frames) + 12 (552)       2
    EXPECT_EQ(ticksSeen[0].timeMs, 0);
    EXPECT_EQ(ticksSeen[0].writeIndex, 0);
    EXPECT_EQ(ticksSeen[1].timeMs, 26);
    EXPECT_EQ(ticksSeen[1].writeIndex, 1);
    EXPECT_EQ(ticksSeen[2].timeMs, 51);
    EXPECT_EQ(ticksSeen[2].writeIndex, 2);
    // chunk 0 is one piece of 884 frames, chunk 1 two of 276 and 608
    EXPECT_EQ(entry(0).timeMs, 20);
    EXPECT_EQ(entry(1).timeMs, 39);
    EXPECT_EQ(entry(2).timeMs, 58); // 51 + 7 for the 332 frames after tick 3
}

TEST_F(OutputTest, StartPreRendersTheWholeRing) {
    ASSERT_EQ(openAudio(44100), 1);
    ASSERT_EQ(startPlayback(&player), 1);
    EXPECT_EQ(writeIndex.load(), 0);
    EXPECT_EQ(audibleIndex.load(), 0);
    EXPECT_EQ(currentPlayer, &player);
    EXPECT_EQ(static_cast<int32_t>(ticksSeen.size()), ticksByEndOfChunk(99));
    int32_t previousTime = 0;
    for (int32_t k = 0; k < 100; ++k) {
        SCOPED_TRACE(k);
        const Entry info = entry(k);
        EXPECT_EQ(info.order, 7); // low 8 bits of 0x107
        EXPECT_EQ(info.row, ticksByEndOfChunk(k));
        EXPECT_GT(info.timeMs, previousTime);
        previousTime = info.timeMs;
    }
    EXPECT_EQ(entry(0).timeMs, 20);
    // The last tick ran at frame 88,160; 920 of its 1160 frames are still to come.
    EXPECT_EQ(player.samplesLeftInTick, 920);
}

TEST_F(OutputTest, StartHandsTheRingToTheDevice) {
    ASSERT_EQ(openAudio(44100), 1);
    ASSERT_EQ(startPlayback(&player), 1);
    EXPECT_NE(platform::headlessAudioRing(), nullptr);
    EXPECT_EQ(platform::headlessAudioRingBytes(), 88400u * 4);
    EXPECT_EQ(platform::headlessAudioIsPlaying(), 1);
    EXPECT_EQ(platform::headlessAudioPosition(), 0u);
}

// The tick length the start state gives, as the first tick of the pre-render finds it.
int32_t firstTickFrames = -1;
void recordFirstTickLength(ModulePlayer* player) {
    if (firstTickFrames < 0)
        firstTickFrames = player->samplesPerTick;
    player->samplesPerTick = 1160;
}

// The engine reads the rate from its own record, which the start fills from the open device
// before it sets the tick length: a record left at another rate (here a player last played at
// 8,000 Hz) must not leak into the start.
TEST_F(OutputTest, StartGivesTheEngineTheDeviceRate) {
    // rate -> floor(2.5 x rate / 95) frames per tick at the song's 95 BPM
    const std::pair<uint32_t, int32_t> table[] = {{44100, 1160}, {48000, 1263}, {22050, 580}};
    player.tickFunction = recordFirstTickLength;
    for (auto [rate, frames] : table) {
        SCOPED_TRACE(rate);
        player.outputRate = 8000;
        firstTickFrames = -1;
        ASSERT_EQ(openAudio(rate), 1);
        ASSERT_EQ(startPlayback(&player), 1);
        EXPECT_EQ(firstTickFrames, frames);
        EXPECT_EQ(player.outputRate, static_cast<int32_t>(rate));
    }
}

TEST_F(OutputTest, TempoSetByATickCountsAtOnce) {
    tickFrames = 500;
    ASSERT_EQ(openAudio(44100), 1);
    ASSERT_EQ(startPlayback(&player), 1);
    // ticks at frames 0 and 500 inside chunk 0; 11 ms for 500 frames, 8 for 384
    EXPECT_EQ(entry(0).row, 2);
    EXPECT_EQ(entry(0).timeMs, 19);
}

TEST_F(OutputTest, SongClockTruncatesEachPiece) {
    tickFrames = 882; // 20 ms exactly, but 1000 x (float) 1/44100 x 882 is just below 20
    ASSERT_EQ(openAudio(44100), 1);
    ASSERT_EQ(startPlayback(&player), 1);
    // chunk 0: 882 frames -> 19, then 2 frames -> 0
    EXPECT_EQ(entry(0).timeMs, 19);
    EXPECT_EQ(ticksSeen[1].timeMs, 19);
}

TEST_F(OutputTest, StartNeedsAPlayer) {
    ASSERT_EQ(openAudio(44100), 1);
    EXPECT_EQ(startPlayback(nullptr), 0);
    EXPECT_EQ(chunkInfos, nullptr);
    EXPECT_EQ(platform::headlessAudioIsPlaying(), 0);
}

TEST_F(OutputTest, StartWithoutAnOpenDeviceStartsNothing) {
    platform::headlessSetThreadsEnabled(1);
    EXPECT_EQ(startPlayback(&player), 0);
    EXPECT_TRUE(ticksSeen.empty());
    EXPECT_EQ(currentPlayer, nullptr);
    EXPECT_EQ(chunkInfos, nullptr);
    EXPECT_EQ(threadStopped.load(), 1);
}

TEST_F(OutputTest, StopBeforeAnyStartDoesNotWait) {
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(stopPlayback(&player), 1);
    const auto waited = std::chrono::steady_clock::now() - before;
    // A wait for a thread sleeps 50 ms at a time.
    EXPECT_LT(waited, std::chrono::milliseconds(45));
}

TEST_F(OutputTest, StopNeedsAPlayer) {
    ASSERT_EQ(openAudio(44100), 1);
    ASSERT_EQ(startPlayback(&player), 1);
    EXPECT_EQ(stopPlayback(nullptr), 0);
    EXPECT_EQ(currentPlayer, &player); // nothing was stopped
    EXPECT_NE(chunkInfos, nullptr);
}

TEST_F(OutputTest, StopReleasesTheRecordsButTheDeviceKeepsLooping) {
    ASSERT_EQ(openAudio(44100), 1);
    ASSERT_EQ(startPlayback(&player), 1);
    EXPECT_EQ(stopPlayback(&player), 1);
    EXPECT_EQ(chunkInfos, nullptr);
    EXPECT_EQ(currentPlayer, nullptr);
    EXPECT_EQ(player.playbackStop, nullptr); // destroyPlayer has nothing left to stop
    EXPECT_EQ(platform::headlessAudioIsPlaying(), 1);
    EXPECT_NE(platform::headlessAudioRing(), nullptr);
    EXPECT_EQ(stopPlayback(&player), 1); // a second stop releases nothing
    EXPECT_EQ(closeAudio(), 0);
    EXPECT_EQ(platform::headlessAudioRing(), nullptr);
}

TEST_F(OutputTest, SecondStartReplacesTheRingOnAResetDevice) {
    ASSERT_EQ(openAudio(44100), 1);
    ASSERT_EQ(startPlayback(&player), 1);
    platform::headlessAudioAdvance(5000);
    ticksSeen.clear();
    ASSERT_EQ(startPlayback(&player), 1);
    EXPECT_EQ(platform::headlessAudioPosition(), 0u); // written anew
    EXPECT_EQ(platform::headlessAudioIsPlaying(), 1);
    EXPECT_EQ(writeIndex.load(), 0);
    EXPECT_FALSE(ticksSeen.empty());
}

TEST_F(OutputTest, CloseStopsPlaybackFirst) {
    platform::headlessSetThreadsEnabled(1);
    ASSERT_EQ(openAudio(44100), 1);
    ASSERT_EQ(startPlayback(&player), 1);
    EXPECT_EQ(closeAudio(), 0);
    EXPECT_EQ(currentPlayer, nullptr);
    EXPECT_EQ(threadStopped.load(), 1);
    EXPECT_EQ(chunkInfos, nullptr);
}

} // namespace
} // namespace ostrel::testing
