// SDL2 host: sleeping, the performance counter, the millisecond timer and the audio thread.
// Thread priority is a request: without the rights for it SDL leaves the thread at normal
// priority, and the thread runs all the same.
#include "platform/platform.h"

#include <SDL.h>

#include <cstdlib>

namespace ostrel::platform {

namespace {
struct ThreadRecord {
    SDL_Thread* thread;
    ThreadFunction fn;
    void* argument;
};

// SDL sets the priority of the calling thread only, so the new thread raises its own.
int threadEntry(void* parameter) {
    ThreadRecord* record = static_cast<ThreadRecord*>(parameter);
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL);
    return static_cast<int>(record->fn(record->argument));
}
} // namespace

void sleepMs(uint32_t milliseconds) {
    SDL_Delay(milliseconds);
}

int queryCounterFrequency(int64_t* frequency) {
    *frequency = static_cast<int64_t>(SDL_GetPerformanceFrequency());
    return *frequency != 0 ? 1 : 0;
}

int64_t queryCounter() {
    return static_cast<int64_t>(SDL_GetPerformanceCounter());
}

uint32_t millisecondTimer() {
    return SDL_GetTicks();
}

void* startTimeCriticalThread(ThreadFunction fn, void* argument) {
    ThreadRecord* record = static_cast<ThreadRecord*>(std::malloc(sizeof(ThreadRecord)));
    if (!record)
        return nullptr;
    record->fn = fn;
    record->argument = argument;
    record->thread = SDL_CreateThread(threadEntry, "audio", record);
    if (!record->thread) {
        std::free(record);
        return nullptr;
    }
    return record;
}

void joinThread(void* thread) {
    if (!thread)
        return;
    ThreadRecord* record = static_cast<ThreadRecord*>(thread);
    SDL_WaitThread(record->thread, nullptr);
    std::free(record);
}

void shutdownHost() {
    SDL_Quit();
}

} // namespace ostrel::platform
