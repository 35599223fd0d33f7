// Win32 entry point, which installs the wave-out sound device and runs the demo, and the window
// procedure registered with the window class. The executable compiles this file itself, so that
// WinMain does not have to be found in a library.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "audio/output.h"
#include "shell/app.h"
#include "shell/window_proc.h"

namespace {
void postQuit(int32_t exitCode) {
    PostQuitMessage(exitCode);
}
} // namespace

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const ostrel::platform::Message record = {message, wParam, lParam};
    if (ostrel::handleWindowMessage(&record, postQuit)) {
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ostrel::installAudioDevice(&ostrel::platform::systemAudioDevice);
    return ostrel::runDemo();
}
