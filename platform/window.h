// The window, rendering context, message queue and message boxes as the portable shell and
// visuals see them. The win32 backend implements these with the Win32 calls themselves; the sdl
// backend with SDL2, translating its events into the same messages.
#pragma once

#include <cstdint>

namespace ostrel::platform {

// Window messages, with the Win32 values so that the win32 backend passes them through as they are.
enum : uint32_t {
    wmActivate = 0x0006,
    wmClose = 0x0010,
    wmQuit = 0x0012,
    wmKeyDown = 0x0100,
    wmKeyUp = 0x0101,
    wmSysCommand = 0x0112,
};
// WM_SYSCOMMAND requests that the demo refuses.
enum : uintptr_t {
    scScreenSave = 0xF140,
    scMonitorPower = 0xF170,
};
// Virtual-key code of the one key the demo reads.
enum : uint32_t { vkEscape = 27 };

// Message box styles and answers, Win32 values.
enum : uint32_t {
    mbOk = 0x00,
    mbYesNo = 0x04,
    mbIconQuestion = 0x20,
};
enum : int32_t {
    idOk = 1,
    idYes = 6,
    idNo = 7,
};

// One queued window message.
struct Message {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

// The window's handles, opaque here: HWND, HDC, HGLRC and HINSTANCE on Windows; the SDL window
// and GL context elsewhere, with no device context or instance.
struct WindowHandles {
    void* window;
    void* deviceContext;
    void* renderingContext;
    void* instance;
};

using PostQuitFunction = void (*)(int32_t exitCode);
// The program's window procedure table: 1 when it handled the message, 0 when the message
// belongs to the platform's default handling. It posts the quit through postQuit.
using MessageHandler = int32_t (*)(const Message* message, PostQuitFunction postQuit);

// What the window code needs of the program that owns the window, which lies above the
// platform: where the handles are kept, the full-screen setting as it stands at each use
// (creation and teardown), and the window procedure's table.
struct WindowClient {
    WindowHandles* handles;
    int32_t (*isFullscreen)();
    MessageHandler handleMessage;
};

// Installed once at start-up, before createGlWindow; the record must outlive the window.
void installWindowClient(const WindowClient* client);
// The installed record, or null; for the backends' window and message code.
const WindowClient* installedWindowClient();

// Opens the one window at 0, 0 with a client area of width x height, a double-buffered RGBA
// OpenGL context with a 16-bit depth buffer made current, and the viewport set. Changes the
// display mode first when the client's full-screen setting is on. Fills the client's handles.
// 1 on success, 0 on failure (after the one message box of the refused full-screen mode, or a
// full teardown; at once when no client is installed).
int32_t createGlWindow(const char* title, int32_t width, int32_t height, int32_t bits);
// Releases the display mode, context, device context, window and class, in that order.
int32_t destroyGlWindow();

// Shows a message box without an owner; returns the answer (idYes, idNo, idOk, or 0 when no box
// could be shown).
int32_t messageBox(const char* text, const char* caption, uint32_t type);

// Takes one waiting message off the queue into *message; 0 when the queue is empty.
int32_t peekMessage(Message* message);
// Hands the message last taken by peekMessage to the window procedure, which gives it to the
// client's table and what the table leaves to the platform's default handling.
void dispatchMessage(const Message* message);
// Queues WM_QUIT with the exit code as its wParam.
void postQuitMessage(int32_t exitCode);

// Shows the back buffer (SwapBuffers on the window's device context).
void swapBuffers();
// The window's device context (an HDC on Windows; null elsewhere), for the font build.
void* deviceContext();

} // namespace ostrel::platform
