#include <cstddef>

#include "Dsp/Fir/Fir.h"
#include "kve/kve_vec.h"

// Per input: the sample enters the ring at *stateIndex, and each phase p gives one output: the Fract32 products of
// coeffs[p + j x interpolation] and the sample j steps old, summed in 64 bits, scaled by 2^postShift and saturated.
extern "C" void kve_vecFIR_InterpolateFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                              const Fract32 *coeffs, Fract32 *state, int32_t *stateIndex,
                                              int32_t stateLen, int32_t nIn, int32_t interpolation,
                                              int32_t tapsPerPhase, int32_t postShift)
{
    if (nIn < 1 || stateLen < 1 || interpolation < 1 || tapsPerPhase < 1) {
        return;
    }
    const ptrdiff_t phases = interpolation;
    int32_t index = *stateIndex;
    for (ptrdiff_t i = 0; i < nIn; ++i) {
        state[index] = src[i * srcInc];
        for (ptrdiff_t p = 0; p < phases; ++p) {
            const int64_t sum = kve_firRingSumFract32(state, stateLen, index, coeffs + p, phases, tapsPerPhase);
            dst[(i * phases + p) * dstInc] = kve_firScaleSum(sum, postShift);
        }
        index = index + 1 == stateLen ? 0 : index + 1;
    }
    *stateIndex = index;
}
