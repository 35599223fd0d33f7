// The renderer: a chunk at a time, as the demo's ring renders them, handed out in whatever pieces
// the caller asks for.
#include "audio/renderer.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "audio/mixer.h"
#include "player/sequencer.h"

namespace ostrel {

namespace {

// Mixes the next chunk into r->mix and notes the position at its end: the ticks that fall due,
// the pieces between them and the song clock, exactly as the ring has always rendered a chunk.
void mixChunk(Renderer* r) {
    ModulePlayer* player = r->player;
    const int32_t chunkFrames = r->chunkFrames;
    float* area = r->mix;
    std::memset(area, 0, static_cast<size_t>(chunkFrames) * 2 * sizeof(float));

    // The song clock: whole milliseconds per piece, truncated, from the single-precision frame
    // length widened to double. It falls slowly behind the exact time, by design.
    const double msPerFrame = static_cast<double>(1000.0f) * static_cast<double>(r->frameSeconds);
    int32_t left = player->samplesLeftInTick;
    int32_t done = 0;
    while (done < chunkFrames) {
        if (left <= 0) {
            if (player->tickFunction)
                player->tickFunction(player);
            // Read after the tick, so that a tempo change made by the tick already counts.
            left = player->samplesPerTick;
            // A tick of no frames would never let the chunk fill.
            if (left < 1)
                left = 1;
        }
        const int32_t n = left < chunkFrames - done ? left : chunkFrames - done;
        mixVoices(player, area + static_cast<size_t>(done) * 2, n);
        done += n;
        left -= n;
        player->timeMs += static_cast<int32_t>(msPerFrame * static_cast<double>(n));
    }
    r->position = ChunkInfo{static_cast<uint8_t>(player->order), static_cast<uint8_t>(player->row),
                            player->timeMs};
    player->samplesLeftInTick = left;
    r->readFrame = 0;
    r->pcmReady = 0;
}

} // namespace

int32_t startRenderer(Renderer* r, ModulePlayer* player, int32_t rate) {
    if (!r)
        return 0;
    *r = Renderer{};
    if (!player || rate < lowestRenderRate || rate > highestRenderRate)
        return 0;
    const int32_t chunkFrames = chunkFramesAt(rate);
    const size_t mixBytes = static_cast<size_t>(chunkFrames) * 2 * sizeof(float);
    r->mixBlock = std::calloc(mixBytes + 16, 1);
    r->pcm = static_cast<int16_t*>(std::calloc(static_cast<size_t>(chunkFrames) * 2, 2));
    if (!r->mixBlock || !r->pcm) {
        stopRenderer(r);
        return 0;
    }
    const uintptr_t blockAddress = reinterpret_cast<uintptr_t>(r->mixBlock);
    r->mix = reinterpret_cast<float*>((blockAddress + 15) & ~static_cast<uintptr_t>(15));
    r->player = player;
    r->rate = rate;
    r->chunkFrames = chunkFrames;
    r->frameSeconds = 1.0f / static_cast<float>(rate);
    r->readFrame = chunkFrames;

    // The engine renders at this rate; it reads the rate from its own record.
    player->outputRate = rate;
    setMixerRate(player, rate);
    if (!player->tickFunction)
        player->tickFunction = playerTick;
    // Before the first chunk, which mixes: the copies allocate and the tables take a while, and
    // rendering must do neither.
    prepareFloatCopies(player);
    prepareTables(player);
    return restartRenderer(r);
}

int32_t restartRenderer(Renderer* r) {
    if (!r || !r->player)
        return 0;
    resetPlayerToStart(r->player);
    r->readFrame = r->chunkFrames;
    r->pcmReady = 0;
    r->position = ChunkInfo{};
    return 1;
}

void resetPlayerToStart(ModulePlayer* player) {
    std::memset(static_cast<void*>(player->voices), 0, sizeof player->voices);
    for (int32_t i = 0; i < voiceSlotCount; ++i) {
        player->voices[i].index = i;
        player->voices[i].stepInt = 1;
    }
    resetPlaybackState(player);
}

int32_t mixAhead(Renderer* r) {
    if (!r->player)
        return 0;
    if (r->readFrame == r->chunkFrames)
        mixChunk(r);
    return r->chunkFrames - r->readFrame;
}

int32_t renderS16(Renderer* r, int16_t* out, int32_t frames) {
    if (!r->player)
        return 0;
    const int32_t chunkFrames = r->chunkFrames;
    int32_t done = 0;
    while (done < frames) {
        if (r->readFrame == chunkFrames) {
            mixChunk(r);
            if (frames - done >= chunkFrames) {
                // A whole chunk goes straight to the caller.
                convertToPcm16(out + static_cast<size_t>(done) * 2, r->mix, chunkFrames,
                               mixerLoops(r->player));
                r->readFrame = chunkFrames;
                done += chunkFrames;
                continue;
            }
        }
        if (!r->pcmReady) {
            convertToPcm16(r->pcm, r->mix, chunkFrames, mixerLoops(r->player));
            r->pcmReady = 1;
        }
        const int32_t left = chunkFrames - r->readFrame;
        const int32_t n = frames - done < left ? frames - done : left;
        std::memcpy(out + static_cast<size_t>(done) * 2,
                    r->pcm + static_cast<size_t>(r->readFrame) * 2,
                    static_cast<size_t>(n) * 2 * sizeof(int16_t));
        r->readFrame += n;
        done += n;
    }
    return done;
}

int32_t renderF32(Renderer* r, float* out, int32_t frames) {
    if (!r->player)
        return 0;
    const int32_t chunkFrames = r->chunkFrames;
    int32_t done = 0;
    while (done < frames) {
        if (r->readFrame == chunkFrames)
            mixChunk(r);
        const int32_t left = chunkFrames - r->readFrame;
        const int32_t n = frames - done < left ? frames - done : left;
        std::memcpy(out + static_cast<size_t>(done) * 2,
                    r->mix + static_cast<size_t>(r->readFrame) * 2,
                    static_cast<size_t>(n) * 2 * sizeof(float));
        r->readFrame += n;
        done += n;
    }
    return done;
}

void stopRenderer(Renderer* r) {
    if (!r)
        return;
    std::free(r->mixBlock);
    std::free(r->pcm);
    *r = Renderer{};
}

} // namespace ostrel
