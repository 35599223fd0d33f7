// PLACEHOLDER: replaced by the output implementation.
#include "audio/output.h"

namespace ostrel {
int32_t outputRate = 44100;
int32_t bufferMs = 1000;
int32_t chunkFrames = 0;
int32_t ringFrames = 0;
float frameSeconds = 0;
ChunkInfo* chunkInfos = nullptr;
std::atomic<int32_t> writeIndex{0};
std::atomic<int32_t> audibleIndex{0};
ModulePlayer* currentPlayer = nullptr;
std::atomic<uint8_t> renderBusy{0};
std::atomic<uint8_t> stopRequested{0};
std::atomic<uint8_t> threadStopped{1};
int32_t openAudio(uint32_t) { return 0; }
int32_t closeAudio() { return 0; }
int32_t startPlayback(ModulePlayer*) { return 0; }
int32_t stopPlayback(ModulePlayer* player) { return player ? 1 : 0; }
void renderChunk() {}
uint32_t audioThreadMain(void*) { return 0; }
}  // namespace ostrel
