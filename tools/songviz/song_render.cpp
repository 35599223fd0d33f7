#include "tools/songviz/song_render.h"

#include <cmath>

#include "audio/renderer.h"
#include "module/stream.h"

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
    ModulePlayer* player = createPlayer(path ? &fileStreamHooks : &memoryStreamHooks,
                                        path ? path : "music.xm", nullptr, nullptr);
    if (!player)
        return false;
    if (soloChannel >= 0)
        keepOnlyChannel(player, soloChannel);
    Renderer renderer;
    if (!startRenderer(&renderer, player, 44100)) {
        destroyPlayer(player);
        return false;
    }
    const int32_t chunkFrames = renderer.chunkFrames;
    // Whole chunks covering the seconds; a hair of slack so that a whole number of chunks given
    // in decimal is not rounded up.
    const auto wanted = static_cast<int32_t>(std::ceil(seconds * 44100 / chunkFrames - 1e-9));
    out.pcm.assign(static_cast<size_t>(wanted) * chunkFrames * 2, 0);
    out.chunks.clear();
    for (int32_t i = 0; i < wanted; ++i) {
        renderS16(&renderer, out.pcm.data() + static_cast<size_t>(i) * chunkFrames * 2,
                  chunkFrames);
        out.chunks.push_back(renderer.position);
    }
    stopRenderer(&renderer);
    destroyPlayer(player);
    return true;
}

} // namespace ostrel::songviz
