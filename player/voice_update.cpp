// Turns a channel's volume, panning, period and trigger into the fields of its voice. A note
// that starts while the channel's slot still sounds moves to the partner slot (32 apart); the
// old slot keeps playing with target volume 0, so the mixer ramps it down instead of clicking.
#include <cstdint>

#include "player/engine.h"

namespace ostrel {

namespace {

void startNote(ChannelState* ch, const Sample* sample, Voice* voices) {
    Voice* v = ch->voice;
    if (v->sample != nullptr) {
        // The slot number comes from the voice's place in the table, which always names a slot
        // inside it, whatever the record's index field holds.
        int32_t slot = static_cast<int32_t>(v - voices);
        int32_t partnerSlot = slot <= 31 ? slot + 32 : slot - 32;
        Voice* partner = &voices[partnerSlot];
        *partner = *v;
        v->volume = 0;
        v->volumeCopy = 0;
        v->targetVolume0 = 0;
        v->targetVolume1 = 0;
        partner->index = partnerSlot;
        ch->voice = partner;
        v = partner;
    }
    v->sample = sample;
    if (static_cast<uint32_t>(v->startOffset) >= sample->loopStart + sample->loopLength) {
        v->startOffset = 0;
    }
    v->positionInt = static_cast<uint32_t>(v->startOffset);
    v->positionFrac = 0;
    v->direction = 1;
    v->startOffset = 0; // a later retrigger of this note starts from frame 0
    v->currentVolume0 = 0;
    v->currentVolume1 = 0;
    v->rampFramesLeft = 0;
}

} // namespace

void updateVoice(ChannelState* ch, const Sample* sample, ModulePlayer* player) {
    uint8_t flags = ch->updateFlags;
    if (static_cast<int64_t>(ch->period) + ch->periodDelta == 0) {
        flags &= static_cast<uint8_t>(~pitchChanged);
    }
    if (flags & triggerNote) {
        startNote(ch, sample, player->voices);
    }
    Voice* v = ch->voice;
    if (flags & volumeChanged) {
        // Every partial product is an integer below 2^53 and 255 * 2^-35 is exact, so the
        // product is exact and only the floor rounds.
        double product = static_cast<double>(ch->volEnvValue) * ch->fadeoutVolume *
                         player->globalVolume * (ch->volume + ch->volumeDelta);
        double scaled = product * (255.0 / 34359738368.0);
        double whole = static_cast<double>(static_cast<int64_t>(scaled));
        if (whole > scaled) {
            whole -= 1.0; // floor for negative products
        }
        int32_t vol = static_cast<int32_t>(whole);
        v->volume = vol;
        v->volumeCopy = vol;
        // Output channel 0 is the left one: panning 0 is full left, 255 full right.
        v->targetVolume0 = (255 - v->panning) * vol / 255;
        v->targetVolume1 = vol * v->panning / 255;
    }
    if (flags & panningChanged) {
        int32_t distance = ch->panning - 128;
        if (distance < 0) {
            distance = -distance;
        }
        int32_t q = (128 - distance) / 32; // divided before it scales the envelope offset
        int32_t pan = ch->panning + (ch->panEnvValue - 32) * q;
        pan = pan < 0 ? 0 : (pan > 255 ? 255 : pan);
        v->panning = pan;
        v->panningCopy = pan;
        v->targetVolume0 = (255 - pan) * v->volume / 255;
        v->targetVolume1 = v->volume * pan / 255;
    }
    if (flags & pitchChanged) {
        int32_t f = (player->flags & flagLinearFrequencies)
                        ? linearFrequency(ch->period, ch->periodDelta)
                        : amigaFrequency(ch->period, ch->periodDelta);
        v->frequency = f;
        uint32_t rate = player->outputRate > 0 ? static_cast<uint32_t>(player->outputRate) : 1u;
        uint32_t stepHz = f < 100 ? 100u : static_cast<uint32_t>(f);
        uint32_t stepInt = stepHz / rate;
        // The dividend's low word holds stepInt, not zero: the fraction can come out one unit
        // (2^-32 of a frame) above (stepHz % rate) / rate. That unit is kept on purpose. Every
        // voice's position is the sum of its steps, so the step fixes every rendered byte, and
        // the golden checksums pin the step as it is.
        uint64_t dividend = (static_cast<uint64_t>(stepHz % rate) << 32) | stepInt;
        v->stepInt = stepInt;
        // Below 2^21 Hz the dividend (under rate x 2^32) is exact as a double, and a quotient
        // that is not whole lies at least 1 / rate from the next whole number, further than the
        // double division's rounding (under 2^32 x 2^-53) can carry it: truncating the double
        // quotient gives the integer one, without a 64-bit division (a library call on 32-bit
        // x86, and slow on any).
        v->stepFrac = rate < (1u << 21)
                          ? static_cast<uint32_t>(static_cast<double>(dividend) / rate)
                          : static_cast<uint32_t>(dividend / rate);
    }
}

} // namespace ostrel
