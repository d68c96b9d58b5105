#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// m = 64-bit sum / n; v = sum of (x - m)² >> 31, each difference and square exact (the square of a difference of
// two words fits 64 unsigned bits, the sum of n shifted squares too); v / n saturated to 0x7FFFFFFF.
extern "C" Fract32 kve_vecVarianceFract32(const Fract32 *src, int32_t n)
{
    if (n < 1)
        return 0;
    const int64_t m = kve_sum64Fract32(src, n) / n;
    uint64_t v = 0;
    for (int32_t i = 0; i < n; ++i) {
        const int64_t d = src[i] - m;
        const auto magnitude = static_cast<uint64_t>(d < 0 ? -d : d);
        v += (magnitude * magnitude) >> 31;
    }
    const uint64_t perSample = v / static_cast<uint64_t>(n);
    return perSample > INT32_MAX ? INT32_MAX : static_cast<Fract32>(perSample);
}
