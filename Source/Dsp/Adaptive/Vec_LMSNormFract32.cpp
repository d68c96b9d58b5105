#include <cstddef>
#include <cstring>

#include "Dsp/Adaptive/Adaptive.h"
#include "kve/kve_vec.h"

namespace {

Fract32 clampTo32(__int128 v)
{
    return v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : static_cast<Fract32>(v));
}

// The sum of full 64-bit products scaled by 2^(postShift - 31), rounded toward minus infinity, saturated. The sum
// is kept in 128 bits so that no number of full-scale products can wrap it.
Fract32 scaleFullSum(__int128 sum, int32_t postShift)
{
    const int64_t right = 31 - static_cast<int64_t>(postShift);
    if (right >= 0) {
        return clampTo32(sum >> (right > 127 ? 127 : right));
    }
    return kve_saturate64(kve_shiftProduct64(clampTo32(sum), right < -63 ? 63 : static_cast<int32_t>(-right)));
}

} // namespace

// Normalised LMS on a linear history of numTaps - 1 + n words, weight k multiplying history word i + k for output i.
// Per sample the window's Q31 energy drops the leaving sample's square (rounded up) and takes the new one's (rounded
// down), saturated; out = the full-product sum x 2^(postShift - 31), saturated; err = desired - out, saturated; the
// step is the Fract32 product of err and mu times the reciprocal of the energy + 256 (the 256 keeps a silent window
// from an unbounded step), saturated; each weight adds floor(sample x step / 2^31) with its lowest bit cleared,
// saturated. Energy and leaving sample are stored back and the last numTaps - 1 words move to the front.
extern "C" void kve_vecLMSNormFract32(const Fract32 *src, const Fract32 *desired, Fract32 *out, Fract32 *err,
                                      Fract32 *history, Fract32 *weights, Fract32 *energy, Fract32 *leaving,
                                      int32_t n, int32_t inc, int32_t numTaps, Fract32 mu, int32_t postShift)
{
    if (n < 1) {
        return;
    }
    if (numTaps < 1) {
        kve_lmsNoTaps(desired, out, err, n, inc);
        return;
    }
    const ptrdiff_t kept = numTaps - 1;
    int64_t e2 = *energy;
    int64_t gone = *leaving;
    for (ptrdiff_t i = 0; i < n; ++i) {
        const int64_t x = src[i * inc];
        history[kept + i] = static_cast<Fract32>(x);
        e2 = kve_saturate64(e2 - ((gone * gone + INT32_MAX) >> 31) + ((x * x) >> 31));

        const Fract32 *window = history + i;
        __int128 sum = 0;
        for (ptrdiff_t k = 0; k <= kept; ++k) {
            sum += static_cast<int64_t>(window[k]) * weights[k];
        }
        const Fract32 y = scaleFullSum(sum, postShift);
        const Fract32 e = kve_subFract32(desired[i * inc], y);
        out[i * inc] = y;
        err[i * inc] = e;

        Fract32 recip = 0;
        kve_vecRecipFract32(kve_addFract32(static_cast<Fract32>(e2), 256), &recip);
        const int64_t step = kve_saturate64((static_cast<int64_t>(kve_mulFract32(e, mu)) * recip) >> 31);
        for (ptrdiff_t k = 0; k <= kept; ++k) {
            weights[k] = kve_saturate64(weights[k] + (((window[k] * step) >> 31) & ~int64_t{1}));
        }
        gone = window[0];
    }
    *energy = static_cast<Fract32>(e2);
    *leaving = static_cast<Fract32>(gone);
    std::memmove(history, history + n, static_cast<size_t>(kept) * sizeof(Fract32));
}
