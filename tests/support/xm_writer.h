// Test-only: assembles XM module images in memory from plain structs, so tests can build the
// exact file they need (including damaged ones) without any file on disk.
//
//   XmModule m;                                 // one channel, one 64-row empty pattern
//   m.patterns[0].cells = {{49, 1, 0, 0, 0}};   // row 0, channel 0: C-4, instrument 1
//   m.instruments.push_back(XmInstrument{});
//   m.instruments[0].samples.push_back(XmSample::eightBit({0, 10, 20}));
//   XmImage image = buildXm(m);                 // image.bytes, plus offsets of every part
//
// Patterns are packed with the compressed form (mask byte + present fields) unless rawPacked
// supplies the packed bytes verbatim. Samples hold their absolute values (8-bit samples: the
// signed byte values); the writer delta-codes (or ADPCM-packs) them, unless rawData gives the
// stored bytes.
// Every count and size field is computed from the content unless its override is set.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "module/memory_stream.h"
#include "module/stream.h"

namespace ostrel::xmtest {

struct XmCell {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t effectParam = 0;
};

struct XmPattern {
    uint16_t rows = 64;
    // rows x channels cells, row by row; resized to that when shorter.
    std::vector<XmCell> cells;
    // When set, written verbatim as the packed data (cells are then ignored).
    std::optional<std::vector<uint8_t>> rawPacked;
    // Bytes written after the header's fields (9 bytes, 8 in the early layout), counted in the
    // header length.
    std::vector<uint8_t> headerExtra;
    // When set, the header length field, whatever the header holds.
    std::optional<uint32_t> headerLength;
    uint8_t packingType = 0;
    std::optional<uint16_t> packedSizeOverride;
};

struct XmSample {
    std::vector<int32_t> frames; // absolute values; 8-bit: -128..127, 16-bit: -32768..32767
    bool sixteenBit = false;
    uint8_t loopKind = 0;    // type bits 0..1: 0 none, 1 forward, 2 ping-pong (3 = both bits)
    uint32_t loopStart = 0;  // frames
    uint32_t loopLength = 0; // frames
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relativeNote = 0;
    uint8_t extraTypeBits = 0; // or-ed into the type byte as is
    uint8_t reserved = 0;      // header byte 17, unless adpcm is set
    // 8-bit frames stored ADPCM-packed (header byte 17 is 0xAD): a table of the first 16
    // different steps between frames, then one 4-bit index per frame. Frames whose step is not
    // in the table take the entry that lands nearest. The length field counts frames.
    bool adpcm = false;
    std::string name;
    // When set, written verbatim as the sample data (no delta coding, no packing).
    std::optional<std::vector<uint8_t>> rawData;
    // When set, the header's length / loop fields in bytes, whatever the data holds.
    std::optional<uint32_t> lengthBytesOverride;
    std::optional<uint32_t> loopStartBytesOverride;
    std::optional<uint32_t> loopLengthBytesOverride;

    static XmSample eightBit(std::vector<int32_t> values) {
        XmSample s;
        s.frames = std::move(values);
        return s;
    }
    static XmSample sixteen(std::vector<int32_t> values) {
        XmSample s;
        s.frames = std::move(values);
        s.sixteenBit = true;
        return s;
    }
};

struct XmEnvelope {
    std::array<std::array<uint16_t, 2>, 12> points{}; // x, y
    uint8_t pointCount = 0;
    uint8_t sustainPoint = 0;
    uint8_t loopStartPoint = 0;
    uint8_t loopEndPoint = 0;
    uint8_t flags = 0;
};

struct XmInstrument {
    std::string name;
    uint8_t type = 0;
    std::vector<XmSample> samples;
    std::optional<uint16_t> sampleCountOverride;
    // 0: 29 without samples, 263 with; anything else is written as is, padded with zeros.
    uint32_t headerSize = 0;
    uint32_t sampleHeaderSize = 40;
    std::array<uint8_t, 96> sampleMap{};
    XmEnvelope volumeEnvelope;
    XmEnvelope panningEnvelope;
    uint8_t vibratoType = 0;
    uint8_t vibratoSweep = 0;
    uint8_t vibratoDepth = 0;
    uint8_t vibratoRate = 0;
    uint16_t fadeout = 0;
};

struct XmModule {
    std::string id = "Extended Module: "; // written as 17 bytes, zero-padded
    std::string name = "writer test";
    uint8_t marker = 0x1A;
    std::string tracker = "ostrel xm_writer";
    // 0x0102 and 0x0103 select the early layout: all instrument and sample headers first, then
    // the patterns (8-byte headers, rows - 1 in one byte, so 1..256 rows), then all sample data.
    uint16_t version = 0x0104;
    uint32_t headerSize = 276; // bytes from offset 60; above 276 the rest is zero-padded
    uint16_t songLength = 1;
    uint16_t restartPosition = 0;
    uint16_t channels = 1;
    std::optional<uint16_t> patternCountOverride;
    std::optional<uint16_t> instrumentCountOverride;
    uint16_t flags = 1;
    uint16_t tempo = 6;
    uint16_t bpm = 125;
    std::array<uint8_t, 256> orderTable{};
    std::vector<XmPattern> patterns = {XmPattern{}};
    std::vector<XmInstrument> instruments;

    bool oldLayout() const { return version == 0x0102 || version == 0x0103; }
};

struct XmImage {
    std::vector<uint8_t> bytes;
    std::vector<size_t> patternOffsets;    // start of each pattern header
    std::vector<size_t> instrumentOffsets; // start of each instrument header
    // Per instrument, the start of each sample's data (= end of the previous one).
    std::vector<std::vector<size_t>> sampleDataOffsets;
};

namespace detail {

inline void put8(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
}
inline void put16(std::vector<uint8_t>& out, uint32_t v) {
    put8(out, v);
    put8(out, v >> 8);
}
inline void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v);
    put16(out, v >> 16);
}
inline void putText(std::vector<uint8_t>& out, const std::string& text, size_t size) {
    for (size_t k = 0; k < size; ++k) {
        out.push_back(k < text.size() ? uint8_t(text[k]) : 0);
    }
}

// The compressed form: a mask byte naming the fields present, then those fields.
inline void packCell(std::vector<uint8_t>& out, const XmCell& c) {
    const uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.effectParam};
    uint8_t mask = 0x80;
    for (int k = 0; k < 5; ++k) {
        if (fields[k]) {
            mask |= uint8_t(1 << k);
        }
    }
    out.push_back(mask);
    for (int k = 0; k < 5; ++k) {
        if (fields[k]) {
            out.push_back(fields[k]);
        }
    }
}

// The header's length field in bytes: what the data holds, or the frames of a packed sample.
inline uint32_t sampleLengthField(const XmSample& s) {
    if (s.adpcm) {
        return uint32_t(s.frames.size());
    }
    if (s.rawData) {
        return uint32_t(s.rawData->size());
    }
    return uint32_t(s.frames.size() * (s.sixteenBit ? 2 : 1));
}

inline void putAdpcm(std::vector<uint8_t>& out, const std::vector<int32_t>& frames) {
    std::vector<int8_t> table;
    int32_t previous = 0;
    for (int32_t value : frames) {
        auto step = int8_t(value - previous);
        previous = value;
        if (table.size() < 16 && std::find(table.begin(), table.end(), step) == table.end()) {
            table.push_back(step);
        }
    }
    table.resize(16, 0);
    for (int8_t step : table) {
        put8(out, uint8_t(step));
    }
    int8_t value = 0;
    uint8_t low = 0;
    for (size_t k = 0; k < frames.size(); ++k) {
        auto distance = [&](int i) { return std::abs(int8_t(value + table[i]) - frames[k]); };
        int best = 0;
        for (int i = 1; i < 16; ++i) {
            best = distance(i) < distance(best) ? i : best;
        }
        value = int8_t(value + table[best]);
        if (k % 2) {
            put8(out, uint32_t(low | best << 4));
        } else {
            low = uint8_t(best);
        }
    }
    if (frames.size() % 2) {
        put8(out, low);
    }
}

inline void putSampleData(std::vector<uint8_t>& out, const XmSample& s) {
    if (s.rawData) {
        out.insert(out.end(), s.rawData->begin(), s.rawData->end());
        return;
    }
    if (s.adpcm) {
        putAdpcm(out, s.frames);
        return;
    }
    int32_t previous = 0;
    for (int32_t value : s.frames) {
        int32_t delta = value - previous;
        previous = value;
        if (s.sixteenBit) {
            put16(out, uint32_t(delta));
        } else {
            put8(out, uint32_t(delta));
        }
    }
}

inline void putEnvelopePoints(std::vector<uint8_t>& out, const XmEnvelope& e) {
    for (const auto& point : e.points) {
        put16(out, point[0]);
        put16(out, point[1]);
    }
}

// A pattern header and its packed data. The early layout stores the row count less one in a
// byte, in an 8-byte header.
inline void putPattern(std::vector<uint8_t>& out, const XmPattern& p, uint16_t channels, bool old) {
    std::vector<uint8_t> packed;
    if (p.rawPacked) {
        packed = *p.rawPacked;
    } else {
        bool empty = true;
        for (const XmCell& c : p.cells) {
            if (c.note || c.instrument || c.volume || c.effect || c.effectParam) {
                empty = false;
            }
        }
        // An all-empty pattern is stored without data, as trackers do.
        if (!empty) {
            std::vector<XmCell> cells = p.cells;
            cells.resize(size_t(p.rows) * channels);
            for (const XmCell& c : cells) {
                packCell(packed, c);
            }
        }
    }
    const uint32_t fields = old ? 8 : 9;
    put32(out, p.headerLength.value_or(uint32_t(fields + p.headerExtra.size())));
    put8(out, p.packingType);
    if (old) {
        put8(out, uint32_t(p.rows - 1));
    } else {
        put16(out, p.rows);
    }
    put16(out, p.packedSizeOverride.value_or(uint16_t(packed.size())));
    out.insert(out.end(), p.headerExtra.begin(), p.headerExtra.end());
    out.insert(out.end(), packed.begin(), packed.end());
}

// An instrument header and its sample headers.
inline void putInstrumentHeaders(std::vector<uint8_t>& out, const XmInstrument& ins) {
    size_t start = out.size();
    uint16_t count = ins.sampleCountOverride.value_or(uint16_t(ins.samples.size()));
    uint32_t headerSize = ins.headerSize ? ins.headerSize : (ins.samples.empty() ? 29 : 263);
    put32(out, headerSize);
    putText(out, ins.name, 22);
    put8(out, ins.type);
    put16(out, count);
    if (!ins.samples.empty()) {
        put32(out, ins.sampleHeaderSize);
        out.insert(out.end(), ins.sampleMap.begin(), ins.sampleMap.end());
        putEnvelopePoints(out, ins.volumeEnvelope);
        putEnvelopePoints(out, ins.panningEnvelope);
        const XmEnvelope& v = ins.volumeEnvelope;
        const XmEnvelope& pe = ins.panningEnvelope;
        for (uint8_t b :
             {v.pointCount, pe.pointCount, v.sustainPoint, v.loopStartPoint, v.loopEndPoint,
              pe.sustainPoint, pe.loopStartPoint, pe.loopEndPoint, v.flags, pe.flags,
              ins.vibratoType, ins.vibratoSweep, ins.vibratoDepth, ins.vibratoRate}) {
            put8(out, b);
        }
        put16(out, ins.fadeout);
    }
    // Pad (or cut) to the declared header size.
    out.resize(start + headerSize, 0);

    for (const XmSample& s : ins.samples) {
        uint32_t unit = s.sixteenBit ? 2 : 1;
        put32(out, s.lengthBytesOverride.value_or(sampleLengthField(s)));
        put32(out, s.loopStartBytesOverride.value_or(s.loopStart * unit));
        put32(out, s.loopLengthBytesOverride.value_or(s.loopLength * unit));
        put8(out, s.volume);
        put8(out, uint8_t(s.finetune));
        put8(out, uint32_t(s.loopKind & 3) | (s.sixteenBit ? 0x10u : 0u) | s.extraTypeBits);
        put8(out, s.panning);
        put8(out, uint8_t(s.relativeNote));
        put8(out, s.adpcm ? 0xAD : s.reserved);
        putText(out, s.name, 22);
    }
}

} // namespace detail

inline XmImage buildXm(const XmModule& m) {
    using namespace detail;
    XmImage image;
    std::vector<uint8_t>& out = image.bytes;
    putText(out, m.id, 17);
    putText(out, m.name, 20);
    put8(out, m.marker);
    putText(out, m.tracker, 20);
    put16(out, m.version);
    put32(out, m.headerSize);
    put16(out, m.songLength);
    put16(out, m.restartPosition);
    put16(out, m.channels);
    put16(out, m.patternCountOverride.value_or(uint16_t(m.patterns.size())));
    put16(out, m.instrumentCountOverride.value_or(uint16_t(m.instruments.size())));
    put16(out, m.flags);
    put16(out, m.tempo);
    put16(out, m.bpm);
    out.insert(out.end(), m.orderTable.begin(), m.orderTable.end());
    // The header ends at 60 + headerSize; a shorter size makes the patterns overlap it.
    size_t patternsStart = 60 + size_t(m.headerSize);
    if (patternsStart > out.size()) {
        out.resize(patternsStart, 0);
    } else {
        out.resize(patternsStart);
    }

    const bool old = m.oldLayout();
    auto putPatterns = [&] {
        for (const XmPattern& p : m.patterns) {
            image.patternOffsets.push_back(out.size());
            putPattern(out, p, m.channels, old);
        }
    };
    auto putSamples = [&](size_t instrument) {
        for (const XmSample& s : m.instruments[instrument].samples) {
            image.sampleDataOffsets[instrument].push_back(out.size());
            putSampleData(out, s);
        }
    };
    if (!old) {
        putPatterns();
    }
    image.sampleDataOffsets.resize(m.instruments.size());
    for (size_t i = 0; i < m.instruments.size(); ++i) {
        image.instrumentOffsets.push_back(out.size());
        putInstrumentHeaders(out, m.instruments[i]);
        if (!old) {
            putSamples(i);
        }
    }
    if (old) {
        putPatterns();
        for (size_t i = 0; i < m.instruments.size(); ++i) {
            putSamples(i);
        }
    }
    return image;
}

// createPlayer over an image: hooks whose open copies the image (the other four are the memory
// stream's), the load, and the player (null on failure, with the reason in lastImageReason).
inline const std::vector<uint8_t>*& currentImage() {
    static const std::vector<uint8_t>* image = nullptr;
    return image;
}
inline void* openCurrentImage(const char*) {
    const std::vector<uint8_t>* image = currentImage();
    return image ? openMemoryStream(image->data(), int32_t(image->size())) : nullptr;
}
// The hooks over bytes, which must outlive every load through them, and the allocator the
// loads allocate with (null: calloc).
inline const StreamHooks* imageHooks(const std::vector<uint8_t>& bytes,
                                     ZeroAllocator allocate = nullptr) {
    static StreamHooks hooks;
    currentImage() = &bytes;
    hooks = {openCurrentImage, memoryStreamClose, memoryStreamRead,
             memoryStreamSeek, memoryStreamTell,  allocate};
    return &hooks;
}
// Why the last createPlayerFromImage failed ("" after a success).
inline const char*& lastImageReason() {
    static const char* reason = "";
    return reason;
}
inline ModulePlayer* createPlayerFromImage(const std::vector<uint8_t>& bytes,
                                           SampleDataProvider provider = nullptr,
                                           ZeroAllocator allocate = nullptr) {
    return createPlayer(imageHooks(bytes, allocate), "image.xm", provider, &lastImageReason());
}

} // namespace ostrel::xmtest
