#include "tools/songgen/instruments.h"

#include <algorithm>
#include <cmath>

namespace ostrel::songgen {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double twoPi = 2.0 * pi;

// Scales a wave so that its largest magnitude is `peak`.
void normalise(std::vector<float>& wave, double peak) {
    double m = 0.0;
    for (float v : wave)
        m = std::max(m, std::fabs(static_cast<double>(v)));
    if (m <= 0.0)
        return;
    for (float& v : wave)
        v = static_cast<float>(v * peak / m);
}

// First-order low-pass and high-pass filters, enough to colour noise.
struct OnePole {
    double a = 0.0;
    double z = 0.0;
    OnePole(double cutoff, double rate) : a(std::exp(-twoPi * cutoff / rate)) {}
    double low(double x) { return z = (1.0 - a) * x + a * z; }
    double high(double x) { return x - low(x); }
};

// A band-limited sawtooth at phase theta with `harmonics` partials, softened above `soft`.
double softSaw(double theta, int harmonics, double soft) {
    double v = 0.0;
    for (int n = 1; n <= harmonics; ++n) {
        double roll = 1.0 / (1.0 + (n / soft) * (n / soft));
        v += std::sin(n * theta) / n * roll;
    }
    return v;
}

// The kick: a sine whose pitch falls quickly, a short noise click on top, gently saturated.
// Once the sweep has settled the sample holds one cycle at the final pitch, which loops while
// the volume envelope lets the tail die away, so the tail costs only one cycle of data.
InstrumentDesc kick() {
    InstrumentDesc ins;
    ins.name = "kick";
    SampleDesc& s = ins.sample;
    s.name = "falling sine";
    s.bits = 16;
    s.relativeNote = 7;
    s.volume = 54;
    double rate = playRate(s.relativeNote);
    const int cycle = 228; // 55 Hz, the key note A
    const double drive = 1.8;
    Noise noise{0x9E3779B9u};
    double phase = 0.0;
    double amp = 1.0;
    for (int n = 0;; ++n) {
        double t = n / rate;
        double f = 55.0 + 150.0 * std::exp(-t / 0.022);
        amp = 1.0 - 0.3 * std::min(t / 0.08, 1.0);
        double click = noise.next() * 0.5 * std::exp(-t / 0.0015);
        double v = amp * std::sin(phase) + click;
        s.wave.push_back(static_cast<float>(std::tanh(drive * v) / std::tanh(drive)));
        phase += twoPi * f / rate;
        if (phase >= twoPi) {
            phase -= twoPi;
            if (t > 0.07)
                break;
        }
    }
    s.loop = Loop::forward;
    s.loopStart = static_cast<uint32_t>(s.wave.size());
    s.loopLength = cycle;
    for (int i = 0; i < cycle; ++i) {
        double v = amp * std::sin(twoPi * i / cycle + phase);
        s.wave.push_back(static_cast<float>(std::tanh(drive * v) / std::tanh(drive)));
    }
    normalise(s.wave, 0.98);
    ins.volume.points = {{0, 64}, {3, 56}, {10, 30}, {22, 8}, {30, 0}};
    return ins;
}

// The snare: two damped tones for the body and band-passed noise; the noise settles to a
// steady level and loops, the envelope shapes the tail.
InstrumentDesc snare() {
    InstrumentDesc ins;
    ins.name = "snare";
    SampleDesc& s = ins.sample;
    s.name = "noise and tone";
    s.bits = 8;
    s.relativeNote = 12;
    s.volume = 64;
    double rate = playRate(s.relativeNote);
    const int body = 1300;
    const int tail = 768;
    Noise noise{0x1234567u};
    OnePole hp(900.0, rate);
    OnePole lp(6500.0, rate);
    double p1 = 0.0;
    double p2 = 0.0;
    for (int n = 0; n < body + tail; ++n) {
        double t = n / rate;
        double bend = 1.0 + 0.35 * std::exp(-t / 0.01);
        double tone =
            0.55 * std::sin(p1) * std::exp(-t / 0.045) + 0.30 * std::sin(p2) * std::exp(-t / 0.028);
        p1 += twoPi * 185.0 * bend / rate;
        p2 += twoPi * 330.0 * bend / rate;
        double level = n < body ? 0.42 + 0.58 * std::exp(-t / 0.022) : 0.42;
        double nz = lp.low(hp.high(noise.next())) * 1.6 * level;
        s.wave.push_back(static_cast<float>(tone + nz));
    }
    normalise(s.wave, 0.99);
    s.loop = Loop::forward;
    s.loopStart = body;
    s.loopLength = tail;
    ins.volume.points = {{0, 64}, {3, 48}, {8, 22}, {16, 6}, {24, 0}};
    return ins;
}

// Metallic noise for the cymbals: white noise mixed with six detuned square waves, then
// high-passed at `cutoff`.
std::vector<float> metalNoise(int frames, double rate, double cutoff, uint32_t seed) {
    static const double partials[6] = {410.0, 609.0, 739.0, 1045.0, 1080.0, 1600.0};
    Noise noise{seed};
    OnePole hp1(cutoff, rate);
    OnePole hp2(cutoff, rate);
    std::vector<float> wave;
    for (int n = 0; n < frames; ++n) {
        double t = n / rate;
        double sq = 0.0;
        for (double f : partials)
            sq += std::sin(twoPi * f * 2.0 * t) >= 0.0 ? 1.0 : -1.0;
        double v = 0.65 * noise.next() + 0.35 * sq / 6.0;
        wave.push_back(static_cast<float>(hp2.high(hp1.high(v))));
    }
    normalise(wave, 0.97);
    return wave;
}

InstrumentDesc hat() {
    InstrumentDesc ins;
    ins.name = "closed hat";
    SampleDesc& s = ins.sample;
    s.name = "metal noise";
    s.relativeNote = 24;
    s.volume = 64;
    s.panning = 160;
    s.wave = metalNoise(1024, playRate(s.relativeNote), 6500.0, 0xC0FFEEu);
    s.loop = Loop::forward;
    s.loopStart = 0;
    s.loopLength = 1024;
    ins.volume.points = {{0, 64}, {1, 34}, {2, 16}, {4, 6}, {6, 0}};
    return ins;
}

// The crash holds at full level while the key is down (a sustain on the first point), so a
// held note with a pitch slide makes a riser; a key-off lets it ring out.
InstrumentDesc crash() {
    InstrumentDesc ins;
    ins.name = "crash";
    SampleDesc& s = ins.sample;
    s.name = "wide metal noise";
    s.relativeNote = 24;
    s.volume = 64;
    s.panning = 150;
    s.wave = metalNoise(1536, playRate(s.relativeNote), 2800.0, 0xBADC0DEu);
    s.loop = Loop::forward;
    s.loopStart = 0;
    s.loopLength = 1536;
    ins.volume.points = {{0, 64}, {4, 50}, {20, 24}, {60, 8}, {120, 0}};
    ins.volume.sustain = 0;
    ins.fadeout = 250;
    return ins;
}

// The bass: a soft sawtooth with a sine underneath whose upper harmonics die away over its
// first fifteen cycles (a plucked filter sweep), then one steady cycle loops.
InstrumentDesc bass() {
    InstrumentDesc ins;
    ins.name = "bass";
    SampleDesc& s = ins.sample;
    s.name = "plucked saw";
    s.bits = 16;
    s.relativeNote = 12;
    s.volume = 46;
    const int cycle = 64;
    const int sweepCycles = 15;
    for (int n = 0; n < cycle * (sweepCycles + 1); ++n) {
        double t = std::min(static_cast<double>(n) / (cycle * sweepCycles), 1.0);
        double h = 2.5 + 13.0 * (1.0 - t) * (1.0 - t);
        double theta = twoPi * n / cycle;
        double v = 0.6 * std::sin(theta);
        for (int k = 1; k <= 24; ++k) {
            double r = k / h;
            v += std::sin(k * theta) / k / (1.0 + r * r * r * r);
        }
        s.wave.push_back(static_cast<float>(v));
    }
    normalise(s.wave, 0.97);
    s.loop = Loop::forward;
    s.loopStart = cycle * sweepCycles;
    s.loopLength = cycle;
    ins.volume.points = {{0, 64}, {4, 54}, {16, 44}};
    ins.volume.sustain = 2;
    ins.fadeout = 1500;
    return ins;
}

// The lead: one cycle of a narrow pulse blended with a sawtooth; the instrument vibrato fades
// in over the first 40 ticks of a note, so long notes sing and short ones stay straight.
InstrumentDesc lead() {
    InstrumentDesc ins;
    ins.name = "lead";
    SampleDesc& s = ins.sample;
    s.name = "pulse saw";
    s.bits = 16;
    s.relativeNote = 12;
    s.volume = 48;
    s.panning = 150;
    const int cycle = 64;
    const double duty = 0.3;
    for (int n = 0; n < cycle; ++n) {
        double theta = twoPi * n / cycle;
        double pulse = 0.0;
        for (int k = 1; k <= 24; ++k) {
            double roll = 1.0 / (1.0 + (k / 11.0) * (k / 11.0));
            pulse += std::sin(k * pi * duty) / k * std::cos(k * (theta - pi * duty)) * roll;
        }
        s.wave.push_back(static_cast<float>(0.75 * pulse + 0.35 * softSaw(theta, 24, 9.0)));
    }
    normalise(s.wave, 0.97);
    s.loop = Loop::forward;
    s.loopStart = 0;
    s.loopLength = cycle;
    ins.volume.points = {{0, 40}, {2, 64}, {8, 52}, {24, 46}};
    ins.volume.sustain = 3;
    ins.fadeout = 900;
    ins.vibratoType = 0;
    ins.vibratoSweep = 40;
    ins.vibratoDepth = 10;
    ins.vibratoRate = 18;
    return ins;
}

// The chip voice: a raw 25 % pulse, 32 frames, with its DC removed so that starting and
// stopping it does not thump.
InstrumentDesc arp() {
    InstrumentDesc ins;
    ins.name = "chip";
    SampleDesc& s = ins.sample;
    s.name = "pulse 25";
    s.bits = 8;
    s.relativeNote = 0;
    s.volume = 30;
    s.panning = 100;
    for (int n = 0; n < 32; ++n)
        s.wave.push_back(n < 8 ? 0.9f : -0.3f);
    s.loop = Loop::forward;
    s.loopStart = 0;
    s.loopLength = 32;
    ins.volume.points = {{0, 64}, {3, 44}, {10, 32}, {30, 26}};
    ins.volume.sustain = 3;
    ins.fadeout = 1200;
    return ins;
}

// The pad: three detuned sawtooths and a sine an octave down. The detuning beats slowly; the
// ping-pong loop plays the beating forwards and backwards, which a sawtooth survives without
// a seam (a reversed sawtooth is a sawtooth). A looping volume envelope breathes and a
// looping panning envelope sways.
InstrumentDesc pad() {
    InstrumentDesc ins;
    ins.name = "pad";
    SampleDesc& s = ins.sample;
    s.name = "detuned saws";
    s.bits = 8;
    s.relativeNote = 12;
    s.volume = 36;
    const int cycle = 64;
    const int frames = 3072;
    const double detune[3] = {1.0, 1.0058, 0.9947};
    const double offset[3] = {0.0, 2.1, 4.4};
    for (int n = 0; n < frames; ++n) {
        double v = 0.0;
        for (int k = 0; k < 3; ++k)
            v += softSaw(twoPi * n * detune[k] / cycle + offset[k], 20, 7.0);
        v += 0.5 * std::sin(pi * n / cycle);
        s.wave.push_back(static_cast<float>(v));
    }
    normalise(s.wave, 0.97);
    s.loop = Loop::pingPong;
    s.loopStart = 256;
    s.loopLength = frames - 256;
    ins.volume.points = {{0, 0}, {16, 56}, {36, 64}, {56, 50}, {76, 64}};
    ins.volume.loopStart = 2;
    ins.volume.loopEnd = 4;
    ins.panning.points = {{0, 32}, {48, 18}, {144, 46}, {192, 32}};
    ins.panning.loopStart = 0;
    ins.panning.loopEnd = 3;
    ins.fadeout = 160;
    return ins;
}

// The bell: harmonic partials that die away at different speeds, the upper ones first; the
// last cycle loops and the volume envelope carries the long ring.
InstrumentDesc bell() {
    InstrumentDesc ins;
    ins.name = "bell";
    SampleDesc& s = ins.sample;
    s.name = "struck partials";
    s.bits = 8;
    s.relativeNote = 12;
    s.volume = 36;
    s.panning = 176;
    double rate = playRate(s.relativeNote);
    const int cycle = 64;
    const int attack = 1472;
    struct Partial {
        int n;
        double amp;
        double tau;
    };
    static const Partial partials[] = {{1, 1.0, 10.0},  {2, 0.45, 0.25}, {3, 0.2, 0.12},
                                       {4, 0.35, 0.06}, {5, 0.12, 0.04}, {7, 0.15, 0.03},
                                       {9, 0.1, 0.02}};
    for (int n = 0; n < attack + cycle; ++n) {
        double t = std::min(n, attack) / rate;
        double theta = twoPi * n / cycle;
        double v = 0.0;
        for (const Partial& p : partials)
            v += p.amp * std::exp(-t / p.tau) * std::sin(p.n * theta);
        s.wave.push_back(static_cast<float>(v));
    }
    normalise(s.wave, 0.97);
    s.loop = Loop::forward;
    s.loopStart = attack;
    s.loopLength = cycle;
    ins.volume.points = {{0, 64}, {6, 44}, {24, 26}, {80, 10}, {160, 0}};
    ins.fadeout = 400;
    return ins;
}

// The lead's echo: the same wave, quieter, off to one side and without the instrument
// vibrato, so that the repeat sounds like a reflection rather than a second player.
InstrumentDesc echo() {
    InstrumentDesc ins = lead();
    ins.name = "lead echo";
    ins.sample.volume = 22;
    ins.sample.panning = 72;
    ins.vibratoDepth = 0;
    ins.vibratoSweep = 0;
    ins.vibratoRate = 0;
    return ins;
}

} // namespace

float Noise::next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<float>(static_cast<int32_t>(state) / 2147483648.0);
}

double playRate(int relativeNote) {
    return 8363.0 * std::pow(2.0, relativeNote / 12.0);
}

std::vector<InstrumentDesc> buildInstruments() {
    return {kick(), snare(), hat(), crash(), bass(), lead(), arp(), pad(), bell(), echo()};
}

} // namespace ostrel::songgen
