// The song as the generator describes it before it becomes XM bytes: instruments with one
// synthesised sample each, envelopes, patterns of plain cells and the order table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::songgen {

struct Cell {
    uint8_t note = 0; // 0 none, 1..96 C-0..B-7, 97 key-off (file value)
    uint8_t instrument = 0;
    uint8_t volume = 0; // volume-column byte
    uint8_t effect = 0;
    uint8_t param = 0;
    bool empty() const { return !note && !instrument && !volume && !effect && !param; }
};

constexpr uint8_t keyOffNote = 97;

enum class Loop : uint8_t { none, forward, pingPong };

struct SampleDesc {
    std::string name;
    std::vector<float> wave; // -1..1, one value per frame
    int bits = 8;            // 8 or 16
    Loop loop = Loop::none;
    uint32_t loopStart = 0; // frames
    uint32_t loopLength = 0;
    int volume = 64;
    int finetune = 0;
    int panning = 128;
    int relativeNote = 0;
};

struct EnvPoint {
    uint16_t x;
    uint16_t y;
};

struct Envelope {
    std::vector<EnvPoint> points; // up to 12
    int sustain = -1;             // point index or -1
    int loopStart = -1;           // point indices, both -1 when the envelope does not loop
    int loopEnd = -1;
};

struct InstrumentDesc {
    std::string name;
    SampleDesc sample;
    Envelope volume;
    Envelope panning;
    int vibratoType = 0;
    int vibratoSweep = 0;
    int vibratoDepth = 0;
    int vibratoRate = 0;
    int fadeout = 0; // file value; the engine subtracts twice this per tick after key-off
};

struct PatternDesc {
    int rows = 64;
    std::vector<Cell> cells; // rows x channels, row by row
};

struct SongDesc {
    std::string name;
    int channels = 8;
    int tempo = 6;
    int bpm = 125;
    int restart = 0;
    bool linear = true;
    std::vector<uint8_t> order;
    std::vector<PatternDesc> patterns;
    std::vector<InstrumentDesc> instruments;
};

} // namespace ostrel::songgen
