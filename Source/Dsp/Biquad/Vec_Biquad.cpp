#include <cstdint>

#include "Dsp/Biquad/BiquadFloat.h"
#include "kve/kve_vec.h"

// One direct-form-II section; state w[n-1], w[n-2]. y = fma(b0, x, fma(d1, w1, d2 w2)) with d1 = b1 - a1 b0,
// d2 = b2 - a2 b0; w = fma(-a2, w2, -a1 w1) + x.
extern "C" void kve_vecBiquad(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                              float *state, int32_t n)
{
    kve_runCascade<KveDf2Section<float>>(src, srcInc, dst, dstInc, coeffs, state, 1, n);
}

// numStages direct-form-II sections, two state words each.
extern "C" void kve_vecBiquadCascade(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                     const float *coeffs, float *state, int32_t numStages, int32_t n)
{
    kve_runCascade<KveDf2Section<float>>(src, srcInc, dst, dstInc, coeffs, state, numStages, n);
}
