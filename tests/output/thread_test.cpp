// The audio thread against the headless device: it refills exactly the chunks the device has
// left, in order, follows the device's byte count across its 32-bit wrap, and starts and stops
// cleanly many times over.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "output_fixture.h"

namespace ostrel::testing {
namespace {

class AudioThreadTest : public OutputTest {
  protected:
    void SetUp() override {
        OutputTest::SetUp();
        platform::headlessSetThreadsEnabled(1);
        ASSERT_EQ(openAudio(44100), 1);
        ASSERT_EQ(startPlayback(&player), 1);
        for (int32_t k = 0; k < 100; ++k)
            firstLap[k] = entry(k);
        ticksAfterStart = ticksSeen.size();
        ASSERT_TRUE(waitForTwoPolls());
    }
    Entry firstLap[100];
    size_t ticksAfterStart = 0;
};

TEST_F(AudioThreadTest, RendersNothingWhileTheFirstChunkPlays) {
    platform::headlessAudioSetPosition(chunkBytes44k - 1); // last byte of chunk 0
    ASSERT_TRUE(waitForTwoPolls());
    EXPECT_EQ(audibleIndex.load(), 0);
    EXPECT_EQ(writeIndex.load(), 0);
    EXPECT_EQ(ticksSeen.size(), ticksAfterStart);
}

TEST_F(AudioThreadTest, RefillsTheChunkTheDeviceHasLeft) {
    platform::headlessAudioSetPosition(chunkBytes44k); // first byte of chunk 1
    ASSERT_TRUE(waitForTwoPolls());
    EXPECT_EQ(audibleIndex.load(), 1);
    EXPECT_EQ(writeIndex.load(), 1);
    // chunk 0 now holds the 101st chunk of the song, 884 frames after chunk 99
    EXPECT_GT(entry(0).timeMs, firstLap[99].timeMs);
    EXPECT_EQ(entry(1).timeMs, firstLap[1].timeMs);
}

TEST_F(AudioThreadTest, RefillsInOrderAndLeavesTheRestAlone) {
    platform::headlessAudioSetPosition(50 * chunkBytes44k + 17);
    ASSERT_TRUE(waitForTwoPolls());
    EXPECT_EQ(audibleIndex.load(), 50);
    // every tick of the catch-up ran in chunks 0, 1, 2, ... 49, never going back
    int32_t previous = 0;
    for (size_t i = ticksAfterStart; i < ticksSeen.size(); ++i) {
        EXPECT_GE(ticksSeen[i].writeIndex, previous);
        EXPECT_LT(ticksSeen[i].writeIndex, 50);
        previous = ticksSeen[i].writeIndex;
    }
    int32_t time = firstLap[99].timeMs;
    for (int32_t k = 0; k < 50; ++k) {
        EXPECT_GT(entry(k).timeMs, time) << k;
        time = entry(k).timeMs;
    }
    for (int32_t k = 50; k < 100; ++k)
        EXPECT_EQ(entry(k).timeMs, firstLap[k].timeMs) << k;
}

TEST_F(AudioThreadTest, PositionsMapToChunks) {
    // 37 whole chunks and 3 bytes into the ring: chunk 37 is playing
    platform::headlessAudioSetPosition(4 * 884 * 37 + 3);
    ASSERT_TRUE(waitForTwoPolls());
    EXPECT_EQ(audibleIndex.load(), 37);
    EXPECT_EQ(writeIndex.load(), 37);
    // exactly one lap: chunk 0 again, after the rest of the ring was refilled
    platform::headlessAudioSetPosition(88400 * 4);
    ASSERT_TRUE(waitForTwoPolls());
    EXPECT_EQ(audibleIndex.load(), 0);
    EXPECT_EQ(writeIndex.load(), 0);
    for (int32_t k = 0; k < 100; ++k)
        EXPECT_GT(entry(k).timeMs, firstLap[99].timeMs) << k;
}

TEST_F(AudioThreadTest, WrapOfTheByteCountIsOneStepOn) {
    // 2^32 - 8 bytes: 12,146 laps and 141,688 bytes, i.e. frame 35,422 of chunk 40
    platform::headlessAudioSetPosition(0xFFFFFFF8u);
    ASSERT_TRUE(waitForTwoPolls());
    ASSERT_EQ(audibleIndex.load(), 40);
    // One chunk on, across the wrap: the count reads 3528. Taken on its own that would be
    // chunk 0 and 60 chunks would be skipped; followed step by step it is chunk 41.
    platform::headlessAudioAdvance(chunkBytes44k);
    ASSERT_EQ(platform::headlessAudioPosition(), 3528u);
    ASSERT_TRUE(waitForTwoPolls());
    EXPECT_EQ(audibleIndex.load(), 41);
    EXPECT_EQ(writeIndex.load(), 41);
}

TEST_F(AudioThreadTest, FailedQueryKeepsThePreviousCount) {
    platform::headlessAudioSetPositionResult(1);
    platform::headlessAudioSetPosition(2 * chunkBytes44k);
    ASSERT_TRUE(waitForTwoPolls());
    EXPECT_EQ(audibleIndex.load(), 0);
    platform::headlessAudioSetPositionResult(0);
    ASSERT_TRUE(waitForTwoPolls());
    EXPECT_EQ(audibleIndex.load(), 2);
}

TEST_F(AudioThreadTest, AudibleEntryReadsWhileTheThreadRenders) {
    std::atomic<bool> done{false};
    std::thread device([&done] {
        while (!done) {
            platform::headlessAudioAdvance(chunkBytes44k);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    // Read during a refill, the entry may be the chunk just heard or already its new content a
    // ring ahead; either way it is a whole entry, never a mixture or garbage.
    for (int32_t i = 0; i < 3000; ++i) {
        const Entry info = entry(audibleIndex.load());
        EXPECT_EQ(info.order, 7);
        EXPECT_GT(info.timeMs, 0);
    }
    done = true;
    device.join();
}

TEST_F(AudioThreadTest, StopEndsTheThread) {
    platform::headlessAudioSetPosition(3 * chunkBytes44k);
    EXPECT_EQ(stopPlayback(&player), 1);
    EXPECT_EQ(threadStopped.load(), 1);
    EXPECT_EQ(renderBusy.load(), 0);
    const uint32_t queries = platform::headlessAudioPositionQueries();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(platform::headlessAudioPositionQueries(), queries); // nobody polls any more
}

// destroyPlayer reaches the output side above it through the stop that startPlayback gives the
// player: with the thread refilling a song's ring, it must wait for the chunk being rendered and
// end the thread before it frees the record (freed first, the thread would render from freed
// memory). Once playback has stopped the player has no stop left.
TEST_F(OutputTest, DestroyingThePlayingSongEndsPlaybackFirst) {
    platform::headlessSetThreadsEnabled(1);
    ASSERT_EQ(openAudio(44100), 1);
    ModulePlayer* song = createPlayer(&memoryStreamHooks, "music.xm", nullptr, nullptr);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->playbackStop, nullptr);
    ASSERT_EQ(startPlayback(song), 1);
    EXPECT_NE(song->playbackStop, nullptr);
    for (int32_t step = 0; step < 10; ++step) {
        platform::headlessAudioAdvance(7 * chunkBytes44k);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(destroyPlayer(song), 1);
    EXPECT_EQ(threadStopped.load(), 1);
    EXPECT_EQ(renderBusy.load(), 0);
    EXPECT_EQ(currentPlayer, nullptr);
    EXPECT_EQ(chunkInfos, nullptr);
    const uint32_t queries = platform::headlessAudioPositionQueries();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(platform::headlessAudioPositionQueries(), queries); // nobody polls any more
}

TEST_F(OutputTest, ManyStartsAndStops) {
    platform::headlessSetThreadsEnabled(1);
    ASSERT_EQ(openAudio(44100), 1);
    for (int32_t cycle = 0; cycle < 40; ++cycle) {
        SCOPED_TRACE(cycle);
        if (cycle % 10 == 9) {
            closeAudio();
            ASSERT_EQ(openAudio(cycle % 20 == 9 ? 48000 : 44100), 1);
        }
        ASSERT_EQ(startPlayback(&player), 1);
        for (int32_t step = 0; step < cycle % 4; ++step) {
            platform::headlessAudioAdvance(static_cast<uint32_t>(cycle * 1777 + 4000));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (cycle % 3 == 0) {
            EXPECT_EQ(closeAudio(), 0); // stops the thread itself before the ring goes
        } else {
            EXPECT_EQ(stopPlayback(&player), 1);
        }
        EXPECT_EQ(threadStopped.load(), 1);
        EXPECT_EQ(renderBusy.load(), 0);
        EXPECT_EQ(chunkInfos, nullptr);
        if (cycle % 3 == 0) {
            ASSERT_EQ(openAudio(44100), 1);
        }
    }
}

} // namespace
} // namespace ostrel::testing
