#include <cstddef>

#include "Dsp/Adaptive/Adaptive.h"
#include "kve/kve_vec.h"

// LMS over a ring of numTaps Fract32 samples: out = the Fract32 products of weights[j] and the sample j steps old,
// summed in 64 bits, scaled by 2^postShift and saturated; err = desired - out, saturated; then every weight adds
// floor(sample x g / 2^31), saturated, g being the product of err and the step mu x 2^-postShift. The step takes the
// post-shift the other way so that a weight scaled down by it adapts at the rate mu.
extern "C" void kve_vecLMSFract32(const Fract32 *src, const Fract32 *desired, Fract32 *out, Fract32 *err,
                                  Fract32 *weights, Fract32 *state, int32_t *stateIndex, int32_t postShift, int32_t n,
                                  int32_t numTaps, Fract32 mu)
{
    if (n < 1) {
        return;
    }
    if (numTaps < 1) {
        kve_lmsNoTaps(desired, out, err, n, 1);
        return;
    }
    const Fract32 step = kve_saturate64(kve_shiftProduct64(mu, -static_cast<int32_t>(static_cast<int16_t>(postShift))));
    int32_t index = kve_firRingStart(*stateIndex, numTaps);
    for (ptrdiff_t i = 0; i < n; ++i) {
        state[index] = src[i];
        const Fract32 y = kve_firScaleSum(kve_firRingSumFract32(state, numTaps, index, weights, 1, numTaps), postShift);
        const Fract32 e = kve_subFract32(desired[i], y);
        out[i] = y;
        err[i] = e;
        const int64_t g = kve_mulFract32(step, e);
        int32_t pos = index;
        for (int32_t j = 0; j < numTaps; ++j) {
            weights[j] = kve_saturate64(weights[j] + ((state[pos] * g) >> 31));
            pos = pos == 0 ? numTaps - 1 : pos - 1;
        }
        index = index + 1 == numTaps ? 0 : index + 1;
    }
    *stateIndex = index;
}
