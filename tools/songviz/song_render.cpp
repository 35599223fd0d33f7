#include "tools/songviz/song_render.h"

#include "tools/xmrender/render.h"

namespace ostrel::songviz {
namespace {

// Clears every cell of the other channels except their tempo/BPM effects.
void keepOnlyChannel(ModulePlayer* player, void* context) {
    const int channel = *static_cast<const int*>(context);
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
    const char* reason = nullptr;
    const bool solo = soloChannel >= 0;
    if (!xmrender::beginRender(path, 44100, &reason, solo ? keepOnlyChannel : nullptr,
                               &soloChannel)) {
        return false;
    }
    const int32_t wanted = xmrender::chunksForSeconds(seconds);
    out.pcm.clear();
    out.chunks.clear();
    out.pcm.reserve(static_cast<size_t>(wanted) * chunkFrames * 2);
    for (int32_t i = 0; i < wanted; ++i) {
        ChunkInfo info;
        const int16_t* chunk = xmrender::renderNextChunk(&info);
        out.chunks.push_back(info);
        out.pcm.insert(out.pcm.end(), chunk, chunk + static_cast<size_t>(chunkFrames) * 2);
    }
    xmrender::endRender();
    return true;
}

} // namespace ostrel::songviz
