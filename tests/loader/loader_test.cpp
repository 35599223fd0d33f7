// The loader on well-formed modules: header, patterns, instruments, samples and their data.
#include <gtest/gtest.h>

#include <cstring>
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
    EXPECT_EQ(player->tickFunction, &playerTick);
}

TEST(LoaderHeader, SeventeenthByteMustBeASpace) {
    XmModule m;
    m.id = "Extended Module:_";
    EXPECT_FALSE(load(m));
    EXPECT_STREQ(lastLoadError(), "not an XM module");
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

// A header length of 10 or more that the stream holds is skipped to its end; any other length
// reads the header as 9 bytes. The extra bytes would decode as notes 77 if read as cells.
TEST(LoaderPatterns, HeaderLengthSkipsExtraHeaderBytes) {
    // extra bytes written, length field (-1: 9 + extra)
    const int64_t cases[][2] = {{0, 9},          {0, 0},  {0, 5},  {0, 200},
                                {0, 0xFFFFFFFF}, {1, -1}, {4, -1}, {250, -1}};
    for (const auto& c : cases) {
        XmModule m;
        m.patterns.resize(2);
        m.patterns[0].rows = 1;
        m.patterns[0].cells = {{3}};
        for (int64_t k = 0; k < c[0]; ++k) {
            m.patterns[0].headerExtra.push_back(k % 2 ? 77 : 0x81);
        }
        if (c[1] >= 0) {
            m.patterns[0].headerLength = uint32_t(c[1]);
        }
        m.patterns[1].rows = 1;
        m.patterns[1].cells = {{4}};
        auto player = load(m);
        ASSERT_TRUE(player) << c[0] << " " << c[1];
        EXPECT_EQ(cellAt(*player, 0, 0, 0).note, 3) << c[0] << " " << c[1];
        EXPECT_EQ(cellAt(*player, 1, 0, 0).note, 4) << c[0] << " " << c[1];
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

// ---- Early layout (versions 0x0102 and 0x0103) ----

// A module of every kind of part: patterns of several sizes (one with extra header bytes),
// plain, 16-bit, packed and empty samples, an instrument without samples.
XmModule layoutModule(uint16_t version) {
    XmModule m;
    m.version = version;
    m.channels = 3;
    m.songLength = 3;
    m.orderTable[1] = 2;
    m.orderTable[2] = 1;
    m.patterns.resize(3);
    m.patterns[0].rows = 2;
    m.patterns[0].cells = {{49, 1, 0x40, 0, 0}, {}, {50, 3, 0, 0xF, 3}, {97}, {1, 2}};
    m.patterns[1].rows = 256;
    m.patterns[1].cells.resize(256 * 3);
    m.patterns[1].cells.back() = {96, 3, 0x10, 0xE, 0x52};
    m.patterns[1].headerExtra = {0x81, 77, 0x81};
    m.patterns[2].rows = 1;
    m.instruments.resize(3);
    XmSample packed = XmSample::eightBit({5, -5, 10, -10, 20});
    packed.adpcm = true;
    m.instruments[0].samples = {XmSample::eightBit({1, 2, 3}), XmSample::sixteen({-300, 300}),
                                XmSample{}, packed};
    m.instruments[0].sampleMap[40] = 3;
    m.instruments[2].samples = {XmSample::sixteen({7, 8, 9, 10})};
    return m;
}

// The early layout holds the same module in another order: it loads into the same model.
TEST(LoaderEarlyLayout, LoadsTheSameModelAsTheUsualLayout) {
    auto usual = load(layoutModule(0x0104));
    ASSERT_TRUE(usual);
    for (uint16_t version : {0x0102, 0x0103}) {
        xmtest::XmImage image = buildXm(layoutModule(version));
        ASSERT_GT(image.patternOffsets[0], image.instrumentOffsets[2]); // the early layout
        auto early = loadBytes(image.bytes);
        ASSERT_TRUE(early) << version;
        ASSERT_EQ(early->patternSlotCount, 3);
        for (int p = 0; p < 3; ++p) {
            const Pattern& a = usual->patterns[p];
            const Pattern& b = early->patterns[p];
            ASSERT_EQ(b.rowCount, a.rowCount) << version << " pattern " << p;
            EXPECT_EQ(std::memcmp(a.cells, b.cells, size_t(a.rowCount) * 3 * sizeof(PatternCell)),
                      0)
                << version << " pattern " << p;
        }
        EXPECT_EQ(cellAt(*early, 1, 255, 2).effectParam, 0x52) << version;
        for (int i = 0; i < 3; ++i) {
            const Instrument& a = usual->instruments[i];
            const Instrument& b = early->instruments[i];
            ASSERT_EQ(b.sampleCount, a.sampleCount) << version << " instrument " << i;
            EXPECT_EQ(std::memcmp(a.sampleMap, b.sampleMap, sizeof a.sampleMap), 0);
            for (int j = 0; j < a.sampleCount; ++j) {
                const Sample& x = *a.samples[j];
                const Sample& y = *b.samples[j];
                ASSERT_EQ(y.length, x.length) << version << " " << i << " " << j;
                for (uint32_t k = 0; x.data && k < x.length + sampleSpareFrames; ++k) {
                    ASSERT_EQ(y.data[k], x.data[k]) << version << " " << i << " " << j;
                }
            }
        }
    }
}

// The early header keeps rows - 1 in a byte, and its fields take 8 bytes: a header length past
// the usual 9 is skipped as in the usual layout, any other (9 included) reads 8 bytes.
TEST(LoaderEarlyLayout, RowByteAndHeaderLength) {
    // rows, extra header bytes, length field (-1: 8 + extra)
    const int64_t cases[][3] = {{1, 0, -1},  {256, 0, -1}, {64, 0, 0},   {64, 0, 9},
                                {64, 2, -1}, {64, 7, -1},  {64, 0, 5000}};
    for (const auto& c : cases) {
        XmModule m;
        m.version = 0x0103;
        m.patterns.resize(2);
        m.patterns[0].rows = uint16_t(c[0]);
        m.patterns[0].cells.resize(size_t(c[0]));
        m.patterns[0].cells.back() = {3};
        for (int64_t k = 0; k < c[1]; ++k) {
            m.patterns[0].headerExtra.push_back(k % 2 ? 77 : 0x81);
        }
        if (c[2] >= 0) {
            m.patterns[0].headerLength = uint32_t(c[2]);
        }
        m.patterns[1].rows = 1;
        m.patterns[1].cells = {{4}};
        m.instruments.resize(1);
        m.instruments[0].samples = {XmSample::eightBit({6})};
        auto player = load(m);
        ASSERT_TRUE(player) << c[0] << " " << c[1] << " " << c[2];
        ASSERT_EQ(player->patterns[0].rowCount, c[0]);
        EXPECT_EQ(cellAt(*player, 0, int(c[0]) - 1, 0).note, 3) << c[0] << " " << c[1];
        EXPECT_EQ(cellAt(*player, 1, 0, 0).note, 4) << c[0] << " " << c[1] << " " << c[2];
        EXPECT_EQ(player->instruments[0].samples[0]->data[0], 6 * 256);
    }
}

// ---- Instruments ----

// Up to 256 samples, as many as a map byte can name; each note reaches the sample its map entry
// names, and an entry past the count the empty sample.
TEST(LoaderInstruments, EveryMapByteReachesItsSample) {
    // samples in the file -> sampleCount (-1: the load fails)
    const int cases[][2] = {{1, 1}, {17, 17}, {256, 256}, {257, -1}};
    for (const auto& c : cases) {
        std::vector<XmSample> samples;
        for (int k = 0; k < c[0]; ++k) {
            samples.push_back(XmSample::eightBit({k % 256 - 128}));
        }
        XmModule m = withSamples(samples);
        for (int n = 0; n < 96; ++n) {
            m.instruments[0].sampleMap[size_t(n)] = uint8_t(255 - n * 8 % 256);
        }
        m.instruments[0].sampleMap[0] = uint8_t(c[0] - 1); // the last sample
        auto player = load(m);
        if (c[1] < 0) {
            EXPECT_FALSE(player) << c[0];
            EXPECT_STREQ(lastLoadError(), "instrument has more than 256 samples");
            continue;
        }
        ASSERT_TRUE(player) << c[0];
        const Instrument& ins = player->instruments[0];
        ASSERT_EQ(ins.sampleCount, c[1]);
        for (int n = 0; n < 96; ++n) {
            ChannelState ch{};
            ch.note = uint8_t(n);
            const Sample* got = selectSample(&ins, &ch);
            int slot = ins.sampleMap[n];
            if (slot >= c[0]) {
                EXPECT_EQ(got, &emptySample) << c[0] << " note " << n;
            } else {
                ASSERT_NE(got, &emptySample) << c[0] << " note " << n;
                EXPECT_EQ(got->data[0], (slot - 128) * 256) << c[0] << " note " << n;
            }
        }
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

// A short forward loop is repeated for the mixer: whole loop lengths up to at least 4096
// frames, then the guard frame; the sample's own frames stay as they are.
TEST(LoaderSampleData, ShortForwardLoopIsRepeatedInLoopCopies) {
    auto player = load(withSamples({loopedSample(1)}));
    ASSERT_TRUE(player);
    const Sample* s = player->instruments[0].samples[0];
    ASSERT_NE(s->loopCopies, nullptr);
    EXPECT_EQ(s->loopCopyFrames, 4096u); // 1024 loops of 4 frames
    const int16_t loop[] = {30 * 256, 40 * 256, 50 * 256, 60 * 256};
    for (uint32_t k = 0; k <= s->loopCopyFrames; ++k) {
        ASSERT_EQ(s->loopCopies[k], loop[k % 4]) << k;
    }
    EXPECT_EQ(s->data[5], 60 * 256);
}

// The mixer's float form of the frames: every frame, the guard frame and the zero spare frames.
TEST(LoaderSampleData, FrameValuesAreTheFramesAsFloats) {
    auto player = load(withSamples({loopedSample(2), loopedSample(1)}));
    ASSERT_TRUE(player);
    for (int k = 0; k < 2; ++k) {
        const Sample* s = player->instruments[0].samples[k];
        ASSERT_NE(s->frameValues, nullptr) << k;
        for (uint32_t i = 0; i < s->length + sampleSpareFrames; ++i) {
            ASSERT_EQ(s->frameValues[i], static_cast<float>(s->data[i])) << k << " frame " << i;
        }
    }
}

// Past the limit a sample keeps only its 16-bit frames (the mixer reads those), and so has no
// loop copies either, however short its loop.
TEST(LoaderSampleData, NoFrameValuesPastTheLimit) {
    XmSample huge = XmSample::sixteen(std::vector<int32_t>(frameValuesLimit + 1, 3));
    huge.loopKind = 1;
    huge.loopStart = 0;
    huge.loopLength = 100;
    XmSample atLimit = XmSample::sixteen(std::vector<int32_t>(frameValuesLimit, 5));
    auto player = load(withSamples({huge, atLimit}));
    ASSERT_TRUE(player);
    const Sample* big = player->instruments[0].samples[0];
    EXPECT_EQ(big->length, frameValuesLimit + 1);
    EXPECT_EQ(big->data[frameValuesLimit], 3);
    EXPECT_EQ(big->frameValues, nullptr);
    EXPECT_EQ(big->loopCopies, nullptr);
    const Sample* edge = player->instruments[0].samples[1];
    ASSERT_NE(edge->frameValues, nullptr);
    EXPECT_EQ(edge->frameValues[frameValuesLimit - 1], 5.0f);
}

TEST(LoaderSampleData, LoopCopiesEndOnAWholeLoopPastTheTarget) {
    XmSample s = XmSample::sixteen(std::vector<int32_t>(3000, 7));
    s.loopKind = 1;
    s.loopStart = 1000;
    s.loopLength = 1500;
    auto player = load(withSamples({s}));
    ASSERT_TRUE(player);
    EXPECT_EQ(player->instruments[0].samples[0]->loopCopyFrames, 4500u);
}

// Only short forward loops get copies: the mixer reads the others from the sample itself.
TEST(LoaderSampleData, NoLoopCopiesForPingPongLongOrNoLoops) {
    XmSample longLoop = XmSample::sixteen(std::vector<int32_t>(5000, 1));
    longLoop.loopKind = 1;
    longLoop.loopLength = 4096;
    auto player = load(withSamples({loopedSample(2), loopedSample(0), longLoop}));
    ASSERT_TRUE(player);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(player->instruments[0].samples[k]->loopCopies, nullptr) << k;
        EXPECT_EQ(player->instruments[0].samples[k]->loopCopyFrames, 0u) << k;
    }
}

// ---- ADPCM-packed samples ----

// Hand-packed bytes: the table, then indices low nibble first; the running value wraps in 8 bits.
TEST(LoaderAdpcm, IndicesAddTheirTableEntryToARunningByte) {
    XmSample s;
    s.adpcm = true;
    s.frames.resize(5); // only the length field: the data is rawData
    std::vector<uint8_t> raw = {0, 1, 0xFF, 16, 0xF0, 127, 0x80, 5, 0, 0, 0, 0, 0, 0, 0, 0};
    raw.insert(raw.end(), {0x33, 0x65, 0x01}); // indices 3 3 5 6 1 (the last high nibble unused)
    s.rawData = raw;
    auto player = load(withSamples({s, XmSample::eightBit({9})}));
    ASSERT_TRUE(player);
    const Sample* got = player->instruments[0].samples[0];
    ASSERT_EQ(got->length, 5u);
    // 0 +16 = 16, +16 = 32, +127 = 159 = -97, -128 = -225 = 31, +1 = 32
    const int16_t expected[] = {16 * 256, 32 * 256, -97 * 256, 31 * 256, 32 * 256, 0};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(got->data[k], expected[k]) << k;
    }
    // 19 packed bytes were read: the next sample starts in step.
    EXPECT_EQ(player->instruments[0].samples[1]->data[0], 9 * 256);
}

// Writer-packed frames of odd and even lengths, looped or not: every frame comes back, the spare
// frames are silent, the guard frame is in place and the sample after it loads in step.
TEST(LoaderAdpcm, PackedFramesLoadLikePlainEightBitOnes) {
    // frames, loop kind
    const std::pair<std::vector<int32_t>, uint8_t> cases[] = {
        {{127, -128, 0, 3, 3, -3, 60}, 0},
        {{-1, -2, -4, -8, -16, -32, -64, -128}, 1},
        {std::vector<int32_t>(301, -77), 2},
    };
    for (const auto& [frames, kind] : cases) {
        XmSample packed = XmSample::eightBit(frames);
        packed.adpcm = true;
        packed.loopKind = kind;
        packed.loopStart = 1;
        packed.loopLength = 5;
        XmSample plain = packed;
        plain.adpcm = false;
        auto player = load(withSamples({packed, XmSample::eightBit({9}), plain}));
        ASSERT_TRUE(player) << frames.size();
        const Sample* got = player->instruments[0].samples[0];
        const Sample* want = player->instruments[0].samples[2];
        ASSERT_EQ(got->length, frames.size());
        EXPECT_EQ(got->loopType, want->loopType);
        for (uint32_t k = 0; k < got->length + sampleSpareFrames; ++k) {
            ASSERT_EQ(got->data[k], want->data[k]) << frames.size() << " frame " << k;
            ASSERT_EQ(got->frameValues[k], want->frameValues[k]) << frames.size() << " " << k;
        }
        EXPECT_EQ(player->instruments[0].samples[1]->data[0], 9 * 256) << frames.size();
    }
}

// Only 8-bit frames are packed: a 16-bit sample carrying the mark loads as a plain one.
TEST(LoaderAdpcm, SixteenBitSampleIgnoresTheMark) {
    XmSample s = XmSample::sixteen({1000, -1000, 32767});
    s.reserved = 0xAD;
    auto player = load(withSamples({s, XmSample::eightBit({9})}));
    ASSERT_TRUE(player);
    const int16_t* data = player->instruments[0].samples[0]->data;
    EXPECT_EQ(data[0], 1000);
    EXPECT_EQ(data[1], -1000);
    EXPECT_EQ(data[2], 32767);
    EXPECT_EQ(player->instruments[0].samples[1]->data[0], 9 * 256);
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

TEST(LoaderSampleData, ProviderSuppliesFinalValuesAndTheStreamMovesOn) {
    providerCalls.clear();
    XmModule m = withSamples({XmSample::eightBit(std::vector<int32_t>(100, 99))});
    // A second instrument after the skipped data proves the stream moved exactly 100 bytes.
    m.instruments.push_back(XmInstrument{});
    m.instruments[1].samples = {XmSample::sixteen({1000})};
    auto player = load(m, countingProvider);
    ASSERT_TRUE(player);
    ASSERT_EQ(providerCalls.size(), 2u);
    EXPECT_EQ(providerCalls[0].byteCount, 100);
    EXPECT_EQ(providerCalls[0].bitsPerSample, 8);
    EXPECT_EQ(providerCalls[0].instrumentIndex, 0);
    EXPECT_EQ(providerCalls[0].sampleIndex, 0);
    EXPECT_EQ(providerCalls[1].byteCount, 2);
    EXPECT_EQ(providerCalls[1].bitsPerSample, 16);
    EXPECT_EQ(providerCalls[1].instrumentIndex, 1);
    const int16_t* data = player->instruments[0].samples[0]->data;
    EXPECT_EQ(data[0], 1 * 256); // widened, not summed
    EXPECT_EQ(data[1], 2 * 256);
    EXPECT_EQ(data[99], 100 * 256);
    // 16-bit provider bytes 1, 2 read little-endian
    EXPECT_EQ(player->instruments[1].samples[0]->data[0], 0x0201);
}

// A provider supplies a packed sample's final frames: one byte each, as an 8-bit sample; the
// stream moves over the 16 + (length + 1) / 2 packed bytes.
TEST(LoaderSampleData, ProviderSuppliesPackedSamplesAsEightBitFrames) {
    providerCalls.clear();
    XmSample packed = XmSample::eightBit(std::vector<int32_t>(7, 4));
    packed.adpcm = true;
    XmModule m = withSamples({packed, XmSample::eightBit({1, 2})});
    auto player = load(m, countingProvider);
    ASSERT_TRUE(player);
    ASSERT_EQ(providerCalls.size(), 2u);
    EXPECT_EQ(providerCalls[0].byteCount, 7);
    EXPECT_EQ(providerCalls[0].bitsPerSample, 8);
    EXPECT_EQ(providerCalls[1].byteCount, 2);
    const int16_t* data = player->instruments[0].samples[0]->data;
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(data[k], (k + 1) * 256) << k; // widened, neither summed nor unpacked
    }
    EXPECT_EQ(data[7], 0);
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
