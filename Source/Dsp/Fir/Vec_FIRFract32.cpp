#include <cstddef>

#include "Dsp/Fir/Fir.h"
#include "kve/kve_vec.h"

// Each sample enters the ring of numTaps words at *stateIndex; dst = the Fract32 products of coeffs[j] and the
// sample j steps old, summed in 64 bits, scaled by 2^postShift and saturated.
extern "C" void kve_vecFIRFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                  const Fract32 *coeffs, Fract32 *state, int32_t n, int32_t numTaps,
                                  int32_t *stateIndex, int32_t postShift)
{
    if (n < 1 || numTaps < 1) {
        return;
    }
    int32_t index = *stateIndex;
    for (ptrdiff_t i = 0; i < n; ++i) {
        state[index] = src[i * srcInc];
        const int64_t sum = kve_firRingSumFract32(state, numTaps, index, coeffs, 1, numTaps);
        dst[i * dstInc] = kve_firScaleSum(sum, postShift);
        index = index + 1 == numTaps ? 0 : index + 1;
    }
    *stateIndex = index;
}
