#include <cstdlib>

#include "module/internal.h"
#include "module/module.h"

namespace ostrel {

// Stands in for a sample map entry past an instrument's samples and for a missing sample; only
// its finetune can change (through E5y). Never freed.
Sample emptySample = {};
// Stands in for an instrument number beyond instrumentCount. Never freed.
Instrument emptyInstrument = {};

namespace {
ZeroAllocator zeroAllocator = nullptr;
}

void* allocateZeroed(std::size_t count, std::size_t size) {
    if (zeroAllocator) {
        return zeroAllocator(count, size);
    }
    return std::calloc(count, size);
}

void setZeroAllocator(ZeroAllocator allocator) {
    zeroAllocator = allocator;
}

} // namespace ostrel
