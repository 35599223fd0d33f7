#include "tests/mixer/reference_mixer.h"

#include <bit>
#include <cmath>

namespace ostrel::test {

namespace {

const float kVolumeScale = 1.0f / 255.0f;
const float kFixedScale = 1.0f / 256.0f;
const float kFractionScale = std::bit_cast<float>(0x2FFFF910u);

// Frames outside [0, end] (including the one just before frame 0) read as silence.
float frame(const Sample* s, uint32_t end, uint32_t index) {
    if (index > end || s->data == nullptr) {
        return 0.0f;
    }
    return static_cast<float>(s->data[index]);
}

float interpolate(const Sample* s, uint32_t end, uint32_t whole, uint32_t fraction) {
    float a = frame(s, end, whole);
    float b = frame(s, end, whole + 1);
    float t = static_cast<float>(static_cast<int32_t>(fraction >> 1)) * kFractionScale;
    return a + t * (b - a);
}

void advance(uint32_t& whole, uint32_t& fraction, uint32_t stepWhole, uint32_t stepFraction,
             bool forward) {
    if (forward) {
        uint32_t f = fraction + stepFraction;
        whole = whole + stepWhole + (f < fraction ? 1u : 0u);
        fraction = f;
    } else {
        uint32_t f = fraction - stepFraction;
        whole = whole - stepWhole - (fraction < stepFraction ? 1u : 0u);
        fraction = f;
    }
}

} // namespace

void referenceMixVoice(const ModulePlayer* player, Voice* v, float* out, int32_t frames) {
    const Sample* s = v->sample;
    if (s == nullptr || frames <= 0) {
        return;
    }
    uint32_t end = s->loopStart + s->loopLength;
    int32_t remaining = frames;
    for (;;) {
        // The piece: every frame still to mix, cut at the frame that carries the position past
        // the end it moves towards (the play end forward, the loop start backward), so that the
        // loop below needs no end test. The frames to that end come from the distance divided by
        // the step in 8.24 form; an end 2^24 frames or more away is not looked for yet, and one
        // already passed (by less than that) is handled at once, before any frame.
        int32_t n = remaining;
        bool endFlag = false;
        uint64_t p = (static_cast<uint64_t>(v->positionInt) << 32) | v->positionFrac;
        uint64_t stepFull = (static_cast<uint64_t>(v->stepInt) << 32) | v->stepFrac;
        uint64_t d = v->direction == 1 ? (static_cast<uint64_t>(end) << 32) - p
                                       : p - (static_cast<uint64_t>(s->loopStart) << 32);
        if (static_cast<int64_t>(d) < 0 && static_cast<int64_t>(d) > -(int64_t{1} << 56)) {
            // Past the end it moves towards (by less than 2^24 frames): end handling at once.
            n = 0;
            endFlag = true;
        } else if (static_cast<uint32_t>(d >> 32) < 16777216u) {
            uint64_t s824 = static_cast<uint64_t>(v->stepInt) * 16777216u + (v->stepFrac >> 8);
            bool known = true;
            uint64_t f = 0;
            if (s824 != 0) {
                uint64_t num = d >> 8;
                f = (num + s824 - 1) / s824;
            } else if (stepFull != 0) {
                f = (d + stepFull - 1) / stepFull;
            } else {
                known = false;
            }
            if (known && f == 0 && d != 0) {
                f = 1;
            }
            if (known && f <= static_cast<uint64_t>(n)) {
                n = static_cast<int32_t>(f);
                endFlag = true;
            }
        }
        int32_t planned = n;

        // The ramp: one still running goes on while the targets stay as they were when it
        // started; otherwise a new one starts whenever a target differs from the whole part of
        // its current volume. A piece never runs past the ramp's end.
        int32_t r;
        float d0, d1;
        if (v->rampFramesLeft != 0 && v->targetVolume0 == v->lastTarget0 &&
            v->targetVolume1 == v->lastTarget1) {
            r = v->rampFramesLeft;
            d0 = v->rampStep0;
            d1 = v->rampStep1;
        } else {
            v->lastTarget0 = v->targetVolume0;
            int32_t diff0 = v->targetVolume0 - (v->currentVolume0 >> 8);
            d0 = diff0 == 0 ? 0.0f : static_cast<float>(diff0) * kVolumeScale * player->rampScale;
            v->rampStep0 = d0;
            v->lastTarget1 = v->targetVolume1;
            int32_t diff1 = v->targetVolume1 - (v->currentVolume1 >> 8);
            d1 = diff1 == 0 ? 0.0f : static_cast<float>(diff1) * kVolumeScale * player->rampScale;
            v->rampStep1 = d1;
            r = (diff0 != 0 || diff1 != 0) ? player->rampFrames : 0;
            v->rampFramesLeft = r;
        }
        if (r > 0 && r < n) {
            n = r;
        }

        // Gains: the targets' for a steady voice, the current volumes' for a ramp.
        float g0 = static_cast<float>(v->targetVolume0) * kVolumeScale;
        float g1 = static_cast<float>(v->targetVolume1) * kVolumeScale;
        float w0 = static_cast<float>(v->currentVolume0) * kFixedScale * kVolumeScale;
        float w1 = static_cast<float>(v->currentVolume1) * kFixedScale * kVolumeScale;

        // The frames one at a time, each through the same bounds-checked interpolation; a
        // ramp's gains take one step per frame, after the frame.
        uint32_t whole = v->positionInt;
        uint32_t fraction = v->positionFrac;
        for (int32_t k = 0; k < n; ++k) {
            float value = interpolate(s, end, whole, fraction);
            if (r > 0) {
                out[2 * k] += value * w0;
                out[2 * k + 1] += value * w1;
                w0 += d0;
                w1 += d1;
            } else {
                out[2 * k] += value * g0;
                out[2 * k + 1] += value * g1;
            }
            advance(whole, fraction, v->stepInt, v->stepFrac, v->direction == 1);
        }
        v->positionInt = whole;
        v->positionFrac = fraction;

        // The volumes a ramp reached, stored rounded to 24.8; at its end exactly the targets.
        // When the ramp's end cut the piece short, the rest of the frames start a new piece
        // without any end handling.
        if (r > 0) {
            v->currentVolume0 = static_cast<int32_t>(std::nearbyint(w0 * 255.0f * 256.0f));
            v->currentVolume1 = static_cast<int32_t>(std::nearbyint(w1 * 255.0f * 256.0f));
            r -= n;
            v->rampFramesLeft = r;
            if (r == 0) {
                v->rampStep0 = 0.0f;
                v->rampStep1 = 0.0f;
                v->currentVolume0 = v->targetVolume0 * 256;
                v->currentVolume1 = v->targetVolume1 * 256;
                if (n < planned) {
                    remaining -= n;
                    out += 2 * n;
                    continue;
                }
            }
        }

        // After a piece that reached its end: a sample without loop falls idle; a forward loop
        // takes off loop lengths until the position is back before the play end; a ping-pong
        // loop mirrors the position at the end it passed, one fraction unit short, and turns,
        // as often as it takes to land inside the loop.
        if (!endFlag) {
            return;
        }
        bool looped = s->loopLength != 0 && (s->loopType & (loopForward | loopPingPong)) != 0;
        if (!looped) {
            v->sample = nullptr;
            v->positionInt = 0;
            v->positionFrac = 0;
            return;
        }
        if (s->loopType & loopForward) {
            while (v->positionInt >= end) {
                v->positionInt -= s->loopLength;
            }
        } else {
            bool inside = false;
            while (!inside) {
                uint64_t q = (static_cast<uint64_t>(v->positionInt) << 32) | v->positionFrac;
                if (v->direction == 1) {
                    q = 2 * (static_cast<uint64_t>(end) << 32) - q - 1;
                    v->direction = 2;
                    inside = static_cast<int32_t>(q >> 32) >= static_cast<int32_t>(s->loopStart);
                } else {
                    q = 2 * (static_cast<uint64_t>(s->loopStart) << 32) - q - 1;
                    v->direction = 1;
                    inside = static_cast<int32_t>(q >> 32) < static_cast<int32_t>(end);
                }
                v->positionInt = static_cast<uint32_t>(q >> 32);
                v->positionFrac = static_cast<uint32_t>(q);
            }
        }
        remaining -= n;
        out += 2 * n;
        if (remaining == 0) {
            return;
        }
    }
}

} // namespace ostrel::test
