// The schedule's records: the one scene with its time window and callbacks, and the flag that
// lets only the first registration count. Plain data, so that callers can inspect it.
#pragma once

#include <cstdint>

#include "visuals/schedule.h"

namespace ostrel {

struct Scene {
    const char* name;                 // label only; nothing reads it
    float start;                      // seconds
    float end;                        // start + length, seconds
    SceneStartFunction onStart;       // may be null
    SceneProgressFunction onProgress; // never null once registered
    SceneEndFunction onEnd;           // may be null
};

struct SceneSchedule {
    Scene scene;
    int32_t registered;
};

extern SceneSchedule sceneSchedule;

// The whole run lasts this long, whatever the scene's own window says.
constexpr float runLength = 60.0f;

} // namespace ostrel
