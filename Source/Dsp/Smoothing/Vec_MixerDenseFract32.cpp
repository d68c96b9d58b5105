#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

namespace {

// a + b, held at the ends of the 64-bit range instead of wrapping.
int64_t addSaturating64(int64_t a, int64_t b)
{
    int64_t sum;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b < 0 ? INT64_MIN : INT64_MAX;
    }
    return sum;
}

// A sum of full Q2.62 products taken back to Q1.31 with the gain's shift: sum x 2^(postShift - 31), rounded toward
// minus infinity and saturated to the Fract32 range, whatever the shift count.
Fract32 scaleSum(int64_t sum, int32_t postShift)
{
    const int64_t right = 31 - int64_t{postShift};
    if (right >= 0) {
        return kve_saturate64(sum >> (right > 63 ? 63 : right));
    }
    const int64_t left = -right;
    if (left > 31) {
        return sum == 0 ? 0 : (sum > 0 ? INT32_MAX : INT32_MIN);
    }
    // Beyond 32 bits the shifted sum saturates anyway, so it is held there first and the shift cannot overflow.
    return kve_saturate64(int64_t{kve_saturate64(sum)} * (int64_t{1} << left));
}

} // namespace

// Interleaved frames: dst[t][j] = (sum over i of src[t][i] x gains[j x numIn + i]) x 2^(postShift - 31), the
// matrix output-major. The full 64-bit products are summed in input order with a saturating 64-bit sum, and the
// shifted sum saturates to the Fract32 range, so a mix that exceeds full scale clips instead of wrapping to the
// opposite sign. numIn = 0 gives zeros.
extern "C" void kve_vecMixerDenseFract32(const Fract32 *src, int32_t numIn, Fract32 *dst, int32_t numOut,
                                         const Fract32 *gains, int32_t postShift, int32_t n)
{
    if (numIn < 0 || numOut < 1 || n < 1) {
        return;
    }
    const ptrdiff_t inputs = numIn;
    const ptrdiff_t outputs = numOut;
    for (ptrdiff_t t = 0; t < n; ++t) {
        const Fract32 *x = src + t * inputs;
        Fract32 *y = dst + t * outputs;
        for (ptrdiff_t j = 0; j < outputs; ++j) {
            const Fract32 *row = gains + j * inputs;
            int64_t sum = 0;
            for (ptrdiff_t i = 0; i < inputs; ++i) {
                sum = addSaturating64(sum, int64_t{x[i]} * row[i]);
            }
            y[j] = scaleSum(sum, postShift);
        }
    }
}
