// Frame clock arithmetic. The intermediate steps run in extended precision and only the stored
// fields are single precision, so the clock's zero is the start reading rounded to a float: on a
// counter of large magnitude the first ticks may read slightly off zero, by design.
#include "shell/frame_clock.h"

namespace ostrel {

FrameClock frameClock = {};

void startClock(FrameClock* clock, const ClockSource* source) {
    clock->useCounter = 1;
    int64_t frequency = 0;
    if (source->queryFrequency(&frequency)) {
        clock->startReading = static_cast<float>(source->queryCounter());
        clock->secondsPerCount = static_cast<float>(1.0L / static_cast<long double>(frequency));
    } else {
        clock->useCounter = 0;
        clock->startReading = static_cast<float>(source->millisecondTimer());
    }
}

void tickClock(FrameClock* clock, const ClockSource* source, float timeOffset) {
    clock->previousTime = clock->time;
    long double elapsed;
    if (clock->useCounter) {
        long double counts = static_cast<long double>(source->queryCounter()) - clock->startReading;
        elapsed = counts * clock->secondsPerCount;
    } else {
        long double ms = static_cast<long double>(source->millisecondTimer()) - clock->startReading;
        elapsed = ms / 1000.0L;
    }
    clock->time = static_cast<float>(elapsed - timeOffset);
    clock->delta = clock->time - clock->previousTime;
}

float frameClockTime() {
    return frameClock.time;
}
float frameClockDelta() {
    return frameClock.delta;
}

} // namespace ostrel
