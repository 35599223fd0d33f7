// What the portable code asks of the host system beyond OpenGL: time, sleeping and the audio
// thread. Each backend (win32/, sdl/, headless/) implements these in one small file; the
// portable code includes only this header, never a system header.
#pragma once

#include <cstdint>

namespace ostrel::platform {

void sleepMs(uint32_t milliseconds);

// High-resolution counter; queryCounterFrequency returns 0 when there is none.
int queryCounterFrequency(int64_t* frequency);
int64_t queryCounter();
// Millisecond timer (wraps after about 49 days).
uint32_t millisecondTimer();

// Starts fn(argument) on a new thread at once, at the highest priority the host grants.
// Returns an opaque handle, or null when no thread could be started.
using ThreadFunction = uint32_t (*)(void* argument);
void* startTimeCriticalThread(ThreadFunction fn, void* argument);
// Waits for the thread's end and releases its handle; accepts null.
void joinThread(void* thread);

// Gives the host back what the program still holds of it, as its last step (SDL_Quit on the SDL
// host; nothing elsewhere).
void shutdownHost();

} // namespace ostrel::platform
