#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// Adds one input into a pair of adjacent accumulators: acc[k] += x x gainA and acc[k + 1] += x x gainB, each fused,
// k stepping by accInc floats per sample.
extern "C" void kve_vecMixerSmoothedV2b(const float *src, int32_t srcInc, float *acc, int32_t accInc, float gainA,
                                        float gainB, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float x = src[i * srcInc];
        float *pair = acc + i * accInc;
        pair[0] = std::fma(x, gainA, pair[0]);
        pair[1] = std::fma(x, gainB, pair[1]);
    }
}
