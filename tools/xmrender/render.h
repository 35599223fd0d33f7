// xmrender's one seam onto the engine for sound: a song loaded and rendered chunk by chunk, as
// the demo's ring would play it, and its length, found by rendering it once ahead with the
// song-end watch. Everything else in xmrender renders and measures through these calls only,
// so that they alone change when the engine is reached another way.
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

// A song being rendered. Treat the fields as private.
struct Rendering {
    Renderer renderer;
};

// The song position reached at the end of a chunk: the order and row, and the song clock in
// whole milliseconds, which falls slowly behind the frames (see README.md).
struct ChunkPosition {
    int32_t order;
    int32_t row;
    int32_t timeMs;
};

// Frames in one chunk at this rate: a fiftieth of a second, rounded up to a multiple of 4.
int32_t chunkFramesAtRate(uint32_t rate);
// Whole chunks covering this many seconds at this rate, as frames, rounded up.
int64_t framesForSeconds(uint32_t rate, double seconds);

// Loads the XM file at path (null: the built-in song) and starts rendering it at this rate,
// after prepare (when given) has seen the song. 1 on success; 0 with a short reason in *reason.
int32_t beginRender(Rendering* rendering, const char* path, uint32_t rate, const char** reason,
                    PrepareSong prepare = nullptr, void* context = nullptr);
// Renders the next chunk as interleaved stereo: 16-bit samples into pcm, or, when pcm is null,
// the float mix they are converted from (full scale 32,768) into mix. `frames` is the chunk's
// frames, or fewer for the last chunk, cut where the song ends. *at gets the position at the end
// of the whole chunk.
void renderNextChunk(Rendering* rendering, int32_t frames, int16_t* pcm, float* mix,
                     ChunkPosition* at);
// Stops rendering and frees the song.
void endRender(Rendering* rendering);

// How long a song plays, found by rendering it once ahead (thousands of times faster than real
// time) with a SongWatch.
struct SongLength {
    int64_t frames;      // to the end of the passes asked for, or to the cap
    int64_t passFrames;  // to the end of the first pass (frames when it found none)
    int32_t capped;      // a pass found no end within the cap, so frames ends there
    int32_t repeatOrder; // the row the first pass would have played again (-1: none)
    int32_t repeatRow;
    // The measure stopped early because the passes go past stopFrames: frames is then the
    // length measured so far, or, once two passes have ended, the length they foretell.
    int32_t beyondStop;
    int32_t foretold;
};

// Longest a pass may play before the search for its end gives up: 30 minutes.
constexpr int32_t passCapSeconds = 30 * 60;

// Measures `passes` passes of the song at path (null: the built-in song) at this rate, each
// allowed capFrames before it is cut there. With stopFrames above 0 it gives up (beyondStop) as
// soon as the length is seen to pass it: when the frames measured pass it, or when the passes
// still to come, each as long as the shortest that followed the first, would take it past.
// 1 on success; 0 with a short reason in *reason.
int32_t measureSong(const char* path, uint32_t rate, int32_t passes, int64_t capFrames,
                    SongLength* length, const char** reason, int64_t stopFrames = 0);

} // namespace ostrel::xmrender
