// Time to load a module, stream open to closed player: the built-in song through the memory
// stream, and a writer-built song of about 20 KB (6 patterns over 8 channels, 4 instruments).
// Both should load well under a millisecond.
#include <benchmark/benchmark.h>

#include <vector>

#include "assets/assets.h"
#include "module/stream.h"
#include "tests/support/xm_writer.h"

namespace {

using namespace ostrel;
using namespace ostrel::xmtest;

std::vector<uint8_t> writerSong() {
    XmModule m;
    m.channels = 8;
    m.songLength = 16;
    for (int pos = 0; pos < 16; ++pos) {
        m.orderTable[size_t(pos)] = uint8_t(pos % 6);
    }
    m.patterns.resize(6);
    for (int p = 0; p < 6; ++p) {
        m.patterns[size_t(p)].rows = 64;
        for (int cell = 0; cell < 64 * 8; ++cell) {
            uint8_t note = uint8_t(1 + (cell * 7 + p * 5) % 96);
            m.patterns[size_t(p)].cells.push_back({note, uint8_t(1 + cell % 4),
                                                   uint8_t(0x10 + cell % 64), uint8_t(cell % 16),
                                                   uint8_t(cell)});
        }
    }
    for (int i = 0; i < 4; ++i) {
        std::vector<int32_t> frames;
        for (int k = 0; k < 600; ++k) {
            frames.push_back((k * (i + 3)) % 200 - 100);
        }
        XmSample s = i % 2 ? XmSample::sixteen(frames) : XmSample::eightBit(frames);
        s.loopKind = uint8_t(1 + i % 2);
        s.loopStart = 100;
        s.loopLength = 400;
        XmInstrument ins;
        ins.samples = {s};
        ins.volumeEnvelope.pointCount = 4;
        ins.volumeEnvelope.flags = 1;
        m.instruments.push_back(ins);
    }
    return buildXm(m).bytes;
}

void loadLoop(benchmark::State& state, const StreamHooks* hooks) {
    for (auto _ : state) {
        const char* reason = "";
        ModulePlayer* player = createPlayer(hooks, "music.xm", nullptr, &reason);
        if (!player) {
            state.SkipWithError(reason);
            return;
        }
        benchmark::DoNotOptimize(player);
        destroyPlayer(player);
    }
}

void BM_LoadWriterSong(benchmark::State& state) {
    static const std::vector<uint8_t> song = writerSong();
    state.SetLabel(std::to_string(song.size()) + " bytes");
    loadLoop(state, imageHooks(song));
}
BENCHMARK(BM_LoadWriterSong)->Unit(benchmark::kMicrosecond);

void BM_LoadBuiltinSong(benchmark::State& state) {
    if (builtinModuleSize <= 0) {
        state.SkipWithError("the built-in module is empty");
        return;
    }
    state.SetLabel(std::to_string(builtinModuleSize) + " bytes");
    loadLoop(state, &memoryStreamHooks);
}
BENCHMARK(BM_LoadBuiltinSong)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
