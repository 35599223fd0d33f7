// libFuzzer target: arbitrary bytes through the stream hooks into createPlayer, and, when a
// player comes out, about two seconds from the renderer before destroyPlayer. Any crash,
// sanitizer report, leak or hang is a finding, and so is a strict load that disagrees with the
// tolerant one about a whole file.
#include <cstddef>
#include <cstdint>

#include "audio/renderer.h"
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

int32_t ticksLeft = 0;

// The engine's tick until the bound; then ticks so long that none follows.
void boundedTick(ModulePlayer* player) {
    if (ticksLeft > 0) {
        --ticksLeft;
        playerTick(player);
    } else {
        player->samplesPerTick = playFrames;
    }
}

void play(ModulePlayer* player) {
    static int16_t buffer[2 * chunk];
    player->tickFunction = boundedTick;
    ticksLeft = maxTicks;
    Renderer renderer;
    if (!startRenderer(&renderer, player, 44100)) {
        return;
    }
    for (int32_t done = 0; done < playFrames; done += chunk) {
        renderS16(&renderer, buffer, chunk);
    }
    stopRenderer(&renderer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) {
        return 0;
    }
    fuzzBytes = data;
    fuzzSize = static_cast<int32_t>(size);
    static const StreamHooks hooks = {openFuzzInput,    memoryStreamClose, memoryStreamRead,
                                      memoryStreamSeek, memoryStreamTell,  nullptr};
    // The tolerant load, which also takes files cut short inside their data. A strict load must
    // take exactly the files it takes whole, and a damage line must be one line of text.
    ModulePlayer* player = createPlayer(&hooks, "fuzz.xm", nullptr, nullptr, loadTolerant);
    ModulePlayer* strict = createPlayer(&hooks, "fuzz.xm", nullptr, nullptr);
    const bool whole = player && player->damage[0] == '\0';
    if ((strict != nullptr) != whole) {
        __builtin_trap();
    }
    destroyPlayer(strict);
    for (const char* c = player ? player->damage : ""; *c; ++c) {
        if (*c < 32 || *c > 126) {
            __builtin_trap();
        }
    }
    if (player) {
        play(player);
    }
    destroyPlayer(player);
    return 0;
}
