// Damaged songs through the library, for the sanitizer build above all: every song of the fuzz
// corpus cut at every length and with single bytes overwritten. A load fails with the loader's
// reason, or gives a player that is measured, muted, rendered, sought and asked where it is,
// with the walk and the render agreeing on the end. Then files cut short, song by song.
#include <gtest/gtest.h>

#include <algorithm>
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
    // A cut song says so in one printable line that fits its buffer; a whole one says nothing.
    const char* what = nullptr;
    const int32_t damaged = ostrel_damaged(player.get(), &what);
    ASSERT_TRUE(damaged == (*what != '\0') && std::strlen(what) < 200);
    ASSERT_TRUE(
        std::all_of(what, what + std::strlen(what), [](char c) { return c >= 32 && c < 127; }));
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

// Two channels and two 16-row patterns; in pattern 1 speed changes in rows 2 and 12 and a note
// in channel 2 of row 8. Instrument 1: an 8-bit sample of 9,000 frames and a short one;
// instrument 2: a looped 16-bit sample.
xmtest::XmModule cutSong() {
    using xmtest::XmSample;
    xmtest::XmModule m;
    m.channels = 2;
    m.songLength = 2;
    m.orderTable[1] = 1;
    m.patterns.resize(2);
    m.patterns[0].rows = m.patterns[1].rows = 16;
    m.patterns[0].cells = {{49, 1}, {49, 2}};
    m.patterns[1].cells.resize(25);
    m.patterns[1].cells[0] = {51, 2};
    m.patterns[1].cells[4] = {0, 0, 0, 0xF, 4};
    m.patterns[1].cells[17] = {53, 1};
    m.patterns[1].cells[24] = {0, 0, 0, 0xF, 3};
    std::vector<int32_t> saw(9000), wave(500);
    for (size_t k = 0; k < saw.size(); ++k)
        saw[k] = int32_t(k * 5 % 200) - 100;
    for (size_t k = 0; k < wave.size(); ++k)
        wave[k] = (int32_t(k * 97 % 2000) - 1000) * 10;
    m.instruments.resize(2);
    m.instruments[0].samples = {XmSample::eightBit(saw), XmSample::eightBit({40, 40, 40})};
    m.instruments[1].samples = {XmSample::sixteen(wave)};
    m.instruments[1].samples[0].loopKind = 1;
    m.instruments[1].samples[0].loopLength = 400;
    return m;
}

// Files cut short, through the library: a cut in sample or pattern data loads, says what it
// lost, and plays as the whole song with the lost part empty or silent; a cut in a header is
// refused as before. Strict loading refuses all but the whole song and the cut where an
// instrument begins.
TEST(Damage, FilesCutInTheirDataPlayWhatTheyHold) {
    using xmtest::XmImage;
    using xmtest::XmModule;
    struct Cut {
        size_t (*at)(const XmImage& whole);
        const char* refused; // the reason, or null when the cut song loads
        const char* damage;
        void (*lose)(XmModule& song); // what the cut takes from the whole song
    };
    const Cut cuts[] = {
        {[](const XmImage& w) { return w.bytes.size(); }, nullptr, "", nullptr},
        {[](const XmImage& w) { return w.sampleDataOffsets[0][0] + 1204; }, nullptr,
         "sample 1 of instrument 1: 1,204 of 9,000 frames; the rest is silence; 1 more sample "
         "and 1 instrument have no data",
         [](XmModule& m) {
             std::fill(m.instruments[0].samples[0].frames.begin() + 1204,
                       m.instruments[0].samples[0].frames.end(), 0);
             m.instruments[0].samples[1].frames.assign(3, 0);
             m.instruments[1].samples.clear();
         }},
        {[](const XmImage& w) { return w.sampleDataOffsets[1][0] + 501; }, nullptr,
         "sample 1 of instrument 2: 250 of 500 frames; the rest is silence",
         [](XmModule& m) {
             std::fill(m.instruments[1].samples[0].frames.begin() + 250,
                       m.instruments[1].samples[0].frames.end(), 0);
         }},
        {[](const XmImage& w) { return w.instrumentOffsets[1]; }, nullptr, "",
         [](XmModule& m) { m.instruments[1].samples.clear(); }},
        {[](const XmImage& w) { return w.patternOffsets[1] + 9 + 22; }, nullptr,
         "pattern 1: 22 of 40 bytes of data; empty from channel 2 of row 8 on; 2 instruments "
         "have no data",
         [](XmModule& m) {
             std::fill(m.patterns[1].cells.begin() + 17, m.patterns[1].cells.end(),
                       xmtest::XmCell{});
             m.instruments = std::vector<xmtest::XmInstrument>(2);
         }},
        {[](const XmImage& w) { return w.instrumentOffsets[1] + 100; }, "file is truncated", "",
         nullptr},
    };
    const XmImage whole = xmtest::buildXm(cutSong());
    PlayerPtr intact = load(whole.bytes);
    ASSERT_EQ(ostrel_start(intact.get(), 8000), OSTREL_OK);
    const std::vector<int16_t> intactFrames = renderAll(intact.get(), 4096);
    for (const Cut& cut : cuts) {
        const size_t size = cut.at(whole);
        SCOPED_TRACE(size);
        ModulePlayer* strict =
            xmtest::createPlayerFromImage({whole.bytes.begin(), whole.bytes.begin() + long(size)});
        EXPECT_EQ(strict != nullptr, !cut.refused && !cut.damage[0]);
        destroyPlayer(strict);
        const char* reason = nullptr;
        PlayerPtr player(ostrel_load_memory(whole.bytes.data(), size, nullptr, &reason),
                         ostrel_free);
        if (cut.refused) {
            EXPECT_TRUE(!player && std::strcmp(reason, cut.refused) == 0) << reason;
            continue;
        }
        const char* what = nullptr;
        ASSERT_TRUE(player) << reason;
        EXPECT_EQ(ostrel_damaged(player.get(), &what), cut.damage[0] ? 1 : 0);
        EXPECT_STREQ(what, cut.damage);
        XmModule same = cutSong();
        if (cut.lose)
            cut.lose(same);
        PlayerPtr expected = load(xmtest::buildXm(same).bytes);
        ASSERT_EQ(ostrel_start(player.get(), 8000) | ostrel_start(expected.get(), 8000), OSTREL_OK);
        const std::vector<int16_t> frames = renderAll(player.get(), 4096);
        EXPECT_TRUE(frames == renderAll(expected.get(), 4096));
        EXPECT_EQ(frames != intactFrames, cut.lose != nullptr); // the loss is heard
    }
    EXPECT_EQ(ostrel_damaged(nullptr, nullptr), -1);
}

} // namespace
} // namespace ostrel::apitest
