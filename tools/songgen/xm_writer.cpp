#include "tools/songgen/xm_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace ostrel::songgen {
namespace {

void put8(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
}
void put16(std::vector<uint8_t>& out, uint32_t v) {
    put8(out, v & 0xFF);
    put8(out, (v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
// A fixed-width text field, padded with zero bytes and cut when too long.
void putText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
    for (size_t i = 0; i < width; ++i)
        out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

void putEnvelope(std::vector<uint8_t>& out, const Envelope& env) {
    for (size_t k = 0; k < 12; ++k) {
        EnvPoint p = k < env.points.size() ? env.points[k] : EnvPoint{0, 0};
        put16(out, p.x);
        put16(out, p.y);
    }
}

uint8_t envelopeFlags(const Envelope& env) {
    if (env.points.size() < 2)
        return 0;
    uint8_t flags = 1;
    if (env.sustain >= 0)
        flags |= 2;
    if (env.loopStart >= 0 && env.loopEnd >= 0)
        flags |= 4;
    return flags;
}

uint32_t pointIndex(int index) {
    return index < 0 ? 0u : static_cast<uint32_t>(index);
}

constexpr int instrumentHeaderSize = 263; // the size trackers write, with 22 reserved bytes
constexpr int sampleHeaderSize = 40;

} // namespace

void packCell(const Cell& cell, std::vector<uint8_t>& out) {
    uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.param};
    uint8_t mask = 0;
    for (int i = 0; i < 5; ++i)
        if (fields[i])
            mask |= static_cast<uint8_t>(1 << i);
    if (mask == 0x1F && cell.note < 0x80) {
        out.insert(out.end(), fields, fields + 5);
        return;
    }
    out.push_back(static_cast<uint8_t>(0x80 | mask));
    for (int i = 0; i < 5; ++i)
        if (mask & (1 << i))
            out.push_back(fields[i]);
}

int32_t quantiseFrame(float value, int bits) {
    float limit = bits == 16 ? 32767.0f : 127.0f;
    float v = std::nearbyint(value * limit);
    if (v > limit)
        v = limit;
    if (v < -limit)
        v = -limit;
    return static_cast<int32_t>(v);
}

std::vector<uint8_t> encodeSampleData(const SampleDesc& sample) {
    std::vector<uint8_t> out;
    int32_t previous = 0;
    for (float f : sample.wave) {
        int32_t v = quantiseFrame(f, sample.bits);
        int32_t delta = v - previous;
        previous = v;
        if (sample.bits == 16)
            put16(out, static_cast<uint32_t>(delta) & 0xFFFF);
        else
            put8(out, static_cast<uint32_t>(delta) & 0xFF);
    }
    return out;
}

std::vector<uint8_t> writeXm(const SongDesc& song) {
    std::vector<uint8_t> out;
    putText(out, "Extended Module: ", 17);
    putText(out, song.name, 20);
    put8(out, 0x1A);
    putText(out, "ostrel songgen", 20);
    put16(out, 0x0104);
    put32(out, 276); // header size counted from this field: 20 bytes of fields + 256 orders
    put16(out, static_cast<uint32_t>(song.order.size()));
    put16(out, static_cast<uint32_t>(song.restart));
    put16(out, static_cast<uint32_t>(song.channels));
    put16(out, static_cast<uint32_t>(song.patterns.size()));
    put16(out, static_cast<uint32_t>(song.instruments.size()));
    put16(out, song.linear ? 1 : 0);
    put16(out, static_cast<uint32_t>(song.tempo));
    put16(out, static_cast<uint32_t>(song.bpm));
    for (int i = 0; i < 256; ++i)
        put8(out, i < static_cast<int>(song.order.size()) ? song.order[i] : 0);

    for (const PatternDesc& pattern : song.patterns) {
        std::vector<uint8_t> packed;
        bool allEmpty = true;
        for (const Cell& c : pattern.cells) {
            packCell(c, packed);
            allEmpty = allEmpty && c.empty();
        }
        if (allEmpty)
            packed.clear(); // a packed size of 0 means an empty pattern
        put32(out, 9);
        put8(out, 0);
        put16(out, static_cast<uint32_t>(pattern.rows));
        put16(out, static_cast<uint32_t>(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }

    for (const InstrumentDesc& ins : song.instruments) {
        size_t start = out.size();
        put32(out, instrumentHeaderSize);
        putText(out, ins.name, 22);
        put8(out, 0);
        put16(out, 1); // one sample per instrument
        put32(out, sampleHeaderSize);
        for (int n = 0; n < 96; ++n)
            put8(out, 0);
        putEnvelope(out, ins.volume);
        putEnvelope(out, ins.panning);
        put8(out, static_cast<uint32_t>(ins.volume.points.size()));
        put8(out, static_cast<uint32_t>(ins.panning.points.size()));
        put8(out, pointIndex(ins.volume.sustain));
        put8(out, pointIndex(ins.volume.loopStart));
        put8(out, pointIndex(ins.volume.loopEnd));
        put8(out, pointIndex(ins.panning.sustain));
        put8(out, pointIndex(ins.panning.loopStart));
        put8(out, pointIndex(ins.panning.loopEnd));
        put8(out, envelopeFlags(ins.volume));
        put8(out, envelopeFlags(ins.panning));
        put8(out, static_cast<uint32_t>(ins.vibratoType));
        put8(out, static_cast<uint32_t>(ins.vibratoSweep));
        put8(out, static_cast<uint32_t>(ins.vibratoDepth));
        put8(out, static_cast<uint32_t>(ins.vibratoRate));
        put16(out, static_cast<uint32_t>(ins.fadeout));
        while (out.size() < start + instrumentHeaderSize)
            put8(out, 0);

        const SampleDesc& s = ins.sample;
        uint32_t bytesPerFrame = s.bits == 16 ? 2 : 1;
        uint32_t frames = static_cast<uint32_t>(s.wave.size());
        put32(out, frames * bytesPerFrame);
        put32(out, s.loop == Loop::none ? 0 : s.loopStart * bytesPerFrame);
        put32(out, s.loop == Loop::none ? 0 : s.loopLength * bytesPerFrame);
        put8(out, static_cast<uint32_t>(s.volume));
        put8(out, static_cast<uint32_t>(s.finetune) & 0xFF);
        uint8_t type = s.loop == Loop::forward ? 1 : s.loop == Loop::pingPong ? 2 : 0;
        if (s.bits == 16)
            type |= 0x10;
        put8(out, type);
        put8(out, static_cast<uint32_t>(s.panning));
        put8(out, static_cast<uint32_t>(s.relativeNote) & 0xFF);
        put8(out, 0);
        putText(out, s.name, 22);
        std::vector<uint8_t> data = encodeSampleData(s);
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

std::string writeCppArray(const std::vector<uint8_t>& bytes, const std::string& origin) {
    std::string text;
    text += "// Generated by " + origin + "; do not edit. The built-in song as an XM module.\n";
    text += "#include \"assets/assets.h\"\n\nnamespace ostrel {\n\n// clang-format off\n";
    text += "const uint8_t builtinModule[] = {\n";
    char buf[32];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 20 == 0)
            text += "   ";
        std::snprintf(buf, sizeof buf, " %u,", bytes[i]);
        text += buf;
        if (i % 20 == 19 || i + 1 == bytes.size())
            text += "\n";
    }
    text += "};\n// clang-format on\n";
    std::snprintf(buf, sizeof buf, "%zu", bytes.size());
    text +=
        "const int32_t builtinModuleSize = " + std::string(buf) + ";\n\n}  // namespace ostrel\n";
    return text;
}

} // namespace ostrel::songgen
