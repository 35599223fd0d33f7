// Placeholder while live playback moves onto the library.
#include "tools/xmrender/live.h"

#include <cstdio>

namespace ostrel::xmrender {

int32_t playLive(const LiveOptions&) {
    std::fprintf(stderr, "xmrender: --play is not available in this build\n");
    return 4;
}

} // namespace ostrel::xmrender
