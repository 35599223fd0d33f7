// Win32 message queue and message boxes, passed straight through to user32.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/window.h"

namespace ostrel::platform {

namespace {
// The message as PeekMessageA filled it, with the window, time and point that
// TranslateMessage and DispatchMessageA need.
MSG lastMessage;
} // namespace

int32_t messageBox(const char* text, const char* caption, uint32_t type) {
    return MessageBoxA(nullptr, text, caption, type);
}

int32_t peekMessage(Message* message) {
    if (!PeekMessageA(&lastMessage, nullptr, 0, 0, PM_REMOVE)) {
        return 0;
    }
    *message = Message{lastMessage.message, lastMessage.wParam, lastMessage.lParam};
    return 1;
}

void dispatchMessage(const Message*) {
    TranslateMessage(&lastMessage);
    DispatchMessageA(&lastMessage);
}

void postQuitMessage(int32_t exitCode) {
    PostQuitMessage(exitCode);
}

} // namespace ostrel::platform
