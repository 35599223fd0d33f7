// Offline rendering of a song with the demo's own chunk renderer: the ring is pre-rendered by
// startPlayback exactly as in the demo, then this thread renders chunk after chunk in place of
// the audio thread, so the chunks come out as the device would play them.
#pragma once

#include <cstdint>

#include "audio/output.h"

namespace ostrel::xmrender {

// Called with the loaded song before playback starts, to change it (e.g. silence channels).
using PrepareSong = void (*)(ModulePlayer* player, void* context);

// Registers the stream hooks that read the XM file at path (null: the built-in song), and
// installs the engine's tick for the loader, for createPlayer("music.xm" or path).
void registerSongStream(const char* path);
// Starts playback of the XM file at path (null: the built-in song) on the headless device at
// this rate, after prepare (when given) has seen the song. 1 on success; 0 with a short reason
// in *reason.
int32_t beginRender(const char* path, uint32_t rate, const char** reason,
                    PrepareSong prepare = nullptr, void* context = nullptr);
// Whole chunks covering this many seconds at the open rate, rounded up.
int32_t chunksForSeconds(double seconds);
// The next chunk in play order: chunkFrames stereo frames, and its ChunkInfo in *info.
const int16_t* renderNextChunk(ChunkInfo* info);
// Stops playback, frees the song and closes the device.
void endRender();

// How long a song plays, found by rendering it once ahead on the headless device (thousands of
// times faster than real time) with a SongWatch.
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
