// Internal operations of the playback engine, shared between its source files and the tests.
// playerTick (sequencer.h) is the only entry point the rest of the program uses.
#pragma once

#include <cstdint>

#include "module/module.h"
#include "player/channel.h"

namespace ostrel {

// Row tick and later ticks, called by playerTick.
void processRow(ModulePlayer* player);
void processTick(ModulePlayer* player);

// The pattern that the order table names at position order, or null when the position or the
// pattern number lies outside the song.
const Pattern* patternAt(const ModulePlayer* player, int32_t order);
// The cells of the current row for up to 32 channels, or null when the pattern has no cells.
// A row outside the pattern yields a row of empty cells.
const PatternCell* currentRowCells(const ModulePlayer* player);
// Number of channels that are processed: channelCount limited to the 32 channel records.
int32_t activeChannelCount(const ModulePlayer* player);

// Instrument and sample that a channel's instrument index and note select.
const Instrument* selectInstrument(const ModulePlayer* player, const ChannelState* ch);
const Sample* selectSample(const Instrument* instrument, const ChannelState* ch);

void resetChannelForInstrument(ChannelState* ch, const Sample* sample);
// The finetune the channel's periods use: its E5y override while one is set, else the sample's.
inline int32_t channelFinetune(const ChannelState* ch, const Sample* sample) {
    return ch->finetuneOverridden ? ch->finetuneOverride : sample->finetune;
}
void applyVolumeColumn(ChannelState* ch, uint8_t volumeByte);

// Periods and frequencies.
int32_t amigaPeriod(int32_t note, int32_t finetune);
int32_t linearPeriod(int32_t realNote, int32_t finetune);
int32_t notePeriodFor(const ModulePlayer* player, int32_t realNote, int32_t finetune);
int32_t linearFrequency(int32_t period, int32_t periodDelta);
int32_t amigaFrequency(int32_t period, int32_t periodDelta);
// 2^x in double precision from + - x / only, so that every build computes the same bits.
// Accurate to far below one ulp for -1022 <= x < 1023; 0 below that range, +inf above it.
double exactExp2(double x);

// Tick effect steps.
// The vibrato's period offset at the channel's position; its sign follows the song's scale.
void vibratoValue(ChannelState* ch, const ModulePlayer* player);
void advanceVibrato(ChannelState* ch);
// The tremolo's volume offset at the channel's position; tremoloStep also moves the position on.
void tremoloValue(ChannelState* ch);
void tremoloStep(ChannelState* ch);
void tremorStep(ChannelState* ch);
void tonePortaStep(ChannelState* ch);
// Sine magnitude of the vibrato and tremolo for a position, 0..255.
int32_t vibratoSine(int32_t position);
// Ramp waveform of the vibrato and tremolo for a position.
int32_t vibratoRamp(int32_t position);

// Instrument-driven steps and the voice update.
void stepVolumeEnvelope(ChannelState* ch, const Instrument* instrument);
void stepPanningEnvelope(ChannelState* ch, const Instrument* instrument);
void setEnvelopePosition(ChannelState* ch, const Instrument* instrument, int32_t position);
void applyFadeout(ChannelState* ch, const Instrument* instrument);
void stepAutoVibrato(ChannelState* ch, const Instrument* instrument);
int32_t autoVibratoWave(int32_t type, int32_t position);
void updateVoice(ChannelState* ch, const Sample* sample, ModulePlayer* player);

} // namespace ostrel
