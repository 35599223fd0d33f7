#include "shell/window_proc.h"

#include "shell/settings.h"

namespace ostrel {

int32_t handleWindowMessage(const platform::Message* message, PostQuitFunction postQuit) {
    switch (message->message) {
    case platform::wmActivate:
        // Only the minimised flag in the high word counts: a window that merely lost the focus
        // keeps drawing.
        settings.active = ((message->wParam >> 16) & 0xFFFF) == 0 ? 1 : 0;
        return 1;
    case platform::wmClose:
        postQuit(0);
        return 1;
    case platform::wmKeyDown:
        // Virtual-key codes are below 256; a stray larger value must not write past the table.
        if (message->wParam < 256) {
            keyTable[message->wParam] = 1;
        }
        return 1;
    case platform::wmKeyUp:
        if (message->wParam < 256) {
            keyTable[message->wParam] = 0;
        }
        return 1;
    case platform::wmSysCommand:
        // Compared whole: the low four bits of other system commands carry the platform's own
        // data, and anything but these two exact values must go on to the default handling.
        if (message->wParam == platform::scScreenSave ||
            message->wParam == platform::scMonitorPower) {
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

} // namespace ostrel
