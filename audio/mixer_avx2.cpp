// The mixer's eight-frame loops, compiled for AVX2 (this file alone is built with -mavx2, and
// its functions run only once the processor has been found to have it).
//
// Nothing but intrinsics, declarations and mixer_pieces.h (whose functions have internal linkage)
// may be pulled in here: an inline function from a library header compiled in this file could be
// chosen by the linker for the rest of the program as well and bring AVX2 instructions to
// processors without them.
//
// The eight values of a pass sit in the lanes in the order (0 1 4 5 | 2 3 6 7): the in-lane
// unpacks then give frames 0..3 and 4..7 with each value doubled for its two channels, without
// a shuffle across the halves. Every lane-wise quantity (fractions, window offsets) follows the
// same order.
#include <immintrin.h>

#include "audio/mixer_avx2.h"
#include "audio/mixer_pieces.h"

namespace ostrel {
namespace {

constexpr int laneFrame[8] = {0, 1, 4, 5, 2, 3, 6, 7};

// A pass's eight frames at a step of at most one frame (two) lie in a window of 9 (17) frames:
// from the pass's first frame on, or moving backward from this many frames before it.
constexpr uint32_t framesBeforeWindow(bool wide) {
    return wide ? 15u : 7u;
}
// Every window, and the eight positions of a pass that loads each pair on its own, stays within
// this many frames from the pass's first frame, which the sample's spare frames must cover.
constexpr uint32_t widestReach = 17;
static_assert(sampleSpareFrames >= widestReach, "the spare frames must hold the widest window");

inline __m256i laneVector(const uint32_t (&v)[8]) {
    return _mm256_setr_epi32(static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]),
                             static_cast<int32_t>(v[2]), static_cast<int32_t>(v[3]),
                             static_cast<int32_t>(v[4]), static_cast<int32_t>(v[5]),
                             static_cast<int32_t>(v[6]), static_cast<int32_t>(v[7]));
}

// Eight interpolated values from eight 32-bit words (frame i in the low half, frame i + 1 in
// the high half) and their position fractions. The multiply-add of the 16-bit pairs gives a
// and b - a as exact integers; b - a converts to the same float as the float difference of the
// two frames, which is exact for 16-bit values.
inline __m256 eightValues(__m256i pairs, __m256i fractions) {
    __m256 a = _mm256_cvtepi32_ps(_mm256_madd_epi16(pairs, _mm256_set1_epi32(pairFirst)));
    __m256 diff = _mm256_cvtepi32_ps(_mm256_madd_epi16(pairs, _mm256_set1_epi32(pairDifference)));
    __m256 t = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(fractions, 1)),
                             _mm256_set1_ps(fractionScale));
    return _mm256_add_ps(a, _mm256_mul_ps(t, diff));
}

// The fractions of the eight frames from pos on: (u + k x step fraction) mod 2^32, exactly
// what the 32-bit additions of frame-by-frame play give.
inline __m256i firstFractions(uint64_t pos, uint64_t delta) {
    uint32_t v[8];
    for (int j = 0; j < 8; ++j) {
        v[j] = static_cast<uint32_t>(pos) + static_cast<uint32_t>(delta) * laneFrame[j];
    }
    return laneVector(v);
}

} // namespace

// What the window walk needs of one step, per lane: the low half of k x delta, and the pair of
// the window, H_k, that the whole part of k x delta points at (moving backward the window
// starts 7 or 15 frames before the first frame, and H_k counts from there). Set up once per
// step and direction and kept, as a voice mostly keeps its step from piece to piece. A
// zero-filled record is an empty slot. No member functions: an inline one, compiled here with
// AVX2, could be the copy the linker keeps for the whole program.
struct StepLanes {
    uint64_t delta;
    bool valid;
    bool wide;              // a step above one frame: a window of 16 pairs
    uint32_t offset;        // window start minus the first frame's index, mod 2^32
    uint32_t limit;         // the largest window start (mod 2^32) that is not before frame 0
    __m256i addedFractions; // low halves, sign bit flipped for a signed comparison
    __m256i laneFractions;  // low halves
    __m256i wholeWords;
    __m256i fractionStride;
};
static_assert(sizeof(StepLanes) == stepLaneBytes && alignof(StepLanes) <= stepLaneAlignment,
              "the block each player allocates must hold the table");

namespace {

void setLanes(StepLanes& lanes, uint64_t d, bool forward, bool wideWindow) {
    lanes.delta = d;
    lanes.valid = true;
    lanes.wide = wideWindow;
    const uint32_t before = framesBeforeWindow(wideWindow);
    lanes.offset = forward ? 0u : 0u - before;
    lanes.limit = forward ? 0xFFFFFFFFu : 0xFFFFFFFFu - before;
    uint32_t low[8];
    uint32_t whole[8];
    for (int j = 0; j < 8; ++j) {
        const uint64_t kd = d * static_cast<uint64_t>(laneFrame[j]);
        low[j] = static_cast<uint32_t>(kd);
        whole[j] = static_cast<uint32_t>(kd >> 32) - lanes.offset;
    }
    lanes.laneFractions = laneVector(low);
    lanes.addedFractions = _mm256_xor_si256(lanes.laneFractions, _mm256_set1_epi32(INT32_MIN));
    lanes.wholeWords = laneVector(whole);
    lanes.fractionStride = _mm256_set1_epi32(static_cast<int32_t>(8 * static_cast<uint32_t>(d)));
}

// The set-up of a step in the player's table, found by the step and direction: the voices of a
// song keep their steps for many calls, and a table with room for each of them saves setting up
// a voice's lanes again every time another voice has played in between. step is delta itself
// forward, its negation backward, and at most wideStep.
const StepLanes& lanesFor(StepLanes* table, uint64_t delta, uint64_t step) {
    const bool forward = delta == step;
    // The top bits of a multiplicative hash pick the slot. delta tells the direction as well:
    // forward it is at most wideStep, backward above 2^63.
    StepLanes& lanes = table[(delta * 0xD6E8FEB86659FD93u) >> (64 - stepLaneBits)];
    if (!lanes.valid || lanes.delta != delta) {
        setLanes(lanes, delta, forward, step > narrowStep);
    }
    return lanes;
}

// Eight pairs of a window: pair m is the 32-bit word (frame w + m, frame w + m + 1).
inline __m256i windowPairs(const int16_t* w) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 1));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi16(first, second)),
                                   _mm_unpackhi_epi16(first, second), 1);
}

// Walks eight frames per pass when the step is at most one frame (kWide false) or two (true):
// the eight frames' pairs all lie in a window of 9 (17) frames that starts at the first frame,
// or moving backward 7 (15) frames before it, so loading the window and permuting its lanes
// fetches them. The pair of frame k sits r_k = H_k + c_k words into the window, where c_k is
// the carry out of adding the fractions, found from the fraction sum being below the added
// fraction. A wide window is two halves of eight pairs; bit 3 of r_k picks the half.
//
// The walker keeps its own copies of the step's lane set-up: read through the reference, they
// would be loaded again on every pass, as the stores to the mix buffer could alias them.
template <bool kWide> struct WindowWalker {
    const int16_t* data;
    uint64_t pos;
    uint64_t stride; // 8 x delta
    uint64_t delta;
    uint32_t offset;
    uint32_t limit;
    __m256i addedFractions;
    __m256i wholeWords;
    __m256i fractionStride;
    __m256i fractions;

    WindowWalker(const int16_t* d, uint64_t p, const StepLanes& l)
        : data(d), pos(p), stride(8 * l.delta), delta(l.delta), offset(l.offset), limit(l.limit),
          addedFractions(l.addedFractions), wholeWords(l.wholeWords),
          fractionStride(l.fractionStride),
          fractions(_mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(p)), l.laneFractions)) {
    }

    // Moving backward, the window of the frames near frame 0 would start before it.
    bool windowInside() const { return static_cast<uint32_t>(pos >> 32) + offset <= limit; }

    // The pairs of the pass at the current position.
    inline __m256i pairs() const {
        const int16_t* w = data + static_cast<uint32_t>(static_cast<uint32_t>(pos >> 32) + offset);
        const __m256i carried = _mm256_cmpgt_epi32(
            addedFractions, _mm256_xor_si256(fractions, _mm256_set1_epi32(INT32_MIN)));
        const __m256i words = _mm256_sub_epi32(wholeWords, carried);
        const __m256i low = _mm256_permutevar8x32_epi32(windowPairs(w), words);
        if (!kWide) {
            return low;
        }
        const __m256i high = _mm256_permutevar8x32_epi32(windowPairs(w + 8), words);
        return _mm256_castps_si256(
            _mm256_blendv_ps(_mm256_castsi256_ps(low), _mm256_castsi256_ps(high),
                             _mm256_castsi256_ps(_mm256_slli_epi32(words, 28))));
    }

    inline void advance() {
        pos += stride;
        fractions = _mm256_add_epi32(fractions, fractionStride);
    }
};

// Walks eight frames per pass at any step, loading each frame's pair on its own.
struct GatherWalker {
    const int16_t* data;
    uint64_t pos;
    uint64_t d1, d2, d3, d4, d5, d6, d7, d8;
    __m256i fractions;
    __m256i fractionStride;

    GatherWalker(const int16_t* d, uint64_t p, uint64_t delta)
        : data(d), pos(p), d1(delta), d2(2 * delta), d3(3 * delta), d4(4 * delta), d5(5 * delta),
          d6(6 * delta), d7(7 * delta), d8(8 * delta) {
        fractions = firstFractions(p, delta);
        fractionStride = _mm256_set1_epi32(static_cast<int32_t>(8 * static_cast<uint32_t>(delta)));
    }

    static inline __m128i pairAt(const int16_t* data, uint64_t pos) {
        int32_t v;
        __builtin_memcpy(&v, data + (pos >> 32), sizeof v);
        return _mm_cvtsi32_si128(v);
    }

    inline __m256 next() {
        const __m128i w0 = pairAt(data, pos);
        const __m128i w1 = pairAt(data, pos + d1);
        const __m128i w2 = pairAt(data, pos + d2);
        const __m128i w3 = pairAt(data, pos + d3);
        const __m128i w4 = pairAt(data, pos + d4);
        const __m128i w5 = pairAt(data, pos + d5);
        const __m128i w6 = pairAt(data, pos + d6);
        const __m128i w7 = pairAt(data, pos + d7);
        pos += d8;
        const __m128i lo =
            _mm_unpacklo_epi64(_mm_unpacklo_epi32(w0, w1), _mm_unpacklo_epi32(w4, w5));
        const __m128i hi =
            _mm_unpacklo_epi64(_mm_unpacklo_epi32(w2, w3), _mm_unpacklo_epi32(w6, w7));
        const __m256 s =
            eightValues(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), fractions);
        fractions = _mm256_add_epi32(fractions, fractionStride);
        return s;
    }
};

// Adds frames 0..3 and 4..7 of s at the gains (g0, g1, g0, g1, ...) to the 16 floats at o.
inline void addSixteen(float* o, __m256 s, __m256 gains) {
    const __m256 lo = _mm256_mul_ps(_mm256_unpacklo_ps(s, s), gains);
    const __m256 hi = _mm256_mul_ps(_mm256_unpackhi_ps(s, s), gains);
    _mm256_storeu_ps(o, _mm256_add_ps(_mm256_loadu_ps(o), lo));
    _mm256_storeu_ps(o + 8, _mm256_add_ps(_mm256_loadu_ps(o + 8), hi));
}

// Lane masks for the last, partial pass: floats [16 - c, 16 - c + 8) of the table select the
// first c floats of eight.
constexpr int32_t maskTable[32] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                   0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0};

// Adds the first m (1..7) frames of s at the gains to the buffer and touches no float after
// them: the buffer may end there.
inline void addPartial(float* o, int32_t m, __m256 s, __m256 gains) {
    const __m256i maskLow =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(maskTable + 16 - 2 * m));
    const __m256i maskHigh =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(maskTable + 24 - 2 * m));
    const __m256 lo = _mm256_mul_ps(_mm256_unpacklo_ps(s, s), gains);
    const __m256 hi = _mm256_mul_ps(_mm256_unpackhi_ps(s, s), gains);
    _mm256_maskstore_ps(o, maskLow, _mm256_add_ps(_mm256_maskload_ps(o, maskLow), lo));
    if (m > 4) {
        _mm256_maskstore_ps(o + 8, maskHigh,
                            _mm256_add_ps(_mm256_maskload_ps(o + 8, maskHigh), hi));
    }
}

// Whole passes of eight of the n frames from frame k on, loading each pair on its own; returns
// the frames done in all and leaves pos after them.
inline int32_t gatherGroups(const int16_t* data, float* out, int32_t n, int32_t k, uint64_t& pos,
                            uint64_t delta, __m256 gains) {
    if (n - k < 8) {
        return k;
    }
    COUNT_MIXER_PATH(MixerPath::gatherAvx2);
    GatherWalker walk(data, pos, delta);
    for (; n - k >= 8; k += 8) {
        addSixteen(out + 2 * k, walk.next(), gains);
    }
    pos = walk.pos;
    return k;
}

// The walk over the n frames. Stops early only where a backward window would start before
// frame 0; returns the frames done and leaves pos after them. With a step above one frame the
// whole passes load each frame's pair (faster than the wide window, whose two halves cost two
// permutations and a blend) and only the last, partial pass takes the window.
template <bool kWide>
[[gnu::always_inline]] inline int32_t windowRunOf(const int16_t* data, float* out, int32_t n,
                                                  uint64_t& pos, const StepLanes& lanes,
                                                  __m256 gains) {
    int32_t k = kWide ? gatherGroups(data, out, n, 0, pos, lanes.delta, gains) : 0;
    WindowWalker<kWide> walk(data, pos, lanes);
    COUNT_MIXER_PATH_IF(n - k >= 8 && walk.windowInside(), MixerPath::windowAvx2);
    for (; n - k >= 8 && walk.windowInside(); k += 8) {
        addSixteen(out + 2 * k, eightValues(walk.pairs(), walk.fractions), gains);
        walk.advance();
    }
    // The last frames: the window of the pass starts at a frame that is played, so it lies
    // inside the sample's block whatever follows the last frame.
    if (n - k > 0 && n - k < 8 && walk.windowInside()) {
        COUNT_MIXER_PATH(kWide ? MixerPath::wideWindowPartialAvx2 : MixerPath::windowPartialAvx2);
        const int32_t m = n - k;
        addPartial(out + 2 * k, m, eightValues(walk.pairs(), walk.fractions), gains);
        walk.pos += static_cast<uint64_t>(m) * walk.delta;
        k = n;
    }
    pos = walk.pos;
    return k;
}

[[gnu::always_inline]] inline int32_t windowRun(const int16_t* data, float* out, int32_t n,
                                                uint64_t& pos, const StepLanes& lanes,
                                                __m256 gains) {
    return lanes.wide ? windowRunOf<true>(data, out, n, pos, lanes, gains)
                      : windowRunOf<false>(data, out, n, pos, lanes, gains);
}

// Eight interpolated values from the frames a and b on either side of each position and the
// positions' fractions: the one-frame formula, a + weight x (b - a), lane by lane. b - a of two
// frames is exact in float, so it equals the converted difference the pair loops form.
inline __m256 valuesBetween(__m256 a, __m256 b, __m256i fractions) {
    const __m256 t = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(fractions, 1)),
                                   _mm256_set1_ps(fractionScale));
    return _mm256_add_ps(a, _mm256_mul_ps(t, _mm256_sub_ps(b, a)));
}

// The n frames in passes of eight and, when n is not a multiple of eight, the first frames of
// one more pass, which touches no float of the buffer after them. values8 gives the eight values
// at the position p and the lanes' fractions, which each whole pass moves on by eight steps.
template <typename Values8>
inline void mixPasses(float* out, int32_t n, uint64_t& p, uint64_t delta, __m256i& fractions,
                      __m256 gains, Values8 values8) {
    const uint64_t stride = 8 * delta;
    const __m256i fractionStride =
        _mm256_set1_epi32(static_cast<int32_t>(8 * static_cast<uint32_t>(delta)));
    float* o = out;
    for (int32_t passes = n >> 3; passes != 0; --passes) {
        addSixteen(o, values8(), gains);
        o += 16;
        p += stride;
        fractions = _mm256_add_epi32(fractions, fractionStride);
    }
    if (const int32_t m = n & 7) {
        COUNT_MIXER_PATH(MixerPath::valuePartialAvx2);
        addPartial(o, m, values8(), gains);
        p += static_cast<uint64_t>(m) * delta;
    }
}

// The n frames over a sample's float frame values, with a step of at most one frame. The eight
// positions of a pass have both their frames in the window [w, w + 9), w the first frame (moving
// backward, 7 frames before it); two loads of eight values, at w and w + 1, and one permutation
// of each give the frames before and after every position. The caller keeps every window inside
// the block, so the passes are counted once, and the last, partial pass, whose window starts at a
// frame that is played, reads no further than a whole one. Leaves pos after the frames.
//
// Forward, the window starts at the pass's first frame itself, and the address takes no offset.
template <bool kForward>
inline void valueWindowRun(const float* values, float* out, int32_t n, uint64_t& pos,
                           const StepLanes& lanes, __m256 gains) {
    COUNT_MIXER_PATH_IF(n >= 8, kForward ? MixerPath::valueWindowForwardAvx2
                                         : MixerPath::valueWindowBackwardAvx2);
    const uint32_t offset = lanes.offset;
    const __m256i added = lanes.addedFractions;
    const __m256i whole = lanes.wholeWords;
    const __m256i bias = _mm256_set1_epi32(INT32_MIN);
    __m256i fractions =
        _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(pos)), lanes.laneFractions);
    uint64_t p = pos;
    const auto values8 = [&] {
        const float* w =
            kForward ? values + (p >> 32)
                     : values + static_cast<uint32_t>(static_cast<uint32_t>(p >> 32) + offset);
        const __m256i carried = _mm256_cmpgt_epi32(added, _mm256_xor_si256(fractions, bias));
        const __m256i words = _mm256_sub_epi32(whole, carried);
        return valuesBetween(_mm256_permutevar8x32_ps(_mm256_loadu_ps(w), words),
                             _mm256_permutevar8x32_ps(_mm256_loadu_ps(w + 1), words), fractions);
    };
    mixPasses(out, n, p, lanes.delta, fractions, gains, values8);
    pos = p;
}

// Frames i and i + 1 of two positions: (a, b) of the first in the low half, of the second in the
// high half. The pairs are copied out as 8-byte words, which need not be aligned as doubles are.
inline __m128 twoValuePairs(const float* values, uint64_t first, uint64_t second) {
    double low;
    double high;
    __builtin_memcpy(&low, values + (first >> 32), sizeof low);
    __builtin_memcpy(&high, values + (second >> 32), sizeof high);
    return _mm_castpd_ps(_mm_set_pd(high, low));
}

// The n frames over float frame values at any step, loading each position's two frames on their
// own; the last, partial pass loads all eight positions, so the caller keeps the reads of eight
// whole positions from its first one inside the block. Leaves pos after the frames.
inline void valueGatherRun(const float* values, float* out, int32_t n, uint64_t& pos,
                           uint64_t delta, __m256 gains) {
    COUNT_MIXER_PATH_IF(n >= 8, MixerPath::valueGatherAvx2);
    const uint64_t d1 = delta, d2 = 2 * delta, d3 = 3 * delta, d4 = 4 * delta, d5 = 5 * delta,
                   d6 = 6 * delta, d7 = 7 * delta;
    __m256i fractions = firstFractions(pos, delta);
    uint64_t p = pos;
    const auto values8 = [&] {
        // Lanes (0 1 4 5 | 2 3 6 7): the low halves hold positions 0, 1 and 4, 5, the high ones
        // 2, 3 and 6, 7; the shuffles take every first and every second float of each pair.
        const __m256 near = _mm256_set_m128(twoValuePairs(values, p + d2, p + d3),
                                            twoValuePairs(values, p, p + d1));
        const __m256 far = _mm256_set_m128(twoValuePairs(values, p + d6, p + d7),
                                           twoValuePairs(values, p + d4, p + d5));
        return valuesBetween(_mm256_shuffle_ps(near, far, 0x88), _mm256_shuffle_ps(near, far, 0xDD),
                             fractions);
    };
    mixPasses(out, n, p, delta, fractions, gains, values8);
    pos = p;
}

// The n frames over float frame values at a step of at most two frames.
[[gnu::always_inline]] inline void valueRun(StepLanes* table, const float* values, float* out,
                                            int32_t n, uint64_t& pos, uint64_t delta, uint64_t step,
                                            __m256 gains) {
    if (step <= narrowStep) {
        if (delta == step) {
            valueWindowRun<true>(values, out, n, pos, lanesFor(table, delta, step), gains);
        } else {
            valueWindowRun<false>(values, out, n, pos, lanesFor(table, delta, step), gains);
        }
    } else {
        valueGatherRun(values, out, n, pos, delta, gains);
    }
}

} // namespace

int32_t mixConstantAvx2(StepLanes* lanes, const int16_t* data, float* out, int32_t n, uint64_t& pos,
                        uint64_t delta, uint64_t step, float g0, float g1) {
    const __m256 gains = _mm256_setr_ps(g0, g1, g0, g1, g0, g1, g0, g1);
    int32_t k = 0;
    if (step <= wideStep) {
        k = windowRun(data, out, n, pos, lanesFor(lanes, delta, step), gains);
    }
    return gatherGroups(data, out, n, k, pos, delta, gains);
}

namespace {

// Whole pieces from t on, over at most limit frames, that can be mixed as one run through the
// loop copies of a forward loop: walked with the same look-ahead and end handling as mixing
// piece by piece, each with all its frames inside the sample (so that the copies hold the same
// frames at the same places) and the run staying inside the copies. Returns the run's frames
// and leaves t after its last piece; the walk stops before a piece that does not qualify.
int32_t runThroughCopies(Track& t, LookAheadStep& look, const Source& src, uint32_t copyFrames,
                         int32_t limit) {
    const uint64_t step = look.full;
    const uint64_t startInCopies = t.pos - t.startFixed;
    bool ended = false; // a forward loop never ends
    return walkPieces<true>(t, look, limit, ended, NoRun{}, [&](Track& at, int32_t run, int32_t n) {
        if (n > 0) {
            if (!readsStayInside(src, at.pos, step, true, n)) {
                return false;
            }
            // The run's last frame and the one after it in the copies.
            const uint64_t last = startInCopies + static_cast<uint64_t>(run + n - 1) * step;
            if ((last >> 32) >= copyFrames) {
                return false;
            }
        }
        at.pos += static_cast<uint64_t>(n) * step;
        return true;
    });
}

// A piece of the steady run that the float loops cannot take, from the 16-bit frames: reads that
// may leave the sample go one by one through the checks; otherwise the 16-bit loops take what
// they can (all but the last frames, or up to a window's width of frame 0 moving backward) and
// single frames the rest. Returns the position after the piece.
uint64_t mixLeftPiece(StepLanes* lanes, const Source& src, float* out, int32_t n, uint64_t pos,
                      bool forward, uint64_t step, float g0, float g1) {
    const uint64_t delta = forward ? step : 0 - step;
    if (!readsStayInside(src, pos, step, forward, n)) {
        COUNT_MIXER_PATH(MixerPath::constantChecked);
        return constantFrames<true>(src, out, 0, n, pos, delta, g0, g1);
    }
    const int32_t k = mixConstantAvx2(lanes, src.data, out, n, pos, delta, step, g0, g1);
    COUNT_MIXER_PATH_IF(k < n, MixerPath::constantSingle);
    return constantFrames<false>(src, out, k, n, pos, delta, g0, g1);
}

// All of the limit frames from t on as one run through the copies, found without walking the
// pieces, when that is what walking them would find. Over a forward loop, position minus loop
// start grows by the step on every frame, and each wrap takes off a loop length; a piece ends
// at a wrap after ceil(distance / step) frames. The look-ahead's 8.24 step may make that count
// one frame larger (a piece's last frame then lands past the play end, and the walk stops
// there) only where the frame that passes the end passes it by less than 256 units per frame of
// the piece; one frame smaller is harmless (the piece stops a hair short and the next one, of
// one frame, wraps). So when every frame that passes the end in the call, or right after it,
// passes it by more than that margin, the pieces wrap exactly at those frames: the run is the
// whole call and the position after it follows from the last wrap. The residues by which the
// successive wraps are passed follow each other without division: with L = q x step + rem,
// the next is the last less rem, or plus step - rem after q + 1 frames. Returns the run (and
// leaves t after it), or 0 with t untouched.
int32_t wholeRunThroughCopies(Track& t, uint64_t step, uint32_t copyFrames, int32_t limit) {
    const uint64_t length = static_cast<uint64_t>(t.loopLength) << 32;
    const uint64_t inLoop = t.pos - t.startFixed;
    const uint64_t frames = static_cast<uint64_t>(limit);
    // A step below the loop length passes one end at a time; the run must fit the copies.
    if (step == 0 || step >= length || limit > closedFormFrames ||
        ((inLoop + (frames - 1) * step) >> 32) >= copyFrames) {
        return 0;
    }
    const uint64_t margin = turnMargin(frames);
    const uint64_t pass = length / step;
    const uint64_t rest = length - pass * step;
    // The frame that first passes the end, and by how much.
    uint64_t at = (length - inLoop + step - 1) / step;
    uint64_t beyond = at * step - (length - inLoop);
    uint64_t from = t.pos;
    uint64_t frame = 0;
    while (at <= frames) {
        if (beyond < margin) {
            return 0;
        }
        from = t.startFixed + beyond;
        frame = at;
        const bool longer = beyond < rest;
        at += pass + (longer ? 1 : 0);
        beyond = beyond - rest + (longer ? step : 0);
    }
    t.pos = from + (frames - frame) * step;
    return limit;
}

} // namespace

void playSteadyAvx2(SteadyPlay& play, float* out, int32_t frames) {
    const Sample& sample = *play.sample;
    const uint64_t step = play.step;
    Track t =
        makeTrack(sample.loopStart, sample.loopLength, sample.loopType, play.pos, play.direction);
    LookAheadStep look = lookAheadOf(step);
    const Source src{sample.data, t.end};
    const __m256 gains =
        _mm256_setr_ps(play.g0, play.g1, play.g0, play.g1, play.g0, play.g1, play.g0, play.g1);
    const bool copies = sample.loopCopies && t.forwardLoop && sample.loopCopyFrames >= t.loopLength;

    // Before each piece: while the position lies in a forward loop with copies, as many pieces
    // as can be mixed as one run through the copies.
    const auto throughCopies = [&](Track& at, int32_t done, int32_t left) -> int32_t {
        if (!copies || at.direction != 1 || at.pos < at.startFixed || at.pos >= at.endFixed) {
            return 0;
        }
        uint64_t inCopies = at.pos - at.startFixed;
        int32_t run = wholeRunThroughCopies(at, step, sample.loopCopyFrames, left);
        COUNT_MIXER_PATH_IF(run != 0, MixerPath::copiesInOneStepAvx2);
        if (run == 0) {
            // Pieces follow each other here without mixing work in between, so the
            // look-ahead finds its quotient by checking the last one's neighbours.
            run = runThroughCopies(at, look, src, sample.loopCopyFrames, left);
            COUNT_MIXER_PATH_IF(run != 0, MixerPath::copiesWalkedAvx2);
        }
        if (run > 0) {
            valueRun(play.lanes, sample.loopCopies, out + 2 * static_cast<size_t>(done), run,
                     inCopies, step, step, gains);
        }
        return run;
    };
    const auto piece = [&](Track& at, int32_t done, int32_t n) {
        if (n == 0) {
            return true;
        }
        const bool forward = at.direction == 1;
        float* o = out + 2 * static_cast<size_t>(done);
        // Backward, the lowest frame read is the last frame's; its window starts 7 or 15 frames
        // before it.
        if (readsStayInside(src, at.pos, step, forward, n) &&
            (forward || ((at.pos - static_cast<uint64_t>(n - 1) * step) >> 32) >=
                            framesBeforeWindow(step > narrowStep))) {
            valueRun(play.lanes, sample.frameValues, o, n, at.pos, forward ? step : 0 - step, step,
                     gains);
        } else {
            COUNT_MIXER_PATH(MixerPath::steadyFallbackAvx2);
            at.pos = mixLeftPiece(play.lanes, src, o, n, at.pos, forward, step, play.g0, play.g1);
        }
        return true;
    };
    walkPieces<true>(t, look, frames, play.ended, throughCopies, piece);
    play.pos = t.pos;
    play.direction = t.direction;
}

int32_t convertToPcm16Avx2(int16_t* dst, const float* src, int32_t frames) {
    // As in the SSE2 conversion: a float clamp at the top, and the truncating conversion and the
    // saturating pack for everything else (NaN included, which minps passes on). The pack works
    // within each half, so a permutation puts the four groups of four back in order.
    const int32_t count = 2 * frames;
    const __m256 high = _mm256_set1_ps(pcmHighest);
    int32_t i = 0;
    COUNT_MIXER_PATH_IF(count >= 16, MixerPath::convertAvx2);
    for (; i + 16 <= count; i += 16) {
        const __m256i a = _mm256_cvttps_epi32(_mm256_min_ps(high, _mm256_loadu_ps(src + i)));
        const __m256i b = _mm256_cvttps_epi32(_mm256_min_ps(high, _mm256_loadu_ps(src + i + 8)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
                            _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8));
    }
    return i;
}

} // namespace ostrel
