#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = 1/x with 31 - shift fractional bits: x is normalised over its k redundant sign bits to m, 2^30 / m is
// formed in single precision and converted to Q31 (truncated, saturated), then shifted by 1 - shift + k (16-bit
// count; left saturates, right is arithmetic). 0 gives 0x7FFFFFFF and -1 ulp gives 0x80000000 whatever the shift.
extern "C" void kve_vecReciprocalFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                         int32_t shift, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const Fract32 x = src[i * srcInc];
        if (x == 0) {
            dst[i * dstInc] = INT32_MAX;
            continue;
        }
        if (x == -1) {
            dst[i * dstInc] = INT32_MIN;
            continue;
        }
        const int k = __builtin_clrsb(x);
        const auto m = static_cast<Fract32>(static_cast<uint32_t>(x) << k);
        const Fract32 r = kve_truncateToInt32((1073741824.0f / static_cast<float>(m)) * 2147483648.0f);
        dst[i * dstInc] = kve_shiftProductFract32(r, kve_addInt32Wrap(kve_subInt32Wrap(1, shift), k));
    }
}
