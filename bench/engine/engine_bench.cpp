// Cost of one engine tick on a 32-channel song with a note or an effect on every channel of
// every row: envelopes, auto-vibrato and the voice update run for all channels on every tick.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "audio/mixer.h"
#include "module/module.h"
#include "player/sequencer.h"

namespace {

using namespace ostrel;

struct BenchSong {
    ModulePlayer player{};
    Pattern pattern{};
    std::vector<PatternCell> cells;
    Instrument instruments[2]{};
    Sample samples[2]{};
    Sample* sampleSlots[2]{};
    std::vector<int16_t> data;
};

void buildSong(BenchSong& s, bool linear) {
    for (int i = 0; i < voiceSlotCount; ++i) {
        s.player.voices[i].index = i;
        s.player.voices[i].stepInt = 1;
    }
    s.data.assign(4096 + ostrel::sampleSpareFrames, 0);
    for (int k = 0; k < 4096; ++k) {
        s.data[k] = static_cast<int16_t>((k & 63) * 512 - 16384);
    }
    for (int i = 0; i < 2; ++i) {
        Sample& smp = s.samples[i];
        smp.data = s.data.data();
        smp.length = 4096;
        smp.loopLength = 4096;
        smp.volume = 48;
        smp.panning = 64 + 128 * i;
        smp.loopType = loopForward;
        Instrument& in = s.instruments[i];
        s.sampleSlots[i] = &smp;
        in.sampleCount = 1;
        in.samples = &s.sampleSlots[i];
        in.volumeEnvelope[0] = {0, 64};
        in.volumeEnvelope[1] = {20, 40};
        in.volumeEnvelope[2] = {60, 50};
        in.volumeEnvelopePointCount = 3;
        in.volumeSustainPoint = 1;
        in.volumeLoopStartPoint = 1;
        in.volumeLoopEndPoint = 2;
        in.volumeEnvelopeFlags = envelopeOn | envelopeSustain | envelopeLoop;
        in.panningEnvelope[0] = {0, 16};
        in.panningEnvelope[1] = {30, 48};
        in.panningEnvelopePointCount = 2;
        in.panningEnvelopeFlags = envelopeOn;
        in.vibratoType = static_cast<uint8_t>(i);
        in.vibratoDepth = 8;
        in.vibratoRate = 12;
        in.vibratoSweep = 16;
        in.fadeout = 256;
    }
    const int channels = 32;
    const int rows = 64;
    s.cells.assign(rows * channels, PatternCell{});
    // Effects that keep every tick busy: arpeggio, slides, portamentos, vibrato, tremolo,
    // retrigger, tremor, panning and global volume slides.
    const uint8_t effects[][2] = {{0, 0x37},  {1, 0x02},  {2, 0x02},  {3, 0x08},  {4, 0x48},
                                  {5, 0x01},  {6, 0x10},  {7, 0x46},  {10, 0x01}, {27, 0x13},
                                  {29, 0x31}, {25, 0x01}, {17, 0x00}, {14, 0x93}};
    const int effectCount = sizeof(effects) / sizeof(effects[0]);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < channels; ++c) {
            PatternCell& cell = s.cells[r * channels + c];
            if ((r + c) % 4 == 0) {
                cell.note = static_cast<uint8_t>(37 + (r * 7 + c * 5) % 36);
                cell.instrument = static_cast<uint8_t>(1 + c % 2);
            } else if ((r + c) % 8 == 3) {
                cell.note = noteKeyOff;
            }
            cell.volume = (c % 3 == 0) ? static_cast<uint8_t>(0x61) : 0;
            const uint8_t* e = effects[(r + 3 * c) % effectCount];
            cell.effect = e[0];
            cell.effectParam = e[1];
        }
    }
    s.pattern.rowCount = rows;
    s.pattern.cells = s.cells.data();
    ModulePlayer& p = s.player;
    p.patterns = &s.pattern;
    p.patternSlotCount = 1;
    p.instruments = s.instruments;
    p.instrumentCount = 2;
    p.songLength = 1;
    p.channelCount = channels;
    p.flags = linear ? flagLinearFrequencies : 0;
    p.defaultTempo = 6;
    p.defaultBpm = 125;
    p.initialGlobalVolume = 64;
    p.tickFunction = playerTick;
    p.outputRate = 44100;
    resetPlaybackState(&p);
}

void tickBench(benchmark::State& state, bool linear) {
    BenchSong song;
    buildSong(song, linear);
    for (auto _ : state) {
        playerTick(&song.player);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["ticks/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Tick32ChannelsLinear(benchmark::State& state) {
    tickBench(state, true);
}
void BM_Tick32ChannelsAmiga(benchmark::State& state) {
    tickBench(state, false);
}

BENCHMARK(BM_Tick32ChannelsLinear);
BENCHMARK(BM_Tick32ChannelsAmiga);

} // namespace

BENCHMARK_MAIN();
