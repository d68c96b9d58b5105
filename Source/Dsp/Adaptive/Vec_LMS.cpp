#include <algorithm>
#include <cstddef>

#include "Dsp/Adaptive/Adaptive.h"
#include "kve/kve_vec.h"

// Normalised LMS over a ring of numTaps samples: out = sum of weights[j] x the sample j steps old, err = desired -
// out, then every weight moves by err x mu / (E + 0.001) times its sample, E being the energy of the ring (summed
// afresh here, then kept running per sample). The 0.001 keeps a silent ring from dividing by zero; a step of 0 holds
// the weights outright, so a caller that freezes adaptation keeps them even through an infinite or NaN sample.
//
// For the call the weights are held in reverse order, so that weight m meets the ring word m places on from the
// oldest sample and every tap loop is a plain four-lane walk over contiguous words; they are put back at the end.
// Each sample's weight step is taken in the same pass as the next sample's output, which reads the ring one word
// further on: the pass is split where either walk wraps.
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
    ptrdiff_t oldest = kve_firRingStart(*stateIndex, numTaps);
    float g = 0.0f;
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float x = src[i];
        const float old = state[oldest];
        state[oldest] = x;
        energy = energy + (x * x - old * old);

        // Weight m meets ring word oldest + 1 + m now, and met word oldest + m (the one just replaced, for m = 0)
        // at the previous sample, whose step g is still to be taken.
        float y = 0.0f;
        ptrdiff_t now = oldest + 1 == taps ? 0 : oldest + 1;
        if (i == 0 || mu == 0.0f) {
            const ptrdiff_t run = taps - now;
            y = kve_lmsDot(weights, state + now, run) + kve_lmsDot(weights + run, state, now);
        } else {
            weights[0] = std::fma(g, old, weights[0]);
            y = weights[0] * state[now];
            ptrdiff_t before = now;
            now = now + 1 == taps ? 0 : now + 1;
            for (ptrdiff_t m = 1; m < taps;) {
                const ptrdiff_t room = std::min(taps - before, taps - now);
                const ptrdiff_t run = std::min(room, taps - m);
                y += kve_lmsStepDot(weights + m, state + before, state + now, g, run);
                m += run;
                before = before + run == taps ? 0 : before + run;
                now = now + run == taps ? 0 : now + run;
            }
        }
        oldest = oldest + 1 == taps ? 0 : oldest + 1;
        const float e = desired[i] - y;
        out[i] = y;
        err[i] = e;
        g = mu == 0.0f ? 0.0f : (e * mu) / (energy + 0.001f);
    }
    if (mu != 0.0f) {
        const ptrdiff_t run = taps - oldest;
        kve_lmsStep(weights, state + oldest, g, run);
        kve_lmsStep(weights + run, state, g, oldest);
    }
    std::reverse(weights, weights + taps);
    *stateIndex = static_cast<int32_t>(oldest);
}
