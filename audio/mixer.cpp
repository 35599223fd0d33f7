// The voice mixer. Every path walks a voice's frames in pieces (walkPieces in mixer_pieces.h)
// whose length is settled before the frame loop starts: a piece stops at the last frame asked
// for, at the frame that carries the position past the play end (or, moving backward, past the
// loop start), or at the end of a volume ramp, so the frame loops test nothing but a frame
// count. The paths differ only in how a piece's frames are mixed.
//
// Which path serves which voice (the AVX2 ones, named for it, in mixer_avx2.cpp, the one file
// compiled with -mavx2; the rest here):
//
//   voice                         path
//   idle (no sample)              one test in mixVoice
//   silent for the whole call     moveSilently: only the position moves; in one
//                                 step (moveAlongLoop) where the call ends clear
//                                 of a turn of the loop, else piece by piece
//   ramping                       rampGroupsSse2, four frames a pass, with either
//                                 kind of loops; single frames after them
//   constant gains, SSE2 loops    constantGroupsSse2; single frames after them
//   constant gains, AVX2 loops,   playSteadyAvx2: float frame values, eight a
//     step up to two frames,      pass, through a window or each pair loaded on
//     float copies built          its own; a short forward loop's passes as one
//                                 run through its loop copies, found in one step
//                                 (wholeRunThroughCopies) or piece by piece
//   constant gains, AVX2 loops,   mixConstantAvx2 on the 16-bit frames: window or
//     any other piece             each pair on its own; then SSE2, single frames
//                                 (the steady run's left pieces: single frames)
//   any piece whose reads may     single frames, every read checked
//     leave the sample
//   the mix to 16 bits            sixteen floats a pass (AVX2, or SSE2), eight,
//                                 then single floats
//
// Why each exists. The single frames are the formula itself, for the frames the wider passes
// leave and for reads that may fall outside the sample (a ping-pong turn at frame 0, a piece's
// last frame carried a hair past the end by the look-ahead's rounding). The SSE2 loops are the
// speed every processor the program runs on has; the AVX2 loops double the width where the
// processor has it (ramps stay at four frames: their gains are a chain of additions that must
// round one after the other, and wider passes measured no faster). At steps up to one or two
// frames a pass's eight frames lie within a window of 9 or 17 frames, fetched by two loads and a
// permutation instead of eight loads. Float frame values spare the conversion of both frames of
// every interpolation. Loop copies turn the many short pieces of a short forward loop, cut at
// every pass of the play end, into one run. The two shortcuts in one step jump to where walking
// the pieces would end, where that walk would mix nothing in between: old slots faded to silence
// keep looping unheard until a new note takes them, and a run through loop copies is only
// counted before it is mixed. The mixer tests count every path (mixer_paths.h) and fail when one
// is never reached.
//
// The output must be the same bit for bit on every build (x86-64 and i686 with SSE2 maths) and
// with either kind of frame loops (SSE2 here, AVX2 in mixer_avx2.cpp), so the arithmetic is
// single precision throughout and the vector paths perform, lane by lane, exactly the float
// operations of the one-frame formula, in the same order.
#include "audio/mixer.h"

#include <cpuid.h>
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>

#include "audio/mixer_avx2.h"
#include "audio/mixer_pieces.h"

namespace ostrel {

namespace {
// A volume ramp lasts 128 frames at 44,100 Hz, and about as long in time at other rates.
constexpr int32_t rampFramesAtBaseRate = 128;
constexpr int32_t baseRate = 44100;
} // namespace

#ifdef OSTREL_MIXER_PATH_COUNTS
int64_t mixerPathCounts[mixerPathCount];
#endif

void setMixerRate(ModulePlayer* player, int32_t outputRate) {
    player->rampFrames = outputRate * rampFramesAtBaseRate / baseRate;
    player->rampScale = 1.0f / static_cast<float>(player->rampFrames);
}

namespace {

// Asked of the processor directly: the compiler's own feature query links a whole CPU model
// table into the program for this one bit.
bool avx2Present() {
    unsigned int eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        return false;
    }
    // AVX, and the system's use of XSAVE, through which it saves the wide registers.
    constexpr unsigned int osxsave = 1u << 27;
    constexpr unsigned int avx = 1u << 28;
    if ((ecx & (osxsave | avx)) != (osxsave | avx)) {
        return false;
    }
    unsigned int xcr0Low, xcr0High;
    __asm__("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
    constexpr unsigned int sseAndAvxState = 6; // XMM and YMM registers saved
    if ((xcr0Low & sseAndAvxState) != sseAndAvxState) {
        return false;
    }
    constexpr unsigned int avx2 = 1u << 5;
    return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & avx2) != 0;
}

// The eight-frame loops run where the processor (and the system, which must save the wide
// registers) supports AVX2. A fact about the processor, found once at start-up.
const bool haveAvx2 = avx2Present();

// A player's mixer settings as one mixer call uses them, copied out of the record so that the
// frame loops' stores to the float output cannot make the compiler read them again.
struct MixSettings {
    int32_t rampFrames;
    float rampScale;
    bool avx2;
    StepLanes* lanes; // the player's table of the AVX2 loops' step set-ups
};

// One 32-bit word holding frame i in the low half and frame i + 1 in the high half, loaded
// straight into the low lane of a vector.
inline __m128i pairAt(const int16_t* data, uint64_t pos) {
    int32_t v;
    std::memcpy(&v, data + (pos >> 32), sizeof v);
    return _mm_cvtsi32_si128(v);
}

// Four interpolated frames from four 32-bit words (frame i in the low half, frame i + 1 in the
// high half) and four position fractions. The multiply-add of 16-bit pairs gives a and b - a as
// exact 32-bit integers; b - a converts to the same float as the float difference of the two
// frames, which is exact for 16-bit values.
inline __m128 fourValues(__m128i pairs, __m128i fractions) {
    __m128 a = _mm_cvtepi32_ps(_mm_madd_epi16(pairs, _mm_set1_epi32(pairFirst)));
    __m128 diff = _mm_cvtepi32_ps(_mm_madd_epi16(pairs, _mm_set1_epi32(pairDifference)));
    __m128 t =
        _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(fractions, 1)), _mm_set1_ps(fractionScale));
    return _mm_add_ps(a, _mm_mul_ps(t, diff));
}

// Walks four successive positions per step. delta is the step, negated for backward play
// (64-bit wrap-around does the subtract); the offsets of the later frames are taken from the
// first so that the adds run side by side. The fraction of frame k is (u + k * step fraction)
// mod 2^32, exactly what 32-bit lane additions give; the whole parts come from the scalar
// 64-bit position.
struct FourWalker {
    const int16_t* data;
    uint64_t pos;
    uint64_t one, two, three, four;
    __m128i fractions;
    __m128i fractionStep;

    FourWalker(const int16_t* d, uint64_t p, uint64_t delta)
        : data(d), pos(p), one(delta), two(2 * delta), three(3 * delta), four(4 * delta) {
        uint32_t u = static_cast<uint32_t>(p);
        uint32_t f = static_cast<uint32_t>(delta);
        fractions = _mm_set_epi32(static_cast<int32_t>(u + 3 * f), static_cast<int32_t>(u + 2 * f),
                                  static_cast<int32_t>(u + f), static_cast<int32_t>(u));
        fractionStep = _mm_set1_epi32(static_cast<int32_t>(4 * f));
    }

    // The next four interpolated values.
    inline __m128 next() {
        __m128i w0 = pairAt(data, pos);
        __m128i w1 = pairAt(data, pos + one);
        __m128i w2 = pairAt(data, pos + two);
        __m128i w3 = pairAt(data, pos + three);
        pos += four;
        __m128i pairs = _mm_unpacklo_epi64(_mm_unpacklo_epi32(w0, w1), _mm_unpacklo_epi32(w2, w3));
        __m128 s = fourValues(pairs, fractions);
        fractions = _mm_add_epi32(fractions, fractionStep);
        return s;
    }
};

// (s2, s2, s3, s3): the upper two values, each for both channels of its frame. The integer
// shuffle copies bits and leaves s intact, which saves a register copy in the frame loops.
inline __m128 upperPairs(__m128 s) {
    return _mm_castsi128_ps(_mm_shuffle_epi32(_mm_castps_si128(s), 0xFA));
}

// Adds two vectors of interleaved frames (four frames) to the buffer, element by element. The
// upper half goes first only because GCC then needs no register copy in the frame loops.
inline void addEight(float* o, __m128 lo, __m128 hi) {
    _mm_storeu_ps(o + 4, _mm_add_ps(_mm_loadu_ps(o + 4), hi));
    _mm_storeu_ps(o, _mm_add_ps(_mm_loadu_ps(o), lo));
}

// groups x 4 frames at constant gains, both frames of every pair read without checks.
// Frame k adds s_k x g0 and s_k x g1: the sample value is duplicated into both lanes of its
// frame and multiplied by (g0, g1, g0, g1), the same two products the one-frame formula forms.
[[gnu::always_inline]] inline uint64_t constantGroupsSse2(const int16_t* data, float* out,
                                                          int32_t groups, uint64_t pos,
                                                          uint64_t delta, float g0, float g1) {
    FourWalker walk(data, pos, delta);
    const __m128 gains = _mm_setr_ps(g0, g1, g0, g1);
    float* const stop = out + 8 * static_cast<size_t>(groups);
    for (float* o = out; o != stop; o += 8) {
        __m128 s = walk.next();
        addEight(o, _mm_mul_ps(_mm_unpacklo_ps(s, s), gains), _mm_mul_ps(upperPairs(s), gains));
    }
    return walk.pos;
}

// groups x 4 frames of a volume ramp. Gains run as (w0, w1, w0, w1); every frame adds the
// steps once, as the one-frame loop does, so the gains form the same chain of roundings.
uint64_t rampGroupsSse2(const int16_t* data, float* out, int32_t groups, uint64_t pos,
                        uint64_t delta, float& w0, float& w1, float d0, float d1) {
    FourWalker walk(data, pos, delta);
    __m128 gains = _mm_setr_ps(w0, w1, w0, w1);
    const __m128 steps = _mm_setr_ps(d0, d1, d0, d1);
    float* const stop = out + 8 * static_cast<size_t>(groups);
    for (float* o = out; o != stop; o += 8) {
        __m128 s = walk.next();
        __m128 g1v = _mm_add_ps(gains, steps);
        __m128 g2v = _mm_add_ps(g1v, steps);
        __m128 g3v = _mm_add_ps(g2v, steps);
        __m128 gainsLow = _mm_movelh_ps(gains, g1v);
        __m128 gainsHigh = _mm_movelh_ps(g2v, g3v);
        gains = _mm_add_ps(g3v, steps);
        addEight(o, _mm_mul_ps(_mm_unpacklo_ps(s, s), gainsLow),
                 _mm_mul_ps(upperPairs(s), gainsHigh));
    }
    w0 = _mm_cvtss_f32(gains);
    w1 = _mm_cvtss_f32(_mm_shuffle_ps(gains, gains, 1));
    return walk.pos;
}

// n frames at the constant gains g0, g1. Returns the position after them.
[[gnu::always_inline]] inline uint64_t mixConstant(const Source& src, float* out, int32_t n,
                                                   uint64_t pos, uint64_t delta, uint64_t step,
                                                   bool inside, float g0, float g1, bool avx2,
                                                   StepLanes* lanes) {
    int32_t k = 0;
    if (inside) {
        const int16_t* data = src.data;
        if (avx2) {
            k = mixConstantAvx2(lanes, data, out, n, pos, delta, step, g0, g1);
        }
        if (n - k >= 4) {
            COUNT_MIXER_PATH(MixerPath::constantSse2);
            const int32_t groups = (n - k) >> 2;
            pos = constantGroupsSse2(data, out + 2 * k, groups, pos, delta, g0, g1);
            k += 4 * groups;
        }
        COUNT_MIXER_PATH_IF(k < n, MixerPath::constantSingle);
        return constantFrames<false>(src, out, k, n, pos, delta, g0, g1);
    }
    COUNT_MIXER_PATH_IF(n > 0, MixerPath::constantChecked);
    return constantFrames<true>(src, out, k, n, pos, delta, g0, g1);
}

// n frames of a volume ramp: frame k uses the gains after k steps; w0, w1 end as the gains
// after n steps. Returns the position after the frames.
uint64_t mixRamp(const Source& src, float* out, int32_t n, uint64_t pos, uint64_t delta,
                 bool inside, float& w0, float& w1, float d0, float d1) {
    int32_t k = 0;
    if (inside && n >= 4) {
        COUNT_MIXER_PATH(MixerPath::rampSse2);
        const int32_t groups = n >> 2;
        pos = rampGroupsSse2(src.data, out, groups, pos, delta, w0, w1, d0, d1);
        k = 4 * groups;
    }
    COUNT_MIXER_PATH_IF(k < n, inside ? MixerPath::rampSingle : MixerPath::rampChecked);
    for (; k < n; ++k) {
        float s = inside ? directValue(src.data, pos) : checkedValue(src, pos);
        pos += delta;
        out[2 * k] += s * w0;
        out[2 * k + 1] += s * w1;
        w0 += d0;
        w1 += d1;
    }
    return pos;
}

// Integer arithmetic on engine-written fields wraps instead of overflowing.
inline int32_t wrappingSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t toFixed(int32_t volume) {
    return static_cast<int32_t>(static_cast<uint32_t>(volume) << 8);
}

// Nearest integer, ties to even (the SSE conversion in its default rounding mode).
inline int32_t roundToInt(float x) {
    return _mm_cvtss_si32(_mm_set_ss(x));
}

// A volume as a gain; a 24.8 current volume as a gain, and a gain back to the nearest 24.8
// volume.
inline float gainOf(int32_t volume) {
    return static_cast<float>(volume) * volumeScale;
}
inline float gainOfFixed(int32_t fixed) {
    return static_cast<float>(fixed) * fixedScale * volumeScale;
}
inline int32_t fixedOfGain(float gain) {
    return roundToInt(gain * 255.0f * 256.0f);
}

Track trackOf(const Voice* voice, const Sample* sample) {
    return makeTrack(sample->loopStart, sample->loopLength, sample->loopType,
                     (static_cast<uint64_t>(voice->positionInt) << 32) | voice->positionFrac,
                     voice->direction);
}

// A sample without loop has played to its end: the voice falls idle.
inline void endVoice(Voice* voice) {
    voice->sample = nullptr;
    voice->positionInt = 0;
    voice->positionFrac = 0;
}

inline void storePosition(Voice* voice, const Track& t) {
    voice->positionInt = static_cast<uint32_t>(t.pos >> 32);
    voice->positionFrac = static_cast<uint32_t>(t.pos);
    voice->direction = t.direction;
}

// A voice that is silent for the whole call: both targets 0, no ramp running and none to
// start (the current volumes' top bits are 0 as well). Every piece of such a call would set
// up "no ramp" and add s x 0.0 to each frame, which leaves the buffer as it is (only a zero
// element's sign could flip, and both zeros give the same 16-bit sample). So only the
// position moves, piece by piece with the same look-ahead and end handling as mixing, and n
// frames advance it by n x step, which wraps modulo 2^64 exactly as n additions do. These are
// mostly old slots of channels that have moved to their partner slot: faded out, they keep
// looping unheard until a new note takes them.
inline bool silentThroughout(const Voice* voice) {
    return voice->rampFramesLeft == 0 && voice->targetVolume0 == 0 && voice->targetVolume1 == 0 &&
           (voice->currentVolume0 >> 8) == 0 && (voice->currentVolume1 >> 8) == 0;
}

// Where a silent voice inside its loop ends up after frames, in one step instead of pass by
// pass. Moving through a loop piece by piece adds the step on every frame and, at each end,
// takes off a loop length (forward loop) or mirrors the position (ping-pong), so the position
// unfolded over the loop's period, (position - start) forward and (2 x length - 1 unit) -
// (position - start) backward, only ever grows by the step: whenever a turn happens, it keeps
// the unfolded position. The pieces' look-ahead, with its step rounded down to 8.24, only moves
// a turn by a hair: a piece may end less than 256 units per frame short of the end (the turn then
// comes on the next frame, or at once when the call ends there) or past it (the call's last piece
// may stop there without turning). So where the final unfolded position lies clear of every turn
// by that much, the state it stands for is the one that mixing piece by piece leaves, and
// elsewhere the voice is moved piece by piece. False: not taken, t untouched.
bool moveAlongLoop(Track& t, uint64_t step, int32_t frames) {
    const uint64_t length = static_cast<uint64_t>(t.loopLength) << 32;
    // Small enough that the end is always in the look-ahead's sight, that nothing below
    // overflows and that the margin stays under one frame; a step of a loop length or more
    // turns several times in one piece.
    if (!(t.forwardLoop || t.pingPongLoop) || t.loopLength >= lookAheadReach / 2 || step == 0 ||
        step >= length || frames > closedFormFrames || t.pos < t.startFixed ||
        t.pos >= t.endFixed) {
        return false;
    }
    const uint64_t margin = turnMargin(static_cast<uint64_t>(frames));
    const uint64_t travel = static_cast<uint64_t>(frames) * step;
    const uint64_t inLoop = t.pos - t.startFixed;
    if (t.forwardLoop) {
        if (t.direction != 1) {
            return false;
        }
        const uint64_t to = inLoop + travel;
        const uint64_t at = to % length;
        if (at < margin || length - at <= margin) {
            return false;
        }
        t.pos = t.startFixed + at;
        return true;
    }
    const bool forward = t.direction == 1;
    const uint64_t period = 2 * length;
    const uint64_t unfolded = forward ? inLoop : period - 1 - inLoop;
    const uint64_t to = unfolded + travel;
    if (to < (forward ? length : period) - margin) {
        // No turn: the direction stays as it is, whatever backward value it holds.
        t.pos = forward ? t.pos + travel : t.pos - travel;
        return true;
    }
    const uint64_t at = to % period;
    if (at < margin || (at + margin > length && at < length + margin) || period - at <= margin) {
        return false;
    }
    t.direction = at < length ? 1 : 2;
    t.pos = t.startFixed + (at < length ? at : period - 1 - at);
    return true;
}

// Moves a silent voice over frames: every piece's ramp set-up would find no ramp, and its frames
// would add nothing (see silentThroughout).
void moveSilently(Voice* voice, const Track& track, const LookAheadStep& lookStep, int32_t frames) {
    // Working copies, so that the position chain stays in registers.
    Track t = track;
    LookAheadStep look = lookStep;
    voice->lastTarget0 = 0;
    voice->lastTarget1 = 0;
    voice->rampStep0 = 0.0f;
    voice->rampStep1 = 0.0f;
    if (moveAlongLoop(t, look.full, frames)) {
        COUNT_MIXER_PATH(MixerPath::silentAlongLoop);
        storePosition(voice, t);
        return;
    }
    COUNT_MIXER_PATH(MixerPath::silentPieces);
    const uint64_t step = look.full;
    bool ended = false;
    walkPieces<true>(t, look, frames, ended, NoRun{}, [step](Track& at, int32_t, int32_t n) {
        at.pos += static_cast<uint64_t>(n) * (at.direction == 1 ? step : 0 - step);
        return true;
    });
    if (ended) {
        endVoice(voice);
        return;
    }
    storePosition(voice, t);
}

// The ramp set-up: a running ramp continues while the targets stay; otherwise a new ramp starts
// from the volume reached towards the current targets, unless the top bits of the current
// volumes are the targets already. Every piece of a call would do this before its frames; done
// once, at the start of the call, it leaves the voice as all of them would, since the pieces
// after the first find the ramp it set up still running (or none) and change nothing. Returns
// the ramp's frames left, 0 when none runs.
int32_t setUpRamp(Voice* voice, int32_t rampFrames, float rampScale) {
    if (voice->rampFramesLeft != 0 && voice->targetVolume0 == voice->lastTarget0 &&
        voice->targetVolume1 == voice->lastTarget1) {
        return voice->rampFramesLeft;
    }
    voice->lastTarget0 = voice->targetVolume0;
    const int32_t diff0 = wrappingSub(voice->targetVolume0, voice->currentVolume0 >> 8);
    voice->rampStep0 = diff0 != 0 ? gainOf(diff0) * rampScale : 0.0f;
    voice->lastTarget1 = voice->targetVolume1;
    const int32_t diff1 = wrappingSub(voice->targetVolume1, voice->currentVolume1 >> 8);
    voice->rampStep1 = diff1 != 0 ? gainOf(diff1) * rampScale : 0.0f;
    voice->rampFramesLeft = (diff0 != 0 || diff1 != 0) ? rampFrames : 0;
    return voice->rampFramesLeft;
}

// The frames of the running ramp, or the first `frames` of them, piece by piece. Each piece
// starts from the gains of the current volumes (which the piece before stored rounded to 24.8)
// and adds the steps frame after frame; at the ramp's end the volumes become the targets
// exactly. Returns the frames done.
int32_t playRamp(Voice* voice, const Source& src, Track& t, LookAheadStep& look, float* out,
                 int32_t frames, bool& ended) {
    const int32_t length = frames < voice->rampFramesLeft ? frames : voice->rampFramesLeft;
    const uint64_t step = look.full;
    const float d0 = voice->rampStep0;
    const float d1 = voice->rampStep1;
    return walkPieces<false>(
        t, look, length, ended, NoRun{}, [&](Track& at, int32_t done, int32_t n) {
            const bool forward = at.direction == 1;
            const bool inside = readsStayInside(src, at.pos, step, forward, n);
            float w0 = gainOfFixed(voice->currentVolume0);
            float w1 = gainOfFixed(voice->currentVolume1);
            at.pos = mixRamp(src, out + 2 * static_cast<size_t>(done), n, at.pos,
                             forward ? step : 0 - step, inside, w0, w1, d0, d1);
            voice->currentVolume0 = fixedOfGain(w0);
            voice->currentVolume1 = fixedOfGain(w1);
            voice->rampFramesLeft -= n;
            if (voice->rampFramesLeft == 0) {
                voice->rampStep0 = 0.0f;
                voice->rampStep1 = 0.0f;
                voice->currentVolume0 = toFixed(voice->targetVolume0);
                voice->currentVolume1 = toFixed(voice->targetVolume1);
            }
            return true;
        });
}

inline uint64_t stepOf(const Voice* voice) {
    return (static_cast<uint64_t>(voice->stepInt) << 32) | voice->stepFrac;
}

// mixVoice for a voice that sounds, over at least one frame. Kept out of line, so that its
// register saves and stack frame are paid only by voices that sound: most of the 64 slots are
// idle at any one time, and many of the others silent.
[[gnu::noinline]] void mixSoundingVoice(Voice* voice, const Sample* sample, float* out,
                                        int32_t frames, const MixSettings& mix) {
    const MixSettings settings = mix;
    Track t = trackOf(voice, sample);
    const uint64_t step = stepOf(voice);
    LookAheadStep look = lookAheadOf(step);
    const Source src{sample->data, t.end};
    bool ended = false;
    int32_t left = frames;

    // A call is at most two stretches: the rest of a running ramp, then constant gains.
    if (setUpRamp(voice, settings.rampFrames, settings.rampScale) > 0) {
        const int32_t done = playRamp(voice, src, t, look, out, left, ended);
        if (ended) {
            endVoice(voice);
            return;
        }
        left -= done;
        out += 2 * static_cast<size_t>(done);
        if (left == 0) {
            storePosition(voice, t);
            return;
        }
    }

    // The targets' gains from here to the end of the call. No ramp runs, so rampFramesLeft is 0,
    // unless the record holds a negative count (which neither the engine nor the mixer ever
    // writes): such a voice skips the shortcuts and takes the plain pieces below.
    if (voice->rampFramesLeft == 0) {
        if (voice->targetVolume0 == 0 && voice->targetVolume1 == 0) {
            moveSilently(voice, t, look, left);
            return;
        }
        if (settings.avx2 && step <= wideStep && sample->frameValues) {
            SteadyPlay play{sample,
                            t.pos,
                            t.direction,
                            step,
                            gainOf(voice->targetVolume0),
                            gainOf(voice->targetVolume1),
                            false,
                            settings.lanes};
            playSteadyAvx2(play, out, left);
            if (play.ended) {
                endVoice(voice);
                return;
            }
            t.pos = play.pos;
            t.direction = play.direction;
            storePosition(voice, t);
            return;
        }
    }
    const float g0 = gainOf(voice->targetVolume0);
    const float g1 = gainOf(voice->targetVolume1);
    const bool avx2 = settings.avx2;
    StepLanes* const lanes = settings.lanes;
    walkPieces<false>(t, look, left, ended, NoRun{}, [&](Track& at, int32_t done, int32_t n) {
        const bool forward = at.direction == 1;
        const bool inside = readsStayInside(src, at.pos, step, forward, n);
        at.pos = mixConstant(src, out + 2 * static_cast<size_t>(done), n, at.pos,
                             forward ? step : 0 - step, step, inside, g0, g1, avx2, lanes);
        return true;
    });
    if (ended) {
        endVoice(voice);
        return;
    }
    storePosition(voice, t);
}

// mixVoice for a voice that plays, over at least one frame. Kept out of line, so that the idle
// test in mixVoice costs no more than a test.
[[gnu::noinline]] void mixPlayingVoice(Voice* voice, const Sample* sample, float* out,
                                       int32_t frames, const MixSettings& settings) {
    if (silentThroughout(voice)) {
        moveSilently(voice, trackOf(voice, sample), lookAheadOf(stepOf(voice)), frames);
        return;
    }
    mixSoundingVoice(voice, sample, out, frames, settings);
}

// The player's table of step set-ups, at the first aligned address of its block; null when the
// player has none.
StepLanes* lanesOf(const ModulePlayer* player) {
    const uintptr_t block = reinterpret_cast<uintptr_t>(player->mixerLanes);
    if (block == 0) {
        return nullptr;
    }
    constexpr uintptr_t mask = stepLaneAlignment - 1;
    return reinterpret_cast<StepLanes*>((block + mask) & ~mask);
}

// The AVX2 loops run only with the player's own table; without one (it could not be allocated,
// or nothing that allocates has run) the SSE2 loops give the same output.
MixSettings settingsOf(const ModulePlayer* player) {
    StepLanes* const lanes = lanesOf(player);
    return MixSettings{player->rampFrames, player->rampScale,
                       lanes != nullptr && mixerLoops(player) == MixerLoops::avx2, lanes};
}

} // namespace

void prepareStepLanes(ModulePlayer* player) {
    if (!player->mixerLanes) {
        player->mixerLanes = std::calloc(stepLaneBlockBytes, 1);
    }
}

bool setMixerLoops(ModulePlayer* player, MixerLoops loops) {
    if (loops == MixerLoops::avx2 && !haveAvx2) {
        return false;
    }
    player->mixerLoops = static_cast<uint8_t>(loops);
    if (loops == MixerLoops::avx2) {
        prepareStepLanes(player);
    }
    return true;
}

MixerLoops mixerLoops(const ModulePlayer* player) {
    if (player->mixerLoops == 0) {
        return haveAvx2 ? MixerLoops::avx2 : MixerLoops::sse2;
    }
    return static_cast<MixerLoops>(player->mixerLoops);
}

void mixVoice(const ModulePlayer* player, Voice* voice, float* out, int32_t frames) {
    const Sample* sample = voice->sample;
    if (sample && frames > 0) {
        const MixSettings settings = settingsOf(player);
        mixPlayingVoice(voice, sample, out, frames, settings);
    }
}

namespace {

// mixVoices with some channels muted: their voices are mixed as every other voice, into the
// player's mutedMix instead of out, so that they move on exactly as they would be heard.
[[gnu::noinline]] void mixVoicesWithMutes(ModulePlayer* player, float* out, int32_t frames,
                                          const MixSettings& settings) {
    const uint32_t muted = player->mutedChannels;
    float* const unheard = player->mutedMix;
    for (int32_t slot = 0; slot < mixedVoiceCount; ++slot) {
        Voice* voice = &player->voices[slot];
        const Sample* sample = voice->sample;
        if (sample) {
            // Channel N drives slots N and N + 32.
            float* to = (muted >> (slot % channelStateCount)) & 1 ? unheard : out;
            mixPlayingVoice(voice, sample, to, frames, settings);
        }
    }
}

} // namespace

void mixVoices(ModulePlayer* player, float* out, int32_t frames) {
    if (frames < 1) {
        return;
    }
    const MixSettings settings = settingsOf(player);
    if (player->mutedChannels != 0 && player->mutedMix) {
        mixVoicesWithMutes(player, out, frames, settings);
        return;
    }
    Voice* const voices = player->voices;
    for (Voice* voice = voices; voice != voices + mixedVoiceCount; ++voice) {
        const Sample* sample = voice->sample;
        if (sample) {
            mixPlayingVoice(voice, sample, out, frames, settings);
        }
    }
}

void convertToPcm16(int16_t* dst, const float* src, int32_t frames, MixerLoops loops) {
    if (!dst || !src || frames <= 0) {
        return;
    }
    // The truncating conversion turns everything at or above 2^31, below -2^31 and NaN into
    // -2^31, which the saturating pack takes to -32,768: right for the large negative values,
    // so only the top needs a clamp in float first. minps returns its second operand when
    // either is NaN, so a NaN passes through to the conversion and ends as -32,768 as well.
    // The result equals truncation toward zero followed by clamping to 16 bits.
    const int32_t count = 2 * frames;
    const __m128 low = _mm_set1_ps(pcmLowest);
    const __m128 high = _mm_set1_ps(pcmHighest);
    int32_t i = loops == MixerLoops::avx2 ? convertToPcm16Avx2(dst, src, frames) : 0;
    COUNT_MIXER_PATH_IF(i + 16 <= count, MixerPath::convertSse2Sixteen);
    for (; i + 16 <= count; i += 16) {
        __m128 a = _mm_min_ps(high, _mm_loadu_ps(src + i));
        __m128 b = _mm_min_ps(high, _mm_loadu_ps(src + i + 4));
        __m128 c = _mm_min_ps(high, _mm_loadu_ps(src + i + 8));
        __m128 d = _mm_min_ps(high, _mm_loadu_ps(src + i + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_packs_epi32(_mm_cvttps_epi32(a), _mm_cvttps_epi32(b)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 8),
                         _mm_packs_epi32(_mm_cvttps_epi32(c), _mm_cvttps_epi32(d)));
    }
    COUNT_MIXER_PATH_IF(i + 8 <= count, MixerPath::convertSse2Eight);
    for (; i + 8 <= count; i += 8) {
        __m128 a = _mm_min_ps(high, _mm_loadu_ps(src + i));
        __m128 b = _mm_min_ps(high, _mm_loadu_ps(src + i + 4));
        __m128i packed = _mm_packs_epi32(_mm_cvttps_epi32(a), _mm_cvttps_epi32(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), packed);
    }
    COUNT_MIXER_PATH_IF(i < count, MixerPath::convertSingle);
    for (; i < count; ++i) {
        __m128 x = _mm_min_ss(_mm_max_ss(_mm_set_ss(src[i]), low), high);
        dst[i] = static_cast<int16_t>(_mm_cvttss_si32(x));
    }
}

} // namespace ostrel
