#include <cmath>
#include <cstddef>

#include "kve/kve_vec.h"

// Per output: decimation samples enter the ring at *stateIndex, and the output is the sum over j of coeffs[j] x the
// sample j steps before the first of them, so output m lines up with input m x decimation. The first tap is a plain
// product, each further one a fused multiply-add in tap order. The index ends past the samples written.
extern "C" void kve_vecFIR_Decimate(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                                    float *state, int32_t *stateIndex, int32_t nOut, int32_t numTaps,
                                    int32_t stateLen, int32_t decimation)
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
        int32_t pos = aligned;
        float sum = coeffs[0] * state[pos];
        for (int32_t j = 1; j < numTaps; ++j) {
            pos = pos == 0 ? stateLen - 1 : pos - 1;
            sum = std::fma(coeffs[j], state[pos], sum);
        }
        dst[m * dstInc] = sum;
    }
    *stateIndex = index;
}
