// The sound device's SDL functions loaded at run time (xmrender): libSDL2 is opened on the
// device's first open, with every symbol resolved at once (RTLD_NOW) and kept out of the
// program's own lookups (RTLD_LOCAL), and the eight functions the device calls are looked up by
// name. A missing library or function leaves nothing bound and is tried again on the next open.
// Once bound, the library stays loaded to the end of the program: SDL may keep threads and
// state past the device's close.
#include "platform/sdl/audio_device_calls.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace ostrel::platform {

namespace {
// The name of Debian's libsdl2-2.0-0, the SDL2 ABI every 2.x release keeps.
constexpr const char* defaultLibrary = "libSDL2-2.0.so.0";
SdlAudioCalls loadedCalls;
bool bound = false;

template <typename Function> bool bindFunction(void* library, const char* name, Function* slot) {
    void* symbol = dlsym(library, name);
    if (!symbol)
        return false;
    *slot = reinterpret_cast<Function>(symbol);
    return true;
}

void keepLoaderError(char* reason, size_t reasonSize) {
    const char* text = dlerror();
    std::snprintf(reason, reasonSize, "%s", text ? text : "the SDL library could not be loaded");
}
} // namespace

const SdlAudioCalls* bindSdlAudio(char* reason, size_t reasonSize) {
    if (bound)
        return &loadedCalls;
    const char* name = std::getenv("OSTREL_SDL_LIBRARY");
    if (!name || !*name)
        name = defaultLibrary;
    void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        keepLoaderError(reason, reasonSize);
        return nullptr;
    }
    SdlAudioCalls calls = {};
    // The field and the looked-up name are one word, so that they cannot disagree.
#define OSTREL_BIND(function) bindFunction(library, #function, &calls.function)
    const bool complete = OSTREL_BIND(SDL_InitSubSystem) && OSTREL_BIND(SDL_QuitSubSystem) &&
                          OSTREL_BIND(SDL_OpenAudioDevice) && OSTREL_BIND(SDL_CloseAudioDevice) &&
                          OSTREL_BIND(SDL_LockAudioDevice) && OSTREL_BIND(SDL_UnlockAudioDevice) &&
                          OSTREL_BIND(SDL_PauseAudioDevice) && OSTREL_BIND(SDL_GetError);
#undef OSTREL_BIND
    if (!complete) {
        // Nothing of the library has run yet, so it can go again.
        keepLoaderError(reason, reasonSize);
        dlclose(library);
        return nullptr;
    }
    loadedCalls = calls;
    bound = true;
    return &loadedCalls;
}

} // namespace ostrel::platform
