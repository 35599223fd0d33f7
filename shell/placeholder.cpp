// PLACEHOLDER: removed once shell/ has sources.
#include "shell/frame_clock.h"

namespace ostrel {
FrameClock frameClock = {};
float frameClockTime() { return frameClock.time; }
}  // namespace ostrel
