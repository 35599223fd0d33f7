// Win32 host: Sleep, the performance counter, timeGetTime, and the audio thread made with
// CreateThread and raised to time-critical priority (a refusal is ignored: the thread then
// runs at normal priority).
#include "platform/platform.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdlib>

namespace ostrel::platform {

namespace {
struct ThreadRecord {
    HANDLE handle;
    ThreadFunction fn;
    void* argument;
};

DWORD WINAPI threadEntry(LPVOID parameter) {
    ThreadRecord* record = static_cast<ThreadRecord*>(parameter);
    return record->fn(record->argument);
}
} // namespace

void sleepMs(uint32_t milliseconds) {
    Sleep(milliseconds);
}

int queryCounterFrequency(int64_t* frequency) {
    LARGE_INTEGER value;
    if (!QueryPerformanceFrequency(&value)) {
        *frequency = 0;
        return 0;
    }
    *frequency = value.QuadPart;
    return value.QuadPart != 0 ? 1 : 0;
}

int64_t queryCounter() {
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

uint32_t millisecondTimer() {
    return timeGetTime();
}

void* startTimeCriticalThread(ThreadFunction fn, void* argument) {
    ThreadRecord* record = static_cast<ThreadRecord*>(std::malloc(sizeof(ThreadRecord)));
    if (!record)
        return nullptr;
    record->fn = fn;
    record->argument = argument;
    record->handle = CreateThread(nullptr, 0, threadEntry, record, 0, nullptr);
    if (!record->handle) {
        std::free(record);
        return nullptr;
    }
    SetThreadPriority(record->handle, THREAD_PRIORITY_TIME_CRITICAL);
    return record;
}

void joinThread(void* thread) {
    if (!thread)
        return;
    ThreadRecord* record = static_cast<ThreadRecord*>(thread);
    WaitForSingleObject(record->handle, INFINITE);
    CloseHandle(record->handle);
    std::free(record);
}

void shutdownHost() {
    // Nothing is held that the system does not take back at exit.
}

} // namespace ostrel::platform
