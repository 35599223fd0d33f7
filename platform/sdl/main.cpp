// SDL2 entry point: runs the demo and gives SDL back its resources. The executable compiles this
// file itself, so that the entry point does not have to be found in a library.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include "shell/app.h"

int main(int, char**) {
    int32_t exitCode = ostrel::runDemo();
    SDL_Quit();
    return exitCode;
}
