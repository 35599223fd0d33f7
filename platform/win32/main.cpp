// Win32 entry point, which installs the wave-out sound device and runs the demo. The executable
// compiles this file itself, so that WinMain does not have to be found in a library.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "audio/output.h"
#include "shell/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ostrel::installAudioDevice(&ostrel::platform::systemAudioDevice);
    return ostrel::runDemo();
}
