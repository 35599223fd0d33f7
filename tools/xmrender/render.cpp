// Offline rendering: the demo's start-up path on the headless device, with the host's threads
// refused so that the caller's thread does the audio thread's refills.
#include "tools/xmrender/render.h"

#include <cmath>

#include "module/stream.h"
#include "platform/headless/headless_audio.h"
#include "player/sequencer.h"
#include "tools/xmrender/song_end.h"

namespace ostrel::xmrender {

namespace {
ModulePlayer* player = nullptr;
int32_t chunksGiven = 0;
} // namespace

void registerSongStream(const char* path) {
    installTickFunction(playerTick);
    if (path)
        registerStreamHooks(fileStreamOpen, fileStreamClose, fileStreamRead, fileStreamSeek,
                            fileStreamTell);
    else
        registerStreamHooks(memoryStreamOpen, memoryStreamClose, memoryStreamRead, memoryStreamSeek,
                            memoryStreamTell);
}

int32_t beginRender(const char* path, uint32_t rate, const char** reason, PrepareSong prepare,
                    void* context) {
    registerSongStream(path);
    // No audio thread: this thread renders every chunk after the pre-render.
    installAudioDevice(&platform::headlessAudioDevice);
    platform::headlessSetThreadsEnabled(0);
    platform::headlessAudioSetOpenResult(0);
    if (!openAudio(rate)) {
        *reason = "the output rate is not supported";
        platform::headlessSetThreadsEnabled(1);
        return 0;
    }
    player = createPlayer(path ? path : "music.xm", nullptr);
    if (!player) {
        *reason = lastLoadError()[0] ? lastLoadError() : "cannot load the module";
        closeAudio();
        platform::headlessSetThreadsEnabled(1);
        return 0;
    }
    if (prepare) {
        prepare(player, context);
    }
    if (!startPlayback(player)) {
        *reason = "out of memory";
        endRender();
        return 0;
    }
    chunksGiven = 0;
    return 1;
}

int32_t chunksForSeconds(double seconds) {
    const double chunks = seconds * outputRate / chunkFrames;
    // A hair of slack so that a whole number of chunks given in decimal is not rounded up.
    return static_cast<int32_t>(std::ceil(chunks - 1e-9));
}

const int16_t* renderNextChunk(ChunkInfo* info) {
    int32_t k;
    if (chunksGiven < chunkCount()) {
        // the first lap: the pre-rendered ring, in order
        k = chunksGiven;
    } else {
        // afterwards each chunk the device has left is refilled with the continuation
        k = writeIndex.load();
        renderChunk();
    }
    ++chunksGiven;
    *info = loadChunkInfo(&chunkInfos[k]);
    return platform::headlessAudioRing() + static_cast<size_t>(k) * chunkFrames * 2;
}

void endRender() {
    destroyPlayer(player);
    player = nullptr;
    closeAudio();
    platform::headlessSetThreadsEnabled(1);
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
    static Measuring measuring;
    measuring.passes = passes;
    measuring.capFrames = capFrames;
    measuring.watching = 0;
    if (!beginRender(path, rate, reason, startWatching, &measuring))
        return 0;
    if (!measuring.watching) {
        *reason = "out of memory";
        endRender();
        return 0;
    }
    const SongWatch& watch = measuring.watch;
    // The pre-render has already played the ring's length; go on until the watch has finished.
    while (!watch.finished.load()) {
        ChunkInfo info;
        renderNextChunk(&info);
    }
    length->frames = watch.endFrame;
    length->passFrames = watch.firstPassFrames >= 0 ? watch.firstPassFrames : watch.endFrame;
    length->capped = watch.capped;
    length->repeatOrder = watch.repeatOrder;
    length->repeatRow = watch.repeatRow;
    endRender();
    unwatchSong(&measuring.watch);
    return 1;
}

} // namespace ostrel::xmrender
