// The visuals' time: seconds since start, sampled once per drawn frame, in single precision.
#pragma once

#include <cstdint>

namespace ostrel {

struct FrameClock {
    float time;             // seconds since start minus the timeOffset setting, as of the last tick
    float previousTime;     // time as of the tick before
    float delta;            // time - previousTime
    float secondsPerCount;  // 1 / counter frequency (counter mode)
    float startReading;     // counter or millisecond reading at start, rounded to single precision
    int32_t useCounter;     // 1: high-resolution counter, 0: millisecond timer
};

extern FrameClock frameClock;

void startFrameClock();
void tickFrameClock();
float frameClockTime();
float frameClockDelta();

}  // namespace ostrel
