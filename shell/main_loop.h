// Start-up order, the main loop and shutdown order, on a table of the operations they call, so
// that the same code runs the demo and, in tests, a scripted fake host.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace ostrel {

struct LoopHost {
    void (*sleepMs)(uint32_t milliseconds);
    int32_t (*peekMessage)(platform::Message* message);
    void (*dispatchMessage)(const platform::Message* message);
    int32_t (*renderFrame)();
    void (*swapBuffers)();
};

struct AppHost {
    int32_t (*messageBox)(const char* text, const char* caption, uint32_t type);
    int32_t (*createGlWindow)(const char* title, int32_t width, int32_t height, int32_t bits);
    int32_t (*destroyGlWindow)();
    int32_t (*initScene)();
    int32_t (*stopMusic)();
    int32_t (*endSchedule)();
    LoopHost loop;
};

// Runs passes until quit is set or a frame says the run is over. Each pass sleeps 10 ms, then
// handles one message or, with an empty queue, at most one frame. Returns the wParam of WM_QUIT
// when the loop ended by it, otherwise 0.
int32_t runMainLoop(const LoopHost* host);

// Question, window, initialisation, loop, shutdown. Returns the process exit code.
int32_t runApplication(const AppHost* host);

} // namespace ostrel
