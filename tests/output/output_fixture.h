// Shared set-up for the output tests: the headless device, a song-less player whose tick
// function the test controls, and waiting for the audio thread.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "audio/output.h"
#include "module/stream.h"
#include "platform/headless/headless_audio.h"

namespace ostrel::testing {

// What each call of the test tick function saw.
struct TickSeen {
    int32_t timeMs;     // song clock when the tick ran
    int32_t writeIndex; // chunk being rendered
};

// Filled by recordingTick; reset by the fixture. Written only by the rendering thread; read by
// the test after that thread is idle (joined, or seen idle through the device queries).
inline std::vector<TickSeen> ticksSeen;
// Frames per tick the tick function installs; 1160 is one tick at 95 BPM and 44,100 Hz.
inline int32_t tickFrames = 1160;

// Counts ticks in row (so that ChunkInfo shows how many ticks ran) and puts a value above 255
// in order (so that ChunkInfo shows its low 8 bits only).
inline void recordingTick(ModulePlayer* player) {
    ticksSeen.push_back(TickSeen{player->timeMs, writeIndex.load()});
    player->row += 1;
    player->order = 0x107;
    player->samplesPerTick = tickFrames;
}

inline void makeTestPlayer(ModulePlayer* player) {
    *player = ModulePlayer{};
    player->defaultTempo = 6;
    player->defaultBpm = 95;
    player->initialGlobalVolume = 64;
    player->songLength = 1;
    player->tickFunction = recordingTick;
}

inline bool waitUntil(bool (*done)(), int32_t timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Waits until the audio thread has asked the device for its position twice more: the poll that
// was under way has finished, and one complete poll (with its catch-up) has run after it.
inline bool waitForTwoPolls() {
    const uint32_t start = platform::headlessAudioPositionQueries();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (platform::headlessAudioPositionQueries() - start < 3) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A ChunkInfo's fields unpacked: the packed 32-bit field must not be bound to a reference,
// which EXPECT_EQ would do.
struct Entry {
    int32_t order;
    int32_t row;
    int32_t timeMs;
};

inline Entry entry(int32_t index) {
    const ChunkInfo info = loadChunkInfo(&chunkInfos[index]);
    return Entry{info.order, info.row, info.timeMs};
}

constexpr uint32_t chunkBytes44k = 884 * 4;

class OutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::headlessAudioSetOpenResult(0);
        platform::headlessAudioSetPositionResult(0);
        platform::headlessSetThreadsEnabled(0);
        ticksSeen.clear();
        ticksSeen.reserve(100000);
        tickFrames = 1160;
        makeTestPlayer(&player);
    }
    void TearDown() override {
        stopPlayback(&player);
        closeAudio();
        platform::headlessSetThreadsEnabled(1);
    }
    ModulePlayer player;
};

} // namespace ostrel::testing
