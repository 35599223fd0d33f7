#include "tools/songviz/song_render.h"

#include "module/stream.h"
#include "platform/headless/headless_audio.h"

namespace ostrel::songviz {
namespace {

// Clears every cell of the other channels except their tempo/BPM effects.
void keepOnlyChannel(ModulePlayer* player, int channel) {
    for (int32_t p = 0; p < player->patternSlotCount; ++p) {
        Pattern& pattern = player->patterns[p];
        if (!pattern.cells)
            continue;
        for (int32_t r = 0; r < pattern.rowCount; ++r) {
            for (int32_t ch = 0; ch < player->channelCount; ++ch) {
                if (ch == channel)
                    continue;
                PatternCell& cell = pattern.cells[r * player->channelCount + ch];
                bool timing = cell.effect == 15;
                cell.note = 0;
                cell.instrument = 0;
                cell.volume = 0;
                if (!timing) {
                    cell.effect = 0;
                    cell.effectParam = 0;
                }
            }
        }
    }
}

} // namespace

bool renderSong(const char* path, double seconds, int soloChannel, Rendering& out) {
    if (path)
        registerStreamHooks(fileStreamOpen, fileStreamClose, fileStreamRead, fileStreamSeek,
                            fileStreamTell);
    else
        registerStreamHooks(memoryStreamOpen, memoryStreamClose, memoryStreamRead, memoryStreamSeek,
                            memoryStreamTell);
    // No audio thread: this thread renders each chunk the device would have asked for.
    platform::headlessSetThreadsEnabled(0);
    platform::headlessAudioSetOpenResult(0);
    if (!openAudio(44100)) {
        platform::headlessSetThreadsEnabled(1);
        return false;
    }
    ModulePlayer* player = createPlayer(path ? path : "music.xm", nullptr);
    if (!player) {
        closeAudio();
        platform::headlessSetThreadsEnabled(1);
        return false;
    }
    if (soloChannel >= 0)
        keepOnlyChannel(player, soloChannel);
    bool ok = startPlayback(player) != 0;
    if (ok) {
        const int32_t count = chunkCount();
        const int64_t wanted =
            static_cast<int64_t>(seconds * outputRate + chunkFrames - 1) / chunkFrames;
        out.pcm.clear();
        out.chunks.clear();
        out.pcm.reserve(static_cast<size_t>(wanted * chunkFrames * 2));
        for (int64_t i = 0; i < wanted; ++i) {
            int32_t k;
            if (i < count) {
                k = static_cast<int32_t>(i); // the pre-rendered first lap of the ring
            } else {
                k = writeIndex.load();
                renderChunk();
            }
            out.chunks.push_back(loadChunkInfo(&chunkInfos[k]));
            const int16_t* chunk =
                platform::headlessAudioRing() + static_cast<size_t>(k) * chunkFrames * 2;
            out.pcm.insert(out.pcm.end(), chunk, chunk + static_cast<size_t>(chunkFrames) * 2);
        }
    }
    destroyPlayer(player);
    closeAudio();
    platform::headlessSetThreadsEnabled(1);
    return ok;
}

} // namespace ostrel::songviz
