#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

namespace {

// The sum scaled by 2^postShift and saturated to 32 bits. Counts beyond the word act as the exact scaling would:
// far right the sum becomes 0 or -1, far left any nonzero sum saturates.
Fract32 scaleSum(int64_t sum, int32_t postShift)
{
    if (postShift <= 0) {
        return kve_saturate64(sum >> std::min<int64_t>(-int64_t{postShift}, 63));
    }
    if (sum < INT32_MIN || sum > INT32_MAX) {
        return kve_saturate64(sum);
    }
    return kve_saturate64(sum * (int64_t{1} << std::min(postShift, 32)));
}

} // namespace

// dst = (coeffs[N-1] + coeffs[N-2] x + ... + coeffs[0] x^(N-1)) x 2^postShift, in power form: the powers of x and
// each term are Fract32 products rounded toward minus infinity and held below 0x7FFFFFFF, summed in 64 bits; the
// sum is shifted (left for a positive postShift, right arithmetically otherwise) and saturated. No coefficients
// give 0.
extern "C" void kve_vecPolynomialFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                         int32_t numCoeffs, const Fract32 *coeffs, int32_t postShift, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const int64_t x = src[i * srcInc];
        int64_t sum = numCoeffs > 0 ? coeffs[numCoeffs - 1] : 0;
        int64_t power = x;
        for (int32_t k = numCoeffs - 2; k >= 0; --k) {
            sum += std::min<int64_t>((power * coeffs[k]) >> 31, INT32_MAX);
            power = std::min<int64_t>((power * x) >> 31, INT32_MAX);
        }
        dst[i * dstInc] = scaleSum(sum, postShift);
    }
}
