// Offline rendering of a song with the demo's own chunk renderer: the ring is pre-rendered by
// startPlayback exactly as in the demo, then this thread renders chunk after chunk in place of
// the audio thread, so the chunks come out as the device would play them.
#pragma once

#include <cstdint>

#include "audio/output.h"

namespace ostrel::xmrender {

// Called with the loaded song before playback starts, to change it (e.g. silence channels).
using PrepareSong = void (*)(ModulePlayer* player, void* context);

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

} // namespace ostrel::xmrender
