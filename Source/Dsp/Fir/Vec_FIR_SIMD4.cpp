// GCC's predictive commoning would carry the overlapping window loads from one tap to the next in registers; with
// sixteen vector registers that pushes the accumulators out to memory and halves the speed of the tap loop. Set
// before every include, so all functions of this source are compiled alike and inline into one another.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-predictive-commoning")
#endif

#include <cstddef>
#include <cstring>

#include "Dsp/Fir/Fir.h"
#include "kve/kve_vec.h"

// dst[i] = sum over k of coeffs[k] x history[i + k], the history being the numTaps - 1 samples kept at the front of
// state followed by this block; the last numTaps - 1 samples then move to the front for the next call. Even and odd
// taps in two chains of fused multiply-adds per output, added at the end; outputs sixteen at a time, then four, then
// one by one, all by the same operations.
extern "C" void kve_vecFIR(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                           float *state, int32_t n, int32_t numTaps)
{
    if (n < 1 || numTaps < 1) {
        return;
    }
    const ptrdiff_t kept = numTaps - 1;
    const ptrdiff_t count = n;
    for (ptrdiff_t i = 0; i < count; ++i) {
        state[kept + i] = src[i * srcInc];
    }
    ptrdiff_t i = 0;
    float y[16];
    for (; count - i >= 16; i += 16) {
        kve_firConsecutiveSums<4>(state + i, coeffs, 1, numTaps, y);
        for (ptrdiff_t o = 0; o < 16; ++o) {
            dst[(i + o) * dstInc] = y[o];
        }
    }
    for (; count - i >= 4; i += 4) {
        kve_firConsecutiveSums<1>(state + i, coeffs, 1, numTaps, y);
        for (ptrdiff_t o = 0; o < 4; ++o) {
            dst[(i + o) * dstInc] = y[o];
        }
    }
    for (; i < count; ++i) {
        dst[i * dstInc] = kve_firConsecutiveSum(state + i, coeffs, 1, numTaps);
    }
    std::memmove(state, state + count, static_cast<size_t>(kept) * sizeof(float));
}
