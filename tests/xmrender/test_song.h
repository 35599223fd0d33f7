// A small made-up song for the renderer's tests and benchmarks: every channel plays looped
// samples with volume-column volumes, one channel changes the BPM half-way through a pattern so
// that ticks fall at new places inside chunks.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/xm_writer.h"

namespace ostrel::xmtest {

inline XmModule makeTestSong(uint16_t channels) {
    XmModule song;
    song.channels = channels;
    song.bpm = 95;
    song.tempo = 6;
    song.songLength = 4;
    song.orderTable[0] = 0;
    song.orderTable[1] = 1;
    song.orderTable[2] = 0;
    song.orderTable[3] = 1;
    song.patterns.assign(2, XmPattern{});
    for (int p = 0; p < 2; ++p) {
        XmPattern& pattern = song.patterns[p];
        pattern.cells.assign(size_t(64) * channels, XmCell{});
        for (int row = 0; row < 64; ++row) {
            for (int c = 0; c < channels; ++c) {
                if ((row + c) % ((c % 4) + 2) != 0)
                    continue;
                XmCell& cell = pattern.cells[size_t(row) * channels + c];
                cell.note = uint8_t(37 + (row * 7 + c * 5 + p * 3) % 36);
                cell.instrument = uint8_t(1 + (row + c) % 2);
                cell.volume = uint8_t(0x10 + (row * 3 + c) % 65);
            }
        }
        // a tempo change inside the pattern
        pattern.cells[size_t(32) * channels].effect = 0xF;
        pattern.cells[size_t(32) * channels].effectParam = uint8_t(p == 0 ? 131 : 95);
    }
    XmInstrument sine;
    std::vector<int32_t> wave;
    for (int i = 0; i < 64; ++i)
        wave.push_back(int32_t(std::lround(12000.0 * std::sin(i * 3.14159265358979 / 32))));
    XmSample looped = XmSample::sixteen(wave);
    looped.loopKind = 1;
    looped.loopStart = 0;
    looped.loopLength = 64;
    sine.samples.push_back(looped);
    XmInstrument saw;
    std::vector<int32_t> ramp;
    for (int i = 0; i < 48; ++i)
        ramp.push_back(i * 5 - 120);
    XmSample pingPong = XmSample::eightBit(ramp);
    pingPong.loopKind = 2;
    pingPong.loopStart = 8;
    pingPong.loopLength = 40;
    pingPong.panning = 60;
    saw.samples.push_back(pingPong);
    song.instruments = {sine, saw};
    return song;
}

// Writes a module's XM image to a file; true when it was written whole.
inline bool writeXmFile(const std::string& path, const XmModule& module) {
    const XmImage image = buildXm(module);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written =
        std::fwrite(image.bytes.data(), 1, image.bytes.size(), file) == image.bytes.size();
    return std::fclose(file) == 0 && written;
}

inline bool writeTestSong(const std::string& path, uint16_t channels) {
    return writeXmFile(path, makeTestSong(channels));
}

} // namespace ostrel::xmtest
