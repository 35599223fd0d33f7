// Per pattern-channel playback state. Pattern channel N always uses channelStates[N]; the
// records and the voices are static, so one ModulePlayer plays at a time.
#pragma once

#include <cstdint>

#include "player/voice.h"

namespace ostrel {

enum : uint8_t {
    pitchChanged = 1,
    volumeChanged = 2,
    panningChanged = 4,
    triggerNote = 8,
};

struct ChannelState {
    uint8_t note; // 0-based
    uint8_t updateFlags;
    Voice* voice;
    int32_t period;
    int32_t volume;
    int32_t panning;
    int32_t volumeDelta;
    int32_t periodDelta;
    int32_t volEnvTick;
    int32_t volEnvPoint;
    int32_t volEnvValueFixed;
    int32_t volEnvValue;
    int32_t volEnvStep;
    uint8_t volEnvDone;
    int32_t panEnvTick;
    int32_t panEnvPoint;
    int32_t panEnvValueFixed;
    int32_t panEnvValue;
    int32_t panEnvStep;
    uint8_t panEnvDone;
    int32_t fadeoutVolume;
    int32_t autoVibratoPos;
    int32_t autoVibratoSweep;
    uint8_t keyOff;
    uint8_t instrument; // 0-based
    uint8_t realNote;
    int32_t notePeriod;
    int32_t sampleOffsetMemory;
    uint8_t portaDownMemory;
    uint8_t portaUpMemory;
    uint8_t extraFinePortaDownMemory;
    uint8_t extraFinePortaUpMemory;
    uint8_t volumeSlideMemory;
    uint8_t panningSlideMemory;
    uint8_t retrigVolumeMode;
    uint8_t retrigInterval;
    int32_t portaTarget;
    uint8_t portaSpeed;
    int8_t vibratoPos;
    uint8_t vibratoSpeed;
    uint8_t vibratoDepth;
    int8_t tremoloPos;
    uint8_t tremoloSpeed;
    uint8_t tremoloDepth;
    uint8_t tremorCounter;
    uint8_t tremorOnTicks;
    uint8_t tremorOffTicks;
    int32_t loopStartRow;
    uint32_t loopCounter;
    uint8_t waveControl;
    uint8_t fineVolumeSlideMemory;
    uint8_t finePortaUpMemory;
    uint8_t finePortaDownMemory;
    // E5y with a note: the finetune this channel's periods use instead of the sample's, until
    // the next note that is neither given an E5y of its own nor held back by tone portamento.
    uint8_t finetuneOverridden;
    int8_t finetuneOverride; // (y - 8) x 16
};

constexpr int channelStateCount = 32;
extern ChannelState channelStates[channelStateCount];

} // namespace ostrel
