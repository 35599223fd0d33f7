// The static frame clock on the host's counter and millisecond timer.
#include "platform/platform.h"
#include "shell/frame_clock.h"
#include "shell/settings.h"

namespace ostrel {

namespace {
const ClockSource hostClock = {platform::queryCounterFrequency, platform::queryCounter,
                               platform::millisecondTimer};
} // namespace

void startFrameClock() {
    startClock(&frameClock, &hostClock);
}
void tickFrameClock() {
    tickClock(&frameClock, &hostClock, settings.timeOffset);
}

} // namespace ostrel
