// Later ticks of a row: the oscillators, slides, portamentos, arpeggio, retriggers, note cut
// and delay, tremor.
#include <cmath>
#include <vector>

#include "engine_fixture.h"

namespace ostrel::test {
namespace {

using TickTest = EngineTest;

// The arpeggio counts a row's ticks down from the tempo the row's Fxx sets: with c = tempo -
// tick % tempo, c % 3 picks the note below 16 (1: x, 2: y, 0: plain), 16 plays the plain note
// and above 16 plays y. Pattern-delay ticks count on from the tempo; MadTracker's files take
// tick % 3 instead. 037 on the linear scale: "x" is 192, "y" 448; the row tick comes first.
TEST_F(TickTest, ArpeggioCountsTheTicksLeftInTheRow) {
    const struct {
        uint8_t tempo, delay, madTracker;
        const char* notes;
    } table[] = {
        {3, 0, 0, "0yx"},
        {4, 0, 0, "00yx"},
        {5, 0, 0, "0x0yx"},
        {6, 0, 0, "0yx0yx"},
        {16, 0, 0, "00yx0yx0yx0yx0yx"},
        {17, 0, 0, "000yx0yx0yx0yx0yx"},
        {18, 0, 0, "0y00yx0yx0yx0yx0yx"},
        {6, 1, 0, "0yx0yx0yx0yx"}, // EE1: ticks 6..11 count 6..1 again
        {6, 0, 1, "0xy0xy"},
        {5, 1, 1, "0xy0xy0xy0"},
    };
    for (const auto& row : table) {
        SetUp();
        put(0, 0, 0, 49, 1, 0, 0, 0x37);
        putEffect(0, 0, 1, 15, row.tempo);
        putEffect(0, 0, 2, 14, row.delay ? 0xE0 | row.delay : 0);
        player.madTracker = row.madTracker;
        start();
        for (int t = 0; row.notes[t]; ++t) {
            ticks(1);
            const char note = row.notes[t];
            EXPECT_EQ(ch(0).periodDelta, note == 'x'   ? 192
                                         : note == 'y' ? 448
                                                       : 0)
                << "tempo " << int(row.tempo) << " tick " << t;
        }
        EXPECT_EQ(player.tick, 0) << "the row has ended";
    }
}

TEST_F(TickTest, AmigaArpeggioIsAPeriodDifference) {
    player.flags = 0;
    put(0, 0, 0, 49, 1, 0, 0, 0x37);
    start();
    ticks(3); // tick 2 plays x
    EXPECT_EQ(ch(0).periodDelta, amigaPeriod(51, 0) - amigaPeriod(48, 0));
    EXPECT_LT(ch(0).periodDelta, 0);
}

TEST_F(TickTest, AmigaArpeggioUsesTheChannelsFinetuneOverride) {
    player.flags = 0;
    samples[0].finetune = 64;
    put(0, 0, 0, 49, 1, 0, 14, 0x5C); // E5C with the note: finetune 64 on the channel...
    put(0, 1, 0, 0, 0, 0, 0, 0x37);   // ...which the arpeggio keeps using
    samples[0].finetune = -128;       // while the sample's own says otherwise
    start();
    ticks(9); // tick 2 of row 1 plays x
    EXPECT_EQ(ch(0).periodDelta, amigaPeriod(51, 64) - amigaPeriod(48, 64));
}

TEST_F(TickTest, AmigaArpeggioNoteSumIsNotWrapped) {
    player.flags = 0;
    samples[0].relativeNote = -10;
    put(0, 0, 0, 1, 1, 0, 0, 0x0F); // real note 246, arpeggio up to 261
    start();
    ticks(2); // tick 1 plays y
    EXPECT_EQ(ch(0).realNote, 246);
    EXPECT_EQ(ch(0).periodDelta, amigaPeriod(261, 0) - amigaPeriod(246, 0));
    // Wrapped, the sum would be note 5 with a period of thousands.
    EXPECT_NE(ch(0).periodDelta, amigaPeriod(5, 0) - amigaPeriod(246, 0));
}

TEST_F(TickTest, PortamentoUpStopsAtFiftySixDownHasNoLimit) {
    put(0, 0, 0, 49, 1, 0, 1, 0xFF);
    put(0, 0, 1, 49, 1, 0, 2, 0xFF);
    start();
    ticks(4);
    EXPECT_EQ(ch(0).period, 4608 - 3 * 1020);
    ticks(2);
    EXPECT_EQ(ch(0).period, 56);
    EXPECT_EQ(ch(1).period, 4608 + 5 * 1020);
}

TEST_F(TickTest, VibratoSineValues) {
    ChannelState c{};
    c.vibratoDepth = 8;
    c.vibratoPos = 16;
    vibratoValue(&c, &player);
    EXPECT_EQ(c.periodDelta, -60);
    c.vibratoPos = -16;
    vibratoValue(&c, &player);
    EXPECT_EQ(c.periodDelta, 60);
    EXPECT_EQ(c.updateFlags & pitchChanged, pitchChanged);
}

TEST_F(TickTest, VibratoSquareValues) {
    ChannelState c{};
    c.vibratoDepth = 15;
    c.waveControl = 2;
    for (int p = -32; p <= 31; ++p) {
        c.vibratoPos = static_cast<int8_t>(p);
        vibratoValue(&c, &player);
        EXPECT_EQ(c.periodDelta, p >= 0 ? -116 : 116) << p;
    }
}

// The table is written out in the source; every position must follow
// trunc(|sin(2 p * 0.049087375)| * 256).
TEST_F(TickTest, VibratoSineTableFollowsTheFormula) {
    for (int p = -128; p < 128; ++p) {
        EXPECT_EQ(vibratoSine(p),
                  static_cast<int32_t>(std::fabs(std::sin(2.0 * p * 0.049087375)) * 256.0))
            << p;
    }
}

TEST_F(TickTest, SineTablePeaksAt255) {
    const int expected[17] = {0,   25,  49,  74,  97,  120, 142, 162, 181,
                              197, 212, 225, 236, 244, 251, 254, 255};
    for (int p = 0; p <= 16; ++p) {
        EXPECT_EQ(vibratoSine(p), expected[p]) << p;
        EXPECT_EQ(vibratoSine(-p), expected[p]) << -p;
    }
    for (int p = 17; p <= 32; ++p) {
        EXPECT_EQ(vibratoSine(p), expected[32 - p]) << p;
        EXPECT_EQ(vibratoSine(-p), expected[32 - p]) << -p;
    }
}

TEST_F(TickTest, RampValues) {
    EXPECT_EQ(vibratoRamp(0), 0);
    EXPECT_EQ(vibratoRamp(31), 248);
    EXPECT_EQ(vibratoRamp(-32), 255);
    EXPECT_EQ(vibratoRamp(-31), 247);
    EXPECT_EQ(vibratoRamp(-1), 7);
}

// 4xy, 6xy and the volume column's vibrato (speed 4, depth 8, sine) make the pitch fall first
// on both scales: positive positions give -d on the linear scale and +d, a longer period, on the
// Amiga one. Each sounds on the row tick at its position, which the later ticks move on.
TEST_F(TickTest, VibratoFallsFirstOnBothScales) {
    // Linear periodDelta over rows 0 and 1; positions 0 0 4 8 12 16, then 20 20 24 28 -32 -28.
    const int32_t linear[12] = {0, 0, -24, -44, -56, -60, -56, -56, -44, -24, 0, 24};
    for (uint16_t flags : {uint16_t(0), flagLinearFrequencies}) {
        SetUp();
        player.flags = flags;
        put(0, 0, 0, 49, 1, 0, 4, 0x00);
        put(0, 0, 1, 49, 1, 0, 6, 0x00);
        put(0, 0, 2, 49, 1, 0xB0); // B0 keeps the depth
        put(0, 1, 0, 0, 0, 0, 4, 0x00);
        put(0, 1, 1, 0, 0, 0, 6, 0x00);
        put(0, 1, 2, 0, 0, 0xB0);
        start();
        for (int c = 0; c < 3; ++c) {
            ch(c).vibratoSpeed = 4;
            ch(c).vibratoDepth = 8;
        }
        const int32_t plain = flags ? 8363 : 8362;
        for (int t = 0; t < 12; ++t) {
            ticks(1);
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(ch(c).periodDelta, flags ? linear[t] : -linear[t])
                    << "flags " << flags << " channel " << c << " tick " << t;
                EXPECT_EQ(ch(c).voice->frequency < plain, linear[t] < 0) << "tick " << t;
            }
        }
    }
}

TEST_F(TickTest, VibratoPositionWrapsIntoMinus32To31) {
    ChannelState c{};
    c.vibratoSpeed = 15;
    const int expected[] = {15, 30, -19, -4, 11};
    for (int e : expected) {
        advanceVibrato(&c);
        EXPECT_EQ(c.vibratoPos, e);
    }
}

TEST_F(TickTest, TremoloStaysInsideZeroTo64) {
    ChannelState c{};
    c.volume = 60;
    c.tremoloDepth = 15;
    c.tremoloPos = 16;
    tremoloStep(&c);
    EXPECT_EQ(c.volumeDelta, 4); // 59 reduced to 64 - 60
    EXPECT_EQ(c.tremoloPos, 16); // speed 0
    c.tremoloPos = -16;
    tremoloStep(&c);
    EXPECT_EQ(c.volumeDelta, -59);
    c.volume = 30;
    tremoloStep(&c);
    EXPECT_EQ(c.volumeDelta, -30);
}

TEST_F(TickTest, TremoloTreatsWaveform3AsSineVibratoAsSquare) {
    ChannelState c{};
    c.volume = 0;
    c.tremoloDepth = 8;
    c.tremoloPos = 4;
    c.waveControl = 0x33;
    tremoloStep(&c);
    EXPECT_EQ(c.volumeDelta, 97 * 8 / 64);
    c.vibratoPos = 4;
    c.vibratoDepth = 8;
    vibratoValue(&c, &player);
    EXPECT_EQ(c.periodDelta, -4 * (255 * 8 / 128));
}

TEST_F(TickTest, TremorThreeOnTwoOffAcrossRows) {
    put(0, 0, 0, 49, 1, 0, 29, 0x21);
    putEffect(0, 1, 0, 29, 0x00);
    start();
    std::vector<int> volumes;
    for (int t = 0; t < 12; ++t) {
        ticks(1);
        volumes.push_back(ch(0).voice->volume);
    }
    const std::vector<int> expected = {127, 127, 127, 0, 0, 127, 127, 127, 0, 0, 127, 127};
    EXPECT_EQ(volumes, expected);
}

TEST_F(TickTest, MultiRetriggerFiresOnItsIntervalOnly) {
    put(0, 0, 0, 49, 1, 0, 27, 0x24);
    start();
    std::vector<int> slots;
    for (int t = 0; t < 6; ++t) {
        ticks(1);
        slots.push_back(ch(0).voice->index);
    }
    // Row tick on slot 0; tick 4 retriggers onto slot 32.
    const std::vector<int> expected = {0, 0, 0, 0, 32, 32};
    EXPECT_EQ(slots, expected);
    EXPECT_EQ(ch(0).volume, 62);
}

TEST_F(TickTest, MultiRetriggerVolumeModes) {
    // mode, volume before, volume after
    const int table[][3] = {{0, 40, 40},  {1, 40, 39},  {2, 40, 38},   {3, 40, 36},  {4, 40, 32},
                            {5, 40, 24},  {6, 40, 26},  {7, 40, 20},   {8, 40, 40},  {9, 40, 41},
                            {10, 40, 42}, {11, 40, 44}, {12, 40, 48},  {13, 40, 56}, {14, 40, 60},
                            {15, 40, 64}, {8, 100, 64}, {0, 100, 100}, {5, 10, 0}};
    for (auto& row : table) {
        SetUp();
        put(0, 0, 0, 49, 1, 0, 27, static_cast<uint8_t>(row[0] << 4 | 1));
        start();
        ticks(1);
        ch(0).volume = row[1];
        ticks(1);
        EXPECT_EQ(ch(0).volume, row[2]) << "mode " << row[0];
    }
}

TEST_F(TickTest, RetriggerEffectE9) {
    put(0, 0, 0, 49, 1, 0, 14, 0x93);
    put(0, 0, 1, 49, 1, 0, 14, 0x90);
    start();
    ticks(3);
    EXPECT_EQ(ch(0).voice->index, 0);
    ticks(1); // tick 3
    EXPECT_EQ(ch(0).voice->index, 32);
    ticks(2);
    EXPECT_EQ(ch(0).voice->index, 32);
    EXPECT_EQ(ch(1).voice->index, 1); // E90 never retriggers
}

TEST_F(TickTest, NoteCut) {
    put(0, 0, 0, 49, 1, 0, 14, 0xC0); // EC0 cuts on the row tick
    put(0, 0, 1, 49, 1, 0, 14, 0xC3);
    start();
    ticks(1);
    EXPECT_EQ(ch(0).volume, 0);
    EXPECT_EQ(ch(0).voice->volume, 0);
    ticks(2);
    EXPECT_EQ(ch(1).volume, 64);
    ticks(1);
    EXPECT_EQ(ch(1).volume, 0);
    EXPECT_EQ(ch(1).voice->volume, 0);
}

TEST_F(TickTest, NoteDelayOfZeroPlaysTheRowAsIfUndelayed) {
    put(0, 0, 0, 49, 1, 0x30, 14, 0xD0);
    put(0, 1, 0, noteKeyOff, 0, 0, 14, 0xD0);
    start();
    ticks(1);
    EXPECT_EQ(player.voices[0].sample, &samples[0]);
    EXPECT_EQ(player.voices[0].volume, 63);
    EXPECT_EQ(ch(0).period, 4608);
    ticks(6); // row 1's row tick
    EXPECT_EQ(ch(0).keyOff, 1);
    EXPECT_EQ(player.voices[0].volume, 0); // no volume envelope: silent at once
}

TEST_F(TickTest, NoteDelayStartsTheNoteOnItsTick) {
    put(0, 0, 0, 49, 1, 0, 14, 0xD2);
    put(0, 0, 1, 49, 1, 0x30, 14, 0xD2);
    start();
    ticks(2); // row tick and tick 1: nothing starts
    EXPECT_EQ(player.voices[0].sample, nullptr);
    EXPECT_EQ(ch(0).volume, 0);
    EXPECT_EQ(ch(0).period, 0);
    ticks(1); // tick 2
    EXPECT_EQ(player.voices[0].sample, &samples[0]);
    EXPECT_EQ(ch(0).period, 4608);
    EXPECT_EQ(player.voices[0].volume, 127);
    EXPECT_EQ(player.voices[1].volume, 63); // the volume column's value
    EXPECT_EQ(player.voices[0].frequency, 8363);
}

// A key-off with EDy releases the note on tick y: no retrigger, no channel reset.
TEST_F(TickTest, DelayedKeyOffReleasesOnItsTick) {
    Instrument& enveloped = instruments[1];
    enveloped.volumeEnvelope[0] = {0, 64};
    enveloped.volumeEnvelope[1] = {4, 32};
    enveloped.volumeEnvelopePointCount = 2;
    enveloped.volumeSustainPoint = 0;
    enveloped.volumeEnvelopeFlags = envelopeOn | envelopeSustain;
    put(0, 0, 0, 49, 1);
    put(0, 0, 1, 49, 2);
    put(0, 1, 0, noteKeyOff, 0, 0, 14, 0xD2);
    put(0, 1, 1, noteKeyOff, 0, 0, 14, 0xD2);
    // Ticks of row 1: keyOff, and the volume envelope of the instrument without one.
    const uint8_t keyOff[4] = {0, 0, 1, 1};
    const int32_t envelope[4] = {64, 64, 0, 0};
    start();
    ticks(6);
    player.voices[0].positionInt = 300; // as if mixed
    for (int t = 0; t < 4; ++t) {
        ticks(1);
        EXPECT_EQ(ch(0).keyOff, keyOff[t]) << "tick " << t;
        EXPECT_EQ(ch(1).keyOff, keyOff[t]) << "tick " << t;
        EXPECT_EQ(ch(0).volEnvValue, envelope[t]) << "tick " << t;
    }
    EXPECT_EQ(player.voices[0].volume, 0);
    EXPECT_EQ(ch(0).voice, &player.voices[0]);
    EXPECT_EQ(player.voices[0].positionInt, 300u); // not restarted
    EXPECT_EQ(ch(1).volEnvValue, 64);              // released from the sustain point, moving on
    EXPECT_EQ(ch(1).volEnvTick, 1);
}

TEST_F(TickTest, NoteDelayHoldsBackVolumeChangesOnOtherTicks) {
    instruments[0].fadeout = 4096;
    put(0, 0, 0, 49, 1);
    put(0, 1, 0, 0, 0, 0, 14, 0xD3); // no note: the flags are still cleared
    start();
    ticks(6);
    ch(0).keyOff = 1;
    ticks(2); // row tick and tick 1: fade runs, but the voice does not hear it
    EXPECT_EQ(ch(0).fadeoutVolume, 65536 - 2 * 4096);
    EXPECT_EQ(ch(0).voice->volume, 127);
}

TEST_F(TickTest, VolumeSlideWithBothNibblesSlidesUp) {
    put(0, 0, 0, 49, 1, 0x30, 10, 0x23);
    start();
    ticks(6);
    EXPECT_EQ(ch(0).volume, 42);
}

TEST_F(TickTest, GlobalVolumeSlideAppliesOncePerChannelCarryingIt) {
    put(0, 0, 0, 49, 1, 0, 17, 0x01);
    put(0, 0, 1, 49, 1, 0, 17, 0x01);
    start();
    ticks(6);
    EXPECT_EQ(player.globalVolume, 54);
    EXPECT_EQ(player.globalVolumeSlideMemory, 0x01);
}

TEST_F(TickTest, PanningSlidesAndTheFinalClamp) {
    samples[0].panning = 0;
    put(0, 0, 0, 49, 1, 0xD5);
    put(0, 0, 1, 49, 1, 0, 25, 0xF0);
    start();
    ticks(6);
    EXPECT_EQ(ch(0).panning, -30); // the volume column does not clamp
    EXPECT_EQ(ch(0).voice->panning, 0);
    EXPECT_EQ(ch(1).panning, 75); // 0 + 15 per later tick
    EXPECT_EQ(ch(1).voice->panning, 75);
}

TEST_F(TickTest, TonePortamentoSlidesToTheTargetAndStops) {
    ChannelState c{};
    c.period = 1000;
    c.portaTarget = 1100;
    c.portaSpeed = 10;
    tonePortaStep(&c);
    EXPECT_EQ(c.period, 1040);
    tonePortaStep(&c);
    tonePortaStep(&c);
    EXPECT_EQ(c.period, 1100);
    c.portaTarget = 1090;
    tonePortaStep(&c);
    EXPECT_EQ(c.period, 1090);
}

} // namespace
} // namespace ostrel::test
