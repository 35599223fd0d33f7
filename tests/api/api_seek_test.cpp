// Seeking against rendering from the start and dropping frames, on the song with loops, a pattern
// delay, tempo and BPM changes, breaks and jumps; and the position, that of the next frame.
#include <gtest/gtest.h>

#include <map>

#include "tests/api/api_songs.h"

namespace ostrel::apitest {
namespace {

struct Target {
    int32_t order; // -1: seek to `seconds`
    int32_t row;
    double seconds;
    ostrel_error result;
    int64_t frame; // where it lands; -1: where rendering first shows the row, or the end
};

// Applied one after the other to one player, forward and backward. At 8,000 Hz a tick is 160
// frames (250 from the BPM change to 80) and a row 6 ticks (3 from the tempo change to 3).
const Target targets[] = {
    {0, 9, 0, OSTREL_OK, 18240},            // after rows 0, 1, three times 2..5, 6, 7, 8 (delay 2)
    {0, 2, 0, OSTREL_OK, 1920},             // back: the loop's first time
    {-1, 0, 2.0123, OSTREL_OK, 16098},      // to the nearest frame
    {1, 4, 0, OSTREL_OK, 22410},            // the break's target, after rows 10..14 at new speeds
    {0, 13, 0, OSTREL_OK, 20910},           // back, after the BPM change
    {4, 12, 0, OSTREL_OK, -1},              // the jump's target
    {2, 0, 0, OSTREL_ERROR_NOT_REACHED, 0}, // jumped over: stays where it was
    {-1, 0, 0.5007, OSTREL_OK, 4006},
    {-1, 0, 1000.0, OSTREL_OK, -1}, // past the end: at the end
    {3, 0, 0, OSTREL_OK, -1},
};

TEST(Seek, EqualsRenderingFromTheStartAndDropping) {
    const std::vector<uint8_t> bytes = xmtest::buildXm(xmtest::flowSong(1)).bytes;
    PlayerPtr reference = load(bytes);
    ASSERT_EQ(ostrel_start(reference.get(), 8000), OSTREL_OK);
    // The pass a frame at a time: every frame's position, and where each row plays first.
    std::vector<int16_t> whole;
    std::map<std::pair<int32_t, int32_t>, int64_t> firstFrame;
    int16_t two[2];
    for (int64_t frame = 0;; ++frame) {
        ostrel_position at{};
        ASSERT_EQ(ostrel_get_position(reference.get(), &at), OSTREL_OK);
        ASSERT_TRUE(at.frame == frame && at.seconds == double(frame) / 8000);
        if (at.tick == 0)
            firstFrame.insert({{at.order, at.row}, frame});
        if (ostrel_render_s16(reference.get(), two, 1) != 1)
            break;
        whole.insert(whole.end(), two, two + 2);
    }
    const auto end = int64_t(whole.size() / 2);

    PlayerPtr player = load(bytes);
    ASSERT_EQ(ostrel_start(player.get(), 8000), OSTREL_OK);
    int64_t here = 0;
    for (const Target& t : targets) {
        SCOPED_TRACE(std::to_string(t.order) + ":" + std::to_string(t.row) + " " +
                     std::to_string(t.seconds));
        ASSERT_EQ(t.order >= 0 ? ostrel_seek_order(player.get(), t.order, t.row)
                               : ostrel_seek_seconds(player.get(), t.seconds),
                  t.result);
        int64_t frame = t.result != OSTREL_OK ? here : t.frame >= 0 ? t.frame : end;
        if (t.result == OSTREL_OK && t.order >= 0) {
            frame = firstFrame.at({t.order, t.row});
            EXPECT_TRUE(t.frame < 0 || frame == t.frame);
        }
        ostrel_position at{};
        ASSERT_EQ(ostrel_get_position(player.get(), &at), OSTREL_OK);
        ASSERT_EQ(at.frame, frame);
        EXPECT_TRUE(t.order < 0 || t.result != OSTREL_OK ||
                    (at.order == t.order && at.row == t.row && at.tick == 0));
        const std::vector<int16_t> next = renderAll(player.get(), 701, 3000);
        here = frame + int64_t(next.size() / 2);
        ASSERT_EQ(here, std::min<int64_t>(frame + 3000, end));
        EXPECT_TRUE(std::equal(next.begin(), next.end(), whole.begin() + 2 * frame));
    }
}

} // namespace
} // namespace ostrel::apitest
