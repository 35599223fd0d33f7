// The looping-buffer sound device: it plays one buffer of signed 16-bit stereo frames from its
// first byte to its last and again, without end, and reports how many bytes it has played as
// a 32-bit count. A device is a record of its seven operations, which the program installs at
// start-up (installAudioDevice, audio/output.h): the demo and xmrender --play the host's sound
// card, the tests of the ring the headless device. Offline renders need no device: they use the
// renderer (audio/renderer.h).
#pragma once

#include <cstdint>

namespace ostrel::platform {

struct AudioDevice {
    // 0 on success (as waveOutOpen), anything else when no device could be opened.
    int (*open)(uint32_t rate);
    // Hands over the ring; write starts looping it.
    void (*prepare)(int16_t* ring, uint32_t bytes);
    void (*write)();
    // Bytes played since the write; 0 on success, non-zero when the query failed.
    int (*getPosition)(uint32_t* bytes);
    void (*unprepare)();
    // Stops playback at once; the ring is no longer read afterwards.
    void (*reset)();
    int (*close)();
};

// The host's sound card: wave-out in the Windows build (win32/), an SDL2 audio callback in the
// native one (sdl/). Each lives in a file of its own, linked without the rest of its backend.
extern const AudioDevice systemAudioDevice;
// Why the host's sound card last failed to open, in the system's words (for SDL, its error
// text, or the loader's when the SDL library could not be loaded), for a message to the user;
// empty after an open that succeeded. Valid until the next open.
const char* systemAudioDeviceError();

} // namespace ostrel::platform
