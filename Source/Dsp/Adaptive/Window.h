// The window of outputs shared by the convolution and correlation kernels.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

// Outputs k = start .. start + numOut - 1 of the full convolution (a[k - j]) or correlation (a[k - (bLen - 1) + j])
// of a and b, each the fused multiply-adds of b[j] x its a term from 0 in increasing j over the terms that exist;
// k below 0 gives 0, and the window stops at the last output of the full result. Positions are formed in 64 bits so
// that no start or count can wrap them.
static inline void kve_windowSums(const float *a, int32_t aInc, int32_t aLen, const float *b, int32_t bInc,
                                  int32_t bLen, float *dst, int32_t dstInc, int32_t numOut, int32_t start,
                                  bool correlate)
{
    if (aLen < 1 || bLen < 1 || numOut < 1) {
        return;
    }
    const int64_t lastK = static_cast<int64_t>(aLen) + bLen - 2;
    const int64_t endK = static_cast<int64_t>(start) + numOut;
    const int64_t stopK = endK <= lastK + 1 ? endK : lastK + 1;
    // Output k reads a[k + shift + sign x j].
    const int64_t shift = correlate ? 1 - static_cast<int64_t>(bLen) : 0;
    const int64_t sign = correlate ? 1 : -1;
    for (int64_t k = start; k < stopK; ++k) {
        float sum = 0.0f;
        if (k >= 0) {
            // The j for which the a index lies in 0 .. aLen - 1, within 0 .. bLen - 1.
            const int64_t base = k + shift;
            int64_t lo = correlate ? -base : base - (aLen - 1);
            int64_t hi = correlate ? aLen - 1 - base : base;
            lo = lo > 0 ? lo : 0;
            hi = hi < bLen - 1 ? hi : bLen - 1;
            for (int64_t j = lo; j <= hi; ++j) {
                sum = std::fma(b[j * bInc], a[(base + sign * j) * aInc], sum);
            }
        }
        dst[(k - start) * dstInc] = sum;
    }
}
