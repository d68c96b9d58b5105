#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

namespace {

// One step of the Fract32 one-pole smoother: g = sat(sat(g x keep) + pull), with keep = 0x7FFFFFFF - coeff and
// pull = target x coeff. The complement is a saturating difference, so a coefficient outside 0..0x7FFFFFFF gives a
// wrong glide rather than an overflow.
struct Fract32Smoother {
    Fract32 keep;
    Fract32 pull;

    Fract32Smoother(Fract32 target, Fract32 coeff)
        : keep(kve_subFract32(INT32_MAX, coeff)), pull(kve_mulFract32(target, coeff))
    {
    }

    Fract32 step(Fract32 g) const { return kve_addFract32(kve_mulFract32(g, keep), pull); }
};

} // namespace

// dst = (src x g) scaled by 2^postShift (16-bit count; left saturates, right rounds toward minus infinity), g moved
// toward target before every sample. No hold: the recursion always runs.
extern "C" void kve_vecScaleSmoothFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                          Fract32 *gainState, Fract32 target, int32_t postShift, Fract32 coeff,
                                          int32_t n)
{
    if (n < 1) {
        return;
    }
    const Fract32Smoother smoother(target, coeff);
    Fract32 g = *gainState;
    for (ptrdiff_t i = 0; i < n; ++i) {
        g = smoother.step(g);
        dst[i * dstInc] = kve_shiftProductFract32(kve_mulFract32(src[i * srcInc], g), postShift);
    }
    *gainState = g;
}

// dst = sat(dst + (src x g) scaled by 2^postShift), the scaled product saturated before the sum; g as in
// kve_vecScaleSmoothFract32.
extern "C" void kve_vecScaleAddSmoothFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                             Fract32 *gainState, Fract32 target, int32_t postShift, Fract32 coeff,
                                             int32_t n)
{
    if (n < 1) {
        return;
    }
    const Fract32Smoother smoother(target, coeff);
    Fract32 g = *gainState;
    for (ptrdiff_t i = 0; i < n; ++i) {
        g = smoother.step(g);
        const Fract32 y = kve_shiftProductFract32(kve_mulFract32(src[i * srcInc], g), postShift);
        dst[i * dstInc] = kve_addFract32(dst[i * dstInc], y);
    }
    *gainState = g;
}

// Interleaved frames through kve_vecScaleSmoothFract32 one channel at a time, each channel gliding from the gain at
// entry; the last channel's gain is stored (all channels reach the same one).
extern "C" void kve_vecScaleSmooth_NchFract32(const Fract32 *src, Fract32 *dst, int32_t numChannels,
                                              Fract32 *gainState, Fract32 target, int32_t postShift, Fract32 coeff,
                                              int32_t n)
{
    if (numChannels < 1 || n < 1) {
        return;
    }
    const Fract32 entry = *gainState;
    Fract32 g = entry;
    for (int32_t k = 0; k < numChannels; ++k) {
        g = entry;
        kve_vecScaleSmoothFract32(src + k, numChannels, dst + k, numChannels, &g, target, postShift, coeff, n);
    }
    *gainState = g;
}
