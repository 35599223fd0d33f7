// The visuals' time: seconds since start, sampled once per drawn frame, in single precision.
#pragma once

#include <cstdint>

namespace ostrel {

struct FrameClock {
    float time;            // seconds since start minus the timeOffset setting, as of the last tick
    float previousTime;    // time as of the tick before
    float delta;           // time - previousTime
    float secondsPerCount; // 1 / counter frequency (counter mode)
    float startReading;    // counter or millisecond reading at start, rounded to single precision
    int32_t useCounter;    // 1: high-resolution counter, 0: millisecond timer
};

// The two time sources: a high-resolution counter (queryFrequency returns 0 when there is none)
// and a millisecond timer as the fallback.
struct ClockSource {
    int (*queryFrequency)(int64_t* frequency);
    int64_t (*queryCounter)();
    uint32_t (*millisecondTimer)();
};

extern FrameClock frameClock;

// The static clock on the host's own sources, with the timeOffset setting.
void startFrameClock();
void tickFrameClock();
float frameClockTime();
float frameClockDelta();

// The arithmetic behind them, on any clock and source.
void startClock(FrameClock* clock, const ClockSource* source);
void tickClock(FrameClock* clock, const ClockSource* source, float timeOffset);

} // namespace ostrel
