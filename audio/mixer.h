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

// Samples up to this many frames get float copies (at most 16 MiB); longer ones are always read
// as 16-bit frames.
constexpr uint32_t frameValuesLimit = uint32_t{1} << 22;
// Forward loops shorter than this many frames are repeated in loopCopies up to at least this
// many: a piece of mixing ends at every pass of the play end, and with a short loop the pieces
// would be short.
constexpr uint32_t loopCopyTarget = 4096;

// Gives a sample its float copies (Sample::frameValues and, for a short forward loop,
// loopCopies) unless it has them, is longer than frameValuesLimit or has no frames. A copy that
// cannot be allocated is left out: the mixer then reads the 16-bit frames, to the same output.
void makeFloatCopies(Sample* sample);
// Gives every sample of the player its float copies when the AVX2 loops are in use, the only
// ones that read them; nothing otherwise. startPlayback calls it before the first chunk is
// rendered: it allocates, and the audio thread must not, so it runs on the thread that starts
// playback. The copies belong to the samples and go with the player.
void prepareFloatCopies(ModulePlayer* player);

void mixVoice(Voice* voice, float* out, int32_t frames);
void mixVoices(float* out, int32_t frames);
void convertToPcm16(int16_t* dst, const float* src, int32_t frames);

} // namespace ostrel
