// The five stream operations the loader reads through, the ModuleStream that pairs an open
// handle with them, the memory stream over the built-in module, a file stream, and the two
// operations that own a player's life.
#pragma once

#include <cstddef>
#include <cstdint>

#include "module/module.h"

namespace ostrel {

using StreamOpenHook = void* (*)(const char* name);
using StreamCloseHook = void (*)(void* handle);
using StreamReadHook = int32_t (*)(void* destination, int32_t count, void* handle);
using StreamSeekHook = void (*)(void* handle, int32_t offset, int32_t whence);
using StreamTellHook = int32_t (*)(void* handle);

// Allocates count * size zero-filled bytes (calloc semantics, freed with std::free); null on
// failure or when the product overflows.
using ZeroAllocator = void* (*)(std::size_t count, std::size_t size);

// What a load reads through: the five stream operations, all required, and the allocator of the
// player's records and blocks, optional (null: calloc; tests make any one allocation fail with
// it). A load is given its hooks; nothing is registered for later ones.
struct StreamHooks {
    StreamOpenHook open;
    StreamCloseHook close;
    StreamReadHook read;
    StreamSeekHook seek;
    StreamTellHook tell;
    ZeroAllocator allocate;
};

// 1 when hooks is not null and all five stream operations are set.
int streamHooksComplete(const StreamHooks* hooks);

struct ModuleStream;
// Opens name through the hooks, which the stream copies; null when they are incomplete or the
// open hook fails.
ModuleStream* streamOpen(const StreamHooks* hooks, const char* name);
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
// The five, for createPlayer.
extern const StreamHooks memoryStreamHooks;

// A stream over a file on disk (name = path), for xmrender and tests with real XM files.
void* fileStreamOpen(const char* path);
void fileStreamClose(void* handle);
int32_t fileStreamRead(void* destination, int32_t count, void* handle);
void fileStreamSeek(void* handle, int32_t offset, int32_t whence);
int32_t fileStreamTell(void* handle);
extern const StreamHooks fileStreamHooks;

// How a load meets a file that ends too early, as a bad copy leaves one. loadStrict refuses it
// ("file is truncated"). loadTolerant loads a file whose end was cut off inside pattern or
// sample data: the cells the cut took are empty, the sample frames it took are silence (each
// sample keeps its length and loop), the patterns and instruments after it are empty, and
// ModulePlayer::damage says what was lost. A cut inside any header is refused either way, as is
// a cut that left less than a fifth of the file. Both load a whole file the same way.
enum LoadMode : uint8_t { loadStrict, loadTolerant };

// Opens name through the hooks and loads it into a new player; null on failure. *reason (when
// reason is not null) is set to why it failed, as a short lower-case phrase for a user ("not an
// XM module", "file is truncated", ...), or to "" on success.
ModulePlayer* createPlayer(const StreamHooks* hooks, const char* name, SampleDataProvider provider,
                           const char** reason, LoadMode mode = loadStrict);
// Runs the player's playbackStop, if it has one, then frees the player and all it owns.
int32_t destroyPlayer(ModulePlayer* player);

// Reads one XM module into a zero-filled player; 1 on success, 0 on failure with the reason in
// *reason (when reason is not null; "" on success). The records and blocks come from the
// stream's allocator. The player's tickFunction is left as it is: the renderer's start gives a
// player without one the engine's playerTick.
int32_t loadModule(ModulePlayer* player, ModuleStream* stream, const char** reason,
                   LoadMode mode = loadStrict);

} // namespace ostrel
