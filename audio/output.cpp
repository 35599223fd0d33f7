// The output side: the sizes that follow from the device rate, the chunk ring the device loops,
// the ChunkInfo record of every chunk, and the audio thread that has the renderer refill each
// chunk as soon as the device has left it.
#include "audio/output.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/audio_device.h"
#include "platform/platform.h"

namespace ostrel {

int32_t outputRate = 44100;
int32_t bufferMs = 1000;
int32_t chunkFrames = 0;
int32_t ringFrames = 0;
ChunkInfo* chunkInfos = nullptr;
std::atomic<int32_t> writeIndex{0};
std::atomic<int32_t> audibleIndex{0};
ModulePlayer* currentPlayer = nullptr;
Renderer ringRenderer = {};
std::atomic<uint8_t> renderBusy{0};
std::atomic<uint8_t> stopRequested{0};
std::atomic<uint8_t> threadStopped{1};

namespace {

constexpr int32_t bytesPerFrame = 4; // 16-bit stereo
constexpr int32_t pollMs = 5;        // the audio thread's look at the device
constexpr int32_t stopPollMs = 50;   // the stopping thread's look at threadStopped

int16_t* pcmRing = nullptr;
void* audioThread = nullptr;
bool deviceOpen = false;

// The installed device; null until a program installs one, and then every open fails. The
// other operations are called only once an open has succeeded.
const platform::AudioDevice* device = nullptr;

// The three fields of an entry as single-field atomic accesses. timeMs sits at offset 2 of a
// 6-byte record, so it is unaligned. On x86 an unaligned 4-byte load or store that stays inside
// one cache line is still performed as one access, which is what the builtins below compile to
// (and ThreadSanitizer understands them as atomics). An entry whose timeMs straddles a 64-byte
// line can tear; the writer changes an entry once per chunk, so loadChunkInfo re-reads until two
// consecutive reads agree.
int32_t* timeField(ChunkInfo* entry) {
    return reinterpret_cast<int32_t*>(reinterpret_cast<uint8_t*>(entry) +
                                      offsetof(ChunkInfo, timeMs));
}
const int32_t* timeField(const ChunkInfo* entry) {
    return reinterpret_cast<const int32_t*>(reinterpret_cast<const uint8_t*>(entry) +
                                            offsetof(ChunkInfo, timeMs));
}

// destroyPlayer's first steps, which it reaches through the playing player's playbackStop: wait,
// spinning without sleeping, until no chunk is being rendered, then stop playback so that the
// audio thread ends before the record is freed.
int32_t stopBeforeDestroy(ModulePlayer* player) {
    while (renderBusy.load()) {
    }
    return stopPlayback(player);
}

void releaseBuffers() {
    stopRenderer(&ringRenderer);
    std::free(chunkInfos);
    chunkInfos = nullptr;
}

} // namespace

__attribute__((no_sanitize("alignment"))) void storeChunkInfo(ChunkInfo* entry, uint8_t order,
                                                              uint8_t row, int32_t timeMs) {
    __atomic_store_n(&entry->order, order, __ATOMIC_RELAXED);
    __atomic_store_n(&entry->row, row, __ATOMIC_RELAXED);
    __atomic_store_n(timeField(entry), timeMs, __ATOMIC_RELAXED);
}

__attribute__((no_sanitize("alignment"))) ChunkInfo loadChunkInfo(const ChunkInfo* entry) {
    ChunkInfo result;
    result.order = __atomic_load_n(&entry->order, __ATOMIC_RELAXED);
    result.row = __atomic_load_n(&entry->row, __ATOMIC_RELAXED);
    int32_t time = __atomic_load_n(timeField(entry), __ATOMIC_RELAXED);
    for (;;) {
        int32_t again = __atomic_load_n(timeField(entry), __ATOMIC_RELAXED);
        if (again == time)
            break;
        time = again;
    }
    result.timeMs = time;
    return result;
}

void installAudioDevice(const platform::AudioDevice* audioDevice) {
    device = audioDevice;
}

int32_t openAudio(uint32_t rate) {
    closeAudio();
    // A rate the renderer cannot start at: no device is asked for it.
    if (rate < static_cast<uint32_t>(lowestRenderRate) ||
        rate > static_cast<uint32_t>(highestRenderRate))
        return 0;
    outputRate = static_cast<int32_t>(rate);
    if (!device || device->open(rate) != 0)
        return 0;
    deviceOpen = true;
    chunkFrames = chunkFramesAt(outputRate);
    ringFrames = (bufferMs / 20) * chunkFrames * 2;
    return 1;
}

int32_t closeAudio() {
    // A thread still rendering would write into the ring released below.
    if (currentPlayer)
        stopPlayback(currentPlayer);
    if (!device)
        return 5; // nothing to close, as closing an invalid handle
    device->reset();
    // Only now, with the device reset, is the ring no longer read.
    std::free(pcmRing);
    pcmRing = nullptr;
    deviceOpen = false;
    return device->close();
}

int32_t startPlayback(ModulePlayer* player) {
    if (!player)
        return 0;
    stopPlayback(player);
    // Without an open device the sizes are unknown: nothing is rendered and no thread runs.
    if (!deviceOpen)
        return 0;
    // A ring from an earlier start may still be looping on the device; silence the device
    // before that ring goes.
    if (pcmRing) {
        device->reset();
        std::free(pcmRing);
        pcmRing = nullptr;
    }

    // The renderer at the device's rate, on this thread: it allocates, and the audio thread must
    // not.
    const int32_t count = chunkCount();
    chunkInfos =
        static_cast<ChunkInfo*>(std::calloc(static_cast<size_t>(count), sizeof(ChunkInfo)));
    pcmRing = static_cast<int16_t*>(
        std::calloc(static_cast<size_t>(ringFrames), static_cast<size_t>(bytesPerFrame)));
    if (!chunkInfos || !pcmRing || !startRenderer(&ringRenderer, player, outputRate)) {
        releaseBuffers();
        std::free(pcmRing);
        pcmRing = nullptr;
        return 0;
    }
    currentPlayer = player;
    // From here on the player may be playing when it is destroyed.
    player->playbackStop = stopBeforeDestroy;
    device->prepare(pcmRing, static_cast<uint32_t>(ringFrames * bytesPerFrame));
    writeIndex = 0;
    audibleIndex = 0;

    // The whole ring once, chunk 0 first: playback starts with a ring length in hand.
    do {
        renderChunk();
    } while (writeIndex.load() != 0);

    device->write();
    stopRequested = 0;
    // Marked as running before the thread exists, so that a stop coming before the thread's
    // first instruction still waits for it.
    threadStopped = 0;
    audioThread = platform::startTimeCriticalThread(audioThreadMain, nullptr);
    // A host that grants no thread still plays the pre-rendered ring in a loop.
    if (!audioThread)
        threadStopped = 1;
    return 1;
}

int32_t stopPlayback(ModulePlayer* player) {
    if (!player)
        return 0;
    stopRequested = 1;
    while (renderBusy.load() != 0) {
    }
    if (audioThread) {
        while (threadStopped.load() == 0)
            platform::sleepMs(stopPollMs);
        platform::joinThread(audioThread);
        audioThread = nullptr;
    }
    stopRenderer(&ringRenderer);
    if (pcmRing)
        device->unprepare();
    if (currentPlayer)
        currentPlayer->playbackStop = nullptr;
    currentPlayer = nullptr;
    std::free(chunkInfos);
    chunkInfos = nullptr;
    return 1;
}

void renderChunk() {
    const int32_t k = writeIndex.load();
    renderS16(&ringRenderer,
              pcmRing + static_cast<size_t>(k) * static_cast<size_t>(chunkFrames) * 2, chunkFrames);
    const ChunkInfo& end = ringRenderer.position;
    storeChunkInfo(&chunkInfos[k], end.order, end.row, end.timeMs);
    const int32_t next = k + 1;
    writeIndex = next == chunkCount() ? 0 : next;
}

uint32_t audioThreadMain(void* argument) {
    threadStopped = 0;
    const int32_t count = chunkCount();
    const uint32_t ringBytes = static_cast<uint32_t>(ringFrames * bytesPerFrame);
    // The device's byte count wraps at 2^32, which is not a whole number of laps. Following
    // it by the unsigned difference between polls keeps the place in the ring continuous
    // across that wrap instead of jumping to another chunk.
    uint32_t previousBytes = 0;
    uint32_t ringOffset = 0;
    while (stopRequested.load() == 0) {
        uint32_t bytes = 0;
        if (device->getPosition(&bytes) == 0) {
            const uint32_t step = bytes - previousBytes;
            ringOffset =
                static_cast<uint32_t>((static_cast<uint64_t>(ringOffset) + step) % ringBytes);
            previousBytes = bytes;
        }
        const int32_t playing =
            static_cast<int32_t>(ringOffset / static_cast<uint32_t>(bytesPerFrame)) / chunkFrames;
        while (writeIndex.load() != playing) {
            renderBusy = 1;
            renderChunk();
            const int32_t next = audibleIndex.load() + 1;
            audibleIndex = next == count ? 0 : next;
            renderBusy = 0;
        }
        platform::sleepMs(pollMs);
    }
    threadStopped = 1;
    return 0;
}

} // namespace ostrel
