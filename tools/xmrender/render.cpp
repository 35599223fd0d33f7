// Offline rendering: the song loaded from its file or the built-in image and rendered chunk by
// chunk on this thread.
#include "tools/xmrender/render.h"

#include <cmath>
#include <cstdlib>

#include "audio/song_end.h"

namespace ostrel::xmrender {

const StreamHooks* songHooks(const char* path) {
    return path ? &fileStreamHooks : &memoryStreamHooks;
}

const char* songStreamName(const char* path) {
    return path ? path : "music.xm";
}

int32_t beginRender(Renderer* renderer, const char* path, uint32_t rate, const char** reason,
                    PrepareSong prepare, void* context) {
    *renderer = Renderer{};
    if (rate < static_cast<uint32_t>(lowestRenderRate) ||
        rate > static_cast<uint32_t>(highestRenderRate)) {
        *reason = "the output rate is not supported";
        return 0;
    }
    const char* why = "";
    ModulePlayer* player = createPlayer(songHooks(path), songStreamName(path), nullptr, &why);
    if (!player) {
        *reason = why[0] ? why : "cannot load the module";
        return 0;
    }
    if (prepare)
        prepare(player, context);
    if (!startRenderer(renderer, player, static_cast<int32_t>(rate))) {
        *reason = "out of memory";
        destroyPlayer(player);
        return 0;
    }
    return 1;
}

int32_t chunksForSeconds(const Renderer* renderer, double seconds) {
    const double chunks = seconds * renderer->rate / renderer->chunkFrames;
    // A hair of slack so that a whole number of chunks given in decimal is not rounded up.
    return static_cast<int32_t>(std::ceil(chunks - 1e-9));
}

void endRender(Renderer* renderer) {
    ModulePlayer* player = renderer->player;
    stopRenderer(renderer);
    destroyPlayer(player);
}

namespace {

struct Measuring {
    SongWatch watch;
    int32_t passes;
    int64_t capFrames;
    int32_t watching;
};

void startWatching(ModulePlayer* song, void* context) {
    Measuring* measuring = static_cast<Measuring*>(context);
    measuring->watching =
        watchSong(&measuring->watch, song, measuring->passes, measuring->capFrames, false);
}

} // namespace

int32_t measureSong(const char* path, uint32_t rate, int32_t passes, int64_t capFrames,
                    SongLength* length, const char** reason) {
    Measuring measuring = {};
    measuring.passes = passes;
    measuring.capFrames = capFrames;
    Renderer renderer;
    if (!beginRender(&renderer, path, rate, reason, startWatching, &measuring)) {
        unwatchSong(&measuring.watch);
        return 0;
    }
    if (!measuring.watching) {
        *reason = "out of memory";
        endRender(&renderer);
        return 0;
    }
    const SongWatch& watch = measuring.watch;
    int16_t* chunk = static_cast<int16_t*>(
        std::malloc(static_cast<size_t>(renderer.chunkFrames) * 2 * sizeof(int16_t)));
    if (!chunk) {
        *reason = "out of memory";
        endRender(&renderer);
        unwatchSong(&measuring.watch);
        return 0;
    }
    // Chunk after chunk until the watch has finished.
    while (!watch.finished.load())
        renderS16(&renderer, chunk, renderer.chunkFrames);
    std::free(chunk);
    length->frames = watch.endFrame;
    length->passFrames = watch.firstPassFrames >= 0 ? watch.firstPassFrames : watch.endFrame;
    length->capped = watch.capped;
    length->repeatOrder = watch.repeatOrder;
    length->repeatRow = watch.repeatRow;
    endRender(&renderer);
    unwatchSong(&measuring.watch);
    return 1;
}

} // namespace ostrel::xmrender
