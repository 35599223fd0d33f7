// The mixer's piece bookkeeping: the constants of its arithmetic, where a voice plays, how many
// frames reach the end it moves towards, what happens there, whether a piece's reads stay inside
// the sample, and the piece loop every path walks a voice's frames with (walkPieces, at the
// end). Shared by the SSE2 and the AVX2 translation units, so everything here has internal
// linkage: each unit keeps its own copy, compiled for its own instruction set, and the linker
// can never hand one unit's copy to the other.
#pragma once

#include <bit>
#include <cstdint>

#include "audio/mixer_paths.h"
#include "module/module.h"

namespace ostrel {
namespace {

// Counts a path taken (when the condition holds), in the mixer tests' build of the mixer. The
// program's build compiles both to nothing, the condition included, so that not even the code
// around them changes.
#ifdef OSTREL_MIXER_PATH_COUNTS
#define COUNT_MIXER_PATH(path) (++mixerPathCounts[static_cast<int>(path)])
#define COUNT_MIXER_PATH_IF(condition, path)                                                       \
    ((condition) ? static_cast<void>(COUNT_MIXER_PATH(path)) : static_cast<void>(0))
#else
#define COUNT_MIXER_PATH(path) static_cast<void>(0)
#define COUNT_MIXER_PATH_IF(condition, path) static_cast<void>(0)
#endif

// Positions and steps are 32.32 fixed point: whole frames above, 1/2^32 frames below.
constexpr uint64_t oneFrame = uint64_t{1} << 32;

// Volume 0..255 to gain, 255 being full gain; and a 24.8 current volume back to a volume.
constexpr float volumeScale = 1.0f / 255.0f;
constexpr float fixedScale = 1.0f / 256.0f;

// Turns the upper 31 bits of a position fraction into an interpolation weight, just below 1 at
// the top.
constexpr float fractionScale = std::bit_cast<float>(0x2FFFF910u);

// Multipliers of a 32-bit word holding frame i (low half) and frame i + 1 (high half) for the
// 16-bit multiply-add: (1, 0) gives frame i, (-1, 1) the difference of the two.
constexpr int32_t pairFirst = 0x00000001;
constexpr int32_t pairDifference = 0x0001FFFF;

// The end look-ahead divides by the step in 8.24 form, the 32.32 step shifted right by this
// many bits; each frame of a piece may therefore land up to 2^lookAheadShift units short of
// where the full step puts it.
constexpr int lookAheadShift = 8;
constexpr uint64_t lookAheadUnit = uint64_t{1} << lookAheadShift;
// An end this many frames away or more is out of the look-ahead's sight (the 8.24 distance
// has 24 bits of whole frames).
constexpr uint32_t lookAheadReach = uint32_t{1} << 24;

// The two closed-form shortcuts (a silent voice moved along its loop, a run through loop
// copies) take calls of up to this many frames, so that the margin they keep around every turn
// of the loop, turnMargin, stays far below one frame.
constexpr int32_t closedFormFrames = 1 << 20;

// How far the look-ahead's rounded step can move a turn of the loop over a call of `frames`
// frames: a piece may end up to lookAheadUnit units per frame short of the end, or past it.
inline uint64_t turnMargin(uint64_t frames) {
    return lookAheadUnit * (frames + 2);
}

// The 16-bit range the mix is clipped to.
constexpr float pcmLowest = -32768.0f;
constexpr float pcmHighest = 32767.0f;

// Steps up to one frame, and up to two, are the ones the AVX2 loops fetch through a window of
// frames; a larger step loads each frame's pair on its own.
constexpr uint64_t narrowStep = oneFrame;
constexpr uint64_t wideStep = 2 * oneFrame;

// Everything a frame loop needs about the sample. Frames outside [0, end] are never read; they
// sound as silence. The guard frame at `end` is the last readable one. Two things can put a
// position's frames outside: a ping-pong reflection at a loop start of 0 leaves the whole part
// at -1, just before frame 0; and the look-ahead works with a step rounded down to 8.24, so the
// last frame of a piece can land a hair past the end, where frame end + 1 would be read.
struct Source {
    const int16_t* data;
    uint32_t end;
};

inline float frameAt(const Source& src, uint32_t index) {
    return (index <= src.end && src.data) ? static_cast<float>(src.data[index]) : 0.0f;
}

inline float weightOf(uint32_t fraction) {
    return static_cast<float>(static_cast<int32_t>(fraction >> 1)) * fractionScale;
}

// Interpolated value at a position whose frames may lie outside the sample.
inline float checkedValue(const Source& src, uint64_t pos) {
    uint32_t i = static_cast<uint32_t>(pos >> 32);
    float a = frameAt(src, i);
    float b = frameAt(src, i + 1);
    return a + weightOf(static_cast<uint32_t>(pos)) * (b - a);
}

// Interpolated value at a position known to have both frames inside the sample.
inline float directValue(const int16_t* data, uint64_t pos) {
    const int16_t* p = data + (pos >> 32);
    float a = static_cast<float>(p[0]);
    float b = static_cast<float>(p[1]);
    return a + weightOf(static_cast<uint32_t>(pos)) * (b - a);
}

// Frames k to n - 1 one after another at constant gains: the one-frame formula itself, with
// every read checked (kChecked) or straight from the sample. Returns the position after them.
template <bool kChecked>
inline uint64_t constantFrames(const Source& src, float* out, int32_t k, int32_t n, uint64_t pos,
                               uint64_t delta, float g0, float g1) {
    for (; k < n; ++k) {
        const float s = kChecked ? checkedValue(src, pos) : directValue(src.data, pos);
        pos += delta;
        out[2 * k] += s * g0;
        out[2 * k + 1] += s * g1;
    }
    return pos;
}

// True when every position pos + k * delta (k < n, delta already negated for backward play)
// keeps frames i and i + 1 inside [0, end], so the frame loops may read without checks.
inline bool readsStayInside(const Source& src, uint64_t pos, uint64_t step, bool forward,
                            int32_t n) {
    if (!src.data || src.end == 0 || n <= 0) {
        return false;
    }
    // span = (n - 1) * step, refused when it does not fit 64 bits.
    uint64_t k = static_cast<uint64_t>(n - 1);
    uint64_t lowProduct = k * static_cast<uint32_t>(step);
    uint64_t high = k * (step >> 32) + (lowProduct >> 32);
    if (high >> 32) {
        return false;
    }
    uint64_t span = (high << 32) | static_cast<uint32_t>(lowProduct);
    uint64_t first = pos;
    uint64_t last = forward ? pos + span : pos - span;
    if (forward ? last < first : span > first) {
        return false;
    }
    uint64_t top = forward ? last : first;
    return (top >> 32) < src.end;
}

inline uint64_t ceilDiv(uint64_t a, uint64_t b) {
    return a / b + (a % b != 0 ? 1 : 0);
}

// The step in the forms the end look-ahead divides by, and the frame count of the last
// look-ahead of this call. Successive pieces of one voice mostly run over the same loop at the
// same step, so their counts differ by a frame or so: checking the last count and its
// neighbours by multiplication finds the quotient sooner than a 64-bit division. That pays
// where pieces follow each other with little work in between (a voice that only moves on, the
// counting of a run through loop copies), where the division's latency would chain piece to
// piece; where each piece's frames are mixed before the next look-ahead, the division overlaps
// with the mixing and is kept.
struct LookAheadStep {
    uint64_t full;             // 32.32
    uint64_t fixed;            // 8.24
    uint64_t lastQuotient = 0; // 0: none yet
};

inline LookAheadStep lookAheadOf(uint64_t step) {
    return LookAheadStep{step, step >> lookAheadShift};
}

// ceil(num / den) for the 8.24 step den: the same number the division gives.
inline uint64_t ceilQuotient(uint64_t num, LookAheadStep& step) {
    const uint64_t den = step.fixed;
    const uint64_t guess = step.lastQuotient;
    uint64_t f;
    // The answer is the smallest count f with f x den >= num. When it lies within
    // [guess - 1, guess + 2], the three comparisons below count it out without a branch that
    // could go either way. Tried only while the products stay far below 2^64.
    if (guess >= 2 && guess <= (uint64_t{1} << 30) && (den >> 32) == 0) {
        const uint64_t at = guess * den;
        const uint64_t below = at - den;
        const uint64_t above = at + den;
        if (below - den < num && above + den >= num) {
            f = guess - 1 + (below < num ? 1 : 0) + (at < num ? 1 : 0) + (above < num ? 1 : 0);
        } else {
            f = ceilDiv(num, den);
        }
    } else {
        f = ceilDiv(num, den);
    }
    step.lastQuotient = f;
    return f;
}

// True when the position reaches the end it moves towards within limit frames, with those
// frames in *frames. The end is out of sight when it is 2^24 frames or more away (or behind
// the position) or the step is 0.
template <bool kGuess>
inline bool endWithin(uint64_t distance, LookAheadStep& step, int32_t limit, int32_t& frames) {
    if ((distance >> 32) >= lookAheadReach) {
        // Already past the end it moves towards, by less than 2^24 frames: the step rounded
        // down to 8.24 can carry a call's last frames just over the end without a wrap, and a
        // rewind can leave a backward voice before its loop start. Taken as far away, the end
        // would never be looked at again and the voice would run on through silence; so the
        // end handling comes at once, before any frame is mixed.
        if (static_cast<int64_t>(distance) < 0 &&
            static_cast<int64_t>(distance) > -static_cast<int64_t>(lookAheadReach * oneFrame)) {
            frames = 0;
            return true;
        }
        return false;
    }
    uint64_t f;
    if (step.fixed != 0) {
        const uint64_t num = distance >> lookAheadShift;
        f = kGuess ? ceilQuotient(num, step) : ceilDiv(num, step.fixed);
    } else if (step.full != 0) {
        // A step under 2^-24 frame has no 8.24 form; measure with the full step instead.
        f = ceilDiv(distance, step.full);
    } else {
        return false;
    }
    // A position less than 2^-24 frame before the end gives 0 frames, and the end handling
    // would leave it where it is for ever: mix one frame so that it moves on. Standing exactly
    // on the end is different: the end handling moves the position itself, and mixing a frame
    // there would read past the guard frame.
    if (f == 0 && distance != 0) {
        f = 1;
    }
    if (f > static_cast<uint64_t>(limit)) {
        return false;
    }
    frames = static_cast<int32_t>(f);
    return true;
}

// Where a voice plays: its sample's loop and its position and direction in it.
struct Track {
    uint32_t loopStart;
    uint32_t loopLength;
    uint32_t end;
    bool forwardLoop;
    bool pingPongLoop;
    uint64_t startFixed;
    uint64_t endFixed;
    uint64_t pos;
    int32_t direction;
};

inline Track makeTrack(uint32_t loopStart, uint32_t loopLength, uint8_t loopType, uint64_t pos,
                       int32_t direction) {
    Track t;
    t.loopStart = loopStart;
    t.loopLength = loopLength;
    t.end = loopStart + loopLength;
    // A loop of no frames could never be left; it plays as a sample without loop.
    t.forwardLoop = loopLength != 0 && (loopType & loopForward);
    t.pingPongLoop = loopLength != 0 && !t.forwardLoop && (loopType & loopPingPong);
    t.startFixed = static_cast<uint64_t>(t.loopStart) << 32;
    t.endFixed = static_cast<uint64_t>(t.end) << 32;
    t.pos = pos;
    t.direction = direction;
    return t;
}

// Distance to the end the position moves towards: the play end forward, the loop start
// backward.
inline uint64_t distanceToEnd(const Track& t) {
    return t.direction == 1 ? t.endFixed - t.pos : t.pos - t.startFixed;
}

// End handling after a piece that reached the end. False when the sample has no loop and so
// ends here.
inline bool passEnd(Track& t) {
    if (t.forwardLoop) {
        // Wrap by whole loop lengths, keeping the fraction; the same result as taking one
        // loop length off at a time until the whole part is below the end.
        uint32_t whole = static_cast<uint32_t>(t.pos >> 32);
        if (whole >= t.end) {
            const uint32_t beyond = whole - t.end;
            // Mostly less than one loop length past the end: one subtraction will do.
            whole = t.loopStart + (beyond < t.loopLength ? beyond : beyond % t.loopLength);
            t.pos = (static_cast<uint64_t>(whole) << 32) | static_cast<uint32_t>(t.pos);
        }
        return true;
    }
    if (t.pingPongLoop) {
        // Reflect at the end or the start, one fraction unit short of the mirror image,
        // alternating until the position lies inside the loop.
        for (;;) {
            if (t.direction == 1) {
                t.pos = (t.endFixed << 1) - t.pos - 1;
                t.direction = 2;
                if (static_cast<int32_t>(t.pos >> 32) < static_cast<int32_t>(t.loopStart)) {
                    continue;
                }
            } else {
                t.pos = (t.startFixed << 1) - t.pos - 1;
                t.direction = 1;
                if (static_cast<int32_t>(t.pos >> 32) >= static_cast<int32_t>(t.end)) {
                    continue;
                }
            }
            return true;
        }
    }
    return false;
}

// The piece loop, with which every path walks a voice's frames. A piece is the stretch of
// frames up to the end the position moves towards (the play end forward, the loop start
// backward), or up to the last frame asked for when that comes first; its length is settled by
// the end look-ahead before any frame of it is mixed, so that the frame loops test nothing but
// a count, and the end handling comes once the piece is done.
//
// From t over `frames` frames, piece after piece: first `run(t, done, left)` may take whole
// pieces at once (the run through loop copies) and returns the frames it took, leaving t where
// walking those pieces would, or 0 when it takes none; otherwise the look-ahead sizes the next
// piece, and `piece(t, done, n)` mixes its n frames (or only moves over them) and leaves t.pos
// after them, or refuses the piece with false and leaves t as it is, which ends the walk there.
// done counts the frames taken before, so that the callbacks know where in the mix buffer they
// are. After a piece that reached the end, passEnd wraps or turns the position. Returns the
// frames taken; `ended` is set when a sample without loop ended after them.
//
// kGuess picks the look-ahead's way to its quotient (see LookAheadStep): guessed where pieces
// follow each other with little work in between, divided where each piece is mixed.
template <bool kGuess, typename Run, typename Piece>
inline int32_t walkPieces(Track& t, LookAheadStep& look, int32_t frames, bool& ended, Run run,
                          Piece piece) {
    int32_t done = 0;
    while (done < frames) {
        const int32_t left = frames - done;
        if (const int32_t taken = run(t, done, left)) {
            done += taken;
            continue;
        }
        int32_t n = left;
        const bool atEnd = endWithin<kGuess>(distanceToEnd(t), look, left, n);
        if (!piece(t, done, n)) {
            break;
        }
        done += n;
        if (!atEnd) {
            break; // the piece took every frame left
        }
        if (!passEnd(t)) {
            ended = true;
            break;
        }
    }
    return done;
}

// For walks that take no run of pieces at once.
struct NoRun {
    int32_t operator()(const Track&, int32_t, int32_t) const { return 0; }
};

} // namespace
} // namespace ostrel
