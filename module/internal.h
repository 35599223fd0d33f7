// Pieces shared by the module sources: the zero-filling allocator that every record and block of
// a loaded player goes through.
#pragma once

#include <cstddef>

#include "module/stream.h"

namespace ostrel {

// Allocates count * size zero-filled bytes through allocator (StreamHooks::allocate), or through
// calloc when it is null; null on failure or when the product overflows.
void* allocateZeroed(ZeroAllocator allocator, std::size_t count, std::size_t size);

// The allocator of the hooks the stream was opened with (null: calloc).
ZeroAllocator streamAllocator(const ModuleStream* stream);

} // namespace ostrel
