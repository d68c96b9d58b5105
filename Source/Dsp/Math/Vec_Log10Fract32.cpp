#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = log10 |x| with input and output read with 23 fractional bits (1.0 is 0x00800000); 0 gives 0x80000000. |x|
// (0x80000000 taken as 0x7FFFFFFF) is normalised to a mantissa m in [0.5, 1) with its top bit at bit 30 after k
// left shifts; log2 m comes from a cubic with 26 fractional bits (products rounded toward minus infinity), and
// (log2 m - k + 8) x log10(2)/8 scales the result to 23 fractional bits.
extern "C" void kve_vecLog10Fract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n)
{
    const Fract32 *c = log2_coeff_fract32;
    for (ptrdiff_t i = 0; i < n; ++i) {
        const Fract32 x = src[i * srcInc];
        if (x == 0) {
            dst[i * dstInc] = INT32_MIN;
            continue;
        }
        const Fract32 a = kve_absFract32(x);
        const int k = __builtin_clz(static_cast<uint32_t>(a)) - 1;
        const auto m = static_cast<Fract32>(static_cast<uint32_t>(a) << k);
        const Fract32 log2m =
            c[3] + kve_mulFract32(m, c[2] + kve_mulFract32(m, c[1] + kve_mulFract32(c[0], m)));
        const int64_t log2x = int64_t{log2m} - int64_t{k} * (1 << 26) + 0x20000000;
        dst[i * dstInc] = static_cast<Fract32>((log2x * 80807124) >> 31);
    }
}
