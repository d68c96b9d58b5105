#include <cstddef>

#include "Dsp/Fir/Fir.h"
#include "kve/kve_vec.h"

// Per output: decimation samples enter the ring at *stateIndex, and the output is the Fract32 products of coeffs[j]
// and the sample j steps before the first of them (so output m lines up with input m x decimation), summed in 64
// bits, scaled by 2^postShift and saturated. The index ends past the samples written, as in the float decimator, so
// any ring of at least numTaps + decimation - 1 words works.
extern "C" void kve_vecFIR_DecimateFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                           const Fract32 *coeffs, Fract32 *state, int32_t *stateIndex, int32_t nOut,
                                           int32_t numTaps, int32_t stateLen, int32_t decimation, int32_t postShift)
{
    if (nOut < 1 || numTaps < 1 || stateLen < 1 || decimation < 1) {
        return;
    }
    int32_t index = *stateIndex;
    for (ptrdiff_t m = 0; m < nOut; ++m) {
        const int32_t aligned = index;
        for (ptrdiff_t k = 0; k < decimation; ++k) {
            state[index] = src[(m * decimation + k) * srcInc];
            index = index + 1 == stateLen ? 0 : index + 1;
        }
        const int64_t sum = kve_firRingSumFract32(state, stateLen, aligned, coeffs, 1, numTaps);
        dst[m * dstInc] = kve_firScaleSum(sum, postShift);
    }
    *stateIndex = index;
}
