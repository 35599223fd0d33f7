// Voices and the float mixer: one Voice plays one converted 16-bit sample at a fractional
// step with linear interpolation, forward or ping-pong looping and a short linear volume ramp
// whenever its targets change. The engine writes voices once per tick; between ticks the chunk
// renderer mixes the 64 mixed slots into a float stereo buffer and clips it to 16-bit PCM.
#pragma once

#include <cstdint>

#include "module/module.h"
#include "player/voice.h"

namespace ostrel {

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
