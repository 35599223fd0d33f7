// Note-to-period conversion on both period scales, period-to-frequency conversion, and the
// power of two they rest on.
//
// The audio must come out bit for bit the same on every build, and the C libraries of the
// builds round pow and exp2 differently in the last bit. So the power of two is computed here
// from plain IEEE operations: 2^x = 2^k * 2^(j/64) * 2^s with an exact argument reduction, a
// double-double table of 2^(j/64) and a short series for 2^s carried with an extra word of
// precision. The result is correctly rounded except in cases closer to a rounding boundary
// than about 2^-16 ulp.
#include <atomic>
#include <bit>
#include <cstdint>
#include <limits>

#include "player/engine.h"
#include "player/sequencer.h"

namespace ostrel {

namespace {

struct DoubleWord {
    double hi;
    double lo;
};

// 2^(j/64) for j = 0..63: hi is the value rounded to double, lo the rounded remainder, both
// derived from a 60-digit decimal evaluation.
constexpr DoubleWord exp2Table[64] = {
    {0x1.0000000000000p+0, 0x0.0p+0},
    {0x1.02c9a3e778061p+0, -0x1.19083535b085dp-56},
    {0x1.059b0d3158574p+0, 0x1.d73e2a475b465p-55},
    {0x1.0874518759bc8p+0, 0x1.186be4bb284ffp-57},
    {0x1.0b5586cf9890fp+0, 0x1.8a62e4adc610bp-54},
    {0x1.0e3ec32d3d1a2p+0, 0x1.03a1727c57b53p-59},
    {0x1.11301d0125b51p+0, -0x1.6c51039449b3ap-54},
    {0x1.1429aaea92de0p+0, -0x1.32fbf9af1369ep-54},
    {0x1.172b83c7d517bp+0, -0x1.19041b9d78a76p-55},
    {0x1.1a35beb6fcb75p+0, 0x1.e5b4c7b4968e4p-55},
    {0x1.1d4873168b9aap+0, 0x1.e016e00a2643cp-54},
    {0x1.2063b88628cd6p+0, 0x1.dc775814a8495p-55},
    {0x1.2387a6e756238p+0, 0x1.9b07eb6c70573p-54},
    {0x1.26b4565e27cddp+0, 0x1.2bd339940e9d9p-55},
    {0x1.29e9df51fdee1p+0, 0x1.612e8afad1255p-55},
    {0x1.2d285a6e4030bp+0, 0x1.0024754db41d5p-54},
    {0x1.306fe0a31b715p+0, 0x1.6f46ad23182e4p-55},
    {0x1.33c08b26416ffp+0, 0x1.32721843659a6p-54},
    {0x1.371a7373aa9cbp+0, -0x1.63aeabf42eae2p-54},
    {0x1.3a7db34e59ff7p+0, -0x1.5e436d661f5e3p-56},
    {0x1.3dea64c123422p+0, 0x1.ada0911f09ebcp-55},
    {0x1.4160a21f72e2ap+0, -0x1.ef3691c309278p-58},
    {0x1.44e086061892dp+0, 0x1.89b7a04ef80d0p-59},
    {0x1.486a2b5c13cd0p+0, 0x1.3c1a3b69062f0p-56},
    {0x1.4bfdad5362a27p+0, 0x1.d4397afec42e2p-56},
    {0x1.4f9b2769d2ca7p+0, -0x1.4b309d25957e3p-54},
    {0x1.5342b569d4f82p+0, -0x1.07abe1db13cadp-55},
    {0x1.56f4736b527dap+0, 0x1.9bb2c011d93adp-54},
    {0x1.5ab07dd485429p+0, 0x1.6324c054647adp-54},
    {0x1.5e76f15ad2148p+0, 0x1.ba6f93080e65ep-54},
    {0x1.6247eb03a5585p+0, -0x1.383c17e40b497p-54},
    {0x1.6623882552225p+0, -0x1.bb60987591c34p-54},
    {0x1.6a09e667f3bcdp+0, -0x1.bdd3413b26456p-54},
    {0x1.6dfb23c651a2fp+0, -0x1.bbe3a683c88abp-57},
    {0x1.71f75e8ec5f74p+0, -0x1.16e4786887a99p-55},
    {0x1.75feb564267c9p+0, -0x1.0245957316dd3p-54},
    {0x1.7a11473eb0187p+0, -0x1.41577ee04992fp-55},
    {0x1.7e2f336cf4e62p+0, 0x1.05d02ba15797ep-56},
    {0x1.82589994cce13p+0, -0x1.d4c1dd41532d8p-54},
    {0x1.868d99b4492edp+0, -0x1.fc6f89bd4f6bap-54},
    {0x1.8ace5422aa0dbp+0, 0x1.6e9f156864b27p-54},
    {0x1.8f1ae99157736p+0, 0x1.5cc13a2e3976cp-55},
    {0x1.93737b0cdc5e5p+0, -0x1.75fc781b57ebcp-57},
    {0x1.97d829fde4e50p+0, -0x1.d185b7c1b85d1p-54},
    {0x1.9c49182a3f090p+0, 0x1.c7c46b071f2bep-56},
    {0x1.a0c667b5de565p+0, -0x1.359495d1cd533p-54},
    {0x1.a5503b23e255dp+0, -0x1.d2f6edb8d41e1p-54},
    {0x1.a9e6b5579fdbfp+0, 0x1.0fac90ef7fd31p-54},
    {0x1.ae89f995ad3adp+0, 0x1.7a1cd345dcc81p-54},
    {0x1.b33a2b84f15fbp+0, -0x1.2805e3084d708p-57},
    {0x1.b7f76f2fb5e47p+0, -0x1.5584f7e54ac3bp-56},
    {0x1.bcc1e904bc1d2p+0, 0x1.23dd07a2d9e84p-55},
    {0x1.c199bdd85529cp+0, 0x1.11065895048ddp-55},
    {0x1.c67f12e57d14bp+0, 0x1.2884dff483cadp-54},
    {0x1.cb720dcef9069p+0, 0x1.503cbd1e949dbp-56},
    {0x1.d072d4a07897cp+0, -0x1.cbc3743797a9cp-54},
    {0x1.d5818dcfba487p+0, 0x1.2ed02d75b3707p-55},
    {0x1.da9e603db3285p+0, 0x1.c2300696db532p-54},
    {0x1.dfc97337b9b5fp+0, -0x1.1a5cd4f184b5cp-54},
    {0x1.e502ee78b3ff6p+0, 0x1.39e8980a9cc8fp-55},
    {0x1.ea4afa2a490dap+0, -0x1.e9c23179c2893p-54},
    {0x1.efa1bee615a27p+0, 0x1.dc7f486a4b6b0p-54},
    {0x1.f50765b6e4540p+0, 0x1.9d3e12dd8a18bp-54},
    {0x1.fa7c1819e90d8p+0, 0x1.74853f3a5931ep-55},
};

constexpr double ln2Hi = 0x1.62e42fefa39efp-1;
constexpr double ln2Lo = 0x1.abc9e3b39803fp-56;

// Exact product a * b = hi + lo (Dekker, with Veltkamp splitting; needs strict double
// arithmetic without fused multiply-add, which the build guarantees).
inline DoubleWord twoProduct(double a, double b) {
    constexpr double splitter = 134217729.0; // 2^27 + 1
    double p = a * b;
    double ca = splitter * a;
    double ah = ca - (ca - a);
    double al = a - ah;
    double cb = splitter * b;
    double bh = cb - (cb - b);
    double bl = b - bh;
    double e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
    return {p, e};
}

// 2^k as a double for -1022 <= k <= 1023.
inline double powerOfTwo(int32_t k) {
    return std::bit_cast<double>(static_cast<uint64_t>(k + 1023) << 52);
}

// Keys of the two scales: single-precision 1/12 and 1/768, widened.
constexpr double amigaKey = static_cast<double>(1.0f / 12.0f);
constexpr double linearKey = static_cast<double>(1.0f / 768.0f);

// P(m) = trunc(13.375 * 2^((132 - m) * K)); the product is exact in double.
inline int32_t amigaBase(int32_t m) {
    return static_cast<int32_t>(13.375 * exactExp2(static_cast<double>(132 - m) * amigaKey));
}

} // namespace

double exactExp2(double x) {
    if (!(x >= -1022.0)) {
        return x != x ? x : 0.0; // NaN stays NaN
    }
    if (x >= 1023.0) {
        return std::numeric_limits<double>::infinity();
    }
    // m = x * 64 rounded to an integer; s = x - m/64 is exact and |s| <= 1/128.
    double scaled = x * 64.0;
    int32_t m = static_cast<int32_t>(scaled >= 0.0 ? scaled + 0.5 : scaled - 0.5);
    double s = x - static_cast<double>(m) / 64.0;
    int32_t j = m & 63;
    int32_t k = m >> 6; // floor(m / 64)

    // p = s * ln2 as a double-double.
    DoubleWord p = twoProduct(s, ln2Hi);
    double pLo = p.lo + s * ln2Lo;
    double ph = p.hi;
    // exp(p) - 1 = ph + q with q = ph^2/2 + ... + ph^7/5040 + pLo + pLo*ph.
    double q =
        ph * ph *
        (0.5 +
         ph * (1.0 / 6.0 +
               ph * (1.0 / 24.0 + ph * (1.0 / 120.0 + ph * (1.0 / 720.0 + ph * (1.0 / 5040.0))))));
    q = q + (pLo + pLo * ph);

    // T * (1 + ph + q), summed from the small terms up.
    const DoubleWord& t = exp2Table[j];
    DoubleWord a = twoProduct(t.hi, ph);
    double sum = t.hi + a.hi; // |t.hi| > |a.hi|: the error of this sum is exact below
    double sumErr = a.hi - (sum - t.hi);
    double tail = sumErr + (a.lo + (t.lo + (t.hi * q + t.lo * ph)));
    return (sum + tail) * powerOfTwo(k);
}

int32_t amigaPeriod(int32_t note, int32_t finetune) {
    int32_t base = amigaBase(note);
    if (note != 0 && finetune < 0) {
        return base - (amigaBase(note - 1) - base) * finetune / 128;
    }
    // Note 0 always interpolates toward note 1, whatever the sign of the finetune.
    return base + (amigaBase(note + 1) - base) * finetune / 128;
}

int32_t linearPeriod(int32_t realNote, int32_t finetune) {
    return (120 - realNote) * 64 - finetune / 2;
}

int32_t notePeriodFor(const ModulePlayer* player, int32_t realNote, int32_t finetune) {
    if (player->flags & flagLinearFrequencies) {
        return linearPeriod(realNote, finetune);
    }
    return amigaPeriod(realNote, finetune);
}

namespace {

int32_t linearFrequencyOf(int64_t units) {
    double hz = 8363.0 * exactExp2(static_cast<double>(units) * linearKey);
    if (hz >= 2147483647.0) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(hz);
}

// The frequencies of the units that notes, slides and vibratos reach, computed once: the engine
// asks for one per channel and tick, and the exact power of two is dear.
constexpr int64_t knownUnitsLow = -8192;
constexpr int64_t knownUnitsCount = 16384;

enum : uint8_t { notBuilt, building, built };

// Builds the table unless another thread does; returns once it is built.
[[gnu::noinline]] void buildKnownFrequencies(int32_t* table, std::atomic<uint8_t>& state) {
    uint8_t expected = notBuilt;
    if (state.compare_exchange_strong(expected, building, std::memory_order_acquire)) {
        for (int64_t k = 0; k < knownUnitsCount; ++k) {
            table[k] = linearFrequencyOf(knownUnitsLow + k);
        }
        state.store(built, std::memory_order_release);
    } else {
        // Another thread is building it, which takes about a millisecond. The renderer's
        // start builds it on the starting thread, so a rendering thread never waits here.
        while (state.load(std::memory_order_acquire) != built) {
        }
    }
}

// Built whole on first use by whichever thread asks first, and only read after that, so players
// on other threads share it. The once is kept by hand: a guarded static would link the C++
// library's exception support into the size-coded demo. Both statics are constant-initialised,
// so reading them needs no guard either.
inline const int32_t* knownFrequencies() {
    static int32_t table[knownUnitsCount];
    static std::atomic<uint8_t> state{notBuilt};
    if (state.load(std::memory_order_acquire) != built) {
        buildKnownFrequencies(table, state);
    }
    return table;
}

} // namespace

int32_t linearFrequency(int32_t period, int32_t periodDelta) {
    // Unbounded fine portamentos can push the period anywhere: work in 64 bits and clamp the
    // frequency to the 32-bit range instead of letting it wrap.
    const int64_t units = 4608 + static_cast<int64_t>(periodDelta) - period;
    const uint64_t slot = static_cast<uint64_t>(units - knownUnitsLow);
    if (slot >= static_cast<uint64_t>(knownUnitsCount)) {
        return linearFrequencyOf(units);
    }
    return knownFrequencies()[slot];
}

void prepareTables(const ModulePlayer* player) {
    if (player->flags & flagLinearFrequencies) {
        knownFrequencies();
    }
}

int32_t amigaFrequency(int32_t period, int32_t periodDelta) {
    int64_t sum = static_cast<int64_t>(period) + periodDelta;
    if (sum == 0) {
        return 0; // callers skip the pitch update for a zero period
    }
    return static_cast<int32_t>(14317056 / sum);
}

} // namespace ostrel
