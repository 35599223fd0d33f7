// The output device, the looping chunk ring and the audio thread that keeps it filled.
#pragma once

#include <atomic>
#include <cstdint>

#include "module/module.h"
#include "platform/audio_device.h"

namespace ostrel {

#pragma pack(push, 1)
// Song position reached at the end of one chunk; 6 bytes, the 32-bit field unaligned. The audio
// thread rewrites entries while the main thread reads them: access the fields only through the
// atomic load/store helpers of output.cpp, never directly.
struct ChunkInfo {
    uint8_t order;
    uint8_t row;
    int32_t timeMs;
};
#pragma pack(pop)
static_assert(sizeof(ChunkInfo) == 6);

// Writes the three fields of an entry, each as one atomic store.
void storeChunkInfo(ChunkInfo* entry, uint8_t order, uint8_t row, int32_t timeMs);
// Reads an entry field by field; safe while the audio thread rewrites it.
ChunkInfo loadChunkInfo(const ChunkInfo* entry);

extern int32_t outputRate;
extern int32_t bufferMs;
extern int32_t chunkFrames;
extern int32_t ringFrames;
extern float frameSeconds;
inline int32_t chunkCount() {
    return chunkFrames ? ringFrames / chunkFrames : 0;
}

extern ChunkInfo* chunkInfos;
extern std::atomic<int32_t> writeIndex;
extern std::atomic<int32_t> audibleIndex;
extern ModulePlayer* currentPlayer;
extern std::atomic<uint8_t> renderBusy;
extern std::atomic<uint8_t> stopRequested;
extern std::atomic<uint8_t> threadStopped;

// The device that openAudio and the rest play through, installed by the program at start-up
// while no device is open; null stands for none (every open fails).
void installAudioDevice(const platform::AudioDevice* device);
int32_t openAudio(uint32_t rate);
int32_t closeAudio();
int32_t startPlayback(ModulePlayer* player);
int32_t stopPlayback(ModulePlayer* player);
void renderChunk();
uint32_t audioThreadMain(void* argument);

} // namespace ostrel
