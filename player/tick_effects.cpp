// The ticks of a row after the row tick: the later-tick meanings of the volume and effect
// columns (slides, portamentos, vibrato, tremolo, arpeggio, retriggers, note cut and delay,
// tremor), and the oscillator steps the row tick shares.
#include <array>

#include "player/engine.h"

namespace ostrel {

namespace {

// |sin(2 p * 0.049087375)| * 256, truncated, for every 8-bit position p. The constant is a little
// below pi/64, so the peak at |p| = 16 truncates to 255, not 256.
// Indexed by p + 128. Written out rather than computed so that every compiler and C library
// gives the same values; a test recomputes them from the formula.
constexpr std::array<uint8_t, 256> vibratoSineTable = {
    0,   25,  49,  74,  97,  120, 142, 162, 181, 197, 212, 225, 236, 244, 251, 254, 255, 254, 251,
    244, 236, 225, 212, 197, 181, 162, 142, 120, 97,  74,  49,  25,  0,   25,  49,  74,  97,  120,
    142, 162, 181, 197, 212, 225, 236, 244, 251, 254, 255, 254, 251, 244, 236, 225, 212, 197, 181,
    162, 142, 120, 97,  74,  49,  25,  0,   25,  49,  74,  97,  120, 142, 162, 181, 197, 212, 225,
    236, 244, 251, 254, 255, 254, 251, 244, 236, 225, 212, 197, 181, 162, 142, 120, 97,  74,  49,
    25,  0,   25,  49,  74,  97,  120, 142, 162, 181, 197, 212, 225, 236, 244, 251, 254, 255, 254,
    251, 244, 236, 225, 212, 197, 181, 162, 142, 120, 97,  74,  49,  25,  0,   25,  49,  74,  97,
    120, 142, 162, 181, 197, 212, 225, 236, 244, 251, 254, 255, 254, 251, 244, 236, 225, 212, 197,
    181, 162, 142, 120, 97,  74,  49,  25,  0,   25,  49,  74,  97,  120, 142, 162, 181, 197, 212,
    225, 236, 244, 251, 254, 255, 254, 251, 244, 236, 225, 212, 197, 181, 162, 142, 120, 97,  74,
    49,  25,  0,   25,  49,  74,  97,  120, 142, 162, 181, 197, 212, 225, 236, 244, 251, 254, 255,
    254, 251, 244, 236, 225, 212, 197, 181, 162, 142, 120, 97,  74,  49,  25,  0,   25,  49,  74,
    97,  120, 142, 162, 181, 197, 212, 225, 236, 244, 251, 254, 255, 254, 251, 244, 236, 225, 212,
    197, 181, 162, 142, 120, 97,  74,  49,  25,
};

// Which arpeggio note a later tick plays: 0 the plain note, 1 the note x, 2 the note y. The
// format's own tracker counts a row's ticks down, from the tempo in force, and picks by that
// count modulo 3; from 16 ticks left up, its table runs out into "none" at 16 and y above.
// Pattern-delay ticks continue the count, from the tempo again. MadTracker's files count up.
int32_t arpeggioStep(const ModulePlayer* player) {
    if (player->madTracker) {
        return player->tick % 3;
    }
    // Later ticks exist only at a tempo of 1 or more; the floor keeps a damaged song from a
    // division by zero.
    int32_t tempo = player->tempo > 0 ? player->tempo : 1;
    int32_t left = tempo - player->tick % tempo;
    if (left < 16) {
        return left % 3;
    }
    return left == 16 ? 0 : 2;
}

inline int8_t advancePosition(int8_t position, uint8_t speed) {
    int8_t p = static_cast<int8_t>(static_cast<uint8_t>(position + speed));
    if (p > 31) {
        p = static_cast<int8_t>(p - 64);
    }
    return p;
}

void volumeSlide(ChannelState* ch) {
    uint8_t m = ch->volumeSlideMemory;
    if (m >> 4) {
        ch->volume += m >> 4;
        if (ch->volume > 64) {
            ch->volume = 64;
        }
    } else if (m & 15) {
        ch->volume -= m & 15;
        if (ch->volume < 0) {
            ch->volume = 0;
        }
    }
    ch->updateFlags |= volumeChanged;
}

void retriggerVolume(ChannelState* ch) {
    int32_t v = ch->volume;
    switch (ch->retrigVolumeMode) {
    case 0:
        return; // no change, no clamp, no flag
    case 1:
        v -= 1;
        break;
    case 2:
        v -= 2;
        break;
    case 3:
        v -= 4;
        break;
    case 4:
        v -= 8;
        break;
    case 5:
        v -= 16;
        break;
    case 6:
        v = 2 * v / 3;
        break;
    case 7:
        v >>= 1;
        break;
    case 9:
        v += 1;
        break;
    case 10:
        v += 2;
        break;
    case 11:
        v += 4;
        break;
    case 12:
        v += 8;
        break;
    case 13:
        v += 16;
        break;
    case 14:
        v = 3 * v / 2;
        break;
    case 15:
        v *= 2;
        break;
    default:
        break; // 8: no change, but clamped and flagged like the others
    }
    ch->volume = v < 0 ? 0 : (v > 64 ? 64 : v);
    ch->updateFlags |= volumeChanged;
}

void tickVolumeColumn(const ModulePlayer* player, ChannelState* ch, uint8_t volumeByte) {
    int32_t y = volumeByte & 15;
    switch (volumeByte >> 4) {
    case 0x6:
        ch->volume = ch->volume - y < 0 ? 0 : ch->volume - y;
        ch->updateFlags |= volumeChanged;
        break;
    case 0x7:
        ch->volume = ch->volume + y > 64 ? 64 : ch->volume + y;
        ch->updateFlags |= volumeChanged;
        break;
    case 0xB:
        if (y) {
            ch->vibratoDepth = static_cast<uint8_t>(y); // 0 keeps the depth in memory
        }
        vibratoValue(ch, player);
        advanceVibrato(ch);
        break;
    case 0xD:
        ch->panning -= y;
        ch->updateFlags |= panningChanged;
        break;
    case 0xE:
        ch->panning += y;
        ch->updateFlags |= panningChanged;
        break;
    case 0xF:
        tonePortaStep(ch);
        break;
    default:
        break;
    }
}

void tickExtendedEffect(const ModulePlayer* player, ChannelState* ch, const Sample* sample,
                        const PatternCell& cell) {
    uint8_t x = cell.effectParam >> 4;
    int32_t y = cell.effectParam & 15;
    int32_t tick = player->tick;
    switch (x) {
    case 9:
        if (y != 0 && tick % y == 0) {
            ch->updateFlags |= triggerNote | pitchChanged | volumeChanged;
        }
        break;
    case 12:
        if (tick == y) {
            ch->volume = 0;
            ch->updateFlags |= volumeChanged;
        }
        break;
    case 13:
        if (y == 0) {
            break; // ED0 delays nothing
        }
        if (tick != y) {
            ch->updateFlags &= static_cast<uint8_t>(
                ~(pitchChanged | volumeChanged | panningChanged | triggerNote));
        } else if (cell.note == noteKeyOff) {
            // A delayed key-off releases the note on its tick; it neither restarts nor resets it.
            ch->keyOff = 1;
            if (!(selectInstrument(player, ch)->volumeEnvelopeFlags & envelopeOn)) {
                ch->volEnvValue = 0; // without an envelope a released note falls silent at once
            }
            ch->updateFlags |= volumeChanged;
            if (cell.volume != 0) {
                applyVolumeColumn(ch, cell.volume);
            }
        } else {
            resetChannelForInstrument(ch, sample);
            ch->period = ch->notePeriod;
            ch->updateFlags |= pitchChanged;
            if (cell.volume != 0) {
                applyVolumeColumn(ch, cell.volume);
            }
            ch->updateFlags |= triggerNote; // a volume-column tone portamento cannot stop it
        }
        break;
    default:
        break;
    }
}

void tickEffect(ModulePlayer* player, ChannelState* ch, const Sample* sample,
                const PatternCell& cell) {
    uint8_t param = cell.effectParam;
    switch (cell.effect) {
    case 0:
        if (param != 0) {
            int32_t step = arpeggioStep(player);
            int32_t d = step == 1 ? param >> 4 : (step == 2 ? param & 15 : 0);
            if (step != 0) {
                if (player->flags & flagLinearFrequencies) {
                    ch->periodDelta = 64 * d;
                } else {
                    // The note sum is not wrapped: notes past 255 extend the curve.
                    int32_t finetune = channelFinetune(ch, sample);
                    ch->periodDelta = amigaPeriod(ch->realNote + d, finetune) -
                                      amigaPeriod(ch->realNote, finetune);
                }
            }
            ch->updateFlags |= pitchChanged;
        }
        break;
    case 1:
        ch->periodDelta = 0;
        ch->period -= 4 * ch->portaUpMemory;
        if (ch->period <= 55) {
            ch->period = 56;
        }
        ch->updateFlags |= pitchChanged;
        break;
    case 2:
        ch->periodDelta = 0;
        ch->period += 4 * ch->portaDownMemory;
        ch->updateFlags |= pitchChanged;
        break;
    case 3:
        ch->periodDelta = 0;
        tonePortaStep(ch);
        break;
    case 4:
        vibratoValue(ch, player);
        advanceVibrato(ch);
        break;
    case 5:
        ch->periodDelta = 0;
        tonePortaStep(ch);
        volumeSlide(ch);
        break;
    case 6:
        vibratoValue(ch, player);
        advanceVibrato(ch);
        volumeSlide(ch);
        break;
    case 7:
        tremoloStep(ch);
        break;
    case 10:
        volumeSlide(ch);
        break;
    case 14:
        tickExtendedEffect(player, ch, sample, cell);
        break;
    case 17: {
        // Player-wide and flag-free: every channel carrying Hxy slides again on the same tick.
        uint8_t m = player->globalVolumeSlideMemory;
        if (m >> 4) {
            player->globalVolume += m >> 4;
            if (player->globalVolume > 64) {
                player->globalVolume = 64;
            }
        } else if (m & 15) {
            player->globalVolume -= m & 15;
            if (player->globalVolume < 0) {
                player->globalVolume = 0;
            }
        }
        break;
    }
    case 25: {
        uint8_t m = ch->panningSlideMemory;
        if (m >> 4) {
            ch->panning += m >> 4;
            if (ch->panning > 255) {
                ch->panning = 255;
            }
        } else if (m & 15) {
            ch->panning -= m & 15;
            if (ch->panning < 0) {
                ch->panning = 0;
            }
        }
        ch->updateFlags |= panningChanged;
        break;
    }
    case 27:
        if (ch->retrigInterval != 0 && player->tick % ch->retrigInterval == 0) {
            retriggerVolume(ch);
            ch->updateFlags |= triggerNote;
        }
        break;
    case 29:
        tremorStep(ch);
        break;
    default:
        break;
    }
}

} // namespace

int32_t vibratoSine(int32_t position) {
    return vibratoSineTable[(position + 128) & 255];
}

int32_t vibratoRamp(int32_t position) {
    if (position >= 0) {
        return 8 * position;
    }
    return 255 - ((8 * position) & 255);
}

void vibratoValue(ChannelState* ch, const ModulePlayer* player) {
    int32_t p = ch->vibratoPos;
    int32_t v;
    switch (ch->waveControl & 3) {
    case 0:
        v = vibratoSine(p);
        break;
    case 1:
        v = vibratoRamp(p);
        break;
    default:
        v = 255;
        break; // waveforms 2 and 3: square
    }
    int32_t delta = 4 * ((v * ch->vibratoDepth) / 128);
    // The pitch falls first on both scales: on the linear one a negative offset lowers it, on
    // the Amiga one a positive offset (a longer period) does.
    if (player->flags & flagLinearFrequencies) {
        delta = -delta;
    }
    ch->periodDelta = p >= 0 ? delta : -delta;
    ch->updateFlags |= pitchChanged;
}

void advanceVibrato(ChannelState* ch) {
    ch->vibratoPos = advancePosition(ch->vibratoPos, ch->vibratoSpeed);
}

void tremoloValue(ChannelState* ch) {
    int32_t p = ch->tremoloPos;
    int32_t v;
    switch ((ch->waveControl >> 4) & 3) {
    case 1:
        v = vibratoRamp(p);
        break;
    case 2:
        v = 255;
        break;
    default:
        v = vibratoSine(p);
        break; // 0 and 3: the tremolo treats 3 as sine
    }
    int32_t d = (v * ch->tremoloDepth) / 64;
    if (p >= 0) {
        ch->volumeDelta = ch->volume + d > 64 ? 64 - ch->volume : d;
    } else {
        ch->volumeDelta = -d < -ch->volume ? -ch->volume : -d;
    }
    ch->updateFlags |= volumeChanged;
}

void tremoloStep(ChannelState* ch) {
    tremoloValue(ch);
    ch->tremoloPos = advancePosition(ch->tremoloPos, ch->tremoloSpeed);
}

void tremorStep(ChannelState* ch) {
    if (ch->tremorCounter >= ch->tremorOnTicks) {
        ch->volumeDelta = -ch->volume;
    }
    ch->tremorCounter = static_cast<uint8_t>(ch->tremorCounter + 1);
    // "Reached" includes "passed": a new Txy with shorter times must not leave the counter
    // running on past the cycle until it wraps at 256.
    if (ch->tremorCounter >= ch->tremorOnTicks + ch->tremorOffTicks) {
        ch->tremorCounter = 0;
    }
    ch->updateFlags |= volumeChanged;
}

void tonePortaStep(ChannelState* ch) {
    int32_t speed = 4 * ch->portaSpeed;
    if (ch->period < ch->portaTarget) {
        ch->period = ch->period + speed < ch->portaTarget ? ch->period + speed : ch->portaTarget;
    } else if (ch->period > ch->portaTarget) {
        ch->period = ch->period - speed > ch->portaTarget ? ch->period - speed : ch->portaTarget;
    }
    ch->updateFlags |= pitchChanged;
}

void processTick(ModulePlayer* player) {
    const PatternCell* cells = currentRowCells(player);
    if (cells == nullptr) {
        return;
    }
    int32_t channels = activeChannelCount(player);
    for (int32_t n = 0; n < channels; ++n) {
        ChannelState* ch = &player->channels[n];
        const PatternCell& cell = cells[n];
        const Instrument* instrument = selectInstrument(player, ch);
        const Sample* sample = selectSample(instrument, ch);
        ch->volumeDelta = 0;
        ch->periodDelta = 0;
        ch->updateFlags = 0;
        if ((instrument->volumeEnvelopeFlags & envelopeOn) && ch->volEnvDone == 0) {
            stepVolumeEnvelope(ch, instrument);
        }
        if ((instrument->panningEnvelopeFlags & envelopeOn) && ch->panEnvDone == 0) {
            stepPanningEnvelope(ch, instrument);
        }
        applyFadeout(ch, instrument);
        tickVolumeColumn(player, ch, cell.volume);
        tickEffect(player, ch, sample, cell);
        stepAutoVibrato(ch, instrument);
        updateVoice(ch, sample, player);
    }
}

} // namespace ostrel
