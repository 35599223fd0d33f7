// The memory stream over the built-in module: the demo's song, which the engine as a library
// (the ostrel library) leaves out with this file.
#include "assets/assets.h"
#include "module/memory_stream.h"
#include "module/stream.h"

namespace ostrel {

void* memoryStreamOpen(const char*) {
    return openMemoryStream(builtinModule, builtinModuleSize);
}

const StreamHooks memoryStreamHooks = {memoryStreamOpen, memoryStreamClose, memoryStreamRead,
                                       memoryStreamSeek, memoryStreamTell,  nullptr};

} // namespace ostrel
