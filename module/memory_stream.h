// The memory stream: a private copy of a module image served through the five stream hooks.
// memoryStreamOpen copies the built-in module; openMemoryStream copies any image, for tools,
// tests and the fuzz target that register their own open hook next to the other four.
#pragma once

#include <cstdint>

namespace ostrel {

struct MemoryStream {
    int32_t size;     // bytes of the image
    int32_t position; // next byte to read, 0..size
    uint8_t* bytes;   // private copy of the image, size bytes; owned
};

// A fresh MemoryStream over a copy of bytes[0..size); null when size is negative or memory
// runs out. Close it with memoryStreamClose.
MemoryStream* openMemoryStream(const uint8_t* bytes, int32_t size);

} // namespace ostrel
