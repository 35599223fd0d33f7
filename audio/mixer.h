// Voices and the float mixer: one Voice plays one converted 16-bit sample at a fractional
// step with linear interpolation, forward or ping-pong looping and a short linear volume ramp
// whenever its targets change. The engine writes voices once per tick; between ticks the chunk
// renderer mixes the 64 mixed slots into a float stereo buffer and clips it to 16-bit PCM.
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

constexpr int voiceSlotCount = 256;
constexpr int mixedVoiceCount = 64;

extern Voice voiceTable[voiceSlotCount];

// Length of every volume ramp in frames and its reciprocal; set from the output rate.
extern int32_t rampFrames;
extern float rampScale;
void setMixerRate(int32_t outputRate);

// The frame loops in use: four frames per pass with SSE2 (every processor the program runs
// on), or eight with AVX2 where the processor has it, which is the default there. Both give
// the same output bit for bit. Setting AVX2 on a processor without it is refused (false).
enum class MixerLoops { sse2, avx2 };
bool setMixerLoops(MixerLoops loops);
MixerLoops mixerLoops();

void mixVoice(Voice* voice, float* out, int32_t frames);
void mixVoices(float* out, int32_t frames);
void convertToPcm16(int16_t* dst, const float* src, int32_t frames);

} // namespace ostrel
