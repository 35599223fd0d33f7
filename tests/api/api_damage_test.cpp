// Damaged songs through the library, for the sanitizer build above all: every song of the fuzz
// corpus cut at every length and with single bytes overwritten. A load fails with the loader's
// reason, or gives a player that is measured, muted, rendered, sought and asked where it is,
// with the walk and the render agreeing on the end.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/api/api_songs.h"

namespace ostrel::apitest {
namespace {

void play(const std::vector<uint8_t>& bytes, int* loaded) {
    ostrel_error error = OSTREL_ERROR_STATE;
    const char* reason = nullptr;
    PlayerPtr player(ostrel_load_memory(bytes.data(), bytes.size(), &error, &reason), ostrel_free);
    ASSERT_TRUE(reason && (player ? *reason == '\0' : std::strlen(reason) > 8));
    ASSERT_EQ(error, player ? OSTREL_OK : OSTREL_ERROR_FORMAT) << reason;
    if (!player)
        return;
    ++*loaded;
    ostrel_info info{};
    ASSERT_EQ(ostrel_get_info(player.get(), &info), OSTREL_OK);
    ASSERT_TRUE(std::strlen(ostrel_title(player.get())) <= 20 && info.orders >= 1);
    // A damaged BPM may make every tick a frame long, and a walk to the cap long.
    const bool walkable = info.initial_bpm >= 32 && info.initial_bpm <= 255;
    ostrel_duration duration{};
    if (walkable) {
        ASSERT_EQ(ostrel_measure(player.get(), 8000, 1, &duration), OSTREL_OK);
    }
    ASSERT_EQ(ostrel_set_mute(player.get(), info.channels - 1, 1), OSTREL_OK);
    ASSERT_EQ(ostrel_start(player.get(), 8000), OSTREL_OK);
    const int64_t rendered = int64_t(renderAll(player.get(), 999, 4000).size() / 2);
    if (walkable) {
        EXPECT_EQ(rendered, std::min<int64_t>(4000, duration.frames));
        const ostrel_error sought = ostrel_seek_order(player.get(), 0, 1);
        ASSERT_TRUE(sought == OSTREL_OK || sought == OSTREL_ERROR_NOT_REACHED);
    }
    ASSERT_EQ(ostrel_seek_seconds(player.get(), 0.1), OSTREL_OK);
    ostrel_position at{};
    ASSERT_EQ(ostrel_get_position(player.get(), &at), OSTREL_OK);
    ASSERT_TRUE(at.order >= 0 && at.order < info.orders && at.frame <= 800);
}

TEST(Damage, CutAndOverwrittenSongsLoadOrFailCleanly) {
    for (const char* name : corpusNames) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> song = corpusSong(name);
        int loaded = 0;
        for (size_t cut = 0; cut < song.size(); ++cut)
            ASSERT_NO_FATAL_FAILURE(play({song.begin(), song.begin() + long(cut)}, &loaded)) << cut;
        for (size_t at = 0; at < song.size(); ++at) {
            for (uint8_t value : {0x00, 0x7F, 0xFF}) {
                std::vector<uint8_t> damaged = song;
                damaged[at] = value;
                ASSERT_NO_FATAL_FAILURE(play(damaged, &loaded)) << at << " = " << int(value);
            }
        }
        // Most damaged songs load: they were played, not only refused.
        EXPECT_GT(loaded, int(song.size()));
    }
}

} // namespace
} // namespace ostrel::apitest
