// The mixer's constant-gain frame loops in their AVX2 form, eight frames per pass, and the AVX2
// conversion to 16 bits, for the processors that have it (chosen at run time, so one executable
// serves every SSE2 processor). Defined in mixer_avx2.cpp, the one file compiled with -mavx2;
// called only while the AVX2 loops are in use.
// They perform, lane by lane, exactly the float operations of the one-frame formula in the same
// order, so the output is the same bit for bit whichever form runs. Ramps keep the four-frame
// SSE2 loop: their gains are a chain of additions that must round one after the other, which
// bounds them, and wider passes measured no faster.
//
// The loops may only be given frames whose reads stay inside [0, end] of a sample whose block
// holds, as every loaded one does, sampleSpareFrames frames from end on (the guard frame and
// the spare frames): with a step of at most two frames they load a window of up to 17 frames
// from the first frame of a pass, which may run past the last frame they use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "module/module.h"

namespace ostrel {

// The set-up of one step for the eight-frame loops (mixer_avx2.cpp). The loops keep a table of
// stepLaneSlots of them, found by the step, in the block each player owns
// (ModulePlayer::mixerLanes): players mixed on different threads share none.
struct StepLanes;
constexpr int stepLaneBits = 6;
constexpr int stepLaneSlots = 1 << stepLaneBits;
constexpr std::size_t stepLaneBytes = 160; // sizeof(StepLanes), checked where it is defined
constexpr std::size_t stepLaneAlignment = 32;
// A zero-filled block of this size holds a table at its first stepLaneAlignment boundary.
constexpr std::size_t stepLaneBlockBytes = stepLaneSlots * stepLaneBytes + stepLaneAlignment - 1;

// Mixes n frames, or the first of them, at constant gains, starting at pos and moving by delta
// (the step, negated for backward play) per frame; step is the step itself. lanes is the
// player's table. Returns the frames mixed and leaves pos after them: all n with a step of at
// most two frames, but for backward play that comes within 15 frames of frame 0; otherwise
// whole groups of eight.
int32_t mixConstantAvx2(StepLanes* lanes, const int16_t* data, float* out, int32_t n, uint64_t& pos,
                        uint64_t delta, uint64_t step, float g0, float g1);

// A voice that plays at constant gains for the rest of a mixer call: no ramp running and none
// to start, so every piece mixes at the target gains.
struct SteadyPlay {
    const Sample* sample; // with frameValues
    uint64_t pos;         // in and out
    int32_t direction;    // in and out
    uint64_t step;        // at most two frames
    float g0;
    float g1;
    bool ended;       // out: a sample without loop reached its end
    StepLanes* lanes; // the player's table
};

// Plays the voice's pieces over the frames, with the same look-ahead and end handling as every
// path, reading the sample's float frame values eight frames a pass wherever a piece allows:
// reads inside the sample, and backward play staying clear of frame 0 by the window's width.
// Pieces of a forward loop with loop copies are mixed as one run, reading on through the copies
// where mixing piece by piece would wrap at every pass of the play end. A piece the float loops
// cannot take is mixed from the 16-bit frames.
void playSteadyAvx2(SteadyPlay& play, float* out, int32_t frames);

// The whole groups of eight floats of the 2 x frames at src to 16-bit samples, with the same
// truncation and clamping as the SSE2 conversion; returns the floats done.
int32_t convertToPcm16Avx2(int16_t* dst, const float* src, int32_t frames);

} // namespace ostrel
