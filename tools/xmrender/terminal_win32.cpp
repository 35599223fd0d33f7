// Stop keys on Windows: the console's keys through _kbhit and _getch, and Ctrl-C or Ctrl-Break
// through a console control handler, which only sets a flag.
#include "tools/xmrender/terminal.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <conio.h>

namespace ostrel::xmrender {

namespace {

volatile LONG signalled = 0;

BOOL WINAPI onControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        InterlockedExchange(&signalled, 1);
        return TRUE;
    }
    return FALSE;
}

} // namespace

void beginStopKeys() {
    InterlockedExchange(&signalled, 0);
    SetConsoleCtrlHandler(onControl, TRUE);
}

int32_t stopAsked() {
    while (_kbhit()) {
        const int key = _getch();
        if (key == 'q' || key == 'Q' || key == 27)
            InterlockedExchange(&signalled, 1);
        // Arrows and function keys come as two codes; the second is no key of its own.
        if (key == 0 || key == 0xE0)
            _getch();
    }
    return InterlockedCompareExchange(&signalled, 0, 0) ? 1 : 0;
}

void endStopKeys() {
    SetConsoleCtrlHandler(onControl, FALSE);
}

} // namespace ostrel::xmrender
