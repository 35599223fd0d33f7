#include <cstdlib>

#include "module/internal.h"
#include "module/module.h"

namespace ostrel {

const Sample emptySample = {};
const Instrument emptyInstrument = {};

void* allocateZeroed(ZeroAllocator allocator, std::size_t count, std::size_t size) {
    if (allocator) {
        return allocator(count, size);
    }
    return std::calloc(count, size);
}

} // namespace ostrel
