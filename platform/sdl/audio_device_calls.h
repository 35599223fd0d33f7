// The SDL functions the sound device (audio_device.cpp) calls, as a table of pointers, so that
// one device serves two kinds of program: the demo links SDL and fills the table with SDL's own
// functions (audio_device_linked.cpp); xmrender links no SDL and fills it from libSDL2 loaded
// when the device is first opened (audio_device_runtime.cpp), so that its offline runs never
// pay for loading SDL and the fifty libraries behind it. The device takes only types and
// constants from SDL.h: a direct SDL call in it fails the run-time form's link check.
#pragma once

#include <SDL.h>

#include <cstddef>

namespace ostrel::platform {

// Each field is named after the SDL function it points to.
struct SdlAudioCalls {
    decltype(&::SDL_InitSubSystem) SDL_InitSubSystem;
    decltype(&::SDL_QuitSubSystem) SDL_QuitSubSystem;
    decltype(&::SDL_OpenAudioDevice) SDL_OpenAudioDevice;
    decltype(&::SDL_CloseAudioDevice) SDL_CloseAudioDevice;
    decltype(&::SDL_LockAudioDevice) SDL_LockAudioDevice;
    decltype(&::SDL_UnlockAudioDevice) SDL_UnlockAudioDevice;
    decltype(&::SDL_PauseAudioDevice) SDL_PauseAudioDevice;
    decltype(&::SDL_GetError) SDL_GetError;
};

// The table, every field set; or null when SDL cannot be had, and then `reason` holds why (the
// loader's text, naming the library or the missing function). Called on every open until it
// succeeds; the table it returns stays valid to the end of the program.
const SdlAudioCalls* bindSdlAudio(char* reason, size_t reasonSize);

} // namespace ostrel::platform
