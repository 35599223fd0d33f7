// The row tick: taking over note, instrument and volume column; the row-tick effects.
#include "engine_fixture.h"

namespace ostrel::test {
namespace {

using RowTest = EngineTest;

TEST_F(RowTest, NoteWithInstrumentStartsTheSample) {
    put(0, 0, 0, 49, 1);
    start();
    ticks(1);
    EXPECT_EQ(ch(0).note, 48);
    EXPECT_EQ(ch(0).realNote, 48);
    EXPECT_EQ(ch(0).period, 4608);
    EXPECT_EQ(ch(0).notePeriod, 4608);
    EXPECT_EQ(ch(0).volume, 64);
    EXPECT_EQ(ch(0).panning, 128);
    EXPECT_EQ(ch(0).fadeoutVolume, 65536);
    Voice* v = ch(0).voice;
    EXPECT_EQ(v, &player.voices[0]);
    EXPECT_EQ(v->sample, &samples[0]);
    EXPECT_EQ(v->frequency, 8363);
    EXPECT_EQ(v->volume, 127);
    EXPECT_EQ(v->panning, 128);
}

TEST_F(RowTest, RelativeNoteAndFinetuneShapeThePeriod) {
    samples[0].relativeNote = -25;
    samples[0].finetune = 32;
    put(0, 0, 0, 49, 1);
    start();
    ticks(1);
    EXPECT_EQ(ch(0).realNote, 23);
    EXPECT_EQ(ch(0).period, 6192);
    EXPECT_EQ(ch(0).voice->frequency, 2002);
}

TEST_F(RowTest, AmigaScaleUsesAmigaPeriods) {
    player.flags = 0;
    put(0, 0, 0, 49, 1);
    start();
    ticks(1);
    EXPECT_EQ(ch(0).period, 1712);
    EXPECT_EQ(ch(0).voice->frequency, 8362);
}

TEST_F(RowTest, InstrumentWithoutNoteResetsWithoutRetrigger) {
    put(0, 0, 0, 49, 1);
    put(0, 1, 0, 0, 0, 0, 12, 0x20); // C20
    put(0, 2, 0, 0, 1);              // instrument only
    start();
    ticks(7);
    EXPECT_EQ(ch(0).volume, 32);
    Voice* before = ch(0).voice;
    ch(0).volEnvValue = 10;
    ticks(6);
    EXPECT_EQ(ch(0).volume, 64);
    EXPECT_EQ(ch(0).volEnvValue, 64);
    EXPECT_EQ(ch(0).voice, before);
    EXPECT_EQ(ch(0).updateFlags & triggerNote, 0);
}

TEST_F(RowTest, NoteWithoutAnyInstrumentIsSilent) {
    put(0, 0, 0, 49, 0);
    start();
    ticks(1);
    EXPECT_EQ(ch(0).instrument, 0);
    EXPECT_EQ(ch(0).voice->sample, &samples[0]);
    EXPECT_EQ(ch(0).volume, 0);
    EXPECT_EQ(ch(0).voice->volume, 0);
}

TEST_F(RowTest, TonePortamentoRetargetsWithoutRetrigger) {
    put(0, 0, 0, 49, 1, 0x24);       // volume 20
    put(0, 1, 0, 61, 1, 0, 3, 0x10); // 310 with a new note and the instrument number
    start();
    ticks(6);
    Voice* before = ch(0).voice;
    ticks(1);
    EXPECT_EQ(ch(0).period, 4608);
    EXPECT_EQ(ch(0).notePeriod, 3840);
    EXPECT_EQ(ch(0).portaTarget, 3840);
    EXPECT_EQ(ch(0).portaSpeed, 0x10);
    EXPECT_EQ(ch(0).voice, before);
    EXPECT_EQ(ch(0).volume, 64); // the instrument number still resets the volume
    ticks(1);
    EXPECT_EQ(ch(0).period, 4608 - 64);
}

TEST_F(RowTest, SetVolumeIsNotClamped) {
    put(0, 0, 0, 49, 1, 0, 12, 0x80);
    start();
    ticks(1);
    EXPECT_EQ(ch(0).volume, 128);
    EXPECT_EQ(ch(0).voice->volume, 255);
}

TEST_F(RowTest, KeyOffWithoutEnvelopeSilencesAtOnce) {
    put(0, 0, 0, 49, 1);
    put(0, 1, 0, noteKeyOff, 0);
    start();
    ticks(7);
    EXPECT_EQ(ch(0).keyOff, 1);
    EXPECT_EQ(ch(0).volEnvValue, 0);
    EXPECT_EQ(ch(0).voice->volume, 0);
}

TEST_F(RowTest, KeyOffWithEnvelopeReleasesSustainAndFades) {
    Instrument& in = instruments[0];
    in.volumeEnvelope[0] = {0, 64};
    in.volumeEnvelope[1] = {4, 32};
    in.volumeEnvelopePointCount = 2;
    in.volumeSustainPoint = 0;
    in.volumeEnvelopeFlags = envelopeOn | envelopeSustain;
    in.fadeout = 2048;
    put(0, 0, 0, 49, 1);
    put(0, 1, 0, noteKeyOff, 0);
    start();
    ticks(6);
    EXPECT_EQ(ch(0).volEnvValue, 64); // held at the sustain point
    EXPECT_EQ(ch(0).volEnvTick, 0);
    ticks(1);
    EXPECT_EQ(ch(0).fadeoutVolume, 65536 - 2048);
    EXPECT_EQ(ch(0).volEnvValue, 64); // point 0 again, now moving on
    ticks(1);
    EXPECT_EQ(ch(0).volEnvValue, 56);
    EXPECT_EQ(ch(0).fadeoutVolume, 65536 - 2 * 2048);
}

TEST_F(RowTest, KeyOffEffectReleasesOnTheRowTick) {
    put(0, 0, 0, 49, 1, 0, 20, 0x05); // K05
    start();
    ticks(1);
    EXPECT_EQ(ch(0).keyOff, 1);
}

TEST_F(RowTest, VolumeColumnSlidesActOnLaterTicksFineSlidesOnTheRowTick) {
    put(0, 0, 0, 49, 1, 0x66); // slide down 6
    put(0, 0, 1, 49, 1, 0x86); // fine slide down 6
    put(0, 0, 2, 49, 1, 0x7F); // slide up 15, from 64: stays
    put(0, 1, 2, 0, 0, 0x20);  // row 1: volume 16...
    put(0, 2, 2, 0, 0, 0x73);  // ...row 2: slide up 3
    // Volumes after each tick of row 0 (speed 6): the row tick leaves 6x alone.
    const int32_t slide[6] = {64, 58, 52, 46, 40, 34};
    start();
    for (int t = 0; t < 6; ++t) {
        ticks(1);
        EXPECT_EQ(ch(0).volume, slide[t]) << "tick " << t;
        EXPECT_EQ(ch(1).volume, 58) << "tick " << t;
        EXPECT_EQ(ch(2).volume, 64) << "tick " << t;
    }
    ticks(7);
    EXPECT_EQ(ch(2).volume, 16); // row 2's row tick: not yet slid
    ticks(5);
    EXPECT_EQ(ch(2).volume, 31); // five later ticks of 3
}

TEST_F(RowTest, VolumeColumnSetsVolumeAndPanning) {
    put(0, 0, 0, 49, 1, 0x30);
    put(0, 0, 1, 49, 1, 0xC3);
    put(0, 0, 2, 49, 1, 0xA5);
    put(0, 0, 3, 49, 1, 0xB7);
    put(0, 1, 2, 0, 0, 0xA0); // a speed of 0 keeps the speed in memory
    put(0, 1, 3, 0, 0, 0xB0); // a depth of 0 keeps the depth, on every tick
    start();
    ticks(1);
    EXPECT_EQ(ch(0).volume, 32);
    EXPECT_EQ(ch(1).panning, 48);
    EXPECT_EQ(ch(2).vibratoSpeed, 5);
    EXPECT_EQ(ch(3).vibratoDepth, 7);
    ticks(9); // to tick 2 of row 1
    EXPECT_EQ(ch(2).vibratoSpeed, 5);
    EXPECT_EQ(ch(3).vibratoDepth, 7);
}

// Mx with a note is a tone portamento, as 3xx with the same note and instrument number: the
// instrument is not taken over, the pitch stays and glides on the later ticks, no retrigger.
TEST_F(RowTest, VolumeColumnTonePortaWithANoteGlides) {
    put(0, 0, 0, 49, 1);
    put(0, 1, 0, 61, 2, 0xF2); // C-5, instrument 2, M2: speed 32
    // Periods after each tick of row 1: 4 x 32 per later tick towards 3840.
    const int32_t period[6] = {4608, 4480, 4352, 4224, 4096, 3968};
    start();
    ticks(6);
    Voice* before = ch(0).voice;
    for (int t = 0; t < 6; ++t) {
        ticks(1);
        EXPECT_EQ(ch(0).period, period[t]) << "tick " << t;
    }
    EXPECT_EQ(ch(0).portaTarget, 3840);
    EXPECT_EQ(ch(0).portaSpeed, 32);
    EXPECT_EQ(ch(0).instrument, 0);
    EXPECT_EQ(ch(0).voice, before);
    EXPECT_EQ(ch(0).voice->sample, &samples[0]);
}

TEST_F(RowTest, VolumeColumnTonePortaWithADelayedNoteStartsTheNote) {
    put(0, 0, 0, 49, 1);
    put(0, 1, 0, 61, 1, 0xF2, 14, 0xD2); // ED2: the note starts on tick 2 at its own pitch
    start();
    ticks(8);
    EXPECT_EQ(ch(0).period, 4608 - 128); // the column's portamento glides until then
    ticks(1);
    EXPECT_EQ(ch(0).period, 3840);
    EXPECT_EQ(ch(0).voice, &player.voices[32]);
}

TEST_F(RowTest, SampleOffsetStartsTheNoteThereAndIsConsumed) {
    put(0, 0, 0, 49, 1, 0, 9, 0x02);
    put(0, 1, 0, 0, 0, 0, 14, 0x93); // E93: retriggers start from frame 0
    start();
    ticks(1);
    EXPECT_EQ(ch(0).voice->positionInt, 512u);
    EXPECT_EQ(ch(0).voice->startOffset, 0);
    ch(0).voice->positionInt = 700; // as if mixed
    ticks(5 + 4);                   // to tick 3 of row 1
    EXPECT_EQ(ch(0).voice, &player.voices[32]);
    EXPECT_EQ(ch(0).voice->positionInt, 0u);
    EXPECT_EQ(ch(0).sampleOffsetMemory, 2);
}

// 9xx only acts with a note triggered on its own row; elsewhere it keeps its memory alone.
TEST_F(RowTest, SampleOffsetWithoutATriggeredNoteOnlyKeepsItsMemory) {
    put(0, 0, 0, 49, 1);
    put(0, 1, 0, 0, 0, 0, 9, 0x03);     // no note
    put(0, 2, 0, 61, 0, 0xF0, 9, 0x02); // a note held back by Mx
    put(0, 3, 0, 49, 1);                // a plain note: starts at frame 0
    put(0, 4, 0, 49, 1, 0, 9, 0x00);    // 900: the memory, 512 frames
    start();
    ticks(6);
    player.voices[0].positionInt = 300; // as if mixed
    ticks(12);
    EXPECT_EQ(ch(0).voice, &player.voices[0]);
    EXPECT_EQ(player.voices[0].positionInt, 300u);
    EXPECT_EQ(player.voices[0].startOffset, 0);
    ticks(1);
    EXPECT_EQ(ch(0).voice, &player.voices[32]);
    EXPECT_EQ(player.voices[32].positionInt, 0u);
    ticks(6);
    EXPECT_EQ(ch(0).voice, &player.voices[0]);
    EXPECT_EQ(player.voices[0].positionInt, 512u);
}

// A note whose offset lies at or past the play end does not sound, and the note before it
// stops as a one-shot sample stops at its end; an instrument number alone does not revive it.
TEST_F(RowTest, SampleOffsetPastTheEndSilencesTheChannel) {
    put(0, 0, 0, 49, 1);
    put(0, 1, 0, 49, 1, 0, 9, 0x04); // 1024 frames, the sample has 1000
    put(0, 2, 0, 0, 1);
    put(0, 3, 0, 49, 1);
    start();
    ticks(6);
    player.voices[0].positionInt = 300;
    player.voices[0].positionFrac = 99;
    ticks(1);
    EXPECT_EQ(ch(0).voice, &player.voices[0]); // no trigger: no move to the partner slot
    EXPECT_EQ(player.voices[0].sample, nullptr);
    EXPECT_EQ(player.voices[0].positionInt, 0u);
    EXPECT_EQ(player.voices[0].positionFrac, 0u);
    EXPECT_EQ(player.voices[32].sample, nullptr);
    ticks(6);
    EXPECT_EQ(player.voices[0].sample, nullptr);
    ticks(6);
    EXPECT_EQ(player.voices[0].sample, &samples[0]);
}

// E5y with a note sets the channel's finetune, (y - 8) x 16, for that note and the channel's
// later periods until a note without E5y that is not a portamento target. Linear scale:
// period = 4608 - finetune / 2 for C-4.
TEST_F(RowTest, SetFinetuneOverridesTheChannelFromItsNoteOn) {
    put(0, 0, 0, 49, 1, 0, 14, 0x57); // finetune -16
    put(0, 1, 0, 0, 0, 0, 14, 0x5F);  // no note: nothing
    put(0, 2, 0, 49, 1, 0, 3, 0x01);  // a portamento target keeps the override
    put(0, 3, 0, 49, 1);              // a plain note ends it
    put(0, 4, 0, 49, 1, 0, 14, 0x5F); // finetune 112
    put(0, 0, 1, 49, 1);              // another channel is untouched
    const int32_t period[5] = {4616, 4616, 4616, 4608, 4552};
    start();
    for (int row = 0; row < 5; ++row) {
        ticks(1);
        EXPECT_EQ(ch(0).notePeriod, period[row]) << "row " << row;
        ticks(5);
    }
    EXPECT_EQ(samples[0].finetune, 0);
    EXPECT_EQ(ch(1).notePeriod, 4608);
}

TEST_F(RowTest, FineVolumeSlidesShareOneMemory) {
    put(0, 0, 0, 49, 1, 0x30, 14, 0xA3);
    put(0, 1, 0, 0, 0, 0, 14, 0xB0);
    start();
    ticks(1);
    EXPECT_EQ(ch(0).volume, 35);
    ticks(6);
    EXPECT_EQ(ch(0).volume, 32);
}

TEST_F(RowTest, FinePortamentosHaveNoLimit) {
    put(0, 0, 0, 49, 1, 0, 14, 0x1F);
    put(0, 1, 0, 0, 0, 0, 33, 0x23);
    start();
    ticks(1);
    EXPECT_EQ(ch(0).period, 4608 - 60);
    ticks(6);
    EXPECT_EQ(ch(0).period, 4608 - 60 + 3);
    EXPECT_EQ(ch(0).extraFinePortaDownMemory, 3);
}

TEST_F(RowTest, PanningAndGlobalVolumeEffects) {
    put(0, 0, 0, 49, 1, 0, 8, 0x40);
    put(0, 0, 1, 49, 1, 0, 16, 0x20); // G20
    put(0, 0, 2, 49, 1, 0, 14, 0x8F);
    start();
    ticks(1);
    EXPECT_EQ(ch(0).panning, 0x40);
    EXPECT_EQ(player.globalVolume, 32);
    EXPECT_EQ(ch(2).panning, 240);
    // Channel 0 was updated before the global volume changed.
    EXPECT_EQ(player.voices[0].volume, 127);
    EXPECT_EQ(player.voices[1].volume, 63);
    EXPECT_EQ(player.voices[2].volume, 63);
}

TEST_F(RowTest, GlobalVolumeIsCappedAtSixtyFour) {
    put(0, 0, 0, 49, 1, 0, 16, 0x20);
    put(0, 1, 0, 0, 0, 0, 16, 0x50);
    start();
    ticks(1);
    EXPECT_EQ(player.globalVolume, 32);
    ticks(6);
    EXPECT_EQ(player.globalVolume, 64);
}

// Tremolo 748 (speed 4, depth 8, sine) at volume 32 sounds on every row tick at its position,
// which only the later ticks move on; once it ends, the channel plays at its volume again, on
// its own (channel 0) and under A01 (channel 1). Volume plus offset, tick by tick.
TEST_F(RowTest, TremoloSoundsOnTheRowTickAndLeavesNoOffset) {
    const int32_t heard[3][2][6] = {
        {{32, 32, 44, 54, 61, 63}, {32, 32, 44, 54, 61, 63}}, // positions 0 0 4 8 12 16
        {{61, 61, 54, 44, 32, 20}, {61, 61, 54, 44, 32, 20}}, // 20 20 24 28 -32 -28
        {{32, 32, 32, 32, 32, 32}, {32, 31, 30, 29, 28, 27}}, // ended; A01
    };
    for (int c = 0; c < 2; ++c) {
        put(0, 0, c, 49, 1, 0x30, 7, 0x48);
        put(0, 1, c, 0, 0, 0, 7, 0x00);
    }
    putEffect(0, 2, 1, 10, 0x01);
    start();
    for (int row = 0; row < 3; ++row) {
        for (int t = 0; t < 6; ++t) {
            ticks(1);
            for (int c = 0; c < 2; ++c) {
                EXPECT_EQ(ch(c).volume + ch(c).volumeDelta, heard[row][c][t])
                    << "row " << row << " tick " << t << " channel " << c;
            }
        }
    }
}

TEST_F(RowTest, NotesOutsideTheScaleAreIgnored) {
    put(0, 0, 0, 49, 1);
    put(0, 1, 0, 150, 0);
    start();
    ticks(6);
    Voice* before = ch(0).voice;
    ticks(1);
    EXPECT_EQ(ch(0).note, 48);
    EXPECT_EQ(ch(0).voice, before);
}

TEST_F(RowTest, InstrumentBeyondTheSongPlaysTheEmptySample) {
    put(0, 0, 0, 49, 9);
    start();
    ticks(1);
    EXPECT_EQ(ch(0).instrument, 8);
    EXPECT_EQ(ch(0).voice->sample, &emptySample);
    EXPECT_EQ(ch(0).voice->volume, 0);
}

TEST_F(RowTest, SampleMapSlotPastTheSampleCountSelectsEmptySample) {
    instruments[0].sampleMap[48] = 1; // one sample
    put(0, 0, 0, 49, 1);
    start();
    ticks(1);
    EXPECT_EQ(ch(0).voice->sample, &emptySample);
}

} // namespace
} // namespace ostrel::test
