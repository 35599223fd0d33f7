// The scene schedule: one scene with a time window, its progress each frame, and the end of
// the run after 60 seconds.
#pragma once

namespace ostrel {

using SceneStartFunction = int (*)();
using SceneProgressFunction = void (*)(float progress);
using SceneEndFunction = int (*)();

void addScene(const char* name, float start, float length, SceneStartFunction onStart,
              SceneProgressFunction onProgress, SceneEndFunction onEnd);
// Registers this program's scene and shows a cleared first frame with swapBuffers, the window's
// buffer swap, which the caller passes in: the window belongs to the shell above the visuals.
int setupSchedule(void (*swapBuffers)());
// One frame's step at t, the frame clock's time in seconds as the caller has just ticked it (the
// clock is the shell's): 0 once the run is over, 1 to go on.
int runSchedule(float t);
int endSchedule();

} // namespace ostrel
