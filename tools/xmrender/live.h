// xmrender --play: a song played live through the demo's own path, on the host's sound card.
#pragma once

#include <cstdint>

#include "tools/xmrender/render.h"

namespace ostrel::xmrender {

struct LiveOptions {
    const char* song; // null: the built-in song
    uint32_t rate;
    int32_t passes; // 0: loop until stopped
    bool status;    // keep a status line on standard error
};

// Plays the song, whose length was measured before, until it has been heard to its end or a
// stop key, and returns the exit code: 0, 2 when the song cannot be loaded, 4 when no sound
// device can be opened.
int32_t playLive(const LiveOptions& options, const SongLength& length);

} // namespace ostrel::xmrender
