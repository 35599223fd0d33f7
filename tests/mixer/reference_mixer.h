// A plain frame-by-frame mixer kept beside the tests: every frame goes through one bounds-checked
// formula, every piece through one straight loop. The optimised mixer must match it bit for bit,
// in the mix buffer and in the voice record.
#pragma once

#include <cstdint>

#include "audio/mixer.h"

namespace ostrel::test {

// With the ramp length and reciprocal of the player given (setMixerRate).
void referenceMixVoice(const ModulePlayer* player, Voice* voice, float* out, int32_t frames);

} // namespace ostrel::test
