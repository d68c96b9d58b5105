#include <cstddef>
#include <cstdint>

#include "Dsp/Biquad/BiquadFloat.h"
#include "kve/kve_vec.h"

namespace {

// One section on both channels of each frame, one channel per lane; state s0 of channel 0, s0 of channel 1, s1 of
// channel 0, s1 of channel 1.
void stateSpace2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs, float *state,
                   int32_t n)
{
    const KveBiquadLanes<2> bank = {{coeffs, coeffs}, {state, state + 1}, 4, 2};
    kve_runLaneCascade<KveStateSpaceSection<float32x4_t>, 2>(src, srcInc, dst, dstInc, bank, 1, n);
}

// Both channels through numStages sections; state planar, channel 1's from 2 x numStages words on.
void stateSpaceCascade2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                          float *state, int32_t numStages, int32_t n)
{
    if (numStages < 1) {
        return;
    }
    const KveBiquadLanes<2> bank = {{coeffs, coeffs}, {state, state + 2 * static_cast<ptrdiff_t>(numStages)}, 2, 1};
    kve_runLaneCascade<KveStateSpaceSection<float32x4_t>, 2>(src, srcInc, dst, dstInc, bank, numStages, n);
}

} // namespace

// State-space sections on two interleaved channels: each channel gets, bit for bit, what kve_vecBiquadSS and
// kve_vecBiquadCascadeSS give it alone. The HP kernels are the same as their SS twins.

extern "C" void kve_vecBiquadSS_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                    const float *coeffs, float *state, int32_t n)
{
    stateSpace2ch(src, srcInc, dst, dstInc, coeffs, state, n);
}

extern "C" void kve_vecBiquadHP_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                    const float *coeffs, float *state, int32_t n)
{
    stateSpace2ch(src, srcInc, dst, dstInc, coeffs, state, n);
}

extern "C" void kve_vecBiquadCascadeSS_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                           const float *coeffs, float *state, int32_t numStages, int32_t n)
{
    stateSpaceCascade2ch(src, srcInc, dst, dstInc, coeffs, state, numStages, n);
}

extern "C" void kve_vecBiquadCascadeHP_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                           const float *coeffs, float *state, int32_t numStages, int32_t n)
{
    stateSpaceCascade2ch(src, srcInc, dst, dstInc, coeffs, state, numStages, n);
}
