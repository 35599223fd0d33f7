// The loader on damaged and hostile files: truncation, sizes the stream cannot back, values
// out of the engine's ranges, and failing allocations. Each must end in a clean failure (no
// leak: the sanitizer build checks) or in the safe value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "audio/mixer.h"
#include "audio/output.h"
#include "module/internal.h"
#include "module/stream.h"
#include "player/channel.h"
#include "player/sequencer.h"
#include "tests/loader/loader_helpers.h"

namespace ostrel {
namespace {

using loadertest::cellAt;
using loadertest::load;
using loadertest::loadBytes;
using loadertest::withSamples;
using xmtest::buildXm;
using xmtest::XmImage;
using xmtest::XmModule;
using xmtest::XmSample;

// Two patterns with data and three instruments with 8-bit, 16-bit and packed samples; the
// version 0x0102 gives the early layout.
XmModule richModule(uint16_t version = 0x0104) {
    XmModule m;
    m.version = version;
    m.channels = 2;
    m.songLength = 2;
    m.orderTable[1] = 1;
    m.patterns.resize(2);
    m.patterns[0].rows = 4;
    m.patterns[0].cells = {{49, 1, 0x40, 0, 0}, {}, {}, {50, 2, 0, 0xF, 3}};
    m.patterns[1].rows = 2;
    m.patterns[1].cells = {{97}, {1, 3}};
    m.instruments.resize(3);
    m.instruments[0].samples = {XmSample::eightBit({1, 2, 3, 4}), XmSample::sixteen({100, -100})};
    XmSample packed = XmSample::eightBit({1, -1, 1, -1, 50});
    packed.adpcm = true;
    m.instruments[1].samples = {XmSample::eightBit({9, 8, 7}), packed};
    m.instruments[2].samples = {XmSample::sixteen({5, 6, 7})};
    return m;
}

void expectAllEmptyFrom(const ModulePlayer& player, int first) {
    for (int i = first; i < player.instrumentCount; ++i) {
        EXPECT_EQ(player.instruments[i].sampleCount, 0) << i;
        EXPECT_EQ(player.instruments[i].samples, nullptr) << i;
    }
}

// Cutting the file at every length: only cuts inside an instrument's first 29 bytes (before
// its sample count is complete) load, with that instrument and every later one empty. In the
// early layout the patterns and all sample data follow the instruments: every cut fails.
TEST(LoaderTruncation, EveryCutFailsExceptBeforeASampleCount) {
    for (uint16_t version : {0x0104, 0x0102}) {
        XmImage image = buildXm(richModule(version));
        for (size_t cut = 0; cut < image.bytes.size(); ++cut) {
            std::vector<uint8_t> bytes(image.bytes.begin(), image.bytes.begin() + long(cut));
            int emptyFrom = -1;
            for (int i = 0; i < 3 && version == 0x0104; ++i) {
                if (cut >= image.instrumentOffsets[i] && cut < image.instrumentOffsets[i] + 29) {
                    emptyFrom = i;
                }
            }
            auto player = loadBytes(bytes);
            if (emptyFrom < 0) {
                ASSERT_FALSE(player) << version << " cut " << cut;
                ASSERT_STREQ(lastLoadError(), cut < 17 ? "not an XM module" : "file is truncated")
                    << version << " cut " << cut;
                continue;
            }
            ASSERT_TRUE(player) << "cut " << cut;
            EXPECT_EQ(player->instrumentCount, 3);
            expectAllEmptyFrom(*player, emptyFrom);
            if (emptyFrom > 0) {
                EXPECT_EQ(player->instruments[0].samples[1]->data[1], -100) << "cut " << cut;
            }
        }
        EXPECT_TRUE(loadBytes(image.bytes)) << version;
    }
}

TEST(LoaderTruncation, SampleLengthBeyondTheStreamFailsBeforeAllocating) {
    for (uint16_t version : {0x0104, 0x0102}) {
        XmSample s = XmSample::eightBit({1, 2, 3});
        s.lengthBytesOverride = 0xFFFFFFF0u;
        XmModule m = withSamples({s});
        m.version = version;
        EXPECT_FALSE(load(m)) << version;
        EXPECT_STREQ(lastLoadError(), "file is truncated") << version;
    }
}

TEST(LoaderTruncation, PackedRowsBeyondTheStreamFailBeforeAllocating) {
    XmModule m;
    m.channels = 32;
    m.patterns[0].rows = 65535;
    m.patterns[0].rawPacked = std::vector<uint8_t>{0x80, 0x80};
    EXPECT_FALSE(load(m));
    EXPECT_STREQ(lastLoadError(), "file is truncated");
}

TEST(LoaderTruncation, PatternCountBeyondTheStreamFails) {
    XmModule m;
    m.patternCountOverride = 60000;
    EXPECT_FALSE(load(m));
    EXPECT_STREQ(lastLoadError(), "file is truncated");
}

// A pattern header length is honoured only when the stream holds the header from the pattern's
// start: one byte more and it is read as 9 (the file loads), exactly the rest of the stream and
// the pattern's data lies past the end.
TEST(LoaderTruncation, PatternHeaderLengthMustFitTheStream) {
    XmModule m;
    m.patterns[0].rows = 1;
    m.patterns[0].cells = {{3}};
    XmImage image = buildXm(m);
    const size_t start = image.patternOffsets[0];
    const uint32_t left = uint32_t(image.bytes.size() - start);
    // length field -> loads
    const std::pair<uint32_t, bool> cases[] = {{left + 1, true}, {left, false}, {left - 1, false}};
    for (const auto& [length, loads] : cases) {
        std::vector<uint8_t> bytes = image.bytes;
        for (int k = 0; k < 4; ++k) {
            bytes[start + size_t(k)] = uint8_t(length >> (8 * k));
        }
        auto player = loadBytes(bytes);
        EXPECT_EQ(bool(player), loads) << length;
        if (loads) {
            EXPECT_EQ(cellAt(*player, 0, 0, 0).note, 3);
        } else {
            EXPECT_STREQ(lastLoadError(), "file is truncated") << length;
        }
    }
}

// Packed sample data cut anywhere fails; a length whose packed size the stream cannot hold
// fails before allocating, and a packed sample past 2^31 frames is refused outright.
TEST(LoaderTruncation, PackedSampleDataMustBeWhole) {
    XmSample packed = XmSample::eightBit({1, 2, 3, 4, 5});
    packed.adpcm = true;
    XmImage image = buildXm(withSamples({packed}));
    const size_t start = image.sampleDataOffsets[0][0];
    ASSERT_EQ(image.bytes.size(), start + 16 + 3);
    for (size_t cut = start; cut < image.bytes.size(); ++cut) {
        EXPECT_FALSE(
            loadBytes(std::vector<uint8_t>(image.bytes.begin(), image.bytes.begin() + long(cut))))
            << cut;
        EXPECT_STREQ(lastLoadError(), "file is truncated") << cut;
    }
    // length field -> error
    const std::pair<uint32_t, const char*> lengths[] = {
        {7, "file is truncated"},          // 16 + 4 bytes, 19 stored
        {0x7FFFFFFF, "file is truncated"}, // the largest allowed
        {0x80000000, "module is too large"},
        {0xFFFFFFFF, "module is too large"},
    };
    for (const auto& [length, error] : lengths) {
        packed.lengthBytesOverride = length;
        EXPECT_FALSE(load(withSamples({packed}))) << length;
        EXPECT_STREQ(lastLoadError(), error) << length;
    }
}

// ---- Header sizes ----

TEST(LoaderHeaderSize, SongHeaderSizeThatOverflowsTheSeekFails) {
    for (uint32_t size : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> bytes = buildXm(XmModule{}).bytes;
        bytes[60] = uint8_t(size);
        bytes[61] = uint8_t(size >> 8);
        bytes[62] = uint8_t(size >> 16);
        bytes[63] = uint8_t(size >> 24);
        EXPECT_FALSE(loadBytes(bytes)) << size;
        EXPECT_STREQ(lastLoadError(), "header size out of range") << size;
    }
}

TEST(LoaderHeaderSize, InstrumentHeaderSizeThatOverflowsTheSeekFails) {
    XmImage image = buildXm(withSamples({XmSample::eightBit({1})}));
    size_t at = image.instrumentOffsets[0];
    for (int k = 0; k < 4; ++k) {
        image.bytes[at + size_t(k)] = 0xFF;
    }
    EXPECT_FALSE(loadBytes(image.bytes));
    EXPECT_STREQ(lastLoadError(), "header size out of range");
}

TEST(LoaderHeaderSize, HeaderSizeBeyondTheEndFindsNoPatterns) {
    XmModule m;
    m.headerSize = 100000; // inside 32 bits, past the end of the file
    std::vector<uint8_t> bytes = buildXm(m).bytes;
    bytes.resize(336 + 9);
    EXPECT_FALSE(loadBytes(bytes));
    EXPECT_STREQ(lastLoadError(), "file is truncated");
}

// ---- Song values ----

TEST(LoaderSongValues, SongLengthIsKeptWithinTheOrderTable) {
    // file songLength -> stored
    const uint16_t given[] = {300, 0xFFFF, 256, 0, 1};
    const int16_t stored[] = {256, 256, 256, 1, 1};
    for (int k = 0; k < 5; ++k) {
        XmModule m;
        m.songLength = given[k];
        auto player = load(m);
        ASSERT_TRUE(player) << given[k];
        EXPECT_EQ(player->songLength, stored[k]) << given[k];
        EXPECT_EQ(player->usedPatternCount, 1);
    }
}

TEST(LoaderSongValues, RestartPositionAtOrPastTheEndRestartsAtZero) {
    // songLength, file restart -> stored restart
    const uint16_t cases[][3] = {{4, 3, 3}, {4, 4, 0}, {4, 200, 0}, {4, 0x8000, 0}, {0, 0, 0}};
    for (const auto& c : cases) {
        XmModule m;
        m.songLength = c[0];
        m.restartPosition = c[1];
        auto player = load(m);
        ASSERT_TRUE(player);
        EXPECT_EQ(player->restartPosition, int16_t(c[2])) << c[0] << " " << c[1];
    }
}

TEST(LoaderSongValues, ZeroChannelsIsRejected) {
    XmModule m;
    m.channels = 0;
    EXPECT_FALSE(load(m));
    EXPECT_STREQ(lastLoadError(), "bad channel count");
}

TEST(LoaderSongValues, ChannelsPast32AreDecodedAndDropped) {
    XmModule m;
    m.channels = 40;
    m.patterns.resize(2);
    m.patterns[0].rows = 2;
    m.patterns[0].cells.resize(80);
    m.patterns[0].cells[31] = {31, 1};
    m.patterns[0].cells[39] = {39, 2}; // dropped
    m.patterns[0].cells[40] = {40, 3}; // row 1, channel 0
    m.patterns[1].rows = 1;
    m.patterns[1].cells = {{5}}; // the stream must still be in step here
    auto player = load(m);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->channelCount, 32);
    EXPECT_EQ(cellAt(*player, 0, 0, 31).note, 31);
    EXPECT_EQ(cellAt(*player, 0, 1, 0).note, 40);
    EXPECT_EQ(cellAt(*player, 1, 0, 0).note, 5);
}

TEST(LoaderSongValues, NegativeInstrumentCountIsRejected) {
    XmModule m;
    m.instrumentCountOverride = 0x8000;
    EXPECT_FALSE(load(m));
    EXPECT_STREQ(lastLoadError(), "bad instrument count");
}

TEST(LoaderSongValues, PatternOfZeroRowsPlaysAs64EmptyRows) {
    XmModule m;
    m.patterns.resize(2);
    m.patterns[0].rows = 0;
    m.patterns[0].packedSizeOverride = 5; // claims data, yet no cell is decoded
    m.patterns[1].rows = 1;
    m.patterns[1].cells = {{8}};
    auto player = load(m);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->patterns[0].rowCount, 64);
    EXPECT_EQ(cellAt(*player, 0, 63, 0).note, 0);
    EXPECT_EQ(cellAt(*player, 1, 0, 0).note, 8);
}

TEST(LoaderSongValues, NotesWithoutMeaningBecomeNoNote) {
    // stored note -> loaded note
    const uint8_t given[] = {96, 97, 98, 120, 254, 255};
    const uint8_t loaded[] = {96, 255, 0, 0, 0, 255};
    XmModule m;
    m.patterns[0].rows = 6;
    for (uint8_t note : given) {
        m.patterns[0].cells.push_back({note});
    }
    auto player = load(m);
    ASSERT_TRUE(player);
    for (int r = 0; r < 6; ++r) {
        EXPECT_EQ(cellAt(*player, 0, r, 0).note, loaded[r]) << int(given[r]);
    }
}

TEST(LoaderSongValues, EmptyPatternsClaimingHugeRowCountsAreRefused) {
    XmModule m;
    m.channels = 32;
    m.patterns.assign(1000, xmtest::XmPattern{});
    for (auto& p : m.patterns) {
        p.rows = 65535; // no data: 9 bytes of file each, 10 MB of cells each
    }
    EXPECT_FALSE(load(m));
    EXPECT_STREQ(lastLoadError(), "module is too large");
}

// ---- Instrument values ----

TEST(LoaderInstrumentValues, EnvelopePointCountsAreCappedAt12) {
    XmModule m = withSamples({XmSample::eightBit({1})});
    m.instruments[0].volumeEnvelope.pointCount = 13;
    m.instruments[0].panningEnvelope.pointCount = 255;
    auto player = load(m);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->instruments[0].volumeEnvelopePointCount, 12);
    EXPECT_EQ(player->instruments[0].panningEnvelopePointCount, 12);
}

TEST(LoaderInstrumentValues, EnvelopeValuesAreCappedAt64) {
    XmModule m = withSamples({XmSample::eightBit({1})});
    m.instruments[0].volumeEnvelope.pointCount = 3;
    m.instruments[0].volumeEnvelope.points[0] = {0, 64};
    m.instruments[0].volumeEnvelope.points[1] = {4, 65};
    m.instruments[0].volumeEnvelope.points[2] = {65535, 65520}; // x is kept as is
    m.instruments[0].panningEnvelope.points[11] = {9, 0x8000};
    auto player = load(m);
    ASSERT_TRUE(player);
    const Instrument& ins = player->instruments[0];
    EXPECT_EQ(ins.volumeEnvelope[0].y, 64);
    EXPECT_EQ(ins.volumeEnvelope[1].y, 64);
    EXPECT_EQ(ins.volumeEnvelope[2].y, 64);
    EXPECT_EQ(ins.volumeEnvelope[2].x, 65535);
    EXPECT_EQ(ins.panningEnvelope[11].y, 64);
}

TEST(LoaderInstrumentValues, SustainAndLoopPointsStayInsideThePoints) {
    XmModule m = withSamples({XmSample::eightBit({1})});
    auto& v = m.instruments[0].volumeEnvelope;
    v.pointCount = 4;
    v.sustainPoint = 3; // last point: kept
    v.loopStartPoint = 4;
    v.loopEndPoint = 200;
    v.flags = 7;
    auto& p = m.instruments[0].panningEnvelope;
    p.pointCount = 40; // capped at 12 first
    p.sustainPoint = 12;
    p.loopStartPoint = 11;
    p.loopEndPoint = 255;
    auto player = load(m);
    ASSERT_TRUE(player);
    const Instrument& ins = player->instruments[0];
    EXPECT_EQ(ins.volumeSustainPoint, 3);
    EXPECT_EQ(ins.volumeLoopStartPoint, 3);
    EXPECT_EQ(ins.volumeLoopEndPoint, 3);
    EXPECT_EQ(ins.volumeEnvelopeFlags, 7);
    EXPECT_EQ(ins.panningSustainPoint, 11);
    EXPECT_EQ(ins.panningLoopStartPoint, 11);
    EXPECT_EQ(ins.panningLoopEndPoint, 11);
}

// Plays the module's first row for the given ticks and returns the lowest and highest values
// channel 0's volume and panning envelopes take on the way.
void envelopeRange(ModulePlayer* player, int ticks, int32_t* low, int32_t* high) {
    outputRate = 44100;
    std::memset(voiceTable, 0, sizeof voiceTable);
    for (int v = 0; v < voiceSlotCount; ++v) {
        voiceTable[v].index = v;
        voiceTable[v].stepInt = 1;
    }
    resetPlaybackState(player);
    *low = 64;
    *high = 0;
    for (int t = 0; t < ticks; ++t) {
        playerTick(player);
        for (int32_t value : {channelStates[0].volEnvValue, channelStates[0].panEnvValue}) {
            *low = std::min(*low, value);
            *high = std::max(*high, value);
        }
    }
}

// An envelope ends before the first point whose x goes back (the engine would never reach that
// point and slide on by the last slope until the value overflows); equal x values stay.
TEST(LoaderInstrumentValues, EnvelopeEndsWhereXGoesBack) {
    struct Case {
        std::vector<uint16_t> x;              // written points' x; y alternates 64, 0, 64...
        uint8_t sustain, loopStart, loopEnd;  // as written; flags 7
        uint8_t count, flags;                 // loaded
        uint8_t loadedSustain, loadedLoopEnd; // loaded
    };
    const Case cases[] = {
        {{0, 4, 7, 8, 0}, 4, 0, 4, 4, 7, 3, 3}, // the fuzz finding: the last point goes
        {{0, 4, 4, 8}, 2, 1, 3, 4, 7, 2, 3},    // equal x: kept
        {{0, 10, 3, 20}, 2, 0, 3, 2, 7, 1, 1},  // cut after two points
        {{5, 2, 9}, 0, 0, 2, 1, 0, 0, 0},       // one point left: off
        {{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 0}, 0, 0, 12, 12, 7, 0, 11}, // 13 points: capped
                                                                           // first
    };
    for (const Case& c : cases) {
        XmSample looped = XmSample::eightBit(std::vector<int32_t>(64, 50));
        looped.loopKind = 1;
        looped.loopLength = 64;
        XmModule m = withSamples({looped});
        m.patterns[0].cells = {{49, 1}};
        for (xmtest::XmEnvelope* e :
             {&m.instruments[0].volumeEnvelope, &m.instruments[0].panningEnvelope}) {
            for (size_t k = 0; k < c.x.size() && k < 12; ++k) {
                e->points[k] = {c.x[k], uint16_t(k % 2 ? 0 : 64)};
            }
            e->pointCount = uint8_t(c.x.size());
            e->sustainPoint = c.sustain;
            e->loopStartPoint = c.loopStart;
            e->loopEndPoint = c.loopEnd;
            e->flags = 7;
        }
        auto player = load(m);
        ASSERT_TRUE(player);
        const Instrument& ins = player->instruments[0];
        EXPECT_EQ(ins.volumeEnvelopePointCount, c.count) << c.x.size();
        EXPECT_EQ(ins.panningEnvelopePointCount, c.count) << c.x.size();
        EXPECT_EQ(ins.volumeEnvelopeFlags, c.flags) << c.x.size();
        EXPECT_EQ(ins.volumeSustainPoint, c.loadedSustain) << c.x.size();
        EXPECT_EQ(ins.panningLoopEndPoint, c.loadedLoopEnd) << c.x.size();
        int32_t low = 0;
        int32_t high = 0;
        envelopeRange(player.get(), 500, &low, &high);
        EXPECT_GE(low, 0) << c.x.size();
        EXPECT_LE(high, 64) << c.x.size();
    }
}

TEST(LoaderInstrumentValues, LoopsAreClampedIntoTheSample) {
    struct Case {
        uint8_t kind;
        uint32_t loopStart, loopLength; // as written (8-bit: bytes = frames)
        uint8_t type;                   // loaded
        uint32_t start, length;         // loaded
    };
    // An 8-frame sample, values 10..80.
    const Case cases[] = {
        {1, 2, 4, loopForward, 2, 4},           // inside: unchanged
        {1, 6, 10, loopForward, 6, 2},          // end past the sample: cut at the end
        {2, 5, 0xFFFFFFFF, loopPingPong, 5, 3}, // sum overflows 32 bits
        {1, 8, 4, loopNone, 0, 8},              // starts at the end: a one-shot
        {2, 0xFFFFFFF0, 0x20, loopNone, 0, 8},  // start far past, sum wraps to small
    };
    for (const Case& c : cases) {
        XmSample s = XmSample::eightBit({10, 20, 30, 40, 50, 60, 70, 80});
        s.loopKind = c.kind;
        s.loopStartBytesOverride = c.loopStart;
        s.loopLengthBytesOverride = c.loopLength;
        auto player = load(withSamples({s}));
        ASSERT_TRUE(player);
        const Sample& got = *player->instruments[0].samples[0];
        EXPECT_EQ(got.loopType, c.type) << c.loopStart << "+" << c.loopLength;
        EXPECT_EQ(got.loopStart, c.start) << c.loopStart << "+" << c.loopLength;
        EXPECT_EQ(got.loopLength, c.length) << c.loopStart << "+" << c.loopLength;
        uint32_t end = got.loopStart + got.loopLength;
        ASSERT_LE(end, got.length);
        if (got.loopType == loopForward) {
            EXPECT_EQ(got.data[end], got.data[got.loopStart]);
        } else if (got.loopType == loopPingPong) {
            EXPECT_EQ(got.data[end], got.data[end - 1]);
        }
    }
}

TEST(LoaderInstrumentValues, LoopOnAnEmptySampleBecomesNoLoop) {
    XmSample s;
    s.loopKind = 1;
    s.loopStartBytesOverride = 4;
    s.loopLengthBytesOverride = 4;
    auto player = load(withSamples({s}));
    ASSERT_TRUE(player);
    const Sample& got = *player->instruments[0].samples[0];
    EXPECT_EQ(got.data, nullptr);
    EXPECT_EQ(got.loopType, loopNone);
    EXPECT_EQ(got.loopStart + got.loopLength, 0u);
}

// ---- Failing allocations ----

int allocationsLeft = -1; // -1: never fail
int allocationCalls = 0;
void* failingAllocator(std::size_t count, std::size_t size) {
    ++allocationCalls;
    if (allocationsLeft == 0) {
        return nullptr;
    }
    if (allocationsLeft > 0) {
        --allocationsLeft;
    }
    return std::calloc(count, size);
}

struct AllocationFailure : ::testing::Test {
    void SetUp() override { setZeroAllocator(failingAllocator); }
    void TearDown() override {
        setZeroAllocator(nullptr);
        allocationsLeft = -1;
    }
};

// Failing the n-th allocation, for every n the load makes, fails the load without a leak;
// the sanitizer build's leak check covers the "without a leak".
TEST_F(AllocationFailure, EveryAllocationFailureFailsCleanly) {
    for (uint16_t version : {0x0104, 0x0102}) {
        std::vector<uint8_t> bytes = buildXm(richModule(version)).bytes;
        allocationsLeft = -1;
        allocationCalls = 0;
        ASSERT_TRUE(loadBytes(bytes));
        const int total = allocationCalls;
        ASSERT_GT(total, 10);
        for (int n = 0; n < total; ++n) {
            allocationsLeft = n;
            auto player = loadBytes(bytes);
            ASSERT_FALSE(player) << version << " failing allocation " << n;
            // The first three allocations open the stream: the ModuleStream and the memory
            // stream's record and copy.
            const char* expected = n < 3 ? "cannot open the module" : "out of memory";
            EXPECT_STREQ(lastLoadError(), expected) << version << " failing allocation " << n;
        }
        allocationsLeft = -1;
    }
}

} // namespace
} // namespace ostrel
