// PLACEHOLDER: replaced by the engine implementation.
#include "player/sequencer.h"

namespace ostrel {
ChannelState channelStates[channelStateCount];
void playerTick(ModulePlayer*) {}
void setBpm(ModulePlayer* player, int32_t bpm) {
    player->bpm = bpm;
    player->samplesPerTick = 882;
}
void resetPlaybackState(ModulePlayer*) {}
}  // namespace ostrel
