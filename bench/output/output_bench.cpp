// Rendering speed of the engine's renderer, driven as xmrender drives it: the built-in song and
// made-up 16- and 32-channel songs, in multiples of real time, and the time the two-second
// pre-render of the demo's ring adds to the music start.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "audio/renderer.h"
#include "module/stream.h"
#include "tests/xmrender/test_song.h"

namespace {

constexpr double songSeconds = 60;

ostrel::ModulePlayer* loadSong(benchmark::State& state, const char* path) {
    const char* reason = "";
    ostrel::ModulePlayer* player =
        ostrel::createPlayer(path ? &ostrel::fileStreamHooks : &ostrel::memoryStreamHooks,
                             path ? path : "music.xm", nullptr, &reason);
    if (!player)
        state.SkipWithError(reason);
    return player;
}

// One iteration is a whole xmrender run of 60 seconds: the start, the chunks, and the end. The
// counter is seconds of music per second of time: the real-time multiple.
void renderSong(benchmark::State& state, const char* path) {
    ostrel::ModulePlayer* player = loadSong(state, path);
    if (!player)
        return;
    std::vector<int16_t> chunk(static_cast<size_t>(ostrel::chunkFramesAt(44100)) * 2);
    const int32_t chunks = static_cast<int32_t>(songSeconds * 50);
    for (auto _ : state) {
        ostrel::Renderer renderer;
        if (!ostrel::startRenderer(&renderer, player, 44100)) {
            state.SkipWithError("out of memory");
            break;
        }
        int64_t sum = 0;
        for (int32_t k = 0; k < chunks; ++k) {
            ostrel::renderS16(&renderer, chunk.data(), renderer.chunkFrames);
            sum += chunk[0] + renderer.position.timeMs;
        }
        benchmark::DoNotOptimize(sum);
        ostrel::stopRenderer(&renderer);
    }
    ostrel::destroyPlayer(player);
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

// What the music start adds: the renderer's start (the playback reset and the buffers) and the
// pre-render of the demo's whole ring (100 chunks, about two seconds) of the built-in song.
void BM_StartPreRender(benchmark::State& state) {
    ostrel::ModulePlayer* player = loadSong(state, nullptr);
    if (!player)
        return;
    std::vector<int16_t> ring(static_cast<size_t>(ostrel::chunkFramesAt(44100)) * 100 * 2);
    for (auto _ : state) {
        ostrel::Renderer renderer;
        ostrel::startRenderer(&renderer, player, 44100);
        benchmark::DoNotOptimize(
            ostrel::renderS16(&renderer, ring.data(), static_cast<int32_t>(ring.size() / 2)));
        ostrel::stopRenderer(&renderer);
    }
    ostrel::destroyPlayer(player);
}

} // namespace

BENCHMARK(BM_RenderBuiltinSong)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render16ChannelSong)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render32ChannelSong)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartPreRender)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
