#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

namespace {

// One Newton step toward 1/sqrt(M), Y' = Y (3 - M Y^2) / 2, products rounded toward minus infinity: y holds Y in
// Q30, so y^2 in Q31 is Y^2/4, h = M/2 in Q31, and 0.375 - h y^2 = (3 - M Y^2)/8 is scaled back by 4.
int64_t newtonStep(int64_t y, int64_t h)
{
    const int64_t y2 = std::min<int64_t>((y * y) >> 31, INT32_MAX);
    const int64_t c = std::min<int64_t>(0x30000000 - ((h * y2) >> 31), INT32_MAX);
    return kve_saturate64(4 * ((y * c) >> 31));
}

} // namespace

// dst = sqrt(x) in Q31 for x >= 0 (negative inputs have no defined result). x is normalised by an even number s of
// left shifts to a mantissa m, 1/sqrt(m) is seeded by the float bit trick and refined by two Newton steps,
// sqrt(m) = m / sqrt(m) is doubled with saturation, and s/2 right shifts undo the normalisation.
extern "C" void kve_vecSqrtFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const Fract32 x = src[i * srcInc];
        const int k = __builtin_clrsb(x);
        const int s = k & ~1; // even, so that halving it undoes the normalisation; 30 for 0 and -1
        const auto m = static_cast<Fract32>(static_cast<uint32_t>(x) << s);
        const int64_t h = m >> 1;
        const uint32_t seedBits = 0x5F3759DFu - (std::bit_cast<uint32_t>(static_cast<float>(m) * 4.656613e-10f) >> 1);
        const int64_t y0 = kve_truncateToInt32(0x1p30f * std::bit_cast<float>(seedBits));
        const int64_t y2 = newtonStep(newtonStep(y0, h), h);
        const int64_t r = (int64_t{m} * y2) >> 31;
        const Fract32 root = r >= INT32_MAX ? INT32_MAX : kve_saturate64(2 * r);
        dst[i * dstInc] = root >> (s / 2);
    }
}
