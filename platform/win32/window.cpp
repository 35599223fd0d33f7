// Win32 window and WGL context: window class "c" with its window procedure, the display-mode
// change for full-screen, the pixel format, the rendering context, and their teardown in
// reverse. Lacks: any fallback when the pixel format or the context fails (the window then
// simply shows nothing).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <GL/gl.h>

#include "platform/window.h"

namespace ostrel::platform {

namespace {

const char className[] = "c";

const WindowClient* client = nullptr;

WindowHandles& handles() {
    return *client->handles;
}
HWND hwnd() {
    return static_cast<HWND>(handles().window);
}
HDC hdc() {
    return static_cast<HDC>(handles().deviceContext);
}
HGLRC hglrc() {
    return static_cast<HGLRC>(handles().renderingContext);
}
HINSTANCE hinstance() {
    return static_cast<HINSTANCE>(handles().instance);
}
int32_t isFullscreen() {
    return client->isFullscreen();
}

void postQuit(int32_t exitCode) {
    PostQuitMessage(exitCode);
}

// The window procedure registered with the class: the client's table first, then the default
// handling for whatever the table leaves alone.
LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const Message record = {message, wParam, lParam};
    if (client != nullptr && client->handleMessage(&record, postQuit)) {
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void installWindowClient(const WindowClient* windowClient) {
    client = windowClient;
}

const WindowClient* installedWindowClient() {
    return client;
}

int32_t createGlWindow(const char* title, int32_t width, int32_t height, int32_t bits) {
    if (client == nullptr) {
        return 0;
    }
    WNDCLASSA windowClass = {};
    handles().instance = GetModuleHandleA(nullptr);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = windowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = hinstance();
    windowClass.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className;
    if (!RegisterClassA(&windowClass)) {
        return 0;
    }

    if (isFullscreen()) {
        DEVMODEA mode;
        ZeroMemory(&mode, sizeof(mode));
        mode.dmSize = sizeof(mode);
        mode.dmPelsWidth = static_cast<DWORD>(width);
        mode.dmPelsHeight = static_cast<DWORD>(height);
        mode.dmBitsPerPel = static_cast<DWORD>(bits);
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        // No fallback to a window: the class stays registered and the run ends.
        if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) {
            MessageBoxA(nullptr, "The requested fullscreen mode is not supported by your hardware.",
                        "BAD!!", MB_OK);
            return 0;
        }
    }

    DWORD style;
    DWORD extendedStyle;
    if (isFullscreen()) {
        style = WS_POPUP;
        extendedStyle = WS_EX_APPWINDOW;
        ShowCursor(FALSE);
    } else {
        // 0x300 holds none of the standard frame bits; the frame is whatever the system gives
        // a plain overlapped window: a caption and a border.
        style = 0x300;
        extendedStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    }

    handles().window =
        CreateWindowExA(extendedStyle, className, title, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                        0, 0, width, height, nullptr, nullptr, hinstance(), nullptr);
    if (handles().window == nullptr) {
        destroyGlWindow();
        return 0;
    }
    if (!isFullscreen()) {
        // AdjustWindowRectEx cannot count that frame, as the style does not name it. Measured
        // on the window as the system drew it, the client area falls short of width x height
        // by exactly the frame (1274 x 695 instead of 1280 x 720 under Wine), which would cut
        // off the scene's top and right edges: the window grows by that much. On a screen too
        // small for the whole window the system shrinks it to fit.
        RECT drawn;
        RECT frame;
        GetClientRect(hwnd(), &drawn);
        GetWindowRect(hwnd(), &frame);
        SetWindowPos(hwnd(), nullptr, 0, 0, frame.right - frame.left + width - drawn.right,
                     frame.bottom - frame.top + height - drawn.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    PIXELFORMATDESCRIPTOR descriptor;
    ZeroMemory(&descriptor, sizeof(descriptor));
    descriptor.nSize = sizeof(descriptor);
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = static_cast<BYTE>(bits);
    descriptor.cDepthBits = 16;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    // None of these results is checked: a window without a working context still runs.
    handles().deviceContext = GetDC(hwnd());
    int format = ChoosePixelFormat(hdc(), &descriptor);
    SetPixelFormat(hdc(), format, &descriptor);
    handles().renderingContext = wglCreateContext(hdc());
    wglMakeCurrent(hdc(), hglrc());

    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    SetFocus(hwnd());
    glViewport(0, 0, width, height);
    return 1;
}

int32_t destroyGlWindow() {
    if (client == nullptr) {
        return 0;
    }
    // Follows the setting, not whether the mode change happened: on every path that reaches
    // here in full-screen mode it did.
    if (isFullscreen()) {
        ChangeDisplaySettingsA(nullptr, 0);
        ShowCursor(TRUE);
    }
    if (hglrc() != nullptr) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(hglrc());
    }
    if (hdc() != nullptr) {
        ReleaseDC(hwnd(), hdc());
    }
    if (hwnd() != nullptr) {
        DestroyWindow(hwnd());
    }
    return UnregisterClassA(className, hinstance());
}

void swapBuffers() {
    if (client != nullptr) {
        SwapBuffers(hdc());
    }
}

void* deviceContext() {
    return client != nullptr ? handles().deviceContext : nullptr;
}

} // namespace ostrel::platform
