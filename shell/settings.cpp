#include "shell/settings.h"

namespace ostrel {

Settings settings = builtinSettings;
AppWindow appWindow = {};
int32_t keyTable[256] = {};

void setResolution(int32_t width, int32_t height) {
    settings.width = width;
    settings.height = height;
}
int32_t getWidth() {
    return settings.width;
}
int32_t getHeight() {
    return settings.height;
}
void setFullscreen(int32_t flag) {
    settings.fullscreen = flag;
}
int32_t isFullscreen() {
    return settings.fullscreen;
}
void setMusicEnabled(int32_t flag) {
    settings.musicEnabled = flag;
}
int32_t isMusicEnabled() {
    return settings.musicEnabled;
}
int32_t isQuitRequested() {
    return appWindow.quit;
}
void requestQuit() {
    appWindow.quit = 1;
}

} // namespace ostrel
