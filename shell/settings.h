// The built-in settings, the window handles with the quit flag, and the key table. There is no
// configuration file, command line or environment: the defaults are what the program runs with.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace ostrel {

struct Settings {
    const char* fontFace;    // face name of both fonts
    const char* windowTitle; // window caption
    int32_t active;          // frames are drawn only while non-zero; follows the minimised state
    int32_t musicEnabled;    // music started at initialisation and stopped at shutdown
    int32_t fullscreen;      // display-mode change; cleared when the start-up question says No
    int32_t height;          // window / display-mode height in pixels
    int32_t width;           // window / display-mode width in pixels
    float timeOffset;        // subtracted from the frame clock's elapsed time
};

// The window's handles, which the platform's createGlWindow fills (opaque here; each backend
// knows what they are), and the quit flag.
struct AppWindow {
    platform::WindowHandles handles;
    int32_t quit; // once set, never cleared
};

extern Settings settings;
extern AppWindow appWindow;
// 1 from a key's WM_KEYDOWN to its WM_KEYUP, indexed by virtual-key code.
extern int32_t keyTable[256];

// The built-in defaults. The offset is minus zero: subtracting it leaves the elapsed time exactly
// as it is.
inline constexpr Settings builtinSettings = {"Comic Sans MS", "Ostrel", 1, 1, 1, 720, 1280, -0.0f};

void setResolution(int32_t width, int32_t height);
int32_t getWidth();
int32_t getHeight();
void setFullscreen(int32_t flag);
int32_t isFullscreen();
void setMusicEnabled(int32_t flag);
int32_t isMusicEnabled();
int32_t isQuitRequested();
void requestQuit();

} // namespace ostrel
