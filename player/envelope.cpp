// The steps that follow the instrument rather than the pattern: volume and panning envelopes,
// the envelope position effect Lxx, the fade-out after key-off, and the automatic vibrato.
#include <array>

#include "player/engine.h"

namespace ostrel {

namespace {

// The file supplies at most 12 points; a larger stored count must not walk past the point slots
// (the position search also reads the point after the last).
constexpr int32_t maxEnvelopePoints = envelopeFilePoints;

inline int32_t usablePointCount(uint8_t count) {
    return count > maxEnvelopePoints ? maxEnvelopePoints : count;
}

// Slope from point i to point i + 1 in 16.16 per tick, truncated toward zero.
inline int32_t envelopeSlope(const EnvelopePoint* points, int32_t i) {
    int32_t dx = points[i + 1].x - points[i].x;
    if (dx == 0) {
        return 0;
    }
    int64_t dy = (static_cast<int64_t>(points[i + 1].y) - points[i].y) * 65536;
    return static_cast<int32_t>(dy / dx);
}

struct EnvelopeState {
    int32_t* point;
    int32_t* tick;
    int32_t* valueFixed;
    int32_t* value;
    int32_t* step;
    uint8_t* done;
};

struct EnvelopeShape {
    uint8_t flags;
    int32_t pointCount;
    const EnvelopePoint* points;
    int32_t loopEnd;
    int32_t loopStart;
    int32_t sustain;
};

void stepEnvelope(ChannelState* ch, const EnvelopeState& e, const EnvelopeShape& shape,
                  uint8_t flagToMark) {
    int32_t i = *e.point;
    int32_t n = shape.pointCount;
    const EnvelopePoint* x = shape.points;
    if (i < n && x[i].x == *e.tick) {
        // The loop test comes before the last-point test, which comes before the sustain test.
        if ((shape.flags & envelopeLoop) && i == shape.loopEnd && shape.loopStart < n) {
            i = shape.loopStart;
            *e.tick = x[i].x;
        }
        if (i == n - 1) {
            *e.point = i;
            *e.value = x[i].y;
            *e.done = 1;
            ch->updateFlags |= flagToMark;
            return;
        }
        if ((shape.flags & envelopeSustain) && i == shape.sustain && ch->keyOff == 0) {
            *e.point = i;
            *e.value = x[i].y;
            ch->updateFlags |= flagToMark;
            return;
        }
        *e.step = envelopeSlope(x, i);
        *e.valueFixed = x[i].y * 65536;
        i += 1;
    } else if (i < n) {
        *e.valueFixed += *e.step;
    }
    *e.point = i;
    *e.value = *e.valueFixed >> 16;
    *e.tick += 1;
    ch->updateFlags |= flagToMark;
}

// The auto-vibrato sine: trunc(sin(p * K) * 64), with K = 2 pi / 256 rounded to single
// precision (0.02454368770122528 when widened). That K is a little below 2 pi / 256, so even
// the top of the wave stays under 64 and the wave swings between -63 and 63. The rounding is
// kept on purpose: this table, not the ideal sine, sets how far an auto vibrato swings, and the
// golden checksums of rendered songs pin it.
// Written out rather than computed at start-up so that every compiler and C library gives the
// same values; a test recomputes them from the formula.
constexpr std::array<int8_t, 256> autoVibratoSine = {
    0,   1,   3,   4,   6,   7,   9,   10,  12,  14,  15,  17,  18,  20,  21,  23,  24,  25,  27,
    28,  30,  31,  32,  34,  35,  36,  38,  39,  40,  41,  42,  44,  45,  46,  47,  48,  49,  50,
    51,  52,  53,  54,  54,  55,  56,  57,  57,  58,  59,  59,  60,  60,  61,  61,  62,  62,  62,
    63,  63,  63,  63,  63,  63,  63,  63,  63,  63,  63,  63,  63,  63,  63,  62,  62,  62,  61,
    61,  60,  60,  59,  59,  58,  57,  57,  56,  55,  54,  54,  53,  52,  51,  50,  49,  48,  47,
    46,  45,  44,  42,  41,  40,  39,  38,  36,  35,  34,  32,  31,  30,  28,  27,  25,  24,  23,
    21,  20,  18,  17,  15,  14,  12,  10,  9,   7,   6,   4,   3,   1,   0,   -1,  -3,  -4,  -6,
    -7,  -9,  -10, -12, -14, -15, -17, -18, -20, -21, -23, -24, -25, -27, -28, -30, -31, -32, -34,
    -35, -36, -38, -39, -40, -41, -42, -44, -45, -46, -47, -48, -49, -50, -51, -52, -53, -54, -54,
    -55, -56, -57, -57, -58, -59, -59, -60, -60, -61, -61, -62, -62, -62, -63, -63, -63, -63, -63,
    -63, -63, -63, -63, -63, -63, -63, -63, -63, -63, -62, -62, -62, -61, -61, -60, -60, -59, -59,
    -58, -57, -57, -56, -55, -54, -54, -53, -52, -51, -50, -49, -48, -47, -46, -45, -44, -42, -41,
    -40, -39, -38, -36, -35, -34, -32, -31, -30, -28, -27, -25, -24, -23, -21, -20, -18, -17, -15,
    -14, -12, -10, -9,  -7,  -6,  -4,  -3,  -1,
};

} // namespace

void stepVolumeEnvelope(ChannelState* ch, const Instrument* in) {
    EnvelopeState state{&ch->volEnvPoint, &ch->volEnvTick, &ch->volEnvValueFixed,
                        &ch->volEnvValue, &ch->volEnvStep, &ch->volEnvDone};
    EnvelopeShape shape{in->volumeEnvelopeFlags,  usablePointCount(in->volumeEnvelopePointCount),
                        in->volumeEnvelope,       in->volumeLoopEndPoint,
                        in->volumeLoopStartPoint, in->volumeSustainPoint};
    stepEnvelope(ch, state, shape, volumeChanged);
}

void stepPanningEnvelope(ChannelState* ch, const Instrument* in) {
    EnvelopeState state{&ch->panEnvPoint, &ch->panEnvTick, &ch->panEnvValueFixed,
                        &ch->panEnvValue, &ch->panEnvStep, &ch->panEnvDone};
    EnvelopeShape shape{in->panningEnvelopeFlags,  usablePointCount(in->panningEnvelopePointCount),
                        in->panningEnvelope,       in->panningLoopEndPoint,
                        in->panningLoopStartPoint, in->panningSustainPoint};
    stepEnvelope(ch, state, shape, panningChanged);
}

void setEnvelopePosition(ChannelState* ch, const Instrument* in, int32_t position) {
    int32_t n = usablePointCount(in->volumeEnvelopePointCount);
    if (n == 0) {
        return; // no point to take a value from
    }
    const EnvelopePoint* x = in->volumeEnvelope;
    // Before the first point the slope would be extrapolated below it, and far enough before
    // it the fixed-point value would overflow: such a position starts at the first point.
    if (position < x[0].x) {
        position = x[0].x;
    }
    int32_t i = 0;
    while (i < n && position > x[i + 1].x) {
        ++i;
    }
    ch->volEnvPoint = i;
    if (i >= n - 1) {
        ch->volEnvValue = x[n - 1].y;
        ch->volEnvDone = 1;
        return;
    }
    ch->volEnvDone = 0;
    ch->volEnvTick = position;
    ch->volEnvStep = envelopeSlope(x, i);
    int64_t fixed = static_cast<int64_t>(position - x[i].x) * ch->volEnvStep +
                    static_cast<int64_t>(x[i].y) * 65536;
    ch->volEnvValueFixed = static_cast<int32_t>(fixed);
    ch->volEnvPoint = i + 1;
    ch->volEnvValue = ch->volEnvValueFixed >> 16;
}

void applyFadeout(ChannelState* ch, const Instrument* instrument) {
    if (!ch->keyOff) {
        return;
    }
    ch->fadeoutVolume -= instrument->fadeout;
    if (ch->fadeoutVolume < 0) {
        ch->fadeoutVolume = 0;
    }
    ch->updateFlags |= volumeChanged;
}

int32_t autoVibratoWave(int32_t type, int32_t p) {
    switch (type) {
    case 0:
        return autoVibratoSine[p & 255];
    case 1:
        return p < 128 ? 64 : -64;
    case 2:
        return (128 - ((p + 128) & 255)) >> 1;
    case 3:
        return (128 - ((384 - p) & 255)) >> 1;
    default:
        return 0;
    }
}

void stepAutoVibrato(ChannelState* ch, const Instrument* in) {
    int32_t p = ch->autoVibratoPos & 255;
    int32_t v = autoVibratoWave(in->vibratoType, p) * in->vibratoDepth;
    if (in->vibratoSweep != 0) {
        v = v * ch->autoVibratoSweep / in->vibratoSweep;
    }
    ch->periodDelta += v >> 6;
    ch->autoVibratoSweep =
        ch->autoVibratoSweep + 1 < in->vibratoSweep ? ch->autoVibratoSweep + 1 : in->vibratoSweep;
    p += in->vibratoRate;
    ch->autoVibratoPos = p > 255 ? p - 256 : p;
    ch->updateFlags |= pitchChanged;
}

} // namespace ostrel
