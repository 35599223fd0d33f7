// Writes the fuzz seed corpus: a few small valid modules from the test XM writer, each
// exercising a different part of the format. Usage: xm_fuzz_corpus <directory>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/xm_writer.h"

using namespace ostrel::xmtest;

namespace {

void save(const std::string& dir, const char* name, const XmModule& m) {
    std::vector<uint8_t> bytes = buildXm(m).bytes;
    std::string path = dir + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        return;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
}

std::vector<int32_t> wave(int frames, int amplitude, int period) {
    std::vector<int32_t> v;
    for (int k = 0; k < frames; ++k) {
        v.push_back((k % period) < period / 2 ? amplitude : -amplitude);
    }
    return v;
}

XmInstrument instrument(std::vector<XmSample> samples) {
    XmInstrument ins;
    ins.samples = std::move(samples);
    ins.volumeEnvelope.pointCount = 3;
    ins.volumeEnvelope.points[0] = {0, 64};
    ins.volumeEnvelope.points[1] = {8, 40};
    ins.volumeEnvelope.points[2] = {32, 0};
    ins.volumeEnvelope.sustainPoint = 1;
    ins.volumeEnvelope.flags = 3;
    ins.panningEnvelope.pointCount = 2;
    ins.panningEnvelope.points[0] = {0, 16};
    ins.panningEnvelope.points[1] = {16, 48};
    ins.panningEnvelope.flags = 1;
    ins.vibratoDepth = 4;
    ins.vibratoRate = 8;
    ins.fadeout = 512;
    return ins;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 1;
    }
    std::string dir = argv[1];

    save(dir, "minimal.xm", XmModule{});

    // Two channels, two patterns with notes and effects, a looping 8-bit sample.
    XmModule tune;
    tune.channels = 2;
    tune.songLength = 3;
    tune.restartPosition = 1;
    tune.orderTable[1] = 1;
    tune.orderTable[2] = 0;
    tune.patterns.resize(2);
    tune.patterns[0].rows = 8;
    tune.patterns[0].cells = {{49, 1, 0x40, 0, 0},
                              {61, 1, 0, 0x0A, 0x0F},
                              {},
                              {},
                              {51, 1, 0, 0x01, 0x08},
                              {97},
                              {},
                              {},
                              {},
                              {},
                              {53, 1, 0x20, 0x04, 0x44},
                              {}};
    tune.patterns[1].rows = 4;
    tune.patterns[1].cells = {{37, 1, 0, 0x0F, 3}, {}, {}, {}, {}, {}, {0, 0, 0, 0x0D, 0}};
    XmSample square = XmSample::eightBit(wave(64, 60, 16));
    square.loopKind = 1;
    square.loopStart = 0;
    square.loopLength = 64;
    tune.instruments.push_back(instrument({square}));
    save(dir, "tune.xm", tune);

    // 16-bit ping-pong sample, several samples mapped across the keyboard, Amiga periods.
    XmModule multi;
    multi.flags = 0;
    multi.channels = 4;
    multi.patterns[0].rows = 4;
    multi.patterns[0].cells = {{25, 1}, {49, 1}, {73, 2}, {96, 1, 0, 0x0E, 0x52}};
    XmSample pingPong = XmSample::sixteen(wave(48, 12000, 12));
    pingPong.loopKind = 2;
    pingPong.loopStart = 8;
    pingPong.loopLength = 24;
    XmSample oneShot = XmSample::eightBit(wave(32, 100, 8));
    XmInstrument keys = instrument({pingPong, oneShot});
    for (int n = 48; n < 96; ++n) {
        keys.sampleMap[size_t(n)] = 1;
    }
    multi.instruments.push_back(keys);
    multi.instruments.push_back(XmInstrument{}); // no samples
    save(dir, "multi.xm", multi);

    // The early layout (version 0x0102): instruments first, 8-byte pattern headers, then the
    // sample data; one pattern header carries extra bytes.
    XmModule early = tune;
    early.version = 0x0102;
    early.patterns[1].headerExtra = {0, 0, 0, 0};
    early.instruments.push_back(instrument({pingPong}));
    save(dir, "early.xm", early);

    // An instrument of 20 samples, four of them ADPCM-packed, the map reaching past 16; a
    // pattern header longer than 9 bytes.
    XmModule many;
    many.channels = 2;
    many.patterns[0].rows = 8;
    many.patterns[0].cells = {{30, 1}, {75, 1}, {}, {}, {49, 1}, {90, 1}, {}, {97}};
    many.patterns[0].headerExtra = {1, 2, 3};
    std::vector<XmSample> samples;
    for (int k = 0; k < 20; ++k) {
        XmSample s = XmSample::eightBit(wave(16 + k, 10 + 5 * k, 4 + k % 5));
        s.adpcm = k % 5 == 0;
        s.loopKind = k % 3 == 0 ? 1 : 0;
        s.loopLength = s.loopKind ? 16 : 0;
        samples.push_back(s);
    }
    XmInstrument wide = instrument(samples);
    for (int n = 0; n < 96; ++n) {
        wide.sampleMap[size_t(n)] = uint8_t(n / 5);
    }
    many.instruments.push_back(wide);
    save(dir, "many_samples.xm", many);
    return 0;
}
