// The demo wired to the host: the fixed-function set-up, the frame, and the operations table
// of the real platform for the start-up, loop and shutdown in main_loop.cpp.
#include "shell/app.h"

#include "audio/music.h"
#include "platform/fonts.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "shell/frame_clock.h"
#include "shell/main_loop.h"
#include "shell/settings.h"
#include "shell/window_proc.h"
#include "visuals/schedule.h"
#include "visuals/text.h"

namespace ostrel {

int32_t initScene() {
    // 20, 17, 99 out of 255.
    glClearColor(0.078431375f, 0.06666667f, 0.3882353f, 0.0f);
    platform::buildFonts(appWindow.handles.deviceContext, settings.fontFace, &bitmapBase,
                         &outlineBase);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_POINT_SMOOTH);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    // Fog stays disabled (every frame disables it); a scene that enables it finds these.
    static const GLfloat fogColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, fogColour);
    glFogf(GL_FOG_DENSITY, 0.5f);
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    // A provisional projection; the schedule's set-up replaces it with the standard one.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.7777778, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    setupSchedule(platform::swapBuffers);
    // The clock starts before the music, so the music's start-up time is already on the clock
    // at the first frame.
    startFrameClock();
    if (isMusicEnabled()) {
        return startMusic();
    }
    return 0;
}

int32_t renderFrame() {
    // Every scene starts from the same state.
    glLineWidth(1.0f);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_FOG);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    tickFrameClock();
    glPushMatrix();
    int32_t result = runSchedule(frameClockTime());
    glPopMatrix();
    return result;
}

int32_t runDemo() {
    // The window code lies below the shell: it keeps the handles in appWindow, reads the
    // full-screen setting and gives messages to the shell's table through this record.
    static const platform::WindowClient client = {&appWindow.handles, isFullscreen,
                                                  handleWindowMessage};
    platform::installWindowClient(&client);
    static const AppHost host = {
        platform::messageBox,
        platform::createGlWindow,
        platform::destroyGlWindow,
        initScene,
        stopMusic,
        endSchedule,
        {platform::sleepMs, platform::peekMessage, platform::dispatchMessage, renderFrame,
         platform::swapBuffers},
    };
    return runApplication(&host);
}

} // namespace ostrel
