// The loader on damaged and hostile files: truncation, sizes the stream cannot back, values
// out of the engine's ranges, and failing allocations. Each must end in a clean failure (no
// leak: the sanitizer build checks) or in the safe value.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "module/stream.h"
#include "player/channel.h"
#include "player/sequencer.h"
#include "tests/loader/loader_helpers.h"

namespace ostrel {
namespace {

using loadertest::cellAt;
using loadertest::load;
using loadertest::loadBytes;
using loadertest::loadTolerantly;
using loadertest::withSamples;
using xmtest::buildXm;
using xmtest::XmImage;
using xmtest::XmModule;
using xmtest::XmSample;

// Two patterns with data (the second of 256 rows, with extra header bytes) and three instruments
// with 8-bit, 16-bit and packed samples; versions 0x0102 and 0x0103 give the early layout, whose
// pattern header says 9 on the first pattern, as early files may, for its 8 bytes.
XmModule richModule(uint16_t version = 0x0104) {
    XmModule m;
    m.version = version;
    m.channels = 2;
    m.songLength = 2;
    m.orderTable[1] = 1;
    m.patterns.resize(2);
    m.patterns[0].rows = 4;
    m.patterns[0].cells = {{49, 1, 0x40, 0, 0}, {}, {}, {50, 2, 0, 0xF, 3}};
    m.patterns[0].headerLength = 9;
    m.patterns[1].rows = 256;
    m.patterns[1].cells = {{97}, {1, 3}};
    m.patterns[1].headerExtra = {0x81, 77, 0x81};
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
// early layout the patterns and all sample data still follow there: every cut fails.
void cutEverywhere(uint16_t version) {
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
            ASSERT_FALSE(player) << "cut " << cut;
            ASSERT_STREQ(xmtest::lastImageReason(),
                         cut < 17 ? "not an XM module" : "file is truncated")
                << "cut " << cut;
            continue;
        }
        ASSERT_TRUE(player) << "cut " << cut;
        EXPECT_EQ(player->instrumentCount, 3);
        expectAllEmptyFrom(*player, emptyFrom);
        if (emptyFrom > 0) {
            EXPECT_EQ(player->instruments[0].samples[1]->data[1], -100) << "cut " << cut;
        }
    }
    EXPECT_TRUE(loadBytes(image.bytes));
}

TEST(LoaderTruncation, EveryCutFailsExceptBeforeASampleCount) {
    cutEverywhere(0x0104);
    cutEverywhere(0x0102);
}

// The same cuts loaded tolerantly. One inside a pattern's or a sample's data loads, and a sample
// cut keeps the frames whose bytes came before the cut (a packed one, none without its 16-byte
// table) and is silent after them. Any other cut loads or fails as a strict load does.
void cutEverywhereTolerantly(uint16_t version) {
    const XmModule m = richModule(version);
    const XmImage image = buildXm(m);
    const auto whole = loadBytes(image.bytes);
    struct Part {
        size_t start, end;
        const XmSample* sample; // null for a pattern's data
        int instrument, index;
    };
    std::vector<Part> parts;
    const size_t fields = m.oldLayout() ? 8 : 9;
    for (size_t p = 0; p < 2; ++p) {
        const size_t start = image.patternOffsets[p] + fields + m.patterns[p].headerExtra.size();
        const uint8_t* size = &image.bytes[image.patternOffsets[p] + fields - 2];
        parts.push_back({start, start + (size[0] | size[1] << 8), nullptr, 0, 0});
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < int(m.instruments[i].samples.size()); ++j) {
            const XmSample& s = m.instruments[i].samples[j];
            const size_t n = s.frames.size();
            const size_t stored = s.adpcm ? 16 + (n + 1) / 2 : n * (s.sixteenBit ? 2 : 1);
            parts.push_back(
                {image.sampleDataOffsets[i][j], image.sampleDataOffsets[i][j] + stored, &s, i, j});
        }
    }
    for (size_t cut = 0; cut < image.bytes.size(); ++cut) {
        const std::vector<uint8_t> bytes(image.bytes.begin(), image.bytes.begin() + long(cut));
        const bool strictLoads = loadBytes(bytes) != nullptr;
        const std::string strictReason = xmtest::lastImageReason();
        const auto player = loadTolerantly(bytes);
        const auto in = std::find_if(parts.begin(), parts.end(), [&](const Part& part) {
            return cut >= part.start && cut < part.end;
        });
        if (in == parts.end()) {
            ASSERT_EQ(bool(player), strictLoads) << "cut " << cut;
            ASSERT_EQ(xmtest::lastImageReason(), strictReason) << "cut " << cut;
            ASSERT_TRUE(!player || player->damage[0] == '\0') << "cut " << cut;
            continue;
        }
        ASSERT_TRUE(player && player->damage[0] != '\0') << "cut " << cut;
        if (!in->sample) {
            continue;
        }
        const size_t kept = cut - in->start;
        const size_t n = in->sample->frames.size();
        const size_t frames = in->sample->adpcm ? (kept < 16 ? 0 : 2 * (kept - 16))
                                                : kept / (in->sample->sixteenBit ? 2 : 1);
        const Sample& got = *player->instruments[in->instrument].samples[in->index];
        const Sample& want = *whole->instruments[in->instrument].samples[in->index];
        ASSERT_EQ(got.length, want.length);
        for (size_t k = 0; k < n + sampleSpareFrames; ++k) {
            ASSERT_EQ(got.data[k], k < frames ? want.data[k] : 0) << "cut " << cut << ", " << k;
        }
    }
}

TEST(LoaderTruncation, ToleratedCutsKeepTheDataBeforeThem) {
    cutEverywhereTolerantly(0x0104);
    cutEverywhereTolerantly(0x0102);
}

TEST(LoaderTruncation, SampleLengthBeyondTheStreamFailsBeforeAllocating) {
    XmSample s = XmSample::eightBit({1, 2, 3});
    s.lengthBytesOverride = 0xFFFFFFF0u;
    EXPECT_FALSE(load(withSamples({s})));
    EXPECT_STREQ(xmtest::lastImageReason(), "file is truncated");
    // Nor does a tolerant load take so much more than the file holds for a cut.
    EXPECT_FALSE(loadTolerantly(buildXm(withSamples({s})).bytes));
    EXPECT_STREQ(xmtest::lastImageReason(), "file is truncated");
}

TEST(LoaderTruncation, PackedRowsBeyondTheStreamFailBeforeAllocating) {
    XmModule m;
    m.channels = 32;
    m.patterns[0].rows = 65535;
    m.patterns[0].rawPacked = std::vector<uint8_t>{0x80, 0x80};
    EXPECT_FALSE(load(m));
    EXPECT_STREQ(xmtest::lastImageReason(), "file is truncated");
}

TEST(LoaderTruncation, PatternCountBeyondTheStreamFails) {
    XmModule m;
    m.patternCountOverride = 60000;
    EXPECT_FALSE(load(m));
    EXPECT_STREQ(xmtest::lastImageReason(), "file is truncated");
}

// The early layout holds the same module in another order and loads into the same model.
TEST(LoaderEarlyLayout, LoadsTheSameModelAsTheUsualLayout) {
    auto usual = load(richModule());
    auto early = load(richModule(0x0103));
    ASSERT_TRUE(usual && early);
    for (int p = 0; p < 2; ++p) {
        const int32_t rows = usual->patterns[p].rowCount;
        ASSERT_EQ(early->patterns[p].rowCount, rows) << p;
        EXPECT_EQ(0, std::memcmp(usual->patterns[p].cells, early->patterns[p].cells,
                                 size_t(rows) * 2 * sizeof(PatternCell)));
    }
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(early->instruments[i].sampleCount, usual->instruments[i].sampleCount);
        for (int j = 0; j < usual->instruments[i].sampleCount; ++j) {
            const Sample* a = usual->instruments[i].samples[j];
            ASSERT_EQ(early->instruments[i].samples[j]->length, a->length) << i << " " << j;
            EXPECT_EQ(0, std::memcmp(early->instruments[i].samples[j]->data, a->data,
                                     (a->length + sampleSpareFrames) * 2));
        }
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
        EXPECT_STREQ(xmtest::lastImageReason(), "header size out of range") << size;
    }
}

TEST(LoaderHeaderSize, InstrumentHeaderSizeThatOverflowsTheSeekFails) {
    XmImage image = buildXm(withSamples({XmSample::eightBit({1})}));
    size_t at = image.instrumentOffsets[0];
    for (int k = 0; k < 4; ++k) {
        image.bytes[at + size_t(k)] = 0xFF;
    }
    EXPECT_FALSE(loadBytes(image.bytes));
    EXPECT_STREQ(xmtest::lastImageReason(), "header size out of range");
}

TEST(LoaderHeaderSize, HeaderSizeBeyondTheEndFindsNoPatterns) {
    XmModule m;
    m.headerSize = 100000; // inside 32 bits, past the end of the file
    std::vector<uint8_t> bytes = buildXm(m).bytes;
    bytes.resize(336 + 9);
    EXPECT_FALSE(loadBytes(bytes));
    EXPECT_STREQ(xmtest::lastImageReason(), "file is truncated");
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
    EXPECT_STREQ(xmtest::lastImageReason(), "bad channel count");
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
    EXPECT_STREQ(xmtest::lastImageReason(), "bad instrument count");
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
    EXPECT_STREQ(xmtest::lastImageReason(), "module is too large");
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

// An envelope ends before the first point whose x goes back: played, the values then stay in
// 0..64 (the engine would never reach that point and slide on until the value overflows).
// Equal x values stay.
TEST(LoaderInstrumentValues, EnvelopeEndsWhereXGoesBack) {
    // points' x (y alternates 64, 0, ...) -> loaded count, flags (written 7), sustain (written 4)
    const std::pair<std::vector<uint16_t>, std::array<int, 3>> cases[] = {
        {{0, 4, 7, 8, 0}, {4, 7, 3}}, // the fuzz finding
        {{0, 4, 4, 8, 9}, {5, 7, 4}}, // equal x: kept
        {{0, 10, 3, 20}, {2, 7, 1}},
        {{5, 2, 9}, {1, 0, 0}}, // one point left: off
    };
    for (const auto& [x, loaded] : cases) {
        XmModule m = withSamples({XmSample::eightBit(std::vector<int32_t>(64, 50))});
        m.patterns[0].cells = {{49, 1}};
        for (xmtest::XmEnvelope* e :
             {&m.instruments[0].volumeEnvelope, &m.instruments[0].panningEnvelope}) {
            for (size_t k = 0; k < x.size(); ++k) {
                e->points[k] = {x[k], uint16_t(k % 2 ? 0 : 64)};
            }
            *e = {e->points, uint8_t(x.size()), 4, 0, 4, 7};
        }
        auto player = load(m);
        ASSERT_TRUE(player);
        const Instrument& ins = player->instruments[0];
        EXPECT_EQ(ins.volumeEnvelopePointCount, loaded[0]) << x.size();
        EXPECT_EQ(ins.panningEnvelopeFlags, loaded[1]) << x.size();
        EXPECT_EQ(ins.volumeSustainPoint, loaded[2]) << x.size();
        player->outputRate = 44100;
        resetPlaybackState(player.get());
        for (int tick = 0; tick < 200; ++tick) {
            playerTick(player.get());
            ASSERT_EQ(std::clamp(player->channels[0].volEnvValue, 0, 64),
                      player->channels[0].volEnvValue);
            ASSERT_EQ(std::clamp(player->channels[0].panEnvValue, 0, 64),
                      player->channels[0].panEnvValue);
        }
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
    void TearDown() override { allocationsLeft = -1; }
};

loadertest::PlayerPtr loadFailing(const std::vector<uint8_t>& bytes) {
    return loadertest::PlayerPtr(xmtest::createPlayerFromImage(bytes, nullptr, failingAllocator));
}

// Failing the n-th allocation, for every n the load makes, fails the load without a leak;
// the sanitizer build's leak check covers the "without a leak".
void failEveryAllocation(uint16_t version) {
    std::vector<uint8_t> bytes = buildXm(richModule(version)).bytes;
    allocationsLeft = -1;
    allocationCalls = 0;
    ASSERT_TRUE(loadFailing(bytes));
    const int total = allocationCalls;
    ASSERT_GT(total, 10);
    for (int n = 0; n < total; ++n) {
        allocationsLeft = n;
        auto player = loadFailing(bytes);
        ASSERT_FALSE(player) << "failing allocation " << n;
        // The first allocation opens the stream: the ModuleStream (the open hook's own
        // allocations are its business).
        const char* expected = n < 1 ? "cannot open the module" : "out of memory";
        EXPECT_STREQ(xmtest::lastImageReason(), expected) << "failing allocation " << n;
    }
    allocationsLeft = -1;
}

TEST_F(AllocationFailure, EveryAllocationFailureFailsCleanly) {
    failEveryAllocation(0x0104);
    failEveryAllocation(0x0102);
}

} // namespace
} // namespace ostrel
