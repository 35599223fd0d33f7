// The voice record: one sample being played at a fractional step, as the engine's voice update
// leaves it at the end of every tick and the mixer reads it between ticks. It belongs to the
// engine's layer, so that the engine writes voices without knowing the mixer above it.
#pragma once

#include <cstdint>

#include "module/module.h"

namespace ostrel {

struct Voice {
    int32_t index;       // own slot number
    int32_t volumeCopy;  // nothing reads it
    int32_t frequency;   // Hz before the 100 Hz floor; nothing reads it
    int32_t panningCopy; // nothing reads it
    int32_t volume;      // final volume; 255 is full gain
    int32_t panning;     // 0..255
    int32_t startOffset; // frame the next trigger starts at; consumed by the trigger
    Sample* sample;      // null: idle
    int32_t targetVolume0;
    int32_t targetVolume1;
    uint32_t positionInt;  // whole frames
    uint32_t positionFrac; // 1/2^32 frames
    uint32_t stepFrac;
    uint32_t stepInt;
    int32_t direction; // 1 forward, anything else backward
    int32_t lastTarget0;
    int32_t lastTarget1;
    int32_t currentVolume0; // 24.8
    int32_t currentVolume1; // 24.8
    float rampStep0;
    float rampStep1;
    int32_t rampFramesLeft;
};

// Channel N drives slots N and N + 32 in turn; the mixer mixes the first mixedVoiceCount slots.
constexpr int voiceSlotCount = 256;
constexpr int mixedVoiceCount = 64;

extern Voice voiceTable[voiceSlotCount];

} // namespace ostrel
