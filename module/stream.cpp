// The stream hook table, the ModuleStream the loader reads through, the memory stream over the
// built-in module, and the two operations that own a player's life.
#include "module/stream.h"

#include <cstdlib>
#include <cstring>

#include "assets/assets.h"
#include "module/internal.h"
#include "module/memory_stream.h"

namespace ostrel {

struct ModuleStream {
    void* handle; // what the open hook returned; closed by streamClose
};

namespace {

StreamHooks hooks = {};
const char* loadError = "";
PlaybackStop playbackStop = nullptr;

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

void setLoadError(const char* reason) {
    loadError = reason ? reason : "";
}
const char* lastLoadError() {
    return loadError;
}

void registerStreamHooks(StreamOpenHook open, StreamCloseHook close, StreamReadHook read,
                         StreamSeekHook seek, StreamTellHook tell) {
    if (open && close && read && seek && tell) {
        hooks = {open, close, read, seek, tell};
    } else {
        hooks = {};
    }
}

int streamHooksRegistered() {
    return hooks.open && hooks.close && hooks.read && hooks.seek && hooks.tell ? 1 : 0;
}

ModuleStream* streamOpen(const char* name) {
    if (!streamHooksRegistered()) {
        return nullptr;
    }
    auto* stream = static_cast<ModuleStream*>(allocateZeroed(1, sizeof(ModuleStream)));
    if (!stream) {
        return nullptr;
    }
    stream->handle = hooks.open(name);
    if (!stream->handle) {
        std::free(stream);
        return nullptr;
    }
    return stream;
}

void streamClose(ModuleStream* stream) {
    if (!stream) {
        return;
    }
    if (hooks.close) {
        hooks.close(stream->handle);
    }
    std::free(stream);
}

int32_t streamRead(void* destination, int32_t count, ModuleStream* stream) {
    if (!stream || !hooks.read) {
        return 0;
    }
    return hooks.read(destination, count, stream->handle);
}

void streamSeek(ModuleStream* stream, int32_t offset, int32_t whence) {
    if (!stream || !hooks.seek) {
        return;
    }
    // whence travels as a signed byte: 256 means "from the start", 255 is no known origin.
    hooks.seek(stream->handle, offset, static_cast<int32_t>(static_cast<int8_t>(whence)));
}

int32_t streamTell(ModuleStream* stream) {
    if (!stream || !hooks.tell) {
        return 0;
    }
    return hooks.tell(stream->handle);
}

MemoryStream* openMemoryStream(const uint8_t* bytes, int32_t size) {
    if (size < 0 || (size > 0 && !bytes)) {
        return nullptr;
    }
    auto* stream = static_cast<MemoryStream*>(allocateZeroed(1, sizeof(MemoryStream)));
    if (!stream) {
        return nullptr;
    }
    // One spare byte so that an empty image still owns a block.
    stream->bytes = static_cast<uint8_t*>(allocateZeroed(static_cast<std::size_t>(size) + 1, 1));
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

void* memoryStreamOpen(const char*) {
    return openMemoryStream(builtinModule, builtinModuleSize);
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

ModulePlayer* createPlayer(const char* name, SampleDataProvider provider) {
    setLoadError("");
    if (!streamHooksRegistered()) {
        setLoadError("no stream hooks registered");
        return nullptr;
    }
    ModuleStream* stream = streamOpen(name);
    if (!stream) {
        setLoadError("cannot open the module");
        return nullptr;
    }
    auto* player = static_cast<ModulePlayer*>(allocateZeroed(1, sizeof(ModulePlayer)));
    if (!player) {
        streamClose(stream);
        setLoadError("out of memory");
        return nullptr;
    }
    player->sampleDataProvider = provider;
    int32_t loaded = loadModule(player, stream);
    streamClose(stream);
    if (loaded == 1) {
        return player;
    }
    destroyPlayer(player);
    return nullptr;
}

void installPlaybackStop(PlaybackStop stop) {
    playbackStop = stop;
}

int32_t destroyPlayer(ModulePlayer* player) {
    if (!player) {
        return 0;
    }
    // A chunk being rendered reads the record: the output side lets it finish, then ends the
    // audio thread before anything is freed.
    if (playbackStop) {
        playbackStop(player);
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
    std::free(player);
    return 1;
}

} // namespace ostrel
