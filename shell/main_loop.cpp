#include "shell/main_loop.h"

#include "shell/settings.h"

namespace ostrel {

int32_t runMainLoop(const LoopHost* host) {
    // The exit code is the wParam of WM_QUIT (the 0 that WM_CLOSE posts). A run that ends by
    // Escape or by the end of the scene ends with 0: the wParam of whatever message happened to
    // come last (the Escape key's 27, a window handle) would report a normal end as a failure.
    int32_t exitCode = 0;
    platform::Message message = {};
    while (!isQuitRequested()) {
        host->sleepMs(10);
        if (host->peekMessage(&message)) {
            if (message.message == platform::wmQuit) {
                exitCode = static_cast<int32_t>(message.wParam);
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
