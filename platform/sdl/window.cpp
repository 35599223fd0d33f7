// SDL2 window and OpenGL context: one window at 0, 0, a double-buffered RGBA compatibility
// context with a 16-bit depth buffer, full-screen through a display-mode change to exactly the
// requested size. Lacks: a device context (fonts are built without one) and window classes.
#include <SDL.h>

#include "platform/gl.h"
#include "platform/window.h"

namespace ostrel::platform {

namespace {

const WindowClient* client = nullptr;

WindowHandles& handles() {
    return *client->handles;
}
SDL_Window* sdlWindow() {
    return static_cast<SDL_Window*>(handles().window);
}
int32_t isFullscreen() {
    return client->isFullscreen();
}

// Finds the display mode of exactly width x height; 0 when the display has none.
int32_t findDisplayMode(int32_t width, int32_t height, SDL_DisplayMode* mode) {
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        if (SDL_GetDisplayMode(0, i, mode) == 0 && mode->w == width && mode->h == height) {
            return 1;
        }
    }
    return 0;
}

void refuseFullscreen() {
    messageBox("The requested fullscreen mode is not supported by your hardware.", "BAD!!", mbOk);
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
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return 0;
    }
    // The screen saver and monitor power saving stay off while the demo runs.
    SDL_DisableScreenSaver();

    Uint32 flags = SDL_WINDOW_OPENGL;
    SDL_DisplayMode mode = {};
    if (isFullscreen()) {
        // No fallback to a window: a refused mode ends the run after the box.
        if (!findDisplayMode(width, height, &mode)) {
            refuseFullscreen();
            return 0;
        }
        flags |= SDL_WINDOW_FULLSCREEN;
        SDL_ShowCursor(SDL_DISABLE);
    }

    // The colour depth comes from the three 8-bit channels; the 32 asked for includes the unused
    // padding byte that Windows counts and X visuals do not.
    (void)bits;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);

    SDL_Window* window = SDL_CreateWindow(title, 0, 0, width, height, flags);
    handles().window = window;
    if (window == nullptr) {
        destroyGlWindow();
        return 0;
    }
    if (isFullscreen() && SDL_SetWindowDisplayMode(window, &mode) != 0) {
        destroyGlWindow();
        refuseFullscreen();
        return 0;
    }
    // As with the Win32 pixel format calls, a failed context is not detected here.
    handles().renderingContext = SDL_GL_CreateContext(window);
    if (handles().renderingContext != nullptr) {
        SDL_GL_MakeCurrent(window, static_cast<SDL_GLContext>(handles().renderingContext));
    }
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    glViewport(0, 0, width, height);
    return 1;
}

int32_t destroyGlWindow() {
    if (client == nullptr) {
        return 0;
    }
    // Destroying a full-screen window gives the desktop its own mode back.
    if (isFullscreen()) {
        SDL_ShowCursor(SDL_ENABLE);
    }
    if (handles().renderingContext != nullptr) {
        SDL_GL_MakeCurrent(sdlWindow(), nullptr);
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(handles().renderingContext));
        handles().renderingContext = nullptr;
    }
    if (handles().window != nullptr) {
        SDL_DestroyWindow(sdlWindow());
        handles().window = nullptr;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 1;
}

void swapBuffers() {
    if (client != nullptr) {
        SDL_GL_SwapWindow(sdlWindow());
    }
}

void* deviceContext() {
    return nullptr;
}

} // namespace ostrel::platform
