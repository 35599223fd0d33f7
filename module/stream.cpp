// PLACEHOLDER: replaced by the stream implementation.
#include "module/stream.h"

namespace ostrel {
void registerStreamHooks(StreamOpenHook, StreamCloseHook, StreamReadHook, StreamSeekHook,
                         StreamTellHook) {}
int streamHooksRegistered() { return 0; }
ModulePlayer* createPlayer(const char*, SampleDataProvider) { return nullptr; }
int32_t destroyPlayer(ModulePlayer*) { return 0; }
void* memoryStreamOpen(const char*) { return nullptr; }
void memoryStreamClose(void*) {}
int32_t memoryStreamRead(void*, int32_t, void*) { return 0; }
void memoryStreamSeek(void*, int32_t, int32_t) {}
int32_t memoryStreamTell(void*) { return 0; }
}  // namespace ostrel
