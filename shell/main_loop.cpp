#include "shell/main_loop.h"

#include "shell/settings.h"

namespace ostrel {

int32_t runMainLoop(const LoopHost* host) {
    // Before any message was taken there is no last wParam; the run then ends with 0.
    int32_t exitCode = 0;
    platform::Message message = {};
    while (!isQuitRequested()) {
        host->sleepMs(10);
        if (host->peekMessage(&message)) {
            exitCode = static_cast<int32_t>(message.wParam);
            if (message.message == platform::wmQuit) {
                requestQuit();
            } else {
                host->dispatchMessage(&message);
            }
            continue;
        }
        // Minimised: no frame, and the clock is not ticked.
        if (!settings.active) {
            continue;
        }
        if (keyTable[platform::vkEscape]) {
            requestQuit();
            continue;
        }
        // The end of the scene leaves the loop at once, without setting quit.
        if (!host->renderFrame()) {
            break;
        }
        host->swapBuffers();
    }
    return exitCode;
}

int32_t runApplication(const AppHost* host) {
    // No on the question means windowed; any other answer, a failed box included, keeps the
    // built-in choice.
    if (host->messageBox("Fullscreen", "Varnholt", platform::mbYesNo | platform::mbIconQuestion) ==
        platform::idNo) {
        setFullscreen(0);
    }
    if (!host->createGlWindow(settings.windowTitle, getWidth(), getHeight(), 32)) {
        return 0;
    }
    // The music's start result does not matter: the visuals run with or without sound.
    host->initScene();
    int32_t exitCode = runMainLoop(&host->loop);

    host->destroyGlWindow();
    if (isMusicEnabled()) {
        host->stopMusic();
    }
    host->endSchedule();
    return exitCode;
}

} // namespace ostrel
