// Voices and the float mixer: one Voice plays one converted 16-bit sample at a fractional
// step with linear interpolation, forward or ping-pong looping and a short linear volume ramp
// whenever its targets change. The engine writes voices once per tick; between ticks the chunk
// renderer mixes the player's 64 mixed slots into a float stereo buffer and clips it to 16-bit
// PCM. Everything the mixer changes or reads lies in the player it is given.
#pragma once

#include <cstdint>

#include "module/module.h"

namespace ostrel {

// Sets the player's volume ramp length (rampFrames) and its reciprocal from the output rate.
void setMixerRate(ModulePlayer* player, int32_t outputRate);

// The frame loops a player is mixed with: four frames per pass with SSE2 (every processor the
// program runs on), or eight with AVX2 where the processor has it, which is the default there.
// Both give the same output bit for bit. Setting AVX2 on a processor without it is refused
// (false). The values are those of ModulePlayer::mixerLoops. Setting AVX2 allocates the player's
// table for those loops (prepareStepLanes).
enum class MixerLoops : uint8_t { sse2 = 1, avx2 = 2 };
bool setMixerLoops(ModulePlayer* player, MixerLoops loops);
// The player's loops: the ones set, or the default while none are.
MixerLoops mixerLoops(const ModulePlayer* player);

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
// Gives every sample of the player its float copies, and the player its step table
// (prepareStepLanes), when the AVX2 loops are in use, the only ones that read them; nothing
// otherwise. The renderer's start calls it before the first chunk is rendered: it allocates, and
// the audio thread must not, so it runs on the thread that starts playback. The copies belong to
// the samples and go with the player.
void prepareFloatCopies(ModulePlayer* player);
// Gives the player its table of the AVX2 loops' step set-ups (ModulePlayer::mixerLanes) unless
// it has one. The loops run only with it: until then, or when it cannot be allocated, the player
// is mixed with the SSE2 loops, to the same output.
void prepareStepLanes(ModulePlayer* player);

// Adds frames of one voice (mixVoice) or of the player's mixed slots (mixVoices) to out, with
// the player's ramp length and frame loops.
void mixVoice(const ModulePlayer* player, Voice* voice, float* out, int32_t frames);
void mixVoices(ModulePlayer* player, float* out, int32_t frames);
// The 2 x frames floats at src to 16-bit samples, with the loops mixerLoops gives.
void convertToPcm16(int16_t* dst, const float* src, int32_t frames, MixerLoops loops);

} // namespace ostrel
