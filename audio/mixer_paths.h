// The mixer's paths: every loop and shortcut that mixes a voice's frames (or only moves over
// them), and every form of the conversion to 16 bits. A build of the mixer with
// OSTREL_MIXER_PATH_COUNTS defined, which only the mixer tests make, counts each time a path is
// taken, so that the tests can fail when one is never reached; the program's build counts
// nothing and pays nothing for the counts.
#pragma once

#include <cstdint>

namespace ostrel {

enum class MixerPath : uint8_t {
    // Silent voices.
    silentAlongLoop, // moved along the loop in one step (moveAlongLoop)
    silentPieces,    // moved piece by piece
    // Ramps, with either kind of loops.
    rampChecked, // frames one by one, every read checked: the piece reads outside the sample
    rampSse2,    // four frames a pass
    rampSingle,  // the last frames of a piece, one by one
    // Constant gains over 16-bit frames.
    constantChecked,       // frames one by one, every read checked
    constantSse2,          // four frames a pass
    constantSingle,        // the last frames of a piece, one by one
    windowAvx2,            // eight frames a pass through a window of 9 frames (steps to one frame)
    windowPartialAvx2,     // the last frames of a piece through such a window
    wideWindowPartialAvx2, // the last frames of a piece through a window of 17 frames
    gatherAvx2,            // eight frames a pass, each frame's pair loaded on its own
    // Constant gains over float frame values, in the AVX2 steady run.
    valueWindowForwardAvx2,  // eight frames a pass through a window, moving forward
    valueWindowBackwardAvx2, // the same, moving backward
    valueGatherAvx2,         // eight frames a pass, each frame's two values loaded on their own
    valuePartialAvx2,        // the last frames of a piece, in one masked pass
    copiesWalkedAvx2,        // a run through loop copies, found piece by piece
    copiesInOneStepAvx2,     // a run through loop copies, found in one step
    steadyFallbackAvx2,      // a piece the float loops cannot take, mixed from 16-bit frames
    // The conversion to 16 bits.
    convertAvx2,        // sixteen floats a pass
    convertSse2Sixteen, // sixteen floats a pass
    convertSse2Eight,   // eight floats
    convertSingle,      // the last floats, one by one
    count
};

constexpr int mixerPathCount = static_cast<int>(MixerPath::count);

#ifdef OSTREL_MIXER_PATH_COUNTS
// How often each path was taken since the tests last cleared the counts.
extern int64_t mixerPathCounts[mixerPathCount];
#endif

} // namespace ostrel
