// libFuzzer target: arbitrary bytes through the stream hooks into createPlayer, and, when a
// player comes out, about two seconds of ticks and mixing before destroyPlayer. Any crash,
// sanitizer report, leak or hang is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "audio/mixer.h"
#include "module/memory_stream.h"
#include "module/stream.h"
#include "player/sequencer.h"

namespace {

using namespace ostrel;

const uint8_t* fuzzBytes = nullptr;
int32_t fuzzSize = 0;

// The open hook serves the current input; the other four are the memory stream's.
void* openFuzzInput(const char*) {
    return openMemoryStream(fuzzBytes, fuzzSize);
}

constexpr int32_t playFrames = 2 * 44100;
// A tick of one frame must not make an input slow: ticks are bounded too.
constexpr int32_t maxTicks = 5000;
constexpr int32_t chunk = 1024;

void play(ModulePlayer* player) {
    static float buffer[2 * chunk];
    player->outputRate = 44100;
    setMixerRate(44100);
    std::memset(voiceTable, 0, sizeof voiceTable);
    for (int32_t v = 0; v < voiceSlotCount; ++v) {
        voiceTable[v].index = v;
        voiceTable[v].stepInt = 1;
    }
    // As playback start does: the float copies, where the mixer's loops in use read them.
    prepareFloatCopies(player);
    resetPlaybackState(player);
    int32_t framesLeft = playFrames;
    for (int32_t ticks = 0; ticks < maxTicks && framesLeft > 0; ++ticks) {
        player->tickFunction(player);
        int32_t frames = std::min({player->samplesPerTick, chunk, framesLeft});
        if (frames > 0) {
            std::memset(buffer, 0, sizeof buffer);
            mixVoices(buffer, frames);
            framesLeft -= frames;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) {
        return 0;
    }
    fuzzBytes = data;
    fuzzSize = static_cast<int32_t>(size);
    registerStreamHooks(openFuzzInput, memoryStreamClose, memoryStreamRead, memoryStreamSeek,
                        memoryStreamTell);
    installTickFunction(playerTick);
    ModulePlayer* player = createPlayer("fuzz.xm", nullptr);
    if (player) {
        play(player);
    }
    destroyPlayer(player);
    return 0;
}
