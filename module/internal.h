// Pieces shared by the module sources (and their tests): the zero-filling allocator that every
// record and block of the model goes through, and the reason of the last failed load.
#pragma once

#include <cstddef>

namespace ostrel {

// Allocates count * size zero-filled bytes (calloc semantics, freed with std::free); null on
// failure or when the product overflows.
void* allocateZeroed(std::size_t count, std::size_t size);

// Replaces the allocator behind allocateZeroed, so that tests can make any one allocation
// fail; null restores calloc. Whatever it returns must be zero-filled and freeable by free.
using ZeroAllocator = void* (*)(std::size_t count, std::size_t size);
void setZeroAllocator(ZeroAllocator allocator);

// Stores the phrase lastLoadError() reports; "" clears it.
void setLoadError(const char* reason);

} // namespace ostrel
