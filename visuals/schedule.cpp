// The scene schedule: turns the frame clock's time into the progress of the one scene and ends
// the run once the time passes the run length. The clock and the window are the shell's, so
// the shell hands in the time and the buffer swap.
#include "visuals/scene.h"

#include "platform/gl.h"
#include "visuals/closing_scene.h"
#include "visuals/draw.h"

namespace ostrel {

SceneSchedule sceneSchedule = {};

void addScene(const char* name, float start, float length, SceneStartFunction onStart,
              SceneProgressFunction onProgress, SceneEndFunction onEnd) {
    // Only the first registration counts; later ones are dropped whole.
    if (sceneSchedule.registered) {
        return;
    }
    Scene& scene = sceneSchedule.scene;
    scene.name = name;
    scene.start = start;
    scene.end = start + length;
    scene.onStart = onStart;
    scene.onProgress = onProgress;
    scene.onEnd = onEnd;
    sceneSchedule.registered = 1;
}

int setupSchedule(void (*swapBuffers)()) {
    addScene("Start", 0.0f, 60.0f, nullptr, drawClosingScene, nullptr);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    setPerspective();
    // The window shows the clear colour while the rest of start-up runs.
    swapBuffers();
    const Scene& scene = sceneSchedule.scene;
    return scene.onStart ? scene.onStart() : 0;
}

int runSchedule(float t) {
    if (t > runLength) {
        return 0;
    }
    const Scene& scene = sceneSchedule.scene;
    // Both bounds are exclusive, so the progress lies strictly between 0 and 1. Without a
    // registration start and end are both 0 and this never holds.
    if (t > scene.start && t < scene.end) {
        scene.onProgress((t - scene.start) / (scene.end - scene.start));
    }
    return 1;
}

int endSchedule() {
    const Scene& scene = sceneSchedule.scene;
    return scene.onEnd ? scene.onEnd() : 0;
}

} // namespace ostrel
