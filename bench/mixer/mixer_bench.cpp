// Mixer throughput: N voices over a two-second ring of 88,400 frames, rendered in 884-frame
// chunks the way the chunk renderer does (clear the chunk, mix the 64 slots, convert to PCM).
// Reports voice-frames per second.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "audio/mixer.h"

namespace {

using namespace ostrel;

constexpr int ringFrames = 88400;
constexpr int chunkFrames = 884;

// The player whose voices and mixer settings the benchmarks use; only those parts of it are set.
ModulePlayer benchPlayer;

enum class Kind {
    steady,
    ramping,
    forwardLoops,
    pingPongLoops,
    rampOnly,
    shortLoops,
    shortLoopsThroughCopies,
    silentShortLoops
};

struct BenchSample {
    std::vector<int16_t> block;
    std::vector<float> values;
    Sample sample{};
    bool madeCopies = false; // float copies from makeFloatCopies, freed here

    BenchSample() = default;
    BenchSample(const BenchSample&) = delete;
    BenchSample& operator=(const BenchSample&) = delete;
    ~BenchSample() {
        if (madeCopies) {
            std::free(sample.frameValues);
            std::free(sample.loopCopies);
        }
    }
};

void makeBenchSample(BenchSample& b, uint32_t loopStart, uint32_t loopLength, uint8_t loopType,
                     std::mt19937& rng) {
    uint32_t end = loopStart + loopLength;
    b.block.assign(end + sampleSpareFrames, 0);
    for (uint32_t i = 0; i < end; ++i) {
        b.block[i] = static_cast<int16_t>(static_cast<int32_t>(rng() % 65536) - 32768);
    }
    b.block[end] = loopType == loopPingPong ? b.block[end - 1] : b.block[loopStart];
    b.values.assign(b.block.begin(), b.block.end()); // as loading converts them
    b.sample = Sample{};
    b.sample.data = b.block.data();
    b.sample.frameValues = b.values.data();
    b.sample.length = end;
    b.sample.loopStart = loopStart;
    b.sample.loopLength = loopLength;
    b.sample.bitsPerSample = 16;
    b.sample.loopType = loopType;
}

// withRenderer: each chunk is cleared before and converted to 16-bit after mixing, as the chunk
// renderer does; without it only mixVoices is timed.
// Arguments: the number of voices, and 1 for the AVX2 frame loops or 0 for the SSE2 ones.
void runMixer(benchmark::State& state, Kind kind, bool withRenderer = true) {
    const int voices = static_cast<int>(state.range(0));
    ModulePlayer* player = &benchPlayer;
    if (!setMixerLoops(player, state.range(1) != 0 ? MixerLoops::avx2 : MixerLoops::sse2)) {
        state.SkipWithError("no AVX2 on this processor");
        return;
    }
    setMixerRate(player, 44100);
    Voice* const voiceTable = player->voices;
    std::memset(static_cast<void*>(voiceTable), 0, sizeof player->voices);
    std::mt19937 rng(12345);
    std::vector<BenchSample> samples(static_cast<size_t>(voices));
    for (int i = 0; i < voices; ++i) {
        switch (kind) {
        case Kind::forwardLoops:
            makeBenchSample(samples[i], 100, 200 + rng() % 1800, loopForward, rng);
            break;
        case Kind::pingPongLoops:
            makeBenchSample(samples[i], rng() % 2 ? 0 : 100, 200 + rng() % 1800, loopPingPong, rng);
            break;
        case Kind::shortLoops:
        case Kind::shortLoopsThroughCopies:
        case Kind::silentShortLoops:
            // Single-cycle loops of 32 to 160 frames, as chip-style instruments use: the loop
            // end cuts a chunk into many short pieces.
            makeBenchSample(samples[i], 16, 32 + rng() % 129, loopForward, rng);
            if (kind == Kind::shortLoopsThroughCopies) {
                // As playback start gives them: the AVX2 loops then play many passes of the
                // loop as one run through its copies.
                samples[i].sample.frameValues = nullptr;
                makeFloatCopies(&samples[i].sample);
                samples[i].madeCopies = true;
            }
            break;
        default:
            // Long loops, so that the loop end rarely cuts a chunk.
            makeBenchSample(samples[i], 1000, 60000, loopForward, rng);
            break;
        }
        Voice& v = voiceTable[i];
        v.index = i;
        v.sample = &samples[i].sample;
        v.direction = 1;
        // Steps near 1.0: between 0.9 and 1.1 frames per output frame; short loops play
        // lower, between 0.2 and 1.0.
        uint64_t step = (uint64_t{9} << 32) / 10 + (rng() % (uint64_t{1} << 31)) / 5 * 2;
        if (kind == Kind::shortLoops || kind == Kind::shortLoopsThroughCopies ||
            kind == Kind::silentShortLoops) {
            step = (uint64_t{1} << 32) / 5 + (rng() % (uint64_t{1} << 31)) / 5 * 8;
        }
        v.stepInt = static_cast<uint32_t>(step >> 32);
        v.stepFrac = static_cast<uint32_t>(step);
        v.positionInt = samples[i].sample.loopStart + rng() % samples[i].sample.loopLength;
        v.targetVolume0 = v.lastTarget0 = static_cast<int32_t>(rng() % 128);
        v.targetVolume1 = v.lastTarget1 = static_cast<int32_t>(rng() % 128);
        if (kind == Kind::silentShortLoops) {
            // Old slots that have faded out and keep looping unheard.
            v.targetVolume0 = v.lastTarget0 = 0;
            v.targetVolume1 = v.lastTarget1 = 0;
        }
        v.currentVolume0 = v.targetVolume0 * 256;
        v.currentVolume1 = v.targetVolume1 * 256;
    }
    const int chunk = kind == Kind::rampOnly ? player->rampFrames : chunkFrames;
    const int chunks = ringFrames / chunk;
    std::vector<float> mix(2 * chunk);
    std::vector<int16_t> ring(2 * static_cast<size_t>(chunks) * chunk);
    const bool newTargets = kind == Kind::ramping || kind == Kind::rampOnly;
    int64_t voiceFrames = 0;
    for (auto _ : state) {
        for (int c = 0; c < chunks; ++c) {
            if (newTargets) {
                // A new target each chunk: a full ramp starts at the chunk's first frame.
                for (int i = 0; i < voices; ++i) {
                    voiceTable[i].targetVolume0 = static_cast<int32_t>(rng() % 128);
                    voiceTable[i].targetVolume1 = static_cast<int32_t>(rng() % 128);
                }
            }
            if (withRenderer) {
                std::memset(mix.data(), 0, mix.size() * sizeof(float));
            }
            mixVoices(player, mix.data(), chunk);
            if (withRenderer) {
                convertToPcm16(ring.data() + 2 * static_cast<size_t>(c) * chunk, mix.data(), chunk,
                               mixerLoops(player));
            }
        }
        benchmark::ClobberMemory();
        voiceFrames += static_cast<int64_t>(voices) * chunks * chunk;
    }
    state.counters["voiceFrames/s"] =
        benchmark::Counter(static_cast<double>(voiceFrames), benchmark::Counter::kIsRate);
}

void BM_ConstantGainStepsNearOne(benchmark::State& s) {
    runMixer(s, Kind::steady);
}
void BM_ConstantGainMixOnly(benchmark::State& s) {
    runMixer(s, Kind::steady, false);
}
void BM_RampsEveryChunk(benchmark::State& s) {
    runMixer(s, Kind::ramping);
}
void BM_RampsOnly(benchmark::State& s) {
    runMixer(s, Kind::rampOnly);
}
void BM_ForwardLoops(benchmark::State& s) {
    runMixer(s, Kind::forwardLoops);
}
void BM_PingPongLoops(benchmark::State& s) {
    runMixer(s, Kind::pingPongLoops);
}
void BM_ShortLoops(benchmark::State& s) {
    runMixer(s, Kind::shortLoops);
}
void BM_ShortLoopsThroughCopies(benchmark::State& s) {
    runMixer(s, Kind::shortLoopsThroughCopies);
}
void BM_SilentShortLoops(benchmark::State& s) {
    runMixer(s, Kind::silentShortLoops);
}

// What every chunk costs without any voice: clearing the mix area, 64 idle tests and the
// conversion to 16 bits. With few voices this, not the mixing, sets the voice-frame rate.
void BM_ChunkOverheadWithoutVoices(benchmark::State& state) {
    ModulePlayer* player = &benchPlayer;
    std::memset(static_cast<void*>(player->voices), 0, sizeof player->voices);
    const int chunks = ringFrames / chunkFrames;
    std::vector<float> mix(2 * chunkFrames);
    std::vector<int16_t> ring(2 * static_cast<size_t>(ringFrames));
    int64_t frames = 0;
    for (auto _ : state) {
        for (int c = 0; c < chunks; ++c) {
            std::memset(mix.data(), 0, mix.size() * sizeof(float));
            mixVoices(player, mix.data(), chunkFrames);
            convertToPcm16(ring.data() + 2 * static_cast<size_t>(c) * chunkFrames, mix.data(),
                           chunkFrames, mixerLoops(player));
        }
        benchmark::ClobberMemory();
        frames += static_cast<int64_t>(chunks) * chunkFrames;
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ChunkOverheadWithoutVoices);
BENCHMARK(BM_ConstantGainStepsNearOne)
    ->ArgsProduct({{1, 8, 32, 64}, {0, 1}})
    ->ArgNames({"voices", "avx2"});
BENCHMARK(BM_ConstantGainMixOnly)
    ->ArgsProduct({{1, 8, 32, 64}, {0, 1}})
    ->ArgNames({"voices", "avx2"});
BENCHMARK(BM_RampsEveryChunk)->ArgsProduct({{1, 8, 32, 64}, {0, 1}})->ArgNames({"voices", "avx2"});
BENCHMARK(BM_RampsOnly)->ArgsProduct({{1, 8, 32, 64}, {0, 1}})->ArgNames({"voices", "avx2"});
BENCHMARK(BM_ForwardLoops)->ArgsProduct({{1, 8, 32, 64}, {0, 1}})->ArgNames({"voices", "avx2"});
BENCHMARK(BM_PingPongLoops)->ArgsProduct({{1, 8, 32, 64}, {0, 1}})->ArgNames({"voices", "avx2"});
BENCHMARK(BM_ShortLoops)->ArgsProduct({{1, 8, 32, 64}, {0, 1}})->ArgNames({"voices", "avx2"});
BENCHMARK(BM_ShortLoopsThroughCopies)->ArgsProduct({{8, 32}, {1}})->ArgNames({"voices", "avx2"});
BENCHMARK(BM_SilentShortLoops)->ArgsProduct({{8, 32}, {1}})->ArgNames({"voices", "avx2"});

} // namespace

BENCHMARK_MAIN();
