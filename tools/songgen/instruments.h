// The song's instruments, each synthesised from scratch: drums from swept sines and filtered
// noise, single-cycle and short looped waves for the tonal voices.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/songgen/song_model.h"

namespace ostrel::songgen {

// A small deterministic noise source (xorshift32), so that every run synthesises the same
// samples; values in [-1, 1).
struct Noise {
    uint32_t state;
    float next();
};

// Playback rate in Hz of a sample whose note C-4 sounds with this relative note.
double playRate(int relativeNote);

// Instrument numbers (1-based, as written in the patterns).
enum InstrumentNumber : int {
    insKick = 1,
    insSnare,
    insHat,
    insCrash,
    insBass,
    insLead,
    insArp,
    insPad,
    insBell,
    insEcho,
    instrumentTotal = insEcho
};

std::vector<InstrumentDesc> buildInstruments();

} // namespace ostrel::songgen
