// SDL2 message boxes and message queue. SDL events become the Win32 messages that the window
// client's table (the shell's window procedure) expects: keys as virtual-key codes, minimise and
// restore as WM_ACTIVATE with the minimised flag in the high word, a window close (or a quit
// signal) as WM_CLOSE. Lacks: WM_SYSCOMMAND (SDL keeps the screen saver off itself) and a default
// handling for the messages the table leaves alone (they are dropped).
//
// The start-up question: on X11, SDL shows its message boxes through the zenity program. When no
// box can be shown at all, or the box is closed without choosing a button, the answer counts as
// No: the safe choice is a window, not a display-mode change nobody asked for.
#include <SDL.h>

#include "platform/window.h"

namespace ostrel::platform {

namespace {

// A WM_QUIT posted by the window procedure, waiting to be taken before any new event.
int32_t quitPosted = 0;
int32_t quitCode = 0;

// Virtual-key code of an SDL key, 0 for keys the demo has no code for.
uint32_t virtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return static_cast<uint32_t>('A' + (key - SDLK_a));
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return static_cast<uint32_t>('0' + (key - SDLK_0));
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return 0x70 + static_cast<uint32_t>(key - SDLK_F1);
    }
    switch (key) {
    case SDLK_ESCAPE:
        return vkEscape;
    case SDLK_BACKSPACE:
        return 0x08;
    case SDLK_TAB:
        return 0x09;
    case SDLK_RETURN:
        return 0x0D;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return 0x10;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return 0x11;
    case SDLK_LALT:
    case SDLK_RALT:
        return 0x12;
    case SDLK_PAUSE:
        return 0x13;
    case SDLK_SPACE:
        return 0x20;
    case SDLK_PAGEUP:
        return 0x21;
    case SDLK_PAGEDOWN:
        return 0x22;
    case SDLK_END:
        return 0x23;
    case SDLK_HOME:
        return 0x24;
    case SDLK_LEFT:
        return 0x25;
    case SDLK_UP:
        return 0x26;
    case SDLK_RIGHT:
        return 0x27;
    case SDLK_DOWN:
        return 0x28;
    case SDLK_INSERT:
        return 0x2D;
    case SDLK_DELETE:
        return 0x2E;
    default:
        return 0;
    }
}

// Activation state in the low word, minimised flag in the high word.
uintptr_t activation(uint32_t state, SDL_Window* window) {
    uintptr_t minimised = (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED) != 0 ? 1 : 0;
    return (minimised << 16) | state;
}

// 1 when the event becomes a message.
int32_t translate(const SDL_Event& event, Message* message) {
    *message = Message{0, 0, 0};
    switch (event.type) {
    case SDL_QUIT:
        message->message = wmClose;
        return 1;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        uint32_t key = virtualKey(event.key.keysym.sym);
        if (key == 0) {
            return 0;
        }
        message->message = event.type == SDL_KEYDOWN ? wmKeyDown : wmKeyUp;
        message->wParam = key;
        return 1;
    }
    case SDL_WINDOWEVENT: {
        SDL_Window* window = SDL_GetWindowFromID(event.window.windowID);
        switch (event.window.event) {
        case SDL_WINDOWEVENT_MINIMIZED:
            message->message = wmActivate;
            message->wParam = (uintptr_t{1} << 16) | 0; // inactive, minimised
            return 1;
        case SDL_WINDOWEVENT_RESTORED:
            message->message = wmActivate;
            message->wParam = 1; // active, not minimised
            return 1;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            message->message = wmActivate;
            message->wParam = activation(1, window);
            return 1;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            message->message = wmActivate;
            message->wParam = activation(0, window);
            return 1;
        case SDL_WINDOWEVENT_CLOSE:
            message->message = wmClose;
            return 1;
        default:
            return 0;
        }
    }
    default:
        return 0;
    }
}

void postQuit(int32_t exitCode) {
    postQuitMessage(exitCode);
}

} // namespace

int32_t messageBox(const char* text, const char* caption, uint32_t type) {
    static const SDL_MessageBoxButtonData yesNo[2] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, idYes, "Yes"},
        {0, idNo, "No"},
    };
    static const SDL_MessageBoxButtonData ok[1] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, idOk,
         "OK"},
    };
    int32_t isYesNo = (type & 0x0F) == mbYesNo;
    SDL_MessageBoxData box = {};
    box.flags = isYesNo ? SDL_MESSAGEBOX_INFORMATION : SDL_MESSAGEBOX_ERROR;
    box.title = caption;
    box.message = text;
    box.numbuttons = isYesNo ? 2 : 1;
    box.buttons = isYesNo ? yesNo : ok;
    int button = -1;
    if (SDL_ShowMessageBox(&box, &button) != 0) {
        return isYesNo ? idNo : 0;
    }
    if (button < 0) {
        // Closed without a choice.
        return isYesNo ? idNo : idOk;
    }
    return button;
}

int32_t peekMessage(Message* message) {
    if (quitPosted) {
        quitPosted = 0;
        *message = Message{wmQuit, static_cast<uintptr_t>(quitCode), 0};
        return 1;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (translate(event, message)) {
            return 1;
        }
    }
    return 0;
}

void dispatchMessage(const Message* message) {
    const WindowClient* client = installedWindowClient();
    if (client != nullptr) {
        client->handleMessage(message, postQuit);
    }
}

void postQuitMessage(int32_t exitCode) {
    quitPosted = 1;
    quitCode = exitCode;
}

} // namespace ostrel::platform
