// The output device, the looping chunk ring and the audio thread that keeps it filled: a driver
// around one Renderer (audio/renderer.h), which renders each chunk into its ring slot. The demo
// has one of each, so they are the program's single instance here.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/renderer.h"
#include "module/module.h"
#include "platform/audio_device.h"

namespace ostrel {

// Writes the three fields of an entry, each as one atomic store.
void storeChunkInfo(ChunkInfo* entry, uint8_t order, uint8_t row, int32_t timeMs);
// Reads an entry field by field; safe while the audio thread rewrites it.
ChunkInfo loadChunkInfo(const ChunkInfo* entry);

extern int32_t outputRate;
extern int32_t bufferMs;
extern int32_t chunkFrames;
extern int32_t ringFrames;
inline int32_t chunkCount() {
    return chunkFrames ? ringFrames / chunkFrames : 0;
}

extern ChunkInfo* chunkInfos;
extern std::atomic<int32_t> writeIndex;
extern std::atomic<int32_t> audibleIndex;
extern ModulePlayer* currentPlayer;
// The renderer of the player being played.
extern Renderer ringRenderer;
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
