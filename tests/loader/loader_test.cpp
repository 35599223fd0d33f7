// The loader on well-formed modules: header, patterns, instruments, samples and their data.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "module/stream.h"
#include "player/engine.h"
#include "player/sequencer.h"
#include "tests/loader/loader_helpers.h"

namespace ostrel {
namespace {

using loadertest::cellAt;
using loadertest::load;
using loadertest::loadBytes;
using loadertest::withSamples;
using xmtest::buildXm;
using xmtest::XmInstrument;
using xmtest::XmModule;
using xmtest::XmSample;

// ---- Header ----

TEST(LoaderHeader, StoresTheSongFields) {
    XmModule m;
    m.songLength = 3;
    m.restartPosition = 2;
    m.channels = 4;
    m.flags = 1;
    m.tempo = 5;
    m.bpm = 140;
    m.orderTable[200] = 77; // beyond songLength: kept, not counted
    auto player = load(m);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->songLength, 3);
    EXPECT_EQ(player->restartPosition, 2);
    EXPECT_EQ(player->channelCount, 4);
    EXPECT_EQ(player->flags, 1);
    EXPECT_EQ(player->defaultTempo, 5);
    EXPECT_EQ(player->defaultBpm, 140);
    EXPECT_EQ(player->orderTable[200], 77);
    EXPECT_EQ(player->usedPatternCount, 1);
    EXPECT_EQ(player->initialGlobalVolume, 64);
    // The loader lies below the sequencer: the renderer's start gives the player its tick.
    EXPECT_EQ(player->tickFunction, nullptr);
}

// A file is MadTracker's when its tracker name, bytes 38..57, begins with "MadTracker".
TEST(LoaderHeader, MarksMadTrackerFilesByTheirTrackerName) {
    const std::pair<const char*, uint8_t> table[] = {
        {"MadTracker 2.0", 1}, {"MadTracker", 1},  {"MadTrack", 0},
        {"madtracker 2.0", 0}, {" MadTracker", 0}, {"FastTracker v2.00", 0},
    };
    for (const auto& [name, flag] : table) {
        XmModule m;
        m.name = "MadTracker"; // the title does not count
        m.tracker = name;
        auto player = load(m);
        ASSERT_TRUE(player);
        EXPECT_EQ(player->madTracker, flag) << name;
    }
}

// Texts as people read them: every field at its own offset and full width, control bytes as
// '?', the blanks and zeros trackers pad with dropped at the end only, bytes from 0x80 kept.
TEST(LoaderHeader, KeepsTheTextsAsPrintableText) {
    const std::string full22 = "abcdefghijklmnopqrstuv"; // 22 bytes: a sample or instrument
    // written -> kept
    const std::pair<std::string, std::string> table[] = {
        {"", ""},
        {"  song  \0\0", "  song"},
        {std::string("a\0b", 3), "a b"},
        {"tab\there\x7f\x1b", "tab?here??"},
        {"\xc4\xb0 high", "\xc4\xb0 high"},
        {full22, full22},
    };
    for (const auto& [written, kept] : table) {
        XmModule m = withSamples({XmSample::eightBit({1}), XmSample::eightBit({2})});
        m.name = written;
        m.tracker = written;
        m.instruments[0].name = written;
        m.instruments[0].samples[1].name = written;
        m.instruments.push_back(XmInstrument{}); // no samples: a 29-byte header
        m.instruments[1].name = written;
        auto player = load(m);
        ASSERT_TRUE(player) << kept;
        const std::string kept20 = kept.substr(0, 20);
        EXPECT_EQ(player->title, kept20);
        EXPECT_EQ(player->tracker, kept20);
        EXPECT_EQ(player->instruments[0].name, kept);
        EXPECT_EQ(player->instruments[1].name, kept);
        EXPECT_EQ(player->instruments[0].samples[0]->name, std::string());
        EXPECT_EQ(player->instruments[0].samples[1]->name, kept);
        // The names take nothing from the fields after them.
        EXPECT_EQ(player->instruments[0].samples[1]->data[0], 2 * 256);
    }
}

// The counts the header declares, next to the ones the loader plays with.
TEST(LoaderHeader, KeepsTheDeclaredChannelAndPatternCounts) {
    XmModule m;
    m.channels = 40; // the first 32 are played
    m.songLength = 3;
    m.orderTable[2] = 4; // patterns 1..4 are not in the file
    auto player = load(m);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->fileChannelCount, 40);
    EXPECT_EQ(player->channelCount, 32);
    EXPECT_EQ(player->filePatternCount, 1);
    EXPECT_EQ(player->patternSlotCount, 5);
}

TEST(LoaderHeader, SeventeenthByteMustBeASpace) {
    XmModule m;
    m.id = "Extended Module:_";
    EXPECT_FALSE(load(m));
    EXPECT_STREQ(xmtest::lastImageReason(), "not an XM module");
}

TEST(LoaderHeader, VersionAndMarkerMayHoldAnything) {
    XmModule m;
    m.version = 0xBEEF;
    m.marker = 0x00;
    EXPECT_TRUE(load(m));
}

// Marks the pattern so that reading its header from the wrong offset shows: 32 rows (a header
// read 4 bytes early would see 0 rows) and a note in row 0.
XmModule markedPatternModule(uint32_t headerSize) {
    XmModule m;
    m.headerSize = headerSize;
    m.patterns[0].rows = 32;
    m.patterns[0].cells = {{12, 0, 0, 0, 0}};
    return m;
}

TEST(LoaderHeader, HeaderSize276StartsPatternsAt336) {
    xmtest::XmImage image = buildXm(markedPatternModule(276));
    ASSERT_EQ(image.patternOffsets[0], 336u);
    auto player = loadBytes(image.bytes);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->patterns[0].rowCount, 32);
    EXPECT_EQ(cellAt(*player, 0, 0, 0).note, 12);
}

TEST(LoaderHeader, HeaderSize280SkipsFourBytes) {
    xmtest::XmImage image = buildXm(markedPatternModule(280));
    ASSERT_EQ(image.patternOffsets[0], 340u);
    for (size_t k = 336; k < 340; ++k) {
        image.bytes[k] = 0xFF;
    }
    auto player = loadBytes(image.bytes);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->patterns[0].rowCount, 32);
    EXPECT_EQ(cellAt(*player, 0, 0, 0).note, 12);
}

// ---- Patterns ----

TEST(LoaderPatterns, OrderTableBeyondTheFileAddsEmpty64RowPatterns) {
    XmModule m;
    m.patterns.resize(3);
    m.songLength = 2;
    m.orderTable[0] = 1;
    m.orderTable[1] = 5;
    auto player = load(m);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->usedPatternCount, 6);
    EXPECT_EQ(player->patternSlotCount, 6);
    for (int p = 3; p < 6; ++p) {
        ASSERT_EQ(player->patterns[p].rowCount, 64) << p;
        for (int r = 0; r < 64; ++r) {
            const PatternCell& c = cellAt(*player, p, r, 0);
            EXPECT_EQ(c.note | c.instrument | c.volume | c.effect | c.effectParam, 0);
        }
    }
}

TEST(LoaderPatterns, UnusedFilePatternsAreKept) {
    XmModule m;
    m.patterns.resize(4);
    m.patterns[3].rows = 16;
    auto player = load(m);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->usedPatternCount, 1);
    EXPECT_EQ(player->patternSlotCount, 4);
    EXPECT_EQ(player->patterns[3].rowCount, 16);
}

TEST(LoaderPatterns, PackedSizeZeroConsumesOnlyTheHeader) {
    XmModule m;
    m.channels = 2;
    m.patterns.resize(2);
    m.patterns[0].rows = 4; // no cells: written with packed size 0
    m.patterns[1].rows = 2;
    m.patterns[1].cells = {{1, 2, 3, 4, 5}, {}, {}, {6, 7, 8, 9, 10}};
    xmtest::XmImage image = buildXm(m);
    ASSERT_EQ(image.patternOffsets[1], image.patternOffsets[0] + 9);
    auto player = loadBytes(image.bytes);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->patterns[0].rowCount, 4);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(player->patterns[0].cells[k].note, 0);
    }
    EXPECT_EQ(cellAt(*player, 1, 0, 0).effectParam, 5);
    EXPECT_EQ(cellAt(*player, 1, 1, 1).note, 6);
    EXPECT_EQ(cellAt(*player, 1, 1, 1).effectParam, 10);
}

// A header length above 9 that the stream holds from the pattern's start is skipped to its end;
// any other reads the header as 9 bytes, and the 2 extra bytes then decode as note 77.
TEST(LoaderPatterns, HeaderLengthSkipsExtraHeaderBytes) {
    XmModule m;
    m.patterns[0].rows = 2;
    m.patterns[0].cells = {{3}, {5}};
    m.patterns[0].headerExtra = {0x81, 77};
    xmtest::XmImage image = buildXm(m);
    const uint32_t left = uint32_t(image.bytes.size() - image.patternOffsets[0]);
    // length field -> skips the extra bytes (-1: 11, the real length)
    const std::pair<int64_t, bool> cases[] = {{-1, true},   {0, false},        {9, false},
                                              {left, true}, {left + 1, false}, {0xFFFFFFFF, false}};
    for (const auto& [length, skips] : cases) {
        if (length >= 0) {
            m.patterns[0].headerLength = uint32_t(length);
        }
        auto player = load(m);
        if (length == left) { // honoured: the data would start at the end of the file
            EXPECT_FALSE(player);
            EXPECT_STREQ(xmtest::lastImageReason(), "file is truncated");
            continue;
        }
        ASSERT_TRUE(player) << length;
        EXPECT_EQ(cellAt(*player, 0, 0, 0).note, skips ? 3 : 77) << length;
    }
}

TEST(LoaderPatterns, PackedCellForms) {
    XmModule m;
    m.channels = 4;
    m.patterns[0].rows = 1;
    // channel 0: 0x80           -> empty cell, one byte
    // channel 1: 0x81 49        -> note 49 only
    // channel 2: 0x01 2 3 4 5   -> uncompressed: note 1, then four fields
    // channel 3: 0x9E 7 8 9 10  -> mask without note: instrument, volume, effect, param
    m.patterns[0].rawPacked =
        std::vector<uint8_t>{0x80, 0x81, 49, 0x01, 2, 3, 4, 5, 0x9E, 7, 8, 9, 10};
    auto player = load(m);
    ASSERT_TRUE(player);
    const uint8_t expected[4][5] = {
        {0, 0, 0, 0, 0}, {49, 0, 0, 0, 0}, {1, 2, 3, 4, 5}, {0, 7, 8, 9, 10}};
    for (int c = 0; c < 4; ++c) {
        const PatternCell& cell = cellAt(*player, 0, 0, c);
        EXPECT_EQ(cell.note, expected[c][0]) << c;
        EXPECT_EQ(cell.instrument, expected[c][1]) << c;
        EXPECT_EQ(cell.volume, expected[c][2]) << c;
        EXPECT_EQ(cell.effect, expected[c][3]) << c;
        EXPECT_EQ(cell.effectParam, expected[c][4]) << c;
    }
}

TEST(LoaderPatterns, MaskBitsFiveAndSixAreIgnored) {
    XmModule m;
    m.patterns[0].rows = 2;
    m.patterns[0].rawPacked = std::vector<uint8_t>{0xE1, 30, 0xC0};
    auto player = load(m);
    ASSERT_TRUE(player);
    EXPECT_EQ(cellAt(*player, 0, 0, 0).note, 30);
    EXPECT_EQ(cellAt(*player, 0, 1, 0).note, 0);
}

TEST(LoaderPatterns, KeyOffAndInstrumentRange) {
    XmModule m;
    m.patterns[0].rows = 3;
    m.patterns[0].cells = {{97, 129}, {96, 128}, {1, 1}};
    auto player = load(m);
    ASSERT_TRUE(player);
    EXPECT_EQ(cellAt(*player, 0, 0, 0).note, 255);
    EXPECT_EQ(cellAt(*player, 0, 0, 0).instrument, 0);
    EXPECT_EQ(cellAt(*player, 0, 1, 0).note, 96);
    EXPECT_EQ(cellAt(*player, 0, 1, 0).instrument, 128);
    EXPECT_EQ(cellAt(*player, 0, 2, 0).note, 1);
}

// ---- Instruments ----

// As many samples as a map byte can name load, each reachable through its byte; one more fails.
TEST(LoaderInstruments, EveryMapByteReachesItsSample) {
    XmModule m = withSamples({});
    for (int k = 0; k < 257; ++k) {
        m.instruments[0].samples.push_back(XmSample::eightBit({k % 256 - 128}));
    }
    EXPECT_FALSE(load(m));
    EXPECT_STREQ(xmtest::lastImageReason(), "instrument has more than 256 samples");
    m.instruments[0].samples.pop_back();
    for (int n = 0; n < 96; ++n) {
        m.instruments[0].sampleMap[size_t(n)] = uint8_t(255 - n * 7); // 255, 248, ... wrapping
    }
    auto player = load(m);
    ASSERT_TRUE(player);
    ChannelState ch{};
    for (ch.note = 0; ch.note < 96; ++ch.note) {
        const int value = uint8_t(255 - ch.note * 7) - 128;
        EXPECT_EQ(selectSample(&player->instruments[0], &ch)->data[0], value * 256) << ch.note;
    }
}

TEST(LoaderInstruments, HeaderFieldsEnvelopesAndFadeout) {
    XmModule m = withSamples({XmSample::eightBit({1})});
    XmInstrument& ins = m.instruments[0];
    ins.sampleMap[95] = 9;
    ins.volumeEnvelope.pointCount = 3;
    ins.volumeEnvelope.points[0] = {0, 64};
    ins.volumeEnvelope.points[1] = {10, 32};
    ins.volumeEnvelope.points[2] = {300, 0};
    ins.volumeEnvelope.sustainPoint = 1;
    ins.volumeEnvelope.loopStartPoint = 0;
    ins.volumeEnvelope.loopEndPoint = 2;
    ins.volumeEnvelope.flags = 7;
    ins.panningEnvelope.pointCount = 2;
    ins.panningEnvelope.points[1] = {5, 48};
    ins.panningEnvelope.flags = 1;
    ins.vibratoType = 1;
    ins.vibratoSweep = 2;
    ins.vibratoDepth = 3;
    ins.vibratoRate = 4;
    ins.fadeout = 256;
    auto player = load(m);
    ASSERT_TRUE(player);
    const Instrument& got = player->instruments[0];
    EXPECT_EQ(got.sampleMap[95], 9);
    EXPECT_EQ(got.volumeEnvelopePointCount, 3);
    EXPECT_EQ(got.volumeEnvelope[2].x, 300);
    EXPECT_EQ(got.volumeEnvelope[1].y, 32);
    EXPECT_EQ(got.volumeEnvelope[12].x, 0); // points past the file's 12 stay zero
    EXPECT_EQ(got.volumeSustainPoint, 1);
    EXPECT_EQ(got.volumeLoopEndPoint, 2);
    EXPECT_EQ(got.volumeEnvelopeFlags, 7);
    EXPECT_EQ(got.panningEnvelope[1].y, 48);
    EXPECT_EQ(got.panningEnvelopeFlags, 1);
    EXPECT_EQ(got.vibratoType, 1);
    EXPECT_EQ(got.vibratoSweep, 2);
    EXPECT_EQ(got.vibratoDepth, 3);
    EXPECT_EQ(got.vibratoRate, 4);
    EXPECT_EQ(got.fadeout, 512);
}

TEST(LoaderInstruments, FadeoutDoublesIn16Bits) {
    XmModule m = withSamples({XmSample::eightBit({1})});
    m.instruments[0].fadeout = 0x8001;
    auto player = load(m);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->instruments[0].fadeout, 2);
}

TEST(LoaderInstruments, EnvelopeWithOnePointIsOff) {
    XmModule m = withSamples({XmSample::eightBit({1})});
    m.instruments[0].volumeEnvelope.pointCount = 1;
    m.instruments[0].volumeEnvelope.flags = 7;
    m.instruments[0].panningEnvelope.pointCount = 0;
    m.instruments[0].panningEnvelope.flags = 3;
    auto player = load(m);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->instruments[0].volumeEnvelopeFlags, 0);
    EXPECT_EQ(player->instruments[0].panningEnvelopeFlags, 0);
}

TEST(LoaderInstruments, EmptyInstrumentWithHeaderSize29IsFollowedDirectly) {
    XmModule m;
    m.instruments.resize(2);
    m.instruments[1].samples = {XmSample::eightBit({3})};
    xmtest::XmImage image = buildXm(m);
    ASSERT_EQ(image.instrumentOffsets[1], image.instrumentOffsets[0] + 29);
    auto player = loadBytes(image.bytes);
    ASSERT_TRUE(player);
    const Instrument& empty = player->instruments[0];
    EXPECT_EQ(empty.sampleCount, 0);
    EXPECT_EQ(empty.volumeEnvelopeFlags, 0);
    EXPECT_EQ(empty.samples, nullptr);
    EXPECT_EQ(player->instruments[1].samples[0]->data[0], 3 * 256);
}

TEST(LoaderInstruments, EmptyInstrumentWithHeaderSize263SkipsTheRest) {
    XmModule m;
    m.instruments.resize(2);
    m.instruments[0].headerSize = 263;
    m.instruments[1].samples = {XmSample::eightBit({4})};
    xmtest::XmImage image = buildXm(m);
    ASSERT_EQ(image.instrumentOffsets[1], image.instrumentOffsets[0] + 263);
    // Fill the 234 skipped bytes with what would read as a huge header if they were parsed.
    for (size_t k = image.instrumentOffsets[0] + 29; k < image.instrumentOffsets[1]; ++k) {
        image.bytes[k] = 0xFF;
    }
    auto player = loadBytes(image.bytes);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->instruments[1].samples[0]->data[0], 4 * 256);
}

// ---- Sample headers ----

TEST(LoaderSamples, HeaderFields) {
    XmSample s = XmSample::eightBit({1, 2, 3});
    s.volume = 40;
    s.finetune = -16;
    s.panning = 200;
    s.relativeNote = -12;
    auto player = load(withSamples({s}));
    ASSERT_TRUE(player);
    const Sample& got = *player->instruments[0].samples[0];
    EXPECT_EQ(got.volume, 40);
    EXPECT_EQ(got.finetune, -16);
    EXPECT_EQ(got.panning, 200);
    EXPECT_EQ(got.relativeNote, -12);
    EXPECT_EQ(got.bitsPerSample, 16);
    EXPECT_EQ(got.loopType, loopNone);
    EXPECT_EQ(got.loopStart, 0u);
    EXPECT_EQ(got.loopLength, 3u);
}

TEST(LoaderSamples, SixteenBitLengthsAreHalvedAndSpareFramesAreZero) {
    XmSample s = XmSample::sixteen(std::vector<int32_t>(50, 7));
    auto player = load(withSamples({s}));
    ASSERT_TRUE(player);
    const Sample& got = *player->instruments[0].samples[0];
    EXPECT_EQ(got.length, 50u);
    // 58 frames in the block: the 8 after length read zero (the sanitizer build also checks
    // that they exist).
    for (int k = 50; k < 58; ++k) {
        EXPECT_EQ(got.data[k], 0) << k;
    }
}

TEST(LoaderSamples, EightBitHundredBytesGiveHundredFrames) {
    auto player = load(withSamples({XmSample::eightBit(std::vector<int32_t>(100, 1))}));
    ASSERT_TRUE(player);
    const Sample& got = *player->instruments[0].samples[0];
    EXPECT_EQ(got.length, 100u);
    EXPECT_EQ(got.data[99], 256);
    EXPECT_EQ(got.data[100], 0);
    EXPECT_EQ(got.data[107], 0);
}

TEST(LoaderSamples, ZeroLoopLengthMakesAOneShot) {
    XmSample s = XmSample::eightBit({1, 2, 3, 4});
    s.loopKind = 1;
    s.loopStart = 2;
    s.loopLength = 0;
    auto player = load(withSamples({s}));
    ASSERT_TRUE(player);
    const Sample& got = *player->instruments[0].samples[0];
    EXPECT_EQ(got.loopType, loopNone);
    EXPECT_EQ(got.loopStart, 0u);
    EXPECT_EQ(got.loopLength, 4u);
    EXPECT_EQ(got.data[4], 0); // no guard copy for a one-shot
}

TEST(LoaderSamples, TypeBitsSelectTheLoop) {
    // type bits -> loopType: 1 forward, 2 ping-pong, 3 ping-pong
    const uint8_t kinds[] = {1, 2, 3};
    const uint8_t expected[] = {loopForward, loopPingPong, loopPingPong};
    for (int k = 0; k < 3; ++k) {
        XmSample s = XmSample::eightBit({0, 0, 0, 0, 0, 0, 0, 0});
        s.loopKind = kinds[k];
        s.loopStart = 2;
        s.loopLength = 4;
        auto player = load(withSamples({s}));
        ASSERT_TRUE(player);
        EXPECT_EQ(player->instruments[0].samples[0]->loopType, expected[k]) << int(kinds[k]);
    }
}

TEST(LoaderSamples, OddSixteenBitByteCountLeavesTheLastByteUnread) {
    // Sample 0: 16-bit, 101 stored bytes -> 50 frames, 100 bytes read. The 101st byte (7)
    // is then read as the first byte of sample 1, an 8-bit sample of one stored byte.
    std::vector<uint8_t> raw(101, 0);
    raw[100] = 7;
    XmSample first;
    first.sixteenBit = true;
    first.rawData = raw;
    XmSample second;
    second.rawData = std::vector<uint8_t>{1};
    auto player = load(withSamples({first, second}));
    ASSERT_TRUE(player);
    EXPECT_EQ(player->instruments[0].samples[0]->length, 50u);
    EXPECT_EQ(player->instruments[0].samples[1]->data[0], 7 * 256);
}

// ---- Sample data ----

TEST(LoaderSampleData, EightBitDeltasAreSummedAndWidened) {
    XmSample s;
    s.rawData = std::vector<uint8_t>{10, 246, 0xFF}; // deltas 10, -10, -1
    auto player = load(withSamples({s}));
    ASSERT_TRUE(player);
    const int16_t* data = player->instruments[0].samples[0]->data;
    EXPECT_EQ(data[0], 2560);
    EXPECT_EQ(data[1], 0);
    EXPECT_EQ(data[2], -256);
}

TEST(LoaderSampleData, SixteenBitDeltasAreSummed) {
    XmSample s;
    s.sixteenBit = true;
    // deltas 1000, -500, then 32767 twice: the sum wraps in 16 bits
    s.rawData = std::vector<uint8_t>{0xE8, 0x03, 0x0C, 0xFE, 0xFF, 0x7F, 0xFF, 0x7F};
    auto player = load(withSamples({s}));
    ASSERT_TRUE(player);
    const int16_t* data = player->instruments[0].samples[0]->data;
    EXPECT_EQ(data[0], 1000);
    EXPECT_EQ(data[1], 500);
    EXPECT_EQ(data[2], int16_t(500 + 32767));
    EXPECT_EQ(data[3], int16_t(500 + 2 * 32767));
}

TEST(LoaderSampleData, WriterValuesRoundTrip) {
    auto player = load(withSamples(
        {XmSample::eightBit({0, 127, -128, -1, 5}), XmSample::sixteen({-32768, 32767, 0, -2})}));
    ASSERT_TRUE(player);
    const int16_t expected8[] = {0, 127 * 256, -128 * 256, -256, 5 * 256};
    const int16_t expected16[] = {-32768, 32767, 0, -2};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(player->instruments[0].samples[0]->data[k], expected8[k]) << k;
    }
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(player->instruments[0].samples[1]->data[k], expected16[k]) << k;
    }
}

XmSample loopedSample(uint8_t kind) {
    XmSample s = XmSample::eightBit({10, 20, 30, 40, 50, 60, 70, 80});
    s.loopKind = kind;
    s.loopStart = 2;
    s.loopLength = 4;
    return s;
}

TEST(LoaderSampleData, ForwardLoopGuardCopiesTheLoopStart) {
    auto player = load(withSamples({loopedSample(1)}));
    ASSERT_TRUE(player);
    const int16_t* data = player->instruments[0].samples[0]->data;
    EXPECT_EQ(data[6], 30 * 256); // frame 2
    EXPECT_EQ(data[7], 80 * 256); // untouched
}

TEST(LoaderSampleData, PingPongGuardCopiesTheLastLoopFrame) {
    auto player = load(withSamples({loopedSample(2)}));
    ASSERT_TRUE(player);
    const int16_t* data = player->instruments[0].samples[0]->data;
    EXPECT_EQ(data[6], 60 * 256); // frame 5
}

// ---- ADPCM-packed samples ----

// Packed frames: a table of 16 deltas, then indices low nibble first, each adding its delta to
// a running byte. Long ones decode like the plain frames they pack (they are decoded in place),
// and only 8-bit samples are packed: a 16-bit sample with the mark is a plain one.
TEST(LoaderAdpcm, PackedFramesAreUnpacked) {
    XmSample hand;
    hand.adpcm = true;
    hand.frames.resize(5); // the length field; the bytes are rawData
    hand.rawData =
        std::vector<uint8_t>{0, 1, 0xFF, 16, 0xF0, 127, 0x80, 5,    0,   0,
                             0, 0, 0,    0,  0,    0,   0x33, 0x65, 0x01}; // indices 3 3 5 6 1
    XmSample plain = XmSample::eightBit(std::vector<int32_t>(301, -77));
    plain.frames[300] = 5;
    plain.loopKind = 1;
    plain.loopLength = 301;
    XmSample packed = plain;
    packed.adpcm = true;
    XmSample marked = XmSample::sixteen({-1000, 1000});
    marked.reserved = 0xAD;
    auto player = load(withSamples({hand, packed, plain, marked}));
    ASSERT_TRUE(player);
    Sample** got = player->instruments[0].samples;
    // 0 +16 = 16, +16 = 32, +127 = 159 = -97, -128 = -225 = 31, +1 = 32, then a spare frame
    const int16_t handFrames[] = {16 * 256, 32 * 256, -97 * 256, 31 * 256, 32 * 256, 0};
    EXPECT_EQ(0, std::memcmp(got[0]->data, handFrames, sizeof handFrames));
    EXPECT_EQ(0, std::memcmp(got[1]->data, got[2]->data, (301 + sampleSpareFrames) * 2));
    EXPECT_EQ(got[3]->data[1], 1000);
    // Half a byte a frame: a length past 2^31 frames could still fit the stream.
    hand.lengthBytesOverride = 0x80000000;
    EXPECT_FALSE(load(withSamples({hand})));
    EXPECT_STREQ(xmtest::lastImageReason(), "module is too large");
}

struct ProviderCall {
    int32_t byteCount, bitsPerSample, instrumentIndex, sampleIndex;
};
std::vector<ProviderCall> providerCalls;

// Writes final (not delta-coded) bytes 1, 2, 3, ... into the buffer.
void countingProvider(void* buffer, int32_t byteCount, int32_t bitsPerSample,
                      int32_t instrumentIndex, int32_t sampleIndex) {
    providerCalls.push_back({byteCount, bitsPerSample, instrumentIndex, sampleIndex});
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (int32_t k = 0; k < byteCount; ++k) {
        bytes[k] = uint8_t(k + 1);
    }
}

// A packed sample's final frames are a byte each: it is an 8-bit sample to the provider.
TEST(LoaderSampleData, ProviderSuppliesFinalValuesAndTheStreamMovesOn) {
    providerCalls.clear();
    XmSample packed = XmSample::eightBit(std::vector<int32_t>(7, 4)); // 16 + 4 bytes stored
    packed.adpcm = true;
    XmModule m = withSamples({XmSample::eightBit(std::vector<int32_t>(100, 99)), packed});
    // A second instrument after the skipped data proves the stream moved exactly 120 bytes.
    m.instruments.push_back(XmInstrument{});
    m.instruments[1].samples = {XmSample::sixteen({1000})};
    auto player = load(m, countingProvider);
    ASSERT_TRUE(player);
    ASSERT_EQ(providerCalls.size(), 3u);
    EXPECT_EQ(providerCalls[0].byteCount, 100);
    EXPECT_EQ(providerCalls[0].bitsPerSample, 8);
    EXPECT_EQ(providerCalls[0].instrumentIndex, 0);
    EXPECT_EQ(providerCalls[0].sampleIndex, 0);
    EXPECT_EQ(providerCalls[1].byteCount, 7);
    EXPECT_EQ(providerCalls[1].bitsPerSample, 8);
    EXPECT_EQ(providerCalls[2].byteCount, 2);
    EXPECT_EQ(providerCalls[2].bitsPerSample, 16);
    EXPECT_EQ(providerCalls[2].instrumentIndex, 1);
    const int16_t* data = player->instruments[0].samples[0]->data;
    EXPECT_EQ(data[0], 1 * 256); // widened, not summed
    EXPECT_EQ(data[1], 2 * 256);
    EXPECT_EQ(data[99], 100 * 256);
    // 16-bit provider bytes 1, 2 read little-endian
    EXPECT_EQ(player->instruments[1].samples[0]->data[0], 0x0201);
}

TEST(LoaderSampleData, ZeroLengthSampleHasNoDataAndNoProviderCall) {
    providerCalls.clear();
    XmSample empty;
    auto player = load(withSamples({empty, XmSample::eightBit({2})}), countingProvider);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->instruments[0].samples[0]->data, nullptr);
    EXPECT_EQ(player->instruments[0].samples[0]->length, 0u);
    ASSERT_EQ(providerCalls.size(), 1u);
    EXPECT_EQ(providerCalls[0].sampleIndex, 1);
}

} // namespace
} // namespace ostrel
