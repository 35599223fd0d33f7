// The window procedure's own table, on the portable message record. Each backend's window
// procedure calls it and gives whatever it does not handle to the platform's default handling.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace ostrel {

using PostQuitFunction = platform::PostQuitFunction;

// Returns 1 when the message was handled (the window procedure then returns 0), 0 when it
// belongs to the default handling. WM_CLOSE posts the quit through postQuit. The demo installs
// it as the platform's message handler (platform::WindowClient).
int32_t handleWindowMessage(const platform::Message* message, PostQuitFunction postQuit);

} // namespace ostrel
