// Stand-ins for the shell's frame clock and the window backend.
#include "tests/visuals/test_hosts.h"

#include "platform/window.h"
#include "shell/frame_clock.h"

namespace ostrel {

FrameClock frameClock = {};
float frameClockTime() {
    return frameClock.time;
}

namespace testhost {
int swapCount = 0;
} // namespace testhost

namespace platform {
void swapBuffers() {
    ++testhost::swapCount;
}
void* deviceContext() {
    return nullptr;
}
} // namespace platform

} // namespace ostrel
