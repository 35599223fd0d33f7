// xmrender --play: songs played live on the host's sound card, one after the other, with keys to
// pause, seek and change songs.
#pragma once

#include <cstdint>

#include "tools/xmrender/song.h"

namespace ostrel::xmrender {

struct LiveOptions {
    const char* const* songs; // songCount paths
    int32_t songCount;        // 0: the built-in song
    uint32_t rate;
    int32_t passes; // 0: loop until stopped
    bool status;    // keep a status line on standard error
    StartPoint start;
    ChannelChoice channels;
};

// Plays the songs until each has been heard to its end, or until a stop key, and returns the
// exit code: 0, or that of the first song that could not play (2 when it cannot be loaded, 1
// for a start or channels it does not have; the others still play), 4 when no sound device can
// be opened.
int32_t playLive(const LiveOptions& options);

} // namespace ostrel::xmrender
