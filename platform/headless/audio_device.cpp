// Headless sound device: keeps the ring it is handed and reports a play position that only its
// caller moves (headless_audio.h). It makes no sound and has no clock of its own.
#include "platform/audio_device.h"

#include <atomic>

#include "platform/headless/headless_audio.h"

namespace ostrel::platform {

namespace {
std::atomic<int> openResult{0};
std::atomic<int> positionResult{0};
std::atomic<bool> open{false};
std::atomic<bool> playing{false};
std::atomic<const int16_t*> heldRing{nullptr};
std::atomic<uint32_t> heldBytes{0};
std::atomic<uint32_t> position{0};
std::atomic<uint32_t> queries{0};
} // namespace

void headlessAudioSetOpenResult(int result) {
    openResult = result;
}

void headlessAudioAdvance(uint32_t bytes) {
    if (playing)
        position.fetch_add(bytes);
}

void headlessAudioSetPosition(uint32_t bytes) {
    if (playing)
        position = bytes;
}

uint32_t headlessAudioPosition() {
    return position;
}
void headlessAudioSetPositionResult(int result) {
    positionResult = result;
}
uint32_t headlessAudioPositionQueries() {
    return queries;
}
const int16_t* headlessAudioRing() {
    return heldRing;
}
uint32_t headlessAudioRingBytes() {
    return heldBytes;
}
int headlessAudioIsOpen() {
    return open ? 1 : 0;
}
int headlessAudioIsPlaying() {
    return playing ? 1 : 0;
}

namespace {

int audioDeviceOpen(uint32_t rate) {
    const int result = openResult;
    if (result == 0)
        open = true;
    return result;
}

void audioDevicePrepare(int16_t* ring, uint32_t bytes) {
    heldRing = ring;
    heldBytes = bytes;
}

void audioDeviceWrite() {
    if (!open || !heldRing)
        return;
    position = 0;
    playing = true;
}

int audioDeviceGetPosition(uint32_t* bytes) {
    queries.fetch_add(1);
    if (!open || positionResult != 0)
        return 1;
    *bytes = position;
    return 0;
}

void audioDeviceUnprepare() {}

void audioDeviceReset() {
    playing = false;
    position = 0;
    heldRing = nullptr;
    heldBytes = 0;
}

int audioDeviceClose() {
    if (!open)
        return 5; // as closing an invalid handle
    audioDeviceReset();
    open = false;
    return 0;
}

} // namespace

const AudioDevice headlessAudioDevice = {
    audioDeviceOpen,      audioDevicePrepare, audioDeviceWrite, audioDeviceGetPosition,
    audioDeviceUnprepare, audioDeviceReset,   audioDeviceClose,
};

} // namespace ostrel::platform
