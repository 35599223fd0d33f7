// The scene schedule: one scene with a time window, its progress each frame, and the end of
// the run after 60 seconds.
#pragma once

namespace ostrel {

using SceneStartFunction = int (*)();
using SceneProgressFunction = void (*)(float progress);
using SceneEndFunction = int (*)();

void addScene(const char* name, float start, float length, SceneStartFunction onStart,
              SceneProgressFunction onProgress, SceneEndFunction onEnd);
int setupSchedule();
int runSchedule();
int endSchedule();

} // namespace ostrel
