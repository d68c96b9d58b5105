#include <cstdint>

#include "Dsp/Biquad/BiquadFloat.h"
#include "kve/kve_vec.h"

// One state-space section from design_sos2ss parameters c0..c4; state s0, s1. y = fma(c3, x, s0);
// s0' = fma(c1, s0, fma(c4, x, s1)); s1' = fma(c1, s1, fma(c2, s0, c0 x)).
extern "C" void kve_vecBiquadSS(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                                float *state, int32_t n)
{
    kve_runCascade<KveStateSpaceSection<float>>(src, srcInc, dst, dstInc, coeffs, state, 1, n);
}

// The same as kve_vecBiquadSS.
extern "C" void kve_vecBiquadHP(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                                float *state, int32_t n)
{
    kve_runCascade<KveStateSpaceSection<float>>(src, srcInc, dst, dstInc, coeffs, state, 1, n);
}

// numStages state-space sections, two state words each.
extern "C" void kve_vecBiquadCascadeSS(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                       const float *coeffs, float *state, int32_t numStages, int32_t n)
{
    kve_runCascade<KveStateSpaceSection<float>>(src, srcInc, dst, dstInc, coeffs, state, numStages, n);
}

// The same as kve_vecBiquadCascadeSS.
extern "C" void kve_vecBiquadCascadeHP(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                       const float *coeffs, float *state, int32_t numStages, int32_t n)
{
    kve_runCascade<KveStateSpaceSection<float>>(src, srcInc, dst, dstInc, coeffs, state, numStages, n);
}
