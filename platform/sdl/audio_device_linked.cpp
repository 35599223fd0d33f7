// The sound device's SDL functions when the program links SDL (the demo): SDL's own, bound by
// the linker, so binding never fails.
#include "platform/sdl/audio_device_calls.h"

namespace ostrel::platform {

namespace {
const SdlAudioCalls linkedCalls = {
    .SDL_InitSubSystem = ::SDL_InitSubSystem,
    .SDL_QuitSubSystem = ::SDL_QuitSubSystem,
    .SDL_OpenAudioDevice = ::SDL_OpenAudioDevice,
    .SDL_CloseAudioDevice = ::SDL_CloseAudioDevice,
    .SDL_LockAudioDevice = ::SDL_LockAudioDevice,
    .SDL_UnlockAudioDevice = ::SDL_UnlockAudioDevice,
    .SDL_PauseAudioDevice = ::SDL_PauseAudioDevice,
    .SDL_GetError = ::SDL_GetError,
};
} // namespace

const SdlAudioCalls* bindSdlAudio(char*, size_t) {
    return &linkedCalls;
}

} // namespace ostrel::platform
