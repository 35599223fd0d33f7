// The float copies of the samples' frames that the AVX2 steady run reads: Sample::frameValues,
// every frame converted once so that its loops fetch two frames per interpolation with plain
// loads, and Sample::loopCopies, a short forward loop repeated, so that a run of many passes of
// the loop reads on without wrapping. The SSE2 loops read neither, so where they are the loops
// in use nothing is built. Built when playback starts rather than when a song loads: a player
// that is only loaded (to tell what a song is, or to check a file) never needs them.
#include <cstdlib>
#include <cstring>

#include "audio/mixer.h"

namespace ostrel {

// Out of line: prepareFloatCopies would otherwise hold a second copy of it.
[[gnu::noinline]] void makeFloatCopies(Sample* sample) {
    if (!sample->data || sample->length > frameValuesLimit || sample->frameValues) {
        return;
    }
    // The frames, the guard frame and the spare frames, all readable in data. Every value is
    // written, so the blocks need no zeroing first (which would cost more than the conversion).
    const std::size_t count = static_cast<std::size_t>(sample->length) + sampleSpareFrames;
    auto* values = static_cast<float*>(std::malloc(count * sizeof(float)));
    if (!values) {
        return;
    }
    for (std::size_t k = 0; k < count; ++k) {
        values[k] = static_cast<float>(sample->data[k]);
    }
    sample->frameValues = values;
    if (sample->loopType != loopForward || sample->loopLength == 0 ||
        sample->loopLength >= loopCopyTarget) {
        return;
    }
    const uint32_t length = sample->loopLength;
    const uint32_t frames = (loopCopyTarget + length - 1) / length * length;
    // Whole loop lengths one after another, then the guard frame (the loop's first frame again)
    // and zero spare frames.
    auto* copies = static_cast<float*>(
        std::malloc((static_cast<std::size_t>(frames) + sampleSpareFrames) * sizeof(float)));
    if (!copies) {
        return;
    }
    const float* loop = values + sample->loopStart;
    for (uint32_t k = 0; k < frames; k += length) {
        std::memcpy(copies + k, loop, length * sizeof(float));
    }
    copies[frames] = loop[0];
    for (uint32_t k = frames + 1; k < frames + sampleSpareFrames; ++k) {
        copies[k] = 0.0f;
    }
    sample->loopCopies = copies;
    sample->loopCopyFrames = frames;
}

void prepareFloatCopies(ModulePlayer* player) {
    // Without instruments nothing is ever mixed.
    if (!player || !player->instruments || mixerLoops(player) != MixerLoops::avx2) {
        return;
    }
    prepareStepLanes(player);
    for (int32_t i = 0; i < player->instrumentCount; ++i) {
        const Instrument& instrument = player->instruments[i];
        for (int32_t j = 0; j < instrument.sampleCount; ++j) {
            if (instrument.samples[j]) {
                makeFloatCopies(instrument.samples[j]);
            }
        }
    }
}

} // namespace ostrel
