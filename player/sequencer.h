// The tick step and tempo arithmetic of the playback engine.
#pragma once

#include "module/module.h"
#include "player/channel.h"

namespace ostrel {

// One tick: a row tick (processRow) when tick is 0, otherwise processTick.
void playerTick(ModulePlayer* player);
// Stores bpm and sets samplesPerTick from the player's outputRate.
void setBpm(ModulePlayer* player, int32_t bpm);
// The start state: position 0, tempo and BPM from the song, the first channelCount channel
// records zeroed and bound to voice slots 0..channelCount-1.
void resetPlaybackState(ModulePlayer* player);
// Builds the tables the engine builds once and the player will use (the frequencies of the
// linear table), so that the thread that starts playback builds them and rendering never does.
void prepareTables(const ModulePlayer* player);

} // namespace ostrel
