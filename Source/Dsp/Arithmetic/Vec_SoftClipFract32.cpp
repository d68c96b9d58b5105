#include <algorithm>
#include <cstdlib>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// The float soft-clip curve t + (L - t)(|x| - t)/(|x| + L - 2t) on Fract32 samples (t = threshold, L = limit), worked
// at half scale so that no intermediate overflows. Samples with |x| below t pass, and so does 0x80000000, whose
// magnitude does not fit; the output takes the sign of x.
static inline Fract32 softClipSample(Fract32 x, Fract32 threshold, Fract32 limit)
{
    const int32_t magnitude = static_cast<int32_t>(std::llabs(x)); // 0x80000000 stays negative
    if (magnitude < threshold) {
        return x;
    }
    const int32_t excess = kve_subInt32Wrap(magnitude, threshold);
    const int32_t span = kve_subInt32Wrap(limit, threshold);
    const int32_t halfDenominator = (span >> 1) + (excess >> 1); // (|x| + L - 2t) / 2
    const float denominator =
        halfDenominator < -0x40000000 ? -1.0f : kve_fract32ToFloat(2 * std::min(halfDenominator, 0x3FFFFFFF));
    const Fract32 q = kve_rounded(kve_fract32ToFloat(excess) / denominator);
    // span x q rounded half up to Q31, then halved and added to half the threshold.
    const int32_t bent = static_cast<int32_t>((static_cast<int64_t>(span) * q + 0x40000000) >> 31);
    const int32_t halfResult = (threshold >> 1) + (bent >> 1);
    const int32_t y = halfResult < -0x40000000 ? INT32_MIN : std::min(limit, 2 * std::min(halfResult, 0x3FFFFFFF));
    return x < 0 ? kve_subInt32Wrap(0, y) : y;
}

// dst = the soft-clipped src, both contiguous; the parameters come before the output.
extern "C" void kve_vecSoftClipFract32(const Fract32 *src, Fract32 threshold, Fract32 limit, Fract32 *dst, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = softClipSample(src[i], threshold, limit);
    }
}
