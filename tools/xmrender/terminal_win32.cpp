// Keys on Windows: the console's keys through _kbhit and _getch, and Ctrl-C or Ctrl-Break
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

void beginKeys() {
    InterlockedExchange(&signalled, 0);
    SetConsoleCtrlHandler(onControl, TRUE);
}

Key nextKey() {
    while (!InterlockedCompareExchange(&signalled, 0, 0) && _kbhit()) {
        const int first = _getch();
        // Arrows and the paging keys come as two codes: a prefix, then the key.
        const int second = first == 0 || first == 0xE0 ? _getch() : 0;
        const Key key = consoleKey(first, second);
        if (key != Key::none)
            return key;
    }
    return InterlockedCompareExchange(&signalled, 0, 0) ? Key::stop : Key::none;
}

void endKeys() {
    SetConsoleCtrlHandler(onControl, FALSE);
}

} // namespace ostrel::xmrender
