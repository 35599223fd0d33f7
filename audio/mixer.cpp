// PLACEHOLDER: replaced by the mixer implementation.
#include "audio/mixer.h"

namespace ostrel {
Voice voiceTable[voiceSlotCount];
int32_t rampFrames = 128;
float rampScale = 1.0f / 128;
void setMixerRate(int32_t rate) {
    rampFrames = rate * 128 / 44100;
    rampScale = 1.0f / static_cast<float>(rampFrames);
}
void mixVoice(Voice*, float*, int32_t) {}
void mixVoices(float*, int32_t) {}
void convertToPcm16(int16_t*, const float*, int32_t) {}
}  // namespace ostrel
