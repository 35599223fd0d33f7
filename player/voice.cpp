// The voice table on its own, so that a program that only mixes (the mixer's tests and
// benchmark) links it without the engine.
#include "player/voice.h"

namespace ostrel {

Voice voiceTable[voiceSlotCount];

} // namespace ostrel
