// SDL2 sound device with the behaviour of a looping wave-out buffer: the audio callback plays
// the ring from its first byte to its last and again, without end, and counts the bytes it has
// played as a 32-bit position. SDL converts to whatever the card takes. Lacks: the position is
// what has been handed to SDL, which runs a buffer ahead of what leaves the speaker.
#include "platform/audio_device.h"

#include <SDL.h>

#include <atomic>
#include <cstring>

namespace ostrel::platform {

namespace {
SDL_AudioDeviceID device = 0;
// Guarded by the device lock; the callback runs under it.
const uint8_t* ring = nullptr;
uint32_t ringBytes = 0;
uint32_t readOffset = 0;
bool looping = false;
// Read by the audio thread without the lock.
std::atomic<uint32_t> playedBytes{0};

void fill(void*, Uint8* stream, int length) {
    if (!looping || !ring || ringBytes == 0) {
        std::memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    uint32_t wanted = static_cast<uint32_t>(length);
    while (wanted > 0) {
        uint32_t piece = ringBytes - readOffset;
        if (piece > wanted)
            piece = wanted;
        std::memcpy(stream, ring + readOffset, piece);
        stream += piece;
        wanted -= piece;
        readOffset += piece;
        if (readOffset == ringBytes)
            readOffset = 0;
    }
    playedBytes.fetch_add(static_cast<uint32_t>(length));
}

int audioDeviceOpen(uint32_t rate) {
    if (device != 0)
        return 4; // already allocated, as wave-out would say
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return 2;
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = static_cast<int>(rate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = fill;
    SDL_AudioSpec obtained;
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 2;
    }
    return 0;
}

void audioDevicePrepare(int16_t* buffer, uint32_t bytes) {
    if (device == 0)
        return;
    SDL_LockAudioDevice(device);
    ring = reinterpret_cast<const uint8_t*>(buffer);
    ringBytes = bytes & ~3u;
    readOffset = 0;
    looping = false;
    SDL_UnlockAudioDevice(device);
}

void audioDeviceWrite() {
    if (device == 0)
        return;
    SDL_LockAudioDevice(device);
    readOffset = 0;
    playedBytes = 0;
    looping = ring != nullptr;
    SDL_UnlockAudioDevice(device);
    SDL_PauseAudioDevice(device, 0);
}

int audioDeviceGetPosition(uint32_t* bytes) {
    if (device == 0)
        return 5;
    *bytes = playedBytes.load();
    return 0;
}

// Nothing is prepared for SDL: the callback reads the ring directly.
void audioDeviceUnprepare() {}

void audioDeviceReset() {
    if (device == 0)
        return;
    SDL_PauseAudioDevice(device, 1);
    // Under the lock: once this returns the callback no longer touches the ring.
    SDL_LockAudioDevice(device);
    looping = false;
    ring = nullptr;
    ringBytes = 0;
    readOffset = 0;
    playedBytes = 0;
    SDL_UnlockAudioDevice(device);
}

int audioDeviceClose() {
    if (device == 0)
        return 5; // as closing an invalid handle
    SDL_CloseAudioDevice(device);
    device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return 0;
}

} // namespace

const AudioDevice systemAudioDevice = {
    audioDeviceOpen,      audioDevicePrepare, audioDeviceWrite, audioDeviceGetPosition,
    audioDeviceUnprepare, audioDeviceReset,   audioDeviceClose,
};

} // namespace ostrel::platform
