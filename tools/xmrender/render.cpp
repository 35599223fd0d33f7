// Offline rendering: the song loaded from its file or the built-in image and rendered chunk by
// chunk on this thread, through the engine's renderer.
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

int32_t chunkFramesAtRate(uint32_t rate) {
    return chunkFramesAt(static_cast<int32_t>(rate));
}

int64_t framesForSeconds(uint32_t rate, double seconds) {
    const int32_t chunkFrames = chunkFramesAtRate(rate);
    const double chunks = seconds * static_cast<int32_t>(rate) / chunkFrames;
    // A hair of slack so that a whole number of chunks given in decimal is not rounded up.
    return static_cast<int64_t>(std::ceil(chunks - 1e-9)) * chunkFrames;
}

int32_t beginRender(Rendering* rendering, const char* path, uint32_t rate, const char** reason,
                    PrepareSong prepare, void* context) {
    Renderer* renderer = &rendering->renderer;
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

void renderNextChunk(Rendering* rendering, int32_t frames, int16_t* pcm, float* mix,
                     ChunkPosition* at) {
    Renderer* renderer = &rendering->renderer;
    if (pcm)
        renderS16(renderer, pcm, frames);
    else
        renderF32(renderer, mix, frames);
    // The chunk was mixed whole, so this is its end even when the frames asked stop short.
    at->order = renderer->position.order;
    at->row = renderer->position.row;
    at->timeMs = renderer->position.timeMs;
}

void endRender(Rendering* rendering) {
    ModulePlayer* player = rendering->renderer.player;
    stopRenderer(&rendering->renderer);
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
                    SongLength* length, const char** reason, int64_t stopFrames) {
    Measuring measuring = {};
    measuring.passes = passes;
    measuring.capFrames = capFrames;
    Rendering rendering;
    if (!beginRender(&rendering, path, rate, reason, startWatching, &measuring)) {
        unwatchSong(&measuring.watch);
        return 0;
    }
    if (!measuring.watching) {
        *reason = "out of memory";
        endRender(&rendering);
        return 0;
    }
    Renderer* renderer = &rendering.renderer;
    const SongWatch& watch = measuring.watch;
    // The float mix: the watch counts the same frames without the 16-bit conversion.
    float* chunk = static_cast<float*>(
        std::malloc(static_cast<size_t>(renderer->chunkFrames) * 2 * sizeof(float)));
    if (!chunk) {
        *reason = "out of memory";
        endRender(&rendering);
        unwatchSong(&measuring.watch);
        return 0;
    }
    *length = SongLength{};
    int64_t rendered = 0;
    int32_t passesSeen = 0;
    int64_t lastPassEnd = 0;
    int64_t shortestLater = -1; // the shortest pass after the first, once one has ended
    // Chunk after chunk until the watch has finished, or the length is known to be too long.
    while (!watch.finished.load()) {
        renderF32(renderer, chunk, renderer->chunkFrames);
        rendered += renderer->chunkFrames;
        const int32_t ended = watch.passesEnded.load();
        if (ended > passesSeen) {
            // Several short passes can end within one chunk: they count at their average.
            const int64_t from = passesSeen == 0 ? watch.firstPassFrames : lastPassEnd;
            const int32_t later = ended - (passesSeen == 0 ? 1 : passesSeen);
            if (later > 0) {
                const int64_t each = (watch.passStartFrame - from) / later;
                if (shortestLater < 0 || each < shortestLater)
                    shortestLater = each;
            }
            passesSeen = ended;
            lastPassEnd = watch.passStartFrame;
        }
        if (stopFrames <= 0 || watch.finished.load())
            continue;
        // Every pass after the first starts at the same row, where the first turned back, and
        // plays the same rows from there: as long as each other, unless a tempo set outside
        // them changes. So the passes still to come are foretold from the shortest seen.
        int64_t foretold = rendered;
        if (shortestLater >= 0 && passes > passesSeen)
            foretold = lastPassEnd + int64_t(passes - passesSeen) * shortestLater;
        if (rendered > stopFrames || foretold > stopFrames) {
            length->beyondStop = 1;
            length->foretold = foretold > rendered;
            length->frames = foretold > rendered ? foretold : rendered;
            break;
        }
    }
    std::free(chunk);
    if (!length->beyondStop)
        length->frames = watch.endFrame;
    length->passFrames = watch.firstPassFrames >= 0 ? watch.firstPassFrames : length->frames;
    length->capped = watch.capped;
    length->repeatOrder = watch.repeatOrder;
    length->repeatRow = watch.repeatRow;
    endRender(&rendering);
    unwatchSong(&measuring.watch);
    return 1;
}

} // namespace ostrel::xmrender
