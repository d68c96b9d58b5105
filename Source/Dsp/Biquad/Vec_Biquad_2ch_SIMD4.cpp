#include <cstddef>
#include <cstdint>

#include "Dsp/Biquad/BiquadFloat.h"
#include "kve/kve_vec.h"

// Direct-form-II sections on the channels of interleaved frames, one channel per lane: each channel gets, bit for
// bit, what kve_vecBiquad and kve_vecBiquadCascade give it alone.

// One section on both channels, one coefficient set; state w1, w2 of channel 0, then of channel 1.
extern "C" void kve_vecBiquad_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                                  float *state, int32_t n)
{
    const KveBiquadLanes<2> bank = {{coeffs, coeffs}, {state, state + 2}, 2, 1};
    kve_runLaneCascade<KveDf2Section<float32x4_t>, 2>(src, srcInc, dst, dstInc, bank, 1, n);
}

// One section on all four channels in one pass, one coefficient set; two state words per channel, channel 0 first:
// what the two-channel kernel on channels 0-1 and then on channels 2-3 gives.
extern "C" void kve_vecBiquad_4ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                                  float *state, int32_t n)
{
    const KveBiquadLanes<4> bank = {{coeffs, coeffs, coeffs, coeffs}, {state, state + 2, state + 4, state + 6}, 2, 1};
    kve_runLaneCascade<KveDf2Section<float32x4_t>, 4>(src, srcInc, dst, dstInc, bank, 1, n);
}

// Both channels through one cascade; state planar, channel 1's from 2 x numStages words on.
extern "C" void kve_vecBiquadCascade_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                         const float *coeffs, float *state, int32_t numStages, int32_t n)
{
    kve_vecBiquadNCascade_2ch(src, srcInc, dst, dstInc, coeffs, coeffs, state, numStages, n);
}

// As the two-channel cascade, channel 0 through coeffs0 and channel 1 through coeffs1.
extern "C" void kve_vecBiquadNCascade_2ch(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                          const float *coeffs0, const float *coeffs1, float *state,
                                          int32_t numStages, int32_t n)
{
    if (numStages < 1) {
        return;
    }
    const KveBiquadLanes<2> bank = {{coeffs0, coeffs1}, {state, state + 2 * static_cast<ptrdiff_t>(numStages)}, 2, 1};
    kve_runLaneCascade<KveDf2Section<float32x4_t>, 2>(src, srcInc, dst, dstInc, bank, numStages, n);
}
