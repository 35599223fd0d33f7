// A small in-memory song for driving the engine tick by tick: up to four patterns, four
// instruments with one sample each, a looping square-ish sample, all built directly as records.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/mixer.h"
#include "module/module.h"
#include "player/channel.h"
#include "player/engine.h"
#include "player/sequencer.h"

namespace ostrel::test {

class EngineTest : public ::testing::Test {
  protected:
    static constexpr int patternCount = 4;
    static constexpr int instrumentCountMax = 4;
    static constexpr uint32_t sampleFrames = 1000;

    ModulePlayer player{};
    Pattern patterns[patternCount]{};
    std::vector<PatternCell> cells[patternCount];
    Instrument instruments[instrumentCountMax]{};
    Sample samples[instrumentCountMax]{};
    Sample* sampleSlots[instrumentCountMax]{}; // each instrument's one-entry sample array
    std::vector<int16_t> data[instrumentCountMax];

    void SetUp() override {
        player.outputRate = 44100;
        // The renderer start's voice reset: zero, own slot number, step 1.
        for (int i = 0; i < voiceSlotCount; ++i) {
            player.voices[i].index = i;
            player.voices[i].stepInt = 1;
        }
        player.channelCount = 4;
        player.songLength = 1;
        player.restartPosition = 0;
        player.flags = flagLinearFrequencies;
        player.defaultTempo = 6;
        player.defaultBpm = 125;
        player.initialGlobalVolume = 64;
        player.patterns = patterns;
        player.patternSlotCount = patternCount;
        player.instruments = instruments;
        player.instrumentCount = instrumentCountMax;
        player.tickFunction = playerTick;
        for (int p = 0; p < patternCount; ++p) {
            setRows(p, 64);
        }
        for (int i = 0; i < instrumentCountMax; ++i) {
            data[i].assign(sampleFrames + sampleSpareFrames, 0);
            for (uint32_t k = 0; k < sampleFrames; ++k) {
                data[i][k] = static_cast<int16_t>((k / 8) % 2 ? 12000 : -12000);
            }
            data[i][sampleFrames] = data[i][0]; // guard frame of the forward loop
            Sample& s = samples[i];
            s.data = data[i].data();
            s.length = sampleFrames;
            s.loopStart = 0;
            s.loopLength = sampleFrames;
            s.volume = 64;
            s.panning = 128;
            s.bitsPerSample = 16;
            s.loopType = loopForward;
            Instrument& in = instruments[i];
            sampleSlots[i] = &s;
            in.sampleCount = 1;
            in.samples = &sampleSlots[i];
        }
    }

    void setRows(int p, int rows) {
        cells[p].assign(static_cast<size_t>(rows) * player.channelCount, PatternCell{});
        patterns[p].rowCount = rows;
        patterns[p].cells = cells[p].data();
    }

    PatternCell& cell(int p, int row, int channel) {
        return cells[p][static_cast<size_t>(row) * player.channelCount + channel];
    }

    // Shorthand for writing a cell.
    void put(int p, int row, int channel, uint8_t note, uint8_t instrument, uint8_t volume = 0,
             uint8_t effect = 0, uint8_t param = 0) {
        cell(p, row, channel) = PatternCell{note, instrument, volume, effect, param};
    }
    void putEffect(int p, int row, int channel, uint8_t effect, uint8_t param) {
        cell(p, row, channel).effect = effect;
        cell(p, row, channel).effectParam = param;
    }

    void start() { resetPlaybackState(&player); }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            playerTick(&player);
        }
    }
    ChannelState& ch(int n) { return player.channels[n]; }
};

} // namespace ostrel::test
