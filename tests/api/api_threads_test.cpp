// Different players on different threads at once: four songs loaded, measured and rendered at
// the same time, each at its own rate, give the bytes each gives alone. Run under the thread
// sanitizer too: players share no mutable state (the mixer's AVX2 step table was shared).
#include <gtest/gtest.h>

#include <thread>

#include "tests/api/api_songs.h"

namespace ostrel::apitest {
namespace {

struct Playing {
    std::vector<uint8_t> bytes;
    int32_t rate;
    int32_t block;
    int64_t measured;
    std::vector<int16_t> frames;
};

void play(Playing* run) {
    PlayerPtr player = load(run->bytes);
    ostrel_duration duration{-1, 0, 0, 0, 0};
    ostrel_measure(player.get(), run->rate, 1, &duration);
    run->measured = duration.frames;
    if (ostrel_start(player.get(), run->rate) == OSTREL_OK)
        run->frames = renderAll(player.get(), run->block);
}

TEST(Threads, FourSongsAtOnceGiveTheirBytesAlone) {
    const std::vector<Song> songs = allSongs(); // builtin, test-32, effects, flow (Amiga)
    Playing runs[4] = {{songs[7].bytes, 44100, 1024, 0, {}},
                       {songs[1].bytes, 48000, 999, 0, {}},
                       {songs[2].bytes, 22050, 4096, 0, {}},
                       {songs[6].bytes, 96000, 17, 0, {}}};
    Playing alone[4] = {runs[0], runs[1], runs[2], runs[3]};
    for (Playing& run : alone) {
        play(&run);
        ASSERT_GT(run.measured, 0);
    }
    std::thread threads[4];
    for (int k = 0; k < 4; ++k)
        threads[k] = std::thread(play, &runs[k]);
    for (int k = 0; k < 4; ++k) {
        threads[k].join();
        EXPECT_EQ(runs[k].measured, alone[k].measured) << k;
        EXPECT_TRUE(runs[k].frames == alone[k].frames) << k;
    }
}

} // namespace
} // namespace ostrel::apitest
