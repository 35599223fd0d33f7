// Controls of the headless backend, for tests and offline rendering: the sound device's open
// result and play position (which only the caller moves), what it was handed, and whether the
// host grants threads at all.
#pragma once

#include <cstdint>

#include "platform/audio_device.h"

namespace ostrel::platform {

// The headless device's operations, for installAudioDevice.
extern const AudioDevice headlessAudioDevice;

// The result the device's next open gives: 0 opens, anything else refuses.
void headlessAudioSetOpenResult(int result);
// Moves the play position on by this many bytes (wrapping at 2^32) while the device plays.
void headlessAudioAdvance(uint32_t bytes);
// Puts the play position at this byte count while the device plays.
void headlessAudioSetPosition(uint32_t bytes);
uint32_t headlessAudioPosition();
// The result of the following position queries: 0 answers, anything else fails.
void headlessAudioSetPositionResult(int result);
// How many position queries have been made so far, answered or not.
uint32_t headlessAudioPositionQueries();
// The ring handed to the device, or null when none is held (never handed over, or reset).
const int16_t* headlessAudioRing();
uint32_t headlessAudioRingBytes();
int headlessAudioIsOpen();
// 1 between the write and the next reset: the device loops the ring.
int headlessAudioIsPlaying();

// 0: startTimeCriticalThread refuses, as a host without threads would; 1 (the default): it
// starts threads.
void headlessSetThreadsEnabled(int enabled);

} // namespace ostrel::platform
