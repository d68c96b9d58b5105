#include <algorithm>
#include <cstddef>

#include "Dsp/Adaptive/Adaptive.h"
#include "kve/kve_vec.h"

// Normalised LMS over a ring of numTaps samples: out = sum of weights[j] x the sample j steps old, err = desired -
// out, then every weight moves by err x mu / (E + 0.001) times its sample, E being the energy of the ring (summed
// afresh here, then kept running per sample). The 0.001 keeps a silent ring from dividing by zero.
//
// For the call the weights are held in reverse order, so that weight and sample positions both run upward from the
// oldest sample and every tap loop is a plain four-lane walk over contiguous words; they are put back at the end.
extern "C" void kve_vecLMS(const float *desired, const float *src, float *out, float *err, float *weights,
                           float *state, int32_t *stateIndex, int32_t n, float mu, int32_t numTaps)
{
    if (n < 1) {
        return;
    }
    if (numTaps < 1) {
        kve_lmsNoTaps(desired, out, err, n, 1);
        return;
    }
    const ptrdiff_t taps = numTaps;
    float energy = 0.0f;
    for (ptrdiff_t k = 0; k < taps; ++k) {
        energy = energy + state[k] * state[k];
    }
    std::reverse(weights, weights + taps);
    int32_t index = kve_firRingStart(*stateIndex, numTaps);
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float x = src[i];
        const float old = state[index];
        state[index] = x;
        energy = energy + (x * x - old * old);
        index = index + 1 == numTaps ? 0 : index + 1;

        // The oldest sample now sits at index: the words from there to the end meet the first weights, the words
        // before it the rest.
        const ptrdiff_t run = taps - index;
        const float y = kve_lmsDot(weights, state + index, run) + kve_lmsDot(weights + run, state, index);
        const float e = desired[i] - y;
        out[i] = y;
        err[i] = e;
        // A step of 0 holds the weights outright, so a caller that freezes adaptation keeps them even through an
        // infinite or NaN sample.
        if (mu != 0.0f) {
            const float g = (e * mu) / (energy + 0.001f);
            kve_lmsStep(weights, state + index, g, run);
            kve_lmsStep(weights + run, state, g, index);
        }
    }
    std::reverse(weights, weights + taps);
    *stateIndex = index;
}
