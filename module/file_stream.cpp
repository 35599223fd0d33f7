// The five stream hooks over a file on disk, for tools and tests that load real XM files. It
// behaves like the memory stream: reads at the end deliver 0 bytes and seeks stop at 0 and at
// the end of the file.
#include <cstdio>
#include <cstdlib>

#include "module/stream.h"

namespace ostrel {

namespace {

struct FileStream {
    std::FILE* file;
    int32_t size;
};

} // namespace

void* fileStreamOpen(const char* path) {
    if (!path) {
        return nullptr;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        return nullptr;
    }
    // The hooks count in signed 32-bit positions; a larger file cannot be addressed.
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    if (size < 0 || size > INT32_MAX || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return nullptr;
    }
    auto* stream = static_cast<FileStream*>(std::calloc(1, sizeof(FileStream)));
    if (!stream) {
        std::fclose(file);
        return nullptr;
    }
    stream->file = file;
    stream->size = static_cast<int32_t>(size);
    return stream;
}

void fileStreamClose(void* handle) {
    auto* stream = static_cast<FileStream*>(handle);
    if (!stream) {
        return;
    }
    std::fclose(stream->file);
    std::free(stream);
}

int32_t fileStreamRead(void* destination, int32_t count, void* handle) {
    auto* stream = static_cast<FileStream*>(handle);
    if (!stream || !destination || count <= 0) {
        return 0;
    }
    return static_cast<int32_t>(
        std::fread(destination, 1, static_cast<std::size_t>(count), stream->file));
}

void fileStreamSeek(void* handle, int32_t offset, int32_t whence) {
    auto* stream = static_cast<FileStream*>(handle);
    if (!stream) {
        return;
    }
    int64_t position = std::ftell(stream->file);
    int64_t target = position;
    if (whence == 0) {
        target = offset;
    } else if (whence == 1) {
        target = position + offset;
    } else if (whence == 2) {
        target = static_cast<int64_t>(stream->size) + offset;
    }
    if (target > stream->size) {
        target = stream->size;
    }
    if (target < 0) {
        target = 0;
    }
    std::fseek(stream->file, static_cast<long>(target), SEEK_SET);
}

int32_t fileStreamTell(void* handle) {
    auto* stream = static_cast<FileStream*>(handle);
    if (!stream) {
        return 0;
    }
    return static_cast<int32_t>(std::ftell(stream->file));
}

const StreamHooks fileStreamHooks = {fileStreamOpen, fileStreamClose, fileStreamRead,
                                     fileStreamSeek, fileStreamTell,  nullptr};

} // namespace ostrel
