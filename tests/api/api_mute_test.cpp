// Muting: a muted channel plays on unheard, so that unmuting brings it back exactly where it
// would be, and a solo leaves exactly that channel's share of the mix.
#include <gtest/gtest.h>

#include "tests/api/api_songs.h"

namespace ostrel::apitest {
namespace {

// The renderer's chunk at 44,100 Hz. The chunk of the next frame is always mixed already: a
// mute applies from the chunk after it.
constexpr int32_t chunk = 884;

std::vector<int16_t> renderSong(const xmtest::XmModule& song, int32_t solo = -1) {
    PlayerPtr player = load(xmtest::buildXm(song).bytes);
    EXPECT_EQ(ostrel_solo(player.get(), solo), OSTREL_OK);
    EXPECT_EQ(ostrel_start(player.get(), 44100), OSTREL_OK);
    return renderAll(player.get(), 1000);
}

// Channels muted from the start for a stretch, then unmuted: from the next chunk on, the bytes
// of a render that never muted anything.
TEST(Mute, UnmutedChannelsComeBackWhereTheyWouldBe) {
    const xmtest::XmModule song = xmtest::makeTestSong(4);
    const std::vector<int16_t> plain = renderSong(song);
    // channels muted, for how many frames
    const std::pair<uint32_t, int32_t> cases[] = {
        {0b0010, 20 * chunk + 17}, {0b1101, 300 * chunk}, {0b1111, 55 * chunk + 883}};
    for (const auto& [channels, frames] : cases) {
        SCOPED_TRACE(frames);
        PlayerPtr player = load(xmtest::buildXm(song).bytes);
        ASSERT_EQ(ostrel_start(player.get(), 44100), OSTREL_OK);
        for (int32_t channel = 0; channel < 4; ++channel)
            ASSERT_EQ(ostrel_set_mute(player.get(), channel, channels >> channel & 1), OSTREL_OK);
        const std::vector<int16_t> muted = renderAll(player.get(), 1000, frames);
        EXPECT_FALSE(std::equal(muted.begin(), muted.end(), plain.begin()));
        ASSERT_EQ(ostrel_solo(player.get(), -1), OSTREL_OK);
        const std::vector<int16_t> after = renderAll(player.get(), 1000);
        const size_t next = 2 * size_t(chunk - frames % chunk);
        ASSERT_EQ(muted.size() + after.size(), plain.size());
        EXPECT_TRUE(std::equal(after.begin() + long(next), after.end(),
                               plain.begin() + long(muted.size() + next)));
    }
}

// A solo equals the song with the other channels' notes taken out.
TEST(Mute, SoloLeavesExactlyThatChannel) {
    const xmtest::XmModule song = xmtest::makeTestSong(4);
    for (int32_t solo = 0; solo < 4; ++solo) {
        xmtest::XmModule alone = song;
        for (xmtest::XmPattern& pattern : alone.patterns)
            for (size_t cell = 0; cell < pattern.cells.size(); ++cell)
                if (int32_t(cell % 4) != solo)
                    pattern.cells[cell] = {0, 0, 0, pattern.cells[cell].effect,
                                           pattern.cells[cell].effectParam};
        EXPECT_TRUE(renderSong(song, solo) == renderSong(alone)) << solo;
    }
}

} // namespace
} // namespace ostrel::apitest
