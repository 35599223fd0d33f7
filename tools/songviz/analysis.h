// Measurements and the picture of a rendered song.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ostrel::songviz {

struct Levels {
    int32_t peak = 0;    // largest magnitude of any sample, 0..32768
    double peakDb = 0.0; // peak relative to 32767 (full scale), dBFS
    double rmsDb = 0.0;  // root mean square over all samples of both channels, dBFS
};

// Levels of interleaved 16-bit samples (both channels pooled).
Levels measureLevels(const int16_t* samples, size_t count);

// Draws the waveform (top band) and a log-frequency spectrogram (below) of stereo frames at
// 44,100 Hz into an RGB picture; marks[] are frame positions drawn as thin vertical lines.
// The spectrogram's rows run from 16 kHz at the top down to 40 Hz on a log scale; each column
// is FFTW's spectrum of 2,048 Hann-windowed frames centred on it. Empty when FFTW cannot plan.
std::vector<uint8_t> drawSongPicture(const std::vector<int16_t>& pcm, int width, int height,
                                     const std::vector<int64_t>& marks);

} // namespace ostrel::songviz
