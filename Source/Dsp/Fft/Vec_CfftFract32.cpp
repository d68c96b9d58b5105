#include <cstddef>
#include <cstdint>

#include "Dsp/Fft/Complex.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

namespace {

constexpr Fract32 kOne = INT32_MAX;

// The headroom of the block: the fewest redundant sign bits of any of the 2N words (0 and -1 count 31).
int32_t expadj(const Fract32 *data, ptrdiff_t words)
{
    int32_t headroom = 31;
    for (ptrdiff_t i = 0; i < words; ++i) {
        const int32_t bits = __builtin_clrsb(data[i]);
        headroom = bits < headroom ? bits : headroom;
    }
    return headroom;
}

// Shifts the whole block right until it has `needed` redundant sign bits; returns the shifts applied.
int32_t Provide_Guard_Bits(Fract32 *data, ptrdiff_t words, int32_t needed)
{
    const int32_t shift = needed - expadj(data, words);
    if (shift <= 0) {
        return 0;
    }
    for (ptrdiff_t i = 0; i < words; ++i) {
        data[i] >>= shift;
    }
    return shift;
}

// a b +- c d in Q31 from 16-bit halves (signed high, unsigned low): the high products doubled in wrapping 32-bit
// arithmetic, the cross products summed in 64 bits and shifted down by 15, the low x low products dropped.
Fract32 DoublePr_abcd_SS(Fract32 a, Fract32 b, Fract32 c, Fract32 d, bool subtract)
{
    const int32_t ah = a >> 16;
    const int32_t bh = b >> 16;
    const int32_t ch = c >> 16;
    const int32_t dh = d >> 16;
    const int32_t al = a & 0xFFFF;
    const int32_t bl = b & 0xFFFF;
    const int32_t cl = c & 0xFFFF;
    const int32_t dl = d & 0xFFFF;
    const int32_t abHigh = kve_mulInt32Wrap(2, ah * bh);
    const int32_t cdHigh = kve_mulInt32Wrap(2, ch * dh);
    const int64_t abMid = int64_t{bh * al} + int64_t{ah * bl};
    const int64_t cdMid = int64_t{dh * cl} + int64_t{ch * dl};
    const int32_t high = subtract ? kve_subInt32Wrap(abHigh, cdHigh) : kve_addInt32Wrap(abHigh, cdHigh);
    const int64_t mid = subtract ? abMid - cdMid : abMid + cdMid;
    return kve_addInt32Wrap(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(mid >> 15))), high);
}

// The guard bits keep every sum and difference of a butterfly in range, so they wrap instead of saturating.
Fract32 Add_without_OvfChk(Fract32 a, Fract32 b)
{
    return kve_addInt32Wrap(a, b);
}

Fract32 Sub_without_OvfChk(Fract32 a, Fract32 b)
{
    return kve_subInt32Wrap(a, b);
}

// The butterflies of one stage with span h: b times the twiddle (c, sn) meaning c - j sn, added to and taken from a.
template <typename Twiddle>
void stage(Fract32 *data, ptrdiff_t points, ptrdiff_t h, Twiddle twiddle)
{
    for (ptrdiff_t group = 0; group < points; group += 2 * h) {
        for (ptrdiff_t k = 0; k < h; ++k) {
            Fract32 *a = data + 2 * (group + k);
            Fract32 *b = a + 2 * h;
            const auto [c, sn] = twiddle(k);
            const Fract32 tRe = DoublePr_abcd_SS(b[0], c, b[1], sn, false);
            const Fract32 tIm = DoublePr_abcd_SS(b[1], c, b[0], sn, true);
            b[0] = Sub_without_OvfChk(a[0], tRe);
            b[1] = Sub_without_OvfChk(a[1], tIm);
            a[0] = Add_without_OvfChk(a[0], tRe);
            a[1] = Add_without_OvfChk(a[1], tIm);
        }
    }
}

struct Twiddle {
    Fract32 c;
    Fract32 sn;
};

} // namespace

// Fixed-point forward FFT (e^-j) of N bit-reversed complex points in place, radix 2, natural-order output, with block
// floating point: before each stage the block is shifted right just enough to leave one free bit (stages 0 and 1)
// or two (later stages), and the return value counts the shifts, so the spectrum is the output x 2^exponent. Stage s
// reads the tables every 512 >> s entries. N is taken from itself (tableShift and log2N are not needed); N not a
// power of two in 1..1024 returns 0 without work.
extern "C" int32_t kve_vecCfftFract32(int32_t N, int32_t tableShift, int32_t log2N, Fract32 *data,
                                      const Fract32 *cosTable, const Fract32 *sinTable)
{
    (void)tableShift;
    (void)log2N;
    if (N > 1024 || !kve_isPowerOfTwo(N)) {
        return 0;
    }
    const ptrdiff_t words = 2 * static_cast<ptrdiff_t>(N);
    int16_t exponent = 0;
    int32_t s = 0;
    for (ptrdiff_t h = 1; h < N; h *= 2, ++s) {
        exponent = static_cast<int16_t>(exponent + Provide_Guard_Bits(data, words, s < 2 ? 1 : 2));
        if (s == 0) {
            stage(data, N, h, [](ptrdiff_t) { return Twiddle{kOne, 0}; });
        } else if (s == 1) {
            // -j for k = 1, through the same product.
            stage(data, N, h, [](ptrdiff_t k) { return k == 0 ? Twiddle{kOne, 0} : Twiddle{0, kOne}; });
        } else {
            const ptrdiff_t tableStep = 512 >> s;
            stage(data, N, h, [=](ptrdiff_t k) { return Twiddle{cosTable[k * tableStep], sinTable[k * tableStep]}; });
        }
    }
    return exponent;
}
