// Offline rendering of a song with the engine's renderer: the chunks come out as the demo's
// ring would play them, and the song's length is found by rendering it once ahead with the
// song-end watch.
#pragma once

#include <cstdint>

#include "audio/renderer.h"
#include "module/stream.h"

namespace ostrel::xmrender {

// Called with the loaded song before playback starts, to change it (e.g. silence channels).
using PrepareSong = void (*)(ModulePlayer* player, void* context);

// The hooks that read the XM file at path, or the built-in song for null, and the name to open.
const StreamHooks* songHooks(const char* path);
const char* songStreamName(const char* path);
// Loads the XM file at path (null: the built-in song) and starts *renderer on it at this rate,
// after prepare (when given) has seen the song. 1 on success; 0 with a short reason in *reason.
int32_t beginRender(Renderer* renderer, const char* path, uint32_t rate, const char** reason,
                    PrepareSong prepare = nullptr, void* context = nullptr);
// Whole chunks covering this many seconds at the renderer's rate, rounded up.
int32_t chunksForSeconds(const Renderer* renderer, double seconds);
// Stops the renderer and frees its song.
void endRender(Renderer* renderer);

// How long a song plays, found by rendering it once ahead (thousands of times faster than real
// time) with a SongWatch.
struct SongLength {
    int64_t frames;      // to the end of the passes asked for, or to the cap
    int64_t passFrames;  // to the end of the first pass (frames when it found none)
    int32_t capped;      // a pass found no end within the cap, so frames ends there
    int32_t repeatOrder; // the row the first pass would have played again (-1: none)
    int32_t repeatRow;
};

// Longest a pass may play before the search for its end gives up: 30 minutes.
constexpr int32_t passCapSeconds = 30 * 60;

// Measures `passes` passes of the song at path (null: the built-in song) at this rate, each
// allowed capFrames before it is cut there. 1 on success; 0 with a short reason in *reason.
int32_t measureSong(const char* path, uint32_t rate, int32_t passes, int64_t capFrames,
                    SongLength* length, const char** reason);

} // namespace ostrel::xmrender
