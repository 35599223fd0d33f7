// The audible position queries, the sync trigger over its two built-in tables, and the music
// start and stop.
#include <gtest/gtest.h>

#include "audio/music.h"
#include "output_fixture.h"

namespace ostrel::testing {
namespace {

// The trigger's last row starts below every row, so the very first sync of a run fires, even
// at row 0. (Nothing before this test has fired: CTest runs each test in a process of its own,
// and this is the first test of the file that calls the trigger.)
TEST(SyncTriggerStart, FirstSyncOfTheRunFiresAtRowZero) {
    ChunkInfo ring[1] = {};
    ChunkInfo* saved = chunkInfos;
    ModulePlayer player{};
    chunkInfos = ring;
    audibleIndex = 0;
    musicPlayer = &player;
    storeChunkInfo(&ring[0], 0, 0, 0); // scene 0, order 0: row 0 is in its list
    EXPECT_EQ(lastSyncRow, -1);
    EXPECT_EQ(syncTrigger(0), 1);
    EXPECT_EQ(syncTrigger(0), 0);
    chunkInfos = saved;
    musicPlayer = nullptr;
}

// A hand-made ring of ChunkInfo records in place of a playing one: the queries read whatever
// entry audibleIndex names.
class PositionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved = chunkInfos;
        chunkInfos = ring;
        audibleIndex = 0;
        musicPlayer = &player;
        rearm();
    }
    void TearDown() override {
        chunkInfos = saved;
        audibleIndex = 0;
        musicPlayer = nullptr;
    }
    void hear(int32_t order, int32_t row, int32_t timeMs = 0) {
        storeChunkInfo(&ring[3], static_cast<uint8_t>(order), static_cast<uint8_t>(row), timeMs);
        audibleIndex = 3;
    }
    // Leaves the trigger's last row at 12 whatever it was: row 0 of scene 0 fires unless the
    // last row was 0, and row 12 fires after it.
    void rearm() {
        hear(0, 0);
        syncTrigger(0);
        hear(0, 12);
        ASSERT_EQ(syncTrigger(0), 1);
    }
    ChunkInfo ring[100] = {};
    ChunkInfo* saved = nullptr;
    ModulePlayer player{};
};

TEST_F(PositionTest, QueriesReadTheAudibleEntry) {
    hear(9, 33, 123456);
    EXPECT_EQ(audibleOrder(&player), 9);
    EXPECT_EQ(audibleRow(&player), 33);
    EXPECT_EQ(audibleTimeMs(&player), 123456);
    EXPECT_EQ(musicOrder(), 9);
    EXPECT_EQ(musicRow(), 33);
}

TEST_F(PositionTest, QueriesOfAnAbsentPlayerAreZero) {
    hear(9, 33, 123456);
    EXPECT_EQ(audibleOrder(nullptr), 0);
    EXPECT_EQ(audibleRow(nullptr), 0);
    EXPECT_EQ(audibleTimeMs(nullptr), 0);
    musicPlayer = nullptr;
    EXPECT_EQ(musicOrder(), 0);
    EXPECT_EQ(musicRow(), 0);
}

TEST_F(PositionTest, QueriesWithoutARingAreZero) {
    hear(9, 33, 123456);
    chunkInfos = nullptr; // a player whose playback has been stopped
    EXPECT_EQ(audibleOrder(&player), 0);
    EXPECT_EQ(audibleRow(&player), 0);
    EXPECT_EQ(audibleTimeMs(&player), 0);
}

TEST_F(PositionTest, Scene0FiresOnItsRowsAtOrder5) {
    // list 0: rows 0, 12, 32, 44, 64, 76, 96, 108; each fires once as the song passes it,
    // although every row is seen on three frames
    std::vector<int32_t> fired;
    for (int32_t row = 0; row < 128; ++row) {
        hear(5, row);
        for (int32_t frame = 0; frame < 3; ++frame)
            if (syncTrigger(0))
                fired.push_back(row);
    }
    EXPECT_EQ(fired, (std::vector<int32_t>{0, 12, 32, 44, 64, 76, 96, 108}));
}

TEST_F(PositionTest, SameRowFiresOnceForAnyScene) {
    hear(1, 116); // scene 1, order 1: list 1 (112, 116, 122, 124)
    EXPECT_EQ(syncTrigger(1), 1);
    EXPECT_EQ(syncTrigger(1), 0);
    hear(2, 116); // scene 1, order 2: list 2 also has 116, but the row has fired already
    EXPECT_EQ(syncTrigger(1), 0);
    hear(2, 124); // another row re-arms
    EXPECT_EQ(syncTrigger(1), 1);
    hear(1, 116);
    EXPECT_EQ(syncTrigger(1), 1);
}

TEST_F(PositionTest, Scene1AtOrder0NeverFires) {
    for (int32_t row = 0; row < 256; ++row) {
        hear(0, row);
        EXPECT_EQ(syncTrigger(1), 0) << row;
    }
}

TEST_F(PositionTest, Scene3AndHigherNeverFire) {
    for (int32_t scene : {3, 4, 100, -1}) {
        for (int32_t order = 0; order < 16; ++order) {
            hear(order, 0);
            EXPECT_EQ(syncTrigger(scene), 0) << scene << " " << order;
        }
    }
}

TEST_F(PositionTest, Scene2PastItsMapSelectsNothing) {
    hear(11, 8); // order 11: list 11 starts with 8
    EXPECT_EQ(syncTrigger(2), 1);
    rearm();
    for (int32_t order = 13; order < 256; order += 7) {
        hear(order, 8);
        EXPECT_EQ(syncTrigger(2), 0) << order;
    }
}

TEST_F(PositionTest, Scene2ReachesTheLastList) {
    // order 11 selects list 11, closed by the table end: 8, 24, 30, ..., 48, 50
    hear(11, 50);
    EXPECT_EQ(syncTrigger(2), 1);
    hear(11, 52);
    EXPECT_EQ(syncTrigger(2), 0);
}

TEST_F(PositionTest, Scene1MapPicksTheListPerOrder) {
    // order: list          row that only that list has
    //   3: 3               62
    //   5: 4               100
    //  11: 5               36
    //  12: 6               4
    const struct { int32_t order, row; } cases[] = {{3, 62}, {5, 100}, {11, 36}, {12, 4}};
    for (const auto& c : cases) {
        hear(c.order, c.row);
        EXPECT_EQ(syncTrigger(1), 1) << c.order;
        hear(2, c.row); // list 2 lacks the row
        rearm();
        hear(2, c.row);
        EXPECT_EQ(syncTrigger(1), 0) << c.order;
    }
}

TEST_F(OutputTest, StartMusicWithoutADeviceStartsNothing) {
    platform::headlessSetThreadsEnabled(1);
    platform::headlessAudioSetOpenResult(2);
    EXPECT_EQ(startMusic(), 0);
    EXPECT_EQ(musicPlayer, nullptr);
    EXPECT_EQ(currentPlayer, nullptr);
    EXPECT_EQ(chunkInfos, nullptr);
    EXPECT_EQ(threadStopped.load(), 1);
    EXPECT_NE(stopMusic(), 0); // no device was open to close
    EXPECT_EQ(musicPlayer, nullptr);
}

TEST_F(OutputTest, StartMusicPlaysTheBuiltInSongWhenItLoads) {
    platform::headlessSetThreadsEnabled(1);
    const int32_t started = startMusic();
    EXPECT_EQ(platform::headlessAudioIsOpen(), 1);
    EXPECT_EQ(started, musicPlayer != nullptr ? 1 : 0);
    EXPECT_EQ(platform::headlessAudioIsPlaying(), started);
    EXPECT_EQ(stopMusic(), 0);
    EXPECT_EQ(musicPlayer, nullptr);
    EXPECT_EQ(threadStopped.load(), 1);
    EXPECT_EQ(platform::headlessAudioIsOpen(), 0);
}

} // namespace
} // namespace ostrel::testing
