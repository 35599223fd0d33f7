// The duration walk against rendering: ostrel_measure ticks a copy of the song without mixing,
// and must find the end frame that the renderer finds with the song-end watch (as xmrender
// measures); the library's own render must stop there, with the renderer's bytes.
#include <gtest/gtest.h>

#include "audio/renderer.h"
#include "audio/song_end.h"
#include "tests/api/api_songs.h"

namespace ostrel::apitest {
namespace {

// No end within 30 minutes: 16 orders of 64 slow rows, and a BPM change that puts the cap
// inside a tick.
std::vector<uint8_t> endlessSong() {
    xmtest::XmModule song;
    song.songLength = 16;
    song.tempo = 31;
    song.bpm = 32;
    song.patterns[0].cells.assign(64, xmtest::XmCell{});
    song.patterns[0].cells[5] = xmtest::XmCell{0, 0, 0, 0xF, 33};
    return xmtest::buildXm(song).bytes;
}

void hash(uint64_t& h, const int16_t* samples, int64_t frames) {
    for (int64_t k = 0; k < 2 * frames; ++k)
        h = (h ^ static_cast<uint16_t>(samples[k])) * 0x100000001b3ull;
}

// The renderer with a watch that finishes (at a cap, maybe a tick after it), then the renderer
// again for the bytes up to that end.
SongWatch* renderedEnd(const std::vector<uint8_t>& bytes, int32_t rate, int32_t passes,
                       uint64_t& h) {
    static SongWatch watch;
    for (int run = 0; run < 2; ++run) {
        ModulePlayer* player = xmtest::createPlayerFromImage(bytes);
        Renderer renderer{};
        EXPECT_TRUE(player && (run == 1 || watchSong(&watch, player, passes, 1800LL * rate)) &&
                    startRenderer(&renderer, player, rate));
        std::vector<int16_t> chunk(2 * size_t(renderer.chunkFrames));
        for (int64_t left = watch.endFrame; run == 0 ? !watch.finished : left > 0;
             left -= renderer.chunkFrames) {
            const int32_t n =
                int32_t(std::min<int64_t>(run ? left : INT32_MAX, renderer.chunkFrames));
            renderS16(&renderer, chunk.data(), n);
            if (run == 1)
                hash(h, chunk.data(), n);
        }
        stopRenderer(&renderer);
        destroyPlayer(player);
    }
    unwatchSong(&watch);
    return &watch;
}

TEST(Duration, WalkEqualsTheRenderedEnd) {
    // rate, passes, frames per render call; the long songs only at the low rate
    const int32_t cases[][3] = {{44100, 1, 1000}, {48000, 2, 4096}, {8000, 3, 333}, {192000, 1, 7}};
    std::vector<Song> songs = allSongs();
    songs.push_back({"endless", endlessSong()});
    for (const Song& song : songs) {
        for (const auto& [rate, passes, block] : cases) {
            if ((song.name == "endless" || song.name == "builtin") && rate != 8000)
                continue;
            SCOPED_TRACE(song.name + " " + std::to_string(rate) + " " + std::to_string(passes));
            uint64_t expectedHash = 0xcbf29ce484222325ull;
            const SongWatch& expected = *renderedEnd(song.bytes, rate, passes, expectedHash);
            PlayerPtr player = load(song.bytes);
            ostrel_duration duration{};
            ASSERT_EQ(ostrel_measure(player.get(), rate, passes, &duration), OSTREL_OK);
            EXPECT_EQ(duration.frames, expected.endFrame);
            EXPECT_EQ(duration.end_found, song.name == "endless" ? 0 : 1);
            EXPECT_EQ(duration.end_found, expected.capped ? 0 : 1);
            EXPECT_EQ(duration.repeat_order, expected.repeatOrder);
            EXPECT_EQ(duration.repeat_row, expected.repeatRow);
            ASSERT_EQ(ostrel_set_repeat(player.get(), passes), OSTREL_OK);
            ASSERT_EQ(ostrel_start(player.get(), rate), OSTREL_OK);
            std::vector<int16_t> frames(2 * size_t(block));
            int64_t rendered = 0;
            uint64_t h = 0xcbf29ce484222325ull;
            for (int32_t got; (got = ostrel_render_s16(player.get(), frames.data(), block)) > 0;
                 rendered += got)
                hash(h, frames.data(), got);
            EXPECT_EQ(rendered, expected.endFrame);
            EXPECT_EQ(h, expectedHash);
        }
    }
}

// A walk changes nothing of the song: playback measured half-way goes on as it would have.
TEST(Duration, MeasuringDoesNotDisturbPlayback) {
    PlayerPtr player = load(xmtest::buildXm(xmtest::flowSong(1)).bytes);
    ASSERT_EQ(ostrel_start(player.get(), 44100), OSTREL_OK);
    const std::vector<int16_t> whole = renderAll(player.get(), 1000);
    ASSERT_EQ(ostrel_start(player.get(), 44100), OSTREL_OK);
    std::vector<int16_t> split = renderAll(player.get(), 1000, 123457);
    ostrel_duration duration;
    ASSERT_EQ(ostrel_measure(player.get(), 22050, 2, &duration), OSTREL_OK);
    const std::vector<int16_t> rest = renderAll(player.get(), 1000);
    split.insert(split.end(), rest.begin(), rest.end());
    EXPECT_TRUE(split == whole);
}

} // namespace
} // namespace ostrel::apitest
