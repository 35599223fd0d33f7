// The demo itself: scene-side initialisation, one frame, and the whole run on the host's own
// window, message queue and clock.
#pragma once

#include <cstdint>

namespace ostrel {

// Clear colour, fonts, fixed-function state, fog parameters, projection, schedule, frame clock
// and, when enabled, the music (whose result it returns; 0 with the music off).
int32_t initScene();
// One frame: reset state, clear, tick the clock, run the schedule. 0 once the run is over.
int32_t renderFrame();
// The entry points of both backends call this; its result is the process exit code.
int32_t runDemo();

} // namespace ostrel
