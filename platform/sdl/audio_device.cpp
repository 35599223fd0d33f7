// SDL2 sound device with the behaviour of a looping wave-out buffer: the audio callback plays
// the ring from its first byte to its last and again, without end, and counts the bytes it has
// played as a 32-bit position. SDL converts to whatever the card takes, and SDL's own settings
// apply (SDL_AUDIODRIVER picks the driver: pulseaudio, alsa, disk, dummy...). Lacks: the
// position is what has been handed to SDL, which runs a buffer ahead of what leaves the speaker.
//
// It comes in two libraries with this same code, calling SDL through a table
// (audio_device_calls.h): ostrel_audio_device for programs that link SDL anyway (the demo), and
// ostrel_audio_device_runtime for programs that must start fast without it (xmrender). The
// run-time form loads libSDL2-2.0.so.0 (Debian's libsdl2-2.0-0) on the first open, not before;
// OSTREL_SDL_LIBRARY, read on that open, names another file or path instead. Without the
// library, or with one that lacks a function the device calls, open returns 6 (no driver, as
// wave-out says) and tries again on the next open. Either form's systemAudioDeviceError() then
// says why, in the loader's or SDL's words.
#include "platform/audio_device.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/sdl/audio_device_calls.h"

namespace ostrel::platform {

namespace {
// Bound on the first open that succeeds in binding.
const SdlAudioCalls* sdl = nullptr;
char lastError[256] = "";
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

// SDL's text lives in a buffer that its next call may overwrite.
void keepSdlError() {
    std::snprintf(lastError, sizeof lastError, "%s", sdl->SDL_GetError());
}

int audioDeviceOpen(uint32_t rate) {
    if (device != 0) {
        std::snprintf(lastError, sizeof lastError, "the sound device is already open");
        return 4; // already allocated, as wave-out would say
    }
    lastError[0] = '\0';
    if (!sdl)
        sdl = bindSdlAudio(lastError, sizeof lastError);
    if (!sdl)
        return 6;
    if (sdl->SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        keepSdlError();
        return 2;
    }
    // Zeroed here, not with SDL_zero, which calls into SDL.
    SDL_AudioSpec wanted = {};
    wanted.freq = static_cast<int>(rate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = fill;
    SDL_AudioSpec obtained;
    device = sdl->SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        keepSdlError();
        sdl->SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 2;
    }
    return 0;
}

void audioDevicePrepare(int16_t* buffer, uint32_t bytes) {
    if (device == 0)
        return;
    sdl->SDL_LockAudioDevice(device);
    ring = reinterpret_cast<const uint8_t*>(buffer);
    ringBytes = bytes & ~3u;
    readOffset = 0;
    looping = false;
    sdl->SDL_UnlockAudioDevice(device);
}

void audioDeviceWrite() {
    if (device == 0)
        return;
    sdl->SDL_LockAudioDevice(device);
    readOffset = 0;
    playedBytes = 0;
    looping = ring != nullptr;
    sdl->SDL_UnlockAudioDevice(device);
    sdl->SDL_PauseAudioDevice(device, 0);
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
    sdl->SDL_PauseAudioDevice(device, 1);
    // Under the lock: once this returns the callback no longer touches the ring.
    sdl->SDL_LockAudioDevice(device);
    looping = false;
    ring = nullptr;
    ringBytes = 0;
    readOffset = 0;
    playedBytes = 0;
    sdl->SDL_UnlockAudioDevice(device);
}

int audioDeviceClose() {
    if (device == 0)
        return 5; // as closing an invalid handle
    sdl->SDL_CloseAudioDevice(device);
    device = 0;
    sdl->SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return 0;
}

} // namespace

const AudioDevice systemAudioDevice = {
    audioDeviceOpen,      audioDevicePrepare, audioDeviceWrite, audioDeviceGetPosition,
    audioDeviceUnprepare, audioDeviceReset,   audioDeviceClose,
};

const char* systemAudioDeviceError() {
    return lastError;
}

} // namespace ostrel::platform
