// The mixer's frame loops in their AVX2 form, eight frames per pass, for the processors that
// have it (chosen at run time, so one executable serves every SSE2 processor). They perform,
// lane by lane, exactly the float operations of the one-frame formula in the same order, so
// the output is the same bit for bit whichever form runs.
//
// Both loops may only be given frames whose reads stay inside [0, end] of a sample whose block
// holds, as every loaded one does, the 7 spare frames after the guard frame at end: with a step
// of at most one frame they load a window of nine frames from the first frame of a pass, which
// may run past the last frame they use.
#pragma once

#include <bit>
#include <cstdint>

namespace ostrel::mixgroups {

// Turns the upper 31 bits of a position fraction into a weight just below 1 at the top.
constexpr float fractionScale = std::bit_cast<float>(0x2FFFF910u);

// Mixes n frames, or the first of them, at constant gains, starting at pos and moving by delta
// (the step, negated for backward play) per frame; step is the step itself. Returns the frames
// mixed and leaves pos after them: all n with a step of at most one frame, but for backward
// play that comes within seven frames of frame 0; otherwise whole groups of eight.
int32_t constantRun(const int16_t* data, float* out, int32_t n, uint64_t& pos, uint64_t delta,
                    uint64_t step, float g0, float g1);

// The same for the frames of a volume ramp: frame k uses the gains after k steps, and w0, w1
// end as the gains after the frames mixed.
int32_t rampRun(const int16_t* data, float* out, int32_t n, uint64_t& pos, uint64_t delta,
                uint64_t step, float& w0, float& w1, float d0, float d1);

} // namespace ostrel::mixgroups
