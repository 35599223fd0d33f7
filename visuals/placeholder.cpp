// PLACEHOLDER: replaced by the visuals implementation.
#include "visuals/schedule.h"
#include "visuals/text.h"

namespace ostrel {
uint32_t bitmapBase = 0;
uint32_t outlineBase = 0;
void addScene(const char*, float, float, SceneStartFunction, SceneProgressFunction,
              SceneEndFunction) {}
int setupSchedule() { return 0; }
int runSchedule() { return 1; }
int endSchedule() { return 0; }
void deleteFonts() {}
void drawText2D(float, float, const char*) {}
void drawText3D(const char*) {}
}  // namespace ostrel
