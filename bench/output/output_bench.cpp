// Rendering speed of the demo's chunk renderer, driven exactly as xmrender drives it: the
// built-in song and made-up 16- and 32-channel songs, in multiples of real time, and the time
// the two-second pre-render adds to the music start.
#include <benchmark/benchmark.h>

#include <string>

#include "audio/output.h"
#include "module/stream.h"
#include "platform/headless/headless_audio.h"
#include "player/sequencer.h"
#include "tests/xmrender/test_song.h"
#include "tools/xmrender/render.h"

namespace {

constexpr double songSeconds = 60;

// One iteration is a whole xmrender run of 60 seconds: start (with its pre-render), the chunks,
// and the end. The counter is seconds of music per second of time: the real-time multiple.
void renderSong(benchmark::State& state, const char* path) {
    for (auto _ : state) {
        const char* reason = "";
        if (!ostrel::xmrender::beginRender(path, 44100, &reason)) {
            state.SkipWithError(reason);
            return;
        }
        const int32_t chunks = ostrel::xmrender::chunksForSeconds(songSeconds);
        int64_t sum = 0;
        for (int32_t k = 0; k < chunks; ++k) {
            ostrel::ChunkInfo info;
            const int16_t* samples = ostrel::xmrender::renderNextChunk(&info);
            sum += samples[0] + info.timeMs;
        }
        benchmark::DoNotOptimize(sum);
        ostrel::xmrender::endRender();
    }
    state.counters["x_realtime"] = benchmark::Counter(
        songSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

std::string songFile(uint16_t channels) {
    const std::string path = "/tmp/ostrel_bench_song_" + std::to_string(channels) + ".xm";
    return ostrel::xmtest::writeTestSong(path, channels) ? path : std::string();
}

void BM_RenderBuiltinSong(benchmark::State& state) {
    renderSong(state, nullptr);
}

void BM_Render16ChannelSong(benchmark::State& state) {
    const std::string path = songFile(16);
    renderSong(state, path.c_str());
}

void BM_Render32ChannelSong(benchmark::State& state) {
    const std::string path = songFile(32);
    renderSong(state, path.c_str());
}

// The music start's pre-render of the whole ring (100 chunks, about two seconds) of the
// built-in song, with the playback reset and the ring's allocation that come with it.
void BM_StartPreRender(benchmark::State& state) {
    ostrel::registerStreamHooks(ostrel::memoryStreamOpen, ostrel::memoryStreamClose,
                                ostrel::memoryStreamRead, ostrel::memoryStreamSeek,
                                ostrel::memoryStreamTell);
    ostrel::installTickFunction(ostrel::playerTick);
    ostrel::installAudioDevice(&ostrel::platform::headlessAudioDevice);
    ostrel::platform::headlessSetThreadsEnabled(0);
    if (!ostrel::openAudio(44100)) {
        state.SkipWithError("no device");
        return;
    }
    ostrel::ModulePlayer* player = ostrel::createPlayer("music.xm", nullptr);
    if (!player) {
        state.SkipWithError(ostrel::lastLoadError());
        ostrel::closeAudio();
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(ostrel::startPlayback(player));
    ostrel::destroyPlayer(player);
    ostrel::closeAudio();
    ostrel::platform::headlessSetThreadsEnabled(1);
}

} // namespace

BENCHMARK(BM_RenderBuiltinSong)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render16ChannelSong)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render32ChannelSong)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartPreRender)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
