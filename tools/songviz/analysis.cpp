#include "tools/songviz/analysis.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>

namespace ostrel::songviz {
namespace {

constexpr double pi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

// Dark blue through violet and orange to pale yellow, for 0..1.
Rgb heat(double v) {
    static const Rgb stops[] = {{8, 8, 24},    {40, 16, 90},   {120, 30, 120},
                                {210, 70, 70}, {250, 160, 40}, {252, 240, 170}};
    v = std::clamp(v, 0.0, 1.0) * 5.0;
    int i = std::min(static_cast<int>(v), 4);
    double t = v - i;
    const Rgb& a = stops[i];
    const Rgb& b = stops[i + 1];
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void setPixel(std::vector<uint8_t>& rgb, int width, int x, int y, Rgb c) {
    size_t at = (static_cast<size_t>(y) * width + x) * 3;
    rgb[at] = static_cast<uint8_t>(std::clamp(c.r, 0.0, 255.0));
    rgb[at + 1] = static_cast<uint8_t>(std::clamp(c.g, 0.0, 255.0));
    rgb[at + 2] = static_cast<uint8_t>(std::clamp(c.b, 0.0, 255.0));
}

// A real-input FFT of one size with its buffers, planned once for a whole picture. FFTW_ESTIMATE
// picks the algorithm from the size alone; FFTW_MEASURE would time candidates on each run and
// could pick another one, and with it other rounding, from one run to the next.
struct Spectrum {
    double* input = nullptr;        // size values
    fftw_complex* output = nullptr; // size / 2 + 1 bins
    fftw_plan plan = nullptr;
};

bool planSpectrum(Spectrum& s, int size) {
    s.input = fftw_alloc_real(static_cast<size_t>(size));
    s.output = fftw_alloc_complex(static_cast<size_t>(size / 2 + 1));
    if (s.input && s.output)
        s.plan = fftw_plan_dft_r2c_1d(size, s.input, s.output, FFTW_ESTIMATE);
    return s.plan != nullptr;
}

void freeSpectrum(Spectrum& s) {
    if (s.plan)
        fftw_destroy_plan(s.plan);
    fftw_free(s.input);
    fftw_free(s.output);
    s = Spectrum{};
}

} // namespace

Levels measureLevels(const int16_t* samples, size_t count) {
    Levels l;
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i) {
        int32_t v = samples[i];
        l.peak = std::max(l.peak, v < 0 ? -v : v);
        sum += static_cast<double>(v) * v;
    }
    l.peakDb = l.peak ? 20.0 * std::log10(l.peak / 32767.0) : -200.0;
    double rms = count ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
    l.rmsDb = rms > 0.0 ? 20.0 * std::log10(rms / 32767.0) : -200.0;
    return l;
}

std::vector<uint8_t> drawSongPicture(const std::vector<int16_t>& pcm, int width, int height,
                                     const std::vector<int64_t>& marks) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 0);
    const int waveHeight = height / 4;
    const int specTop = waveHeight + 2;
    const int specHeight = height - specTop;
    const size_t frames = pcm.size() / 2;
    const double framesPerColumn = static_cast<double>(frames) / width;
    const int fftSize = 2048;
    const double rate = 44100.0;
    const double fLow = 40.0;
    const double fHigh = 16000.0;

    std::vector<double> window(fftSize);
    for (int i = 0; i < fftSize; ++i)
        window[i] = 0.5 - 0.5 * std::cos(2.0 * pi * i / (fftSize - 1));
    Spectrum spectrum;
    if (!planSpectrum(spectrum, fftSize)) {
        freeSpectrum(spectrum);
        return {};
    }

    for (int x = 0; x < width; ++x) {
        size_t begin = static_cast<size_t>(x * framesPerColumn);
        size_t end = std::min(frames, static_cast<size_t>((x + 1) * framesPerColumn));
        // Waveform: the column's lowest and highest value of the left and right channels
        // (left drawn above the centre line's colour, right blended in).
        double lo = 0.0;
        double hi = 0.0;
        double sq = 0.0;
        for (size_t f = begin; f < end; ++f) {
            double m = (pcm[2 * f] + pcm[2 * f + 1]) * 0.5 / 32768.0;
            lo = std::min(lo, m);
            hi = std::max(hi, m);
            sq += m * m;
        }
        double rms = end > begin ? std::sqrt(sq / static_cast<double>(end - begin)) : 0.0;
        for (int y = 0; y < waveHeight; ++y) {
            double v = 1.0 - 2.0 * (y + 0.5) / waveHeight;
            Rgb c{10, 12, 20};
            if (v <= hi && v >= lo)
                c = {90, 170, 210};
            if (std::fabs(v) <= rms)
                c = {200, 235, 250};
            setPixel(rgb, width, x, y, c);
        }
        // Spectrogram column: one windowed FFT centred on the column.
        long centre = static_cast<long>((begin + end) / 2);
        for (int i = 0; i < fftSize; ++i) {
            long f = centre - fftSize / 2 + i;
            spectrum.input[i] = f >= 0 && static_cast<size_t>(f) < frames
                                    ? (pcm[2 * f] + pcm[2 * f + 1]) * 0.5 / 32768.0 * window[i]
                                    : 0.0;
        }
        fftw_execute(spectrum.plan);
        const fftw_complex* bins = spectrum.output;
        for (int y = 0; y < specHeight; ++y) {
            // Top row is the highest frequency; each pixel row covers a band on a log scale.
            double t0 = 1.0 - static_cast<double>(y + 1) / specHeight;
            double t1 = 1.0 - static_cast<double>(y) / specHeight;
            double f0 = fLow * std::pow(fHigh / fLow, t0);
            double f1 = fLow * std::pow(fHigh / fLow, t1);
            int b0 = static_cast<int>(f0 * fftSize / rate);
            int b1 = std::max(b0, static_cast<int>(f1 * fftSize / rate));
            double power = 0.0;
            for (int b = b0; b <= b1 && b < fftSize / 2; ++b)
                power = std::max(power, bins[b][0] * bins[b][0] + bins[b][1] * bins[b][1]);
            double db = 10.0 * std::log10(power + 1e-12);
            // A full-scale sine peaks near +54 dB here (Hann window, 2048 points); the scale
            // runs from -16 dB (dark) to +58 dB (bright).
            setPixel(rgb, width, x, specTop + y, heat((db + 16.0) / 74.0));
        }
        for (int y = waveHeight; y < specTop; ++y)
            setPixel(rgb, width, x, y, {40, 40, 50});
    }
    freeSpectrum(spectrum);
    // Section marks.
    for (int64_t m : marks) {
        int x = static_cast<int>(m / framesPerColumn);
        if (x <= 0 || x >= width)
            continue;
        for (int y = 0; y < height; y += 2) {
            size_t at = (static_cast<size_t>(y) * width + x) * 3;
            for (int k = 0; k < 3; ++k)
                rgb[at + k] = static_cast<uint8_t>((rgb[at + k] + 255) / 2);
        }
    }
    return rgb;
}

} // namespace ostrel::songviz
