// PLACEHOLDER: replaced by the music glue.
#include "audio/music.h"

namespace ostrel {
ModulePlayer* musicPlayer = nullptr;
int32_t audibleOrder(const ModulePlayer*) { return 0; }
int32_t audibleRow(const ModulePlayer*) { return 0; }
int32_t audibleTimeMs(const ModulePlayer*) { return 0; }
int32_t musicOrder() { return 0; }
int32_t musicRow() { return 0; }
int32_t syncTrigger(int32_t) { return 0; }
int32_t startMusic() { return 0; }
int32_t stopMusic() { return 0; }
}  // namespace ostrel
