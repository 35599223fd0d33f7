// The songs behind the golden checksums: small modules from the tests' XM writer that together
// use every effect, every volume-column command, both frequency tables, envelopes with sustain
// and loops, fade-out, auto-vibrato, all three loop kinds and both sample widths.
#pragma once

#include <cmath>
#include <vector>

#include "tests/support/xm_writer.h"

namespace ostrel::xmtest {

// A cell that only carries an effect, or a note with one.
inline XmCell fx(uint8_t effect, uint8_t param, uint8_t note = 0, uint8_t instrument = 1) {
    return XmCell{note, uint8_t(note ? instrument : 0), 0, effect, param};
}
inline XmCell column(uint8_t volume, uint8_t note = 0) {
    return XmCell{note, uint8_t(note ? 1 : 0), volume, 0, 0};
}

// Instrument 1: a looped 16-bit sine with a sustained, looping volume envelope, a panning
// envelope, fade-out and sine auto-vibrato; instrument 2: an 8-bit ping-pong saw with square
// auto-vibrato and a sweep; instrument 3: a one-shot 8-bit burst, long enough for 9xx; 4: two
// samples split by the note map.
inline std::vector<XmInstrument> goldenInstruments() {
    std::vector<int32_t> sine, saw, burst, square;
    for (int i = 0; i < 128; ++i)
        sine.push_back(int32_t(std::lround(14000.0 * std::sin(i * 3.14159265358979 / 64))));
    for (int i = 0; i < 60; ++i)
        saw.push_back(i * 4 - 120);
    for (int i = 0; i < 3000; ++i)
        burst.push_back(((i * 37) % 101 - 50) * (3000 - i) / 1200);
    for (int i = 0; i < 32; ++i)
        square.push_back(i < 16 ? 90 : -90);

    XmInstrument lead;
    XmSample looped = XmSample::sixteen(sine);
    looped.loopKind = 1;
    looped.loopLength = 128;
    looped.finetune = -20;
    lead.samples.push_back(looped);
    lead.volumeEnvelope = {{{{0, 64}, {8, 40}, {16, 56}, {40, 0}}}, 4, 2, 1, 2, 1 | 2 | 4};
    lead.panningEnvelope = {{{{0, 16}, {20, 48}, {40, 32}}}, 3, 0, 0, 0, 1};
    lead.fadeout = 600;
    lead.vibratoType = 0;
    lead.vibratoDepth = 6;
    lead.vibratoRate = 20;

    XmInstrument pad;
    XmSample pingPong = XmSample::eightBit(saw);
    pingPong.loopKind = 2;
    pingPong.loopStart = 10;
    pingPong.loopLength = 50;
    pingPong.panning = 200;
    pingPong.relativeNote = 12;
    pad.samples.push_back(pingPong);
    pad.vibratoType = 1;
    pad.vibratoSweep = 12;
    pad.vibratoDepth = 10;
    pad.vibratoRate = 9;

    XmInstrument hit;
    XmSample oneShot = XmSample::eightBit(burst);
    oneShot.volume = 48;
    hit.samples.push_back(oneShot);

    XmInstrument split;
    XmSample low = XmSample::eightBit(square);
    low.loopKind = 1;
    low.loopLength = 32;
    split.samples.push_back(low);
    split.samples.push_back(looped);
    for (int n = 48; n < 96; ++n)
        split.sampleMap[size_t(n)] = 1;
    return {lead, pad, hit, split};
}

// Lays the cells out over channels and patterns of 32 rows: channel c of row r gets
// cells[r * channels + c]; every cell without a note and instrument keeps the channel's last
// note sounding.
inline XmModule goldenSong(uint16_t flags, uint16_t channels, const std::vector<XmCell>& cells) {
    XmModule song;
    song.flags = flags;
    song.channels = channels;
    song.tempo = 6;
    song.bpm = 125;
    const size_t rowsNeeded = (cells.size() + channels - 1) / channels;
    const size_t patternCount = (rowsNeeded + 31) / 32;
    song.patterns.assign(patternCount, XmPattern{});
    song.songLength = uint16_t(patternCount);
    for (size_t p = 0; p < patternCount; ++p) {
        song.orderTable[p] = uint8_t(p);
        song.patterns[p].rows = 32;
        song.patterns[p].cells.assign(size_t(32) * channels, XmCell{});
    }
    for (size_t i = 0; i < cells.size(); ++i) {
        const size_t row = i / channels;
        song.patterns[row / 32].cells[(row % 32) * channels + i % channels] = cells[i];
    }
    song.instruments = goldenInstruments();
    return song;
}

// Every effect but the flow effects, four channels, with fresh notes between them.
inline std::vector<XmCell> effectCells() {
    const XmCell n{49, 1, 0, 0, 0};
    return {
        n,
        {61, 2, 0x30, 0, 0},
        {37, 3, 0, 0, 0},
        {73, 4, 0, 0, 0},
        fx(0x0, 0x37),
        fx(0x1, 0x08),
        fx(0x2, 0x06),
        fx(0x4, 0x8A),
        fx(0x0, 0x00),
        fx(0x1, 0x00),
        fx(0x2, 0x00),
        fx(0x4, 0x00),
        fx(0x3, 0x20, 56),
        fx(0x5, 0x02, 51),
        fx(0x6, 0x03),
        fx(0x7, 0x4C),
        fx(0x3, 0x00),
        fx(0x5, 0x00),
        fx(0x6, 0x00),
        fx(0x7, 0x00),
        fx(0x8, 0x20),
        fx(0x9, 0x03, 49, 3),
        fx(0xA, 0x0F),
        fx(0xC, 0x20),
        fx(0xA, 0x40),
        fx(0x9, 0x40, 49, 3),
        fx(0xA, 0x00),
        fx(0xC, 0x50),
        fx(0x9, 0x00),
        fx(0x9, 0x00, 49, 3),
        fx(0x9, 0x02),
        fx(0x9, 0x01, 61, 2),
        fx(0xE, 0x13),
        fx(0xE, 0x25),
        fx(0xE, 0x31),
        fx(0xE, 0x41),
        fx(0xE, 0x10),
        fx(0xE, 0x20),
        fx(0xE, 0x57, 49),
        fx(0xE, 0x72),
        fx(0xE, 0x8F),
        fx(0xE, 0x92, 49),
        fx(0xE, 0xA3),
        fx(0xE, 0xB5),
        fx(0xE, 0xA0),
        fx(0xE, 0xC3),
        fx(0xE, 0xB0),
        fx(0xE, 0xC0, 49),
        fx(0xE, 0xD2, 52),
        fx(0xE, 0xD0, 50),
        fx(0xE, 0xD3, 97),
        fx(0xE, 0x5F, 51),
        fx(0x10, 0x20),
        fx(0x11, 0x04),
        fx(0x14, 0x00),
        fx(0x15, 0x08),
        fx(0x11, 0x00),
        fx(0x11, 0x30),
        fx(0x15, 0x20, 49),
        fx(0x19, 0x0F),
        fx(0x19, 0xF0),
        fx(0x1B, 0x32, 49),
        fx(0x1D, 0x21),
        fx(0x21, 0x13),
        fx(0x19, 0x00),
        fx(0x1B, 0x00),
        fx(0x1D, 0x00),
        fx(0x21, 0x22),
        fx(0x21, 0x10),
        fx(0x10, 0x40),
        fx(0x21, 0x20),
        fx(0x14, 0x00, 49),
        {97, 0, 0, 0, 0},
        {49, 2, 0, 0, 0},
        {97, 0, 0, 0, 0},
        {61, 4, 0, 0, 0},
    };
}

// Every volume-column command, with and without notes, four channels.
inline std::vector<XmCell> volumeColumnCells() {
    return {
        column(0x10, 49), column(0x50, 61), column(0x30, 37), column(0x48, 73), column(0x62),
        column(0x73),     column(0x84),     column(0x95),     column(0x6F),     column(0x60),
        column(0x8F),     column(0x9F),     column(0xA4),     column(0xB6),     column(0xA0),
        column(0xB0),     column(0xC8),     column(0xD4),     column(0xE4),     column(0xC0),
        column(0xF3, 56), column(0xF0, 44), column(0xF8),     column(0xF0),     column(0x05),
        column(0x55),     column(0xDF),     column(0xEF),     column(0x7A, 49), column(0xB3, 61),
        column(0x20, 97), column(0x40, 49),
    };
}

// The song-position effects: jumps, breaks, loops, delays and tempo, over five orders.
inline XmModule flowSong(uint16_t flags) {
    XmModule song = goldenSong(flags, 2, {});
    song.patterns.assign(4, XmPattern{});
    for (XmPattern& p : song.patterns) {
        p.rows = 16;
        p.cells.assign(32, XmCell{});
        for (int r = 0; r < 16; r += 4)
            p.cells[size_t(r) * 2] = XmCell{uint8_t(49 + r), 1, 0, 0, 0};
    }
    auto at = [&](int p, int r, int c) -> XmCell& {
        return song.patterns[size_t(p)].cells[size_t(r) * 2 + size_t(c)];
    };
    at(0, 2, 1) = fx(0xE, 0x60);     // loop start
    at(0, 5, 1) = fx(0xE, 0x62);     // rows 2..5 three times
    at(0, 8, 1) = fx(0xE, 0xE2);     // pattern delay
    at(0, 10, 1) = fx(0xF, 0x03);    // tempo 3
    at(0, 12, 1) = fx(0xF, 0x50);    // BPM 80
    at(0, 14, 1) = fx(0xD, 0x04);    // break to row 4 of order 1
    at(1, 9, 1) = fx(0xF, 0x06);     // tempo 6 again
    at(1, 12, 1) = fx(0xB, 0x03);    // jump over order 2
    at(2, 0, 1) = fx(0xF, 0x01);     // never played
    at(3, 6, 0) = fx(0xD, 0x12, 60); // break (row 12) in a lower channel than...
    at(3, 6, 1) = fx(0xB, 0x04);     // ...the jump: order 4, row 12
    song.songLength = 6;
    const uint8_t orders[6] = {0, 1, 2, 3, 1, 0};
    for (int i = 0; i < 6; ++i)
        song.orderTable[size_t(i)] = orders[i];
    song.restartPosition = 1;
    return song;
}

} // namespace ostrel::xmtest
