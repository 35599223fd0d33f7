// The row tick: each channel takes over its cell's note, instrument and volume-column byte,
// sets up the row's effect, advances its envelopes and fade-out by one tick and updates its
// voice. Flow effects (jumps, breaks, loops, delays, tempo) are decoded here in channel order,
// so where two channels set the same player field the later channel wins.
#include "player/engine.h"
#include "player/sequencer.h"

namespace ostrel {

namespace {

enum : uint8_t {
    effectArpeggio = 0,
    effectPortaUp = 1,
    effectPortaDown = 2,
    effectTonePorta = 3,
    effectVibrato = 4,
    effectTonePortaVolumeSlide = 5,
    effectVibratoVolumeSlide = 6,
    effectTremolo = 7,
    effectSetPanning = 8,
    effectSampleOffset = 9,
    effectVolumeSlide = 10,
    effectPositionJump = 11,
    effectSetVolume = 12,
    effectPatternBreak = 13,
    effectExtended = 14,
    effectSpeed = 15,
    effectGlobalVolume = 16,
    effectGlobalVolumeSlide = 17,
    effectKeyOff = 20,
    effectEnvelopePosition = 21,
    effectPanningSlide = 25,
    effectMultiRetrigger = 27,
    effectTremor = 29,
    effectExtraFinePorta = 33,
};

// Only 1..96 are notes. The key-off is stored as 255; any other value is not a note, which
// also keeps the sample map lookup inside its 96 entries.
inline bool isNote(uint8_t note) {
    return note >= 1 && note <= 96;
}

// row is the row being played: an earlier channel's loop jump may already have lowered
// player->row.
void rowFlowEffect(ModulePlayer* player, ChannelState* ch, uint8_t effect, uint8_t param,
                   int32_t row) {
    uint8_t x = param >> 4;
    uint8_t y = param & 15;
    switch (effect) {
    case effectPositionJump:
        player->nextRow = 0;
        player->nextOrder = param >= player->songLength ? 0 : param;
        player->positionJumpSeen = 1;
        break;
    case effectPatternBreak: {
        int32_t target = 10 * x + y; // nibbles at face value: up to 165
        player->nextRow = target > 63 ? 0 : target;
        if (!player->positionJumpSeen) {
            player->nextOrder = player->order + 1;
        }
        if (player->nextOrder >= player->songLength) {
            player->nextOrder = 0;
        }
        break;
    }
    case effectSpeed:
        // F00 does nothing: it neither stops the song nor cancels an earlier channel's Fxx.
        if (param == 0) {
            break;
        }
        if (param < 32) {
            player->tempo = param;
        } else {
            setBpm(player, param);
        }
        break;
    case effectExtended:
        if (x == 6) {
            if (y == 0) {
                ch->loopStartRow = row;
            } else {
                ch->loopCounter = ch->loopCounter == 0 ? y : ch->loopCounter - 1;
                if (ch->loopCounter != 0) {
                    player->row = ch->loopStartRow - 1;
                    player->loopRestartRow = ch->loopStartRow;
                }
            }
        } else if (x == 14) {
            player->patternDelayTicks = y * player->tempo;
        }
        break;
    default:
        break;
    }
}

void rowExtendedEffect(ChannelState* ch, uint8_t x, uint8_t y, int32_t savedVolume,
                       int32_t savedPeriod, int32_t savedPanning) {
    switch (x) {
    case 1:
        if (y) {
            ch->finePortaUpMemory = y;
        }
        ch->period -= 4 * ch->finePortaUpMemory;
        break;
    case 2:
        if (y) {
            ch->finePortaDownMemory = y;
        }
        ch->period += 4 * ch->finePortaDownMemory;
        break;
    case 4:
        ch->waveControl = (ch->waveControl & 0xF0) | y;
        break;
    case 7:
        ch->waveControl = static_cast<uint8_t>((ch->waveControl & 0x0F) | (y << 4));
        break;
    case 8:
        ch->panning = y * 16;
        ch->updateFlags |= panningChanged;
        break;
    case 10:
        if (y) {
            ch->fineVolumeSlideMemory = y;
        }
        ch->volume += ch->fineVolumeSlideMemory;
        if (ch->volume > 64) {
            ch->volume = 64;
        }
        ch->updateFlags |= volumeChanged;
        break;
    case 11:
        if (y) {
            ch->fineVolumeSlideMemory = y;
        }
        ch->volume -= ch->fineVolumeSlideMemory;
        if (ch->volume < 0) {
            ch->volume = 0;
        }
        ch->updateFlags |= volumeChanged;
        break;
    case 12:
        // ECy cuts on tick y; the row tick is tick 0, so EC0 cuts here.
        if (y == 0) {
            ch->volume = 0;
            ch->updateFlags |= volumeChanged;
        }
        break;
    case 13:
        // Note delay: the row tick leaves the channel as it was; the note starts on tick y. ED0
        // delays nothing: its row plays as if there were no delay.
        if (y == 0) {
            break;
        }
        ch->volume = savedVolume;
        ch->period = savedPeriod;
        ch->panning = savedPanning;
        ch->updateFlags &=
            static_cast<uint8_t>(~(pitchChanged | volumeChanged | panningChanged | triggerNote));
        break;
    default:
        break;
    }
}

void rowEffect(ModulePlayer* player, ChannelState* ch, const Instrument* instrument,
               const Sample* sample, uint8_t effect, uint8_t param, int32_t savedVolume,
               int32_t savedPeriod, int32_t savedPanning) {
    uint8_t x = param >> 4;
    uint8_t y = param & 15;
    switch (effect) {
    case effectPortaUp:
        if (param) {
            ch->portaUpMemory = param;
        }
        break;
    case effectPortaDown:
        if (param) {
            ch->portaDownMemory = param;
        }
        break;
    case effectTonePorta:
        if (param) {
            ch->portaSpeed = param;
        }
        ch->portaTarget = ch->notePeriod;
        ch->updateFlags &= static_cast<uint8_t>(~(pitchChanged | triggerNote));
        break;
    case effectVibrato:
        if (x) {
            ch->vibratoSpeed = x;
        }
        if (y) {
            ch->vibratoDepth = y;
        }
        vibratoValue(ch, player);
        break;
    case effectTonePortaVolumeSlide:
        ch->portaTarget = ch->notePeriod;
        if (param) {
            ch->volumeSlideMemory = param;
        }
        ch->updateFlags &= static_cast<uint8_t>(~(pitchChanged | triggerNote));
        break;
    case effectVibratoVolumeSlide:
        if (param) {
            ch->volumeSlideMemory = param;
        }
        vibratoValue(ch, player);
        break;
    case effectTremolo:
        if (x) {
            ch->tremoloSpeed = x;
        }
        if (y) {
            ch->tremoloDepth = y;
        }
        // The row tick already sounds the tremolo at its position; later ticks move it on.
        tremoloValue(ch);
        break;
    case effectSetPanning:
        ch->panning = param;
        ch->updateFlags |= panningChanged;
        break;
    case effectSampleOffset: {
        if (param) {
            ch->sampleOffsetMemory = param;
        }
        // An offset applies only to a note triggered on its own row: without one (no note, or
        // a note held back by tone portamento) 9xx only keeps its memory, so it can neither
        // move the note that sounds nor arm a later one.
        if (!(ch->updateFlags & triggerNote)) {
            break;
        }
        uint32_t offset = static_cast<uint32_t>(ch->sampleOffsetMemory) * 256u;
        if (offset >= sample->loopStart + sample->loopLength) {
            // Past the play range the note does not sound, and neither does the one before it:
            // the voice falls idle as a one-shot sample does when it has played out, so a drum
            // track gets no hit its author did not write.
            ch->updateFlags &= static_cast<uint8_t>(~triggerNote);
            Voice* v = ch->voice;
            v->sample = nullptr;
            v->positionInt = 0;
            v->positionFrac = 0;
        } else {
            ch->voice->startOffset = static_cast<int32_t>(offset);
        }
        break;
    }
    case effectVolumeSlide:
        if (param) {
            ch->volumeSlideMemory = param;
        }
        break;
    case effectSetVolume:
        ch->volume = param; // not clamped: C80 plays at volume 128
        ch->updateFlags |= volumeChanged;
        break;
    case effectExtended:
        rowExtendedEffect(ch, x, y, savedVolume, savedPeriod, savedPanning);
        break;
    case effectGlobalVolume:
        player->globalVolume = param > 64 ? 64 : param;
        ch->updateFlags |= volumeChanged;
        break;
    case effectGlobalVolumeSlide:
        if (param) {
            player->globalVolumeSlideMemory = param;
        }
        break;
    case effectEnvelopePosition:
        if (instrument->volumeEnvelopeFlags & envelopeOn) {
            setEnvelopePosition(ch, instrument, param);
        }
        break;
    case effectPanningSlide:
        if (param) {
            ch->panningSlideMemory = param;
            ch->updateFlags |= panningChanged;
        }
        break;
    case effectMultiRetrigger:
        if (param) {
            ch->retrigVolumeMode = x;
            ch->retrigInterval = y;
        }
        break;
    case effectTremor:
        if (param) {
            ch->tremorOnTicks = static_cast<uint8_t>(x + 1);
            ch->tremorOffTicks = static_cast<uint8_t>(y + 1);
        }
        tremorStep(ch);
        break;
    case effectExtraFinePorta:
        if (x == 1) {
            if (y) {
                ch->extraFinePortaUpMemory = y;
            }
            ch->period -= ch->extraFinePortaUpMemory;
        } else if (x == 2) {
            if (y) {
                ch->extraFinePortaDownMemory = y;
            }
            ch->period += ch->extraFinePortaDownMemory;
        }
        break;
    default:
        break;
    }
}

void processChannelRow(ModulePlayer* player, ChannelState* ch, const PatternCell& cell,
                       int32_t row) {
    uint8_t x = cell.effectParam >> 4;
    uint8_t y = cell.effectParam & 15;
    bool noteDelayed = cell.effect == effectExtended && x == 13 && y != 0;
    // A volume-column tone portamento (Mx) makes its note a portamento target just as 3xx
    // does, unless the note is delayed: a delayed note starts on its tick whatever the column.
    bool tonePorta = cell.effect == effectTonePorta || cell.effect == effectTonePortaVolumeSlide ||
                     (cell.volume >= 0xF0 && !noteDelayed);
    bool hasNote = isNote(cell.note);
    // 1-2: take over instrument and note, unless the note is a tone portamento target.
    if (cell.instrument != 0 && !tonePorta) {
        ch->instrument = static_cast<uint8_t>(cell.instrument - 1);
    }
    if (hasNote && !tonePorta) {
        ch->note = static_cast<uint8_t>(cell.note - 1);
    }
    // 3: instrument and sample.
    const Instrument* instrument = selectInstrument(player, ch);
    const Sample* sample = selectSample(instrument, ch);
    // 4: what a note delay restores.
    int32_t savedVolume = ch->volume;
    int32_t savedPeriod = ch->period;
    int32_t savedPanning = ch->panning;
    // 5-6: a tremolo's offset lasts one tick: once it ends, the channel plays at its volume.
    ch->volumeDelta = 0;
    ch->updateFlags = 0;
    // 7: the note's period; a tone portamento only retargets (with the old sample). E5y with
    // the note sets the channel's finetune from this note on; any other note that is not a
    // portamento target ends it. The sample record itself is never changed.
    if (hasNote) {
        if (cell.effect == effectExtended && x == 5) {
            ch->finetuneOverridden = 1;
            ch->finetuneOverride = static_cast<int8_t>((y - 8) * 16);
        } else if (!tonePorta) {
            ch->finetuneOverridden = 0;
        }
        ch->realNote = static_cast<uint8_t>(cell.note - 1 + sample->relativeNote);
        ch->notePeriod = notePeriodFor(player, ch->realNote, channelFinetune(ch, sample));
        if (!tonePorta) {
            ch->period = ch->notePeriod;
        }
        ch->updateFlags = triggerNote;
    }
    // 8
    ch->updateFlags |= pitchChanged | volumeChanged;
    ch->periodDelta = 0;
    // 9-10
    if (cell.instrument != 0) {
        resetChannelForInstrument(ch, sample);
    }
    if (cell.volume != 0) {
        applyVolumeColumn(ch, cell.volume);
        // The column's vibrato sounds on the row tick at its position, as 4xy does; a delayed
        // note's column (applied again on its tick) does not repeat this.
        if ((cell.volume >> 4) == 0xB) {
            vibratoValue(ch, player);
        }
    }
    // 11: key-off, from the note or from Kxx whatever its parameter. A delayed key-off waits
    // for its tick.
    if ((cell.note == noteKeyOff && !noteDelayed) || cell.effect == effectKeyOff) {
        ch->keyOff = 1;
    }
    // 12-14: envelopes and fade-out.
    if ((instrument->volumeEnvelopeFlags & envelopeOn) && ch->volEnvDone == 0) {
        stepVolumeEnvelope(ch, instrument);
    }
    if (!(instrument->volumeEnvelopeFlags & envelopeOn) && ch->keyOff) {
        ch->volEnvValue = 0; // without an envelope a released note falls silent at once
    }
    if ((instrument->panningEnvelopeFlags & envelopeOn) && ch->panEnvDone == 0) {
        stepPanningEnvelope(ch, instrument);
    }
    applyFadeout(ch, instrument);
    // 15
    rowFlowEffect(player, ch, cell.effect, cell.effectParam, row);
    rowEffect(player, ch, instrument, sample, cell.effect, cell.effectParam, savedVolume,
              savedPeriod, savedPanning);
    // 16
    stepAutoVibrato(ch, instrument);
    updateVoice(ch, sample, player);
}

} // namespace

const Instrument* selectInstrument(const ModulePlayer* player, const ChannelState* ch) {
    if (ch->instrument >= player->instrumentCount || player->instruments == nullptr) {
        return &emptyInstrument;
    }
    return &player->instruments[ch->instrument];
}

const Sample* selectSample(const Instrument* instrument, const ChannelState* ch) {
    if (instrument == &emptyInstrument || ch->note >= 96) {
        return &emptySample;
    }
    uint8_t slot = instrument->sampleMap[ch->note];
    if (slot >= instrument->sampleCount || instrument->samples[slot] == nullptr) {
        return &emptySample;
    }
    return instrument->samples[slot];
}

void resetChannelForInstrument(ChannelState* ch, const Sample* sample) {
    ch->volEnvValue = 64;
    ch->volEnvPoint = 0;
    ch->volEnvTick = 0;
    ch->volEnvStep = 0;
    ch->volEnvDone = 0;
    ch->panEnvValue = 32;
    ch->panEnvPoint = 0;
    ch->panEnvTick = 0;
    ch->panEnvStep = 0;
    ch->panEnvDone = 0;
    ch->volume = sample->volume;
    ch->panning = sample->panning;
    ch->keyOff = 0;
    ch->fadeoutVolume = 65536;
    ch->autoVibratoSweep = 0;
    ch->autoVibratoPos = 0;
    // Waveform nibbles 4..15 keep their phase running across notes.
    if ((ch->waveControl & 0x0F) <= 3) {
        ch->vibratoPos = 0;
    }
    if (ch->waveControl < 64) {
        ch->tremoloPos = 0;
    }
    ch->tremorCounter = 0;
    ch->updateFlags |= volumeChanged | panningChanged;
}

void applyVolumeColumn(ChannelState* ch, uint8_t volumeByte) {
    int32_t y = volumeByte & 15;
    if (volumeByte >= 0x10 && volumeByte <= 0x50) {
        ch->volume = volumeByte - 0x10;
        ch->updateFlags |= volumeChanged;
        return;
    }
    switch (volumeByte >> 4) {
    // The slides 6x and 7x act on the later ticks only; the fine slides 8x and 9x on the row
    // tick only.
    case 0x8:
        ch->volume = ch->volume - y < 0 ? 0 : ch->volume - y;
        ch->updateFlags |= volumeChanged;
        break;
    case 0x9:
        ch->volume = ch->volume + y > 64 ? 64 : ch->volume + y;
        ch->updateFlags |= volumeChanged;
        break;
    // A vibrato speed or depth of 0 keeps the one in memory.
    case 0xA:
        if (y) {
            ch->vibratoSpeed = static_cast<uint8_t>(y);
        }
        break;
    case 0xB:
        if (y) {
            ch->vibratoDepth = static_cast<uint8_t>(y);
        }
        break;
    case 0xC:
        ch->panning = y * 16;
        ch->updateFlags |= panningChanged;
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
        if (y) {
            ch->portaSpeed = static_cast<uint8_t>(y * 16);
        }
        ch->portaTarget = ch->notePeriod;
        ch->updateFlags &= static_cast<uint8_t>(~triggerNote);
        break;
    default:
        break;
    }
}

void processRow(ModulePlayer* player) {
    player->nextRow = -1;
    player->nextOrder = -1;
    player->positionJumpSeen = 0;
    const PatternCell* cells = currentRowCells(player);
    if (cells == nullptr) {
        return;
    }
    const int32_t row = player->row;
    int32_t channels = activeChannelCount(player);
    for (int32_t n = 0; n < channels; ++n) {
        processChannelRow(player, &player->channels[n], cells[n], row);
    }
}

} // namespace ostrel
