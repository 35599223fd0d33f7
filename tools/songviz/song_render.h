// Renders a song offline with the engine's renderer (the chunks the demo's ring would play, in
// play order), optionally with all but one channel silenced, for the song's picture and level
// checks.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/renderer.h"

namespace ostrel::songviz {

struct Rendering {
    std::vector<int16_t> pcm;      // interleaved stereo frames at 44,100 Hz
    std::vector<ChunkInfo> chunks; // song position at the end of each chunk
};

// Renders `seconds` of the built-in song (path null) or of an XM file. soloChannel >= 0 keeps
// only that channel's notes (tempo and BPM changes of every channel stay, so the timing is the
// song's). False when the module cannot be loaded or the renderer not started.
bool renderSong(const char* path, double seconds, int soloChannel, Rendering& out);

} // namespace ostrel::songviz
