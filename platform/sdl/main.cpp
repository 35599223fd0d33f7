// SDL2 entry point: installs the SDL sound device, runs the demo and gives SDL back its resources.
// The executable compiles this file itself, so that the entry point does not have to be found in a
// library.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include "audio/output.h"
#include "shell/app.h"

int main(int, char**) {
    ostrel::installAudioDevice(&ostrel::platform::systemAudioDevice);
    int32_t exitCode = ostrel::runDemo();
    SDL_Quit();
    return exitCode;
}
