// The flags a channel's row and tick steps set for its voice update. The channel and voice
// records themselves belong to the player (module/module.h), so that each song has its own.
#pragma once

#include <cstdint>

#include "module/module.h"

namespace ostrel {

enum : uint8_t {
    pitchChanged = 1,
    volumeChanged = 2,
    panningChanged = 4,
    triggerNote = 8,
};

} // namespace ostrel
