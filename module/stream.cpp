// The stream hooks, the ModuleStream the loader reads through, the memory stream, and the two
// operations that own a player's life. The memory stream's open hook over the built-in module
// is builtin_stream.cpp's: the engine as a library does not carry the demo's song.
#include "module/stream.h"

#include <cstdlib>
#include <cstring>

#include "module/internal.h"
#include "module/memory_stream.h"

namespace ostrel {

struct ModuleStream {
    void* handle;      // what the open hook returned; closed by streamClose
    StreamHooks hooks; // a copy of those it was opened with
};

namespace {

// Where a seek lands, clamped into [0, size]. The loader only seeks backwards past 0 when a
// header size from the file overflows; the clamp keeps such a target inside the image.
int64_t seekTarget(int64_t position, int64_t size, int32_t offset, int32_t whence) {
    int64_t target = position;
    switch (whence) {
    case 0:
        target = offset;
        break;
    case 1:
        target = position + offset;
        break;
    case 2:
        target = size + offset;
        break;
    default:
        break;
    }
    if (target > size) {
        target = size;
    }
    if (target < 0) {
        target = 0;
    }
    return target;
}

} // namespace

int streamHooksComplete(const StreamHooks* hooks) {
    return hooks && hooks->open && hooks->close && hooks->read && hooks->seek && hooks->tell ? 1
                                                                                             : 0;
}

ModuleStream* streamOpen(const StreamHooks* hooks, const char* name) {
    if (!streamHooksComplete(hooks)) {
        return nullptr;
    }
    auto* stream =
        static_cast<ModuleStream*>(allocateZeroed(hooks->allocate, 1, sizeof(ModuleStream)));
    if (!stream) {
        return nullptr;
    }
    stream->hooks = *hooks;
    stream->handle = hooks->open(name);
    if (!stream->handle) {
        std::free(stream);
        return nullptr;
    }
    return stream;
}

ZeroAllocator streamAllocator(const ModuleStream* stream) {
    return stream ? stream->hooks.allocate : nullptr;
}

void streamClose(ModuleStream* stream) {
    if (!stream) {
        return;
    }
    stream->hooks.close(stream->handle);
    std::free(stream);
}

int32_t streamRead(void* destination, int32_t count, ModuleStream* stream) {
    if (!stream) {
        return 0;
    }
    return stream->hooks.read(destination, count, stream->handle);
}

void streamSeek(ModuleStream* stream, int32_t offset, int32_t whence) {
    if (!stream) {
        return;
    }
    // whence travels as a signed byte: 256 means "from the start", 255 is no known origin.
    stream->hooks.seek(stream->handle, offset, static_cast<int32_t>(static_cast<int8_t>(whence)));
}

int32_t streamTell(ModuleStream* stream) {
    if (!stream) {
        return 0;
    }
    return stream->hooks.tell(stream->handle);
}

MemoryStream* openMemoryStream(const uint8_t* bytes, int32_t size) {
    if (size < 0 || (size > 0 && !bytes)) {
        return nullptr;
    }
    auto* stream = static_cast<MemoryStream*>(std::calloc(1, sizeof(MemoryStream)));
    if (!stream) {
        return nullptr;
    }
    // One spare byte so that an empty image still owns a block.
    stream->bytes = static_cast<uint8_t*>(std::calloc(static_cast<std::size_t>(size) + 1, 1));
    if (!stream->bytes) {
        std::free(stream);
        return nullptr;
    }
    if (size > 0) {
        std::memcpy(stream->bytes, bytes, static_cast<std::size_t>(size));
    }
    stream->size = size;
    stream->position = 0;
    return stream;
}

void memoryStreamClose(void* handle) {
    auto* stream = static_cast<MemoryStream*>(handle);
    if (!stream) {
        return;
    }
    std::free(stream->bytes);
    std::free(stream);
}

int32_t memoryStreamRead(void* destination, int32_t count, void* handle) {
    auto* stream = static_cast<MemoryStream*>(handle);
    if (!stream || !destination || count <= 0) {
        return 0;
    }
    int64_t n = count;
    if (static_cast<int64_t>(stream->position) + n >= stream->size) {
        n = stream->size - stream->position;
    }
    if (n <= 0) {
        return 0;
    }
    std::memcpy(destination, stream->bytes + stream->position, static_cast<std::size_t>(n));
    stream->position += static_cast<int32_t>(n);
    return static_cast<int32_t>(n);
}

void memoryStreamSeek(void* handle, int32_t offset, int32_t whence) {
    auto* stream = static_cast<MemoryStream*>(handle);
    if (!stream) {
        return;
    }
    stream->position =
        static_cast<int32_t>(seekTarget(stream->position, stream->size, offset, whence));
}

int32_t memoryStreamTell(void* handle) {
    auto* stream = static_cast<MemoryStream*>(handle);
    return stream ? stream->position : 0;
}

ModulePlayer* createPlayer(const StreamHooks* hooks, const char* name, SampleDataProvider provider,
                           const char** reason, LoadMode mode) {
    const char* unused = "";
    const char** why = reason ? reason : &unused;
    *why = "";
    if (!streamHooksComplete(hooks)) {
        *why = "no stream hooks given";
        return nullptr;
    }
    ModuleStream* stream = streamOpen(hooks, name);
    if (!stream) {
        *why = "cannot open the module";
        return nullptr;
    }
    auto* player =
        static_cast<ModulePlayer*>(allocateZeroed(hooks->allocate, 1, sizeof(ModulePlayer)));
    if (!player) {
        streamClose(stream);
        *why = "out of memory";
        return nullptr;
    }
    player->sampleDataProvider = provider;
    int32_t loaded = loadModule(player, stream, why, mode);
    streamClose(stream);
    if (loaded == 1) {
        return player;
    }
    destroyPlayer(player);
    return nullptr;
}

int32_t destroyPlayer(ModulePlayer* player) {
    if (!player) {
        return 0;
    }
    // A chunk being rendered on another thread reads the record: whoever renders it there lets
    // that chunk finish and stops before anything is freed.
    if (player->playbackStop) {
        player->playbackStop(player);
    }

    if (player->instruments) {
        for (int32_t i = 0; i < player->instrumentCount; ++i) {
            Instrument& instrument = player->instruments[i];
            if (!instrument.samples) {
                continue;
            }
            // A load that failed part-way leaves the slots after the failing one null.
            for (int32_t j = 0; j < instrument.sampleCount; ++j) {
                Sample* sample = instrument.samples[j];
                if (sample) {
                    std::free(sample->data);
                    std::free(sample->frameValues);
                    std::free(sample->loopCopies);
                    std::free(sample);
                }
            }
            std::free(instrument.samples);
        }
        std::free(player->instruments);
    }
    if (player->patterns) {
        for (int32_t p = 0; p < player->patternSlotCount; ++p) {
            std::free(player->patterns[p].cells);
        }
        std::free(player->patterns);
    }
    std::free(player->mixerLanes);
    std::free(player);
    return 1;
}

} // namespace ostrel
