// The renderer: one player rendered at one rate into any number of frames, with no device and
// no thread. It works in the chunk grid the demo's ring plays (chunkFrames frames a chunk, the
// ticks, pieces and song clock of each chunk as the ring renders them), whatever the split of
// the frames into calls, so its bytes are the ring's bytes. The ring, the audio thread and the
// device (audio/output.h) are a driver around one renderer; tools and tests use it directly.
//
// A renderer and its player are used from one thread at a time; different renderers with
// different players are independent of each other.
#pragma once

#include <cstdint>

#include "module/module.h"

namespace ostrel {

#pragma pack(push, 1)
// Song position reached at the end of one chunk; 6 bytes, the 32-bit field unaligned. The ring
// keeps one per chunk, which the audio thread rewrites while the main thread reads them: access
// the ring's entries only through the atomic helpers of audio/output.h.
struct ChunkInfo {
    uint8_t order;
    uint8_t row;
    int32_t timeMs;
};
#pragma pack(pop)
static_assert(sizeof(ChunkInfo) == 6);

// The rates a renderer starts at: below the lowest a volume ramp would be shorter than one
// frame; above the highest the ramp arithmetic would overflow.
constexpr int32_t lowestRenderRate = 1000;
constexpr int32_t highestRenderRate = 384000;

// Frames of one chunk at a rate: a fiftieth of a second, rounded up to a multiple of 4.
constexpr int32_t chunkFramesAt(int32_t rate) {
    return (rate / 50 + 3) & ~3;
}

struct Renderer {
    ModulePlayer* player;
    int32_t rate;        // frames per second
    int32_t chunkFrames; // chunkFramesAt(rate)
    float frameSeconds;  // 1 / rate in single precision: the song clock's frame length
    void* mixBlock;      // the allocation behind mix; owned
    float* mix;          // the current chunk's float mix, 2 x chunkFrames, 16-byte aligned
    int16_t* pcm;        // the current chunk in 16 bits once pcmReady; owned
    int32_t readFrame;   // frames of the current chunk handed out; chunkFrames: none left
    uint8_t pcmReady;
    ChunkInfo position; // the song position at the end of the current chunk
};

// Starts the player at rate on r, which must be zero-filled or stopped: allocates the chunk
// buffers and the player's float sample copies (on the calling thread: rendering allocates
// nothing), gives the player the rate and the mixer's ramp for it, the engine's playerTick when
// it has no tick function, its voices reset to their slots and the start state. 1 on success;
// 0, with r left stopped, for a null player, a rate outside lowestRenderRate..highestRenderRate
// or no memory.
int32_t startRenderer(Renderer* r, ModulePlayer* player, int32_t rate);
// Takes a started renderer and its player back to the song's start, as startRenderer leaves
// them, without allocating: the player's start state (resetPlayerToStart) and the chunk before
// the first one used up. The player keeps its tick function and all the rest its start gave it.
// 1 on success; 0 on a stopped renderer.
int32_t restartRenderer(Renderer* r);
// The player's side of a start, for a player that has its rate: every voice reset to its slot,
// idle at step 1, and the sequencer's start state. Walks that tick a copy of a player without
// rendering it start the copy with it.
void resetPlayerToStart(ModulePlayer* player);
// Mixes the next chunk now when the current one has been handed out whole, so that what its
// ticks do is known before any of its frames goes out. Returns the frames of the current chunk
// not yet handed out: 1 .. chunkFrames, or 0 on a stopped renderer.
int32_t mixAhead(Renderer* r);
// Renders the next frames as interleaved stereo: 16-bit samples, or the float mix that the 16-bit
// samples are converted from (full scale 32,768). Returns the frames written: all of them, or 0
// on a stopped renderer.
int32_t renderS16(Renderer* r, int16_t* out, int32_t frames);
int32_t renderF32(Renderer* r, float* out, int32_t frames);
// Frees the buffers; the player stays as it is, and is the caller's. Accepts a stopped renderer.
void stopRenderer(Renderer* r);

} // namespace ostrel
