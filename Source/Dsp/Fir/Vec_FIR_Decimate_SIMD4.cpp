#include <cstddef>
#include <cstring>

#include "Dsp/Fir/Fir.h"
#include "kve/kve_vec.h"

// The decimator on a linear history: dst[m] = sum over k of coeffs[k] x history[m x decimation + k], the history
// being the numTaps - 1 samples kept at the front of state followed by this block's nOut x decimation samples, which
// end with the last numTaps - 1 moved to the front. Fused multiply-adds into vector partial sums, four outputs at a
// time, then one at a time; both give the same sums. stateIndex and stateLen are not used.
extern "C" void kve_vecFIR_Decimate_SIMD4(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                          const float *coeffs, float *state, int32_t * /*stateIndex*/, int32_t nOut,
                                          int32_t numTaps, int32_t /*stateLen*/, int32_t decimation)
{
    if (nOut < 1 || numTaps < 1 || decimation < 1) {
        return;
    }
    const ptrdiff_t kept = numTaps - 1;
    const ptrdiff_t step = decimation;
    const ptrdiff_t outputs = nOut;
    const ptrdiff_t count = outputs * step;
    for (ptrdiff_t i = 0; i < count; ++i) {
        state[kept + i] = src[i * srcInc];
    }
    ptrdiff_t m = 0;
    for (; outputs - m >= 4; m += 4) {
        float y[4];
        kve_firDotProducts<4>(state + m * step, step, coeffs, numTaps, y);
        for (ptrdiff_t o = 0; o < 4; ++o) {
            dst[(m + o) * dstInc] = y[o];
        }
    }
    for (; m < outputs; ++m) {
        kve_firDotProducts<1>(state + m * step, step, coeffs, numTaps, &dst[m * dstInc]);
    }
    std::memmove(state, state + count, static_cast<size_t>(kept) * sizeof(float));
}
