// The looping-buffer sound device: it plays one buffer of signed 16-bit stereo frames from its
// first byte to its last and again, without end, and reports how many bytes it has played as
// a 32-bit count. Backends: wave-out (win32/), an SDL2 audio callback (sdl/), and a headless
// device whose position the caller advances (headless/).
#pragma once

#include <cstdint>

namespace ostrel::platform {

// 0 on success (as waveOutOpen), anything else when no device could be opened.
int audioDeviceOpen(uint32_t rate);
// Hands over the ring and starts looping it.
void audioDevicePrepare(int16_t* ring, uint32_t bytes);
void audioDeviceWrite();
// Bytes played since the write; 0 on success, non-zero when the query failed.
int audioDeviceGetPosition(uint32_t* bytes);
void audioDeviceUnprepare();
// Stops playback at once; the ring is no longer read afterwards.
void audioDeviceReset();
int audioDeviceClose();

} // namespace ostrel::platform
