// The music as the rest of the program sees it: start, stop, the audible song position and a
// sync trigger for the visuals.
#pragma once

#include <cstdint>

#include "module/module.h"

namespace ostrel {

extern ModulePlayer* musicPlayer;
// The row at which the sync trigger last fired: one value for all scenes and lists, -1 at
// program start and never reset by startMusic.
extern int32_t lastSyncRow;

int32_t audibleOrder(const ModulePlayer* player);
int32_t audibleRow(const ModulePlayer* player);
int32_t audibleTimeMs(const ModulePlayer* player);
int32_t musicOrder();
int32_t musicRow();
int32_t syncTrigger(int32_t scene);
int32_t startMusic();
int32_t stopMusic();

} // namespace ostrel
