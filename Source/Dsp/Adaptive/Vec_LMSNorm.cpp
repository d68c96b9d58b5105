#include <cstddef>

#include "Dsp/Adaptive/Adaptive.h"
#include "kve/kve_vec.h"

// The LMS filter with its weights held: out = sum of weights[j] x the sample j steps old, walked from the oldest
// sample to the newest, err = desired - out. The ring's energy runs on in *energy, (E - old^2) + x^2 per sample, for
// the caller that normalises with it. The weights are only read, so a caller may share them.
extern "C" void kve_vecLMSNorm(const float *src, const float *desired, float *out, float *err, float *weights,
                               float *state, int32_t *stateIndex, int32_t n, int32_t numTaps, float *energy)
{
    if (n < 1) {
        return;
    }
    if (numTaps < 1) {
        kve_lmsNoTaps(desired, out, err, n, 1);
        return;
    }
    float e2 = *energy;
    int32_t index = kve_firRingStart(*stateIndex, numTaps);
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float x = src[i];
        const float old = state[index];
        state[index] = x;
        e2 = (e2 - old * old) + x * x;
        index = index + 1 == numTaps ? 0 : index + 1;

        float y = 0.0f;
        int32_t pos = index;
        for (int32_t j = numTaps - 1; j >= 0; --j) {
            y = std::fma(weights[j], state[pos], y);
            pos = pos + 1 == numTaps ? 0 : pos + 1;
        }
        const float e = desired[i] - y;
        out[i] = y;
        err[i] = e;
    }
    *energy = e2;
    *stateIndex = index;
}
