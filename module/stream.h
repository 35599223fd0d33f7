// The five stream operations the loader reads through, the ModuleStream that pairs an open
// handle with them, the memory stream over the built-in module, a file stream, and the two
// operations that own a player's life.
#pragma once

#include <cstdint>

#include "module/module.h"

namespace ostrel {

using StreamOpenHook = void* (*)(const char* name);
using StreamCloseHook = void (*)(void* handle);
using StreamReadHook = int32_t (*)(void* destination, int32_t count, void* handle);
using StreamSeekHook = void (*)(void* handle, int32_t offset, int32_t whence);
using StreamTellHook = int32_t (*)(void* handle);

struct StreamHooks {
    StreamOpenHook open;
    StreamCloseHook close;
    StreamReadHook read;
    StreamSeekHook seek;
    StreamTellHook tell;
};

// All five set, or all five null when any argument is null.
void registerStreamHooks(StreamOpenHook open, StreamCloseHook close, StreamReadHook read,
                         StreamSeekHook seek, StreamTellHook tell);
// 1 when all five hooks are registered.
int streamHooksRegistered();

struct ModuleStream;
ModuleStream* streamOpen(const char* name);
void streamClose(ModuleStream* stream);
int32_t streamRead(void* destination, int32_t count, ModuleStream* stream);
void streamSeek(ModuleStream* stream, int32_t offset, int32_t whence);
int32_t streamTell(ModuleStream* stream);

// The memory stream over the built-in module: its five hooks.
void* memoryStreamOpen(const char* name);
void memoryStreamClose(void* handle);
int32_t memoryStreamRead(void* destination, int32_t count, void* handle);
void memoryStreamSeek(void* handle, int32_t offset, int32_t whence);
int32_t memoryStreamTell(void* handle);

// A stream over a file on disk (name = path), for xmrender and tests with real XM files.
void* fileStreamOpen(const char* path);
void fileStreamClose(void* handle);
int32_t fileStreamRead(void* destination, int32_t count, void* handle);
void fileStreamSeek(void* handle, int32_t offset, int32_t whence);
int32_t fileStreamTell(void* handle);

ModulePlayer* createPlayer(const char* name, SampleDataProvider provider);
int32_t destroyPlayer(ModulePlayer* player);
// What destroyPlayer runs before it frees anything, so that nothing is rendered from a freed
// record: the output side's wait for the chunk being rendered (renderBusy) and its stopPlayback,
// which ends the audio thread. The output side lies in the layer above and installs it when it
// opens a device; before any open nothing can be rendering, and there is nothing to stop.
using PlaybackStop = int32_t (*)(ModulePlayer* player);
void installPlaybackStop(PlaybackStop stop);

// Reads one XM module into a zero-filled player; 1 on success, 0 on failure.
int32_t loadModule(ModulePlayer* player, ModuleStream* stream);
// The per-tick operation that loadModule stores in the tickFunction of every player it loads:
// the sequencer's playerTick, which lies in the layer above the loader. A program installs it
// at start-up, before its first load, as it installs its sound device and its stream hooks;
// a player loaded while none is installed has none, and the renderer then runs no ticks.
void installTickFunction(TickFunction tick);
// Why the last createPlayer or loadModule failed, as a short lower-case phrase for a user
// ("not an XM module", "file is truncated", ...); "" after a success.
const char* lastLoadError();

} // namespace ostrel
