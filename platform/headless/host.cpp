// Headless host: time from the standard library's clocks, threads from std::thread (the
// Windows build's runtime has none, so there the thread is a CreateThread). On Windows the
// thread is raised to time-critical priority as the demo's is, since xmrender.exe plays live
// through this host; elsewhere it keeps the priority it starts with, which is all a host
// grants without special rights.
#include "platform/platform.h"

#include <atomic>
#include <chrono>

#include "platform/headless/headless_audio.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <thread>
#endif

namespace ostrel::platform {

namespace {
std::atomic<int> threadsEnabled{1};
using Clock = std::chrono::steady_clock;
const Clock::time_point startTime = Clock::now();
} // namespace

void headlessSetThreadsEnabled(int enabled) {
    threadsEnabled = enabled;
}

void sleepMs(uint32_t milliseconds) {
#if defined(_WIN32)
    Sleep(milliseconds);
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
#endif
}

int queryCounterFrequency(int64_t* frequency) {
    *frequency = 1000000000;
    return 1;
}

int64_t queryCounter() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - startTime).count();
}

uint32_t millisecondTimer() {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - startTime).count());
}

#if defined(_WIN32)

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

void* startTimeCriticalThread(ThreadFunction fn, void* argument) {
    if (!threadsEnabled)
        return nullptr;
    ThreadRecord* record = new ThreadRecord{nullptr, fn, argument};
    record->handle = CreateThread(nullptr, 0, threadEntry, record, 0, nullptr);
    if (!record->handle) {
        delete record;
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
    delete record;
}

#else

void* startTimeCriticalThread(ThreadFunction fn, void* argument) {
    if (!threadsEnabled)
        return nullptr;
    return new std::thread([fn, argument] { fn(argument); });
}

void joinThread(void* thread) {
    if (!thread)
        return;
    std::thread* handle = static_cast<std::thread*>(thread);
    handle->join();
    delete handle;
}

#endif

void shutdownHost() {
    // Nothing is held that the system does not take back at exit.
}

} // namespace ostrel::platform
