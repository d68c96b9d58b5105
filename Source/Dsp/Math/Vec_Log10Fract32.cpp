#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "Dsp/Math/Log2Fract32.h"
#include "kve/kve_vec.h"

// dst = log10 |x| with input and output read with 23 fractional bits (1.0 is 0x00800000); 0 gives 0x80000000. The
// base-2 logarithm with 26 fractional bits times log10(2)/8 scales the result to 23 fractional bits.
extern "C" void kve_vecLog10Fract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const Fract32 x = src[i * srcInc];
        dst[i * dstInc] = x == 0 ? INT32_MIN : static_cast<Fract32>((kve_log2Fract32Q26(x) * 80807124) >> 31);
    }
}
