#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Dsp/SmoothHold.h"
#include "kve/kve_vec.h"

// dst = src x g, g moved toward target before every sample: g = g x (1 - coeff) + coeff x target, one fused
// multiply-add. A gain within 1e-10 of the target is held for the whole call and not stored back.
extern "C" void kve_vecScaleSmooth(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *gainState,
                                   float target, float coeff, int32_t n)
{
    if (n < 1) {
        return;
    }
    float g = *gainState;
    if (kve_smoothHolds(g, target)) {
        kve_vecScale(src, srcInc, dst, dstInc, g, n);
        return;
    }
    const float keep = 1.0f - coeff;
    const float pull = coeff * target;
    for (ptrdiff_t i = 0; i < n; ++i) {
        g = std::fma(g, keep, pull);
        dst[i * dstInc] = src[i * srcInc] * g;
    }
    *gainState = g;
}

// dst = dst + src x g (fused), g moved as in kve_vecScaleSmooth, with the same hold.
extern "C" void kve_vecScaleAddSmooth(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *gainState,
                                      float target, float coeff, int32_t n)
{
    if (n < 1) {
        return;
    }
    float g = *gainState;
    if (kve_smoothHolds(g, target)) {
        kve_vecScaleAdd(src, srcInc, dst, dstInc, g, n);
        return;
    }
    const float keep = 1.0f - coeff;
    const float pull = coeff * target;
    for (ptrdiff_t i = 0; i < n; ++i) {
        g = std::fma(g, keep, pull);
        dst[i * dstInc] = std::fma(src[i * srcInc], g, dst[i * dstInc]);
    }
    *gainState = g;
}

// Interleaved frames, dst = dst + src x g: within 1e-10 of the target, every sample at the target gain, which is
// stored; otherwise each channel glides from the gain at entry, and the last channel's gain is stored (all channels
// reach the same one).
extern "C" void kve_vecScaleAddSmooth_Nch(const float *src, float *dst, int32_t numChannels, float *gainState,
                                          float target, float coeff, int32_t n)
{
    if (numChannels < 1 || n < 1) {
        return;
    }
    const float entry = *gainState;
    if (kve_smoothHolds(entry, target)) {
        // The frames are one contiguous vector; one longer than a count can reach is taken in parts.
        const int64_t total = int64_t{numChannels} * n;
        for (int64_t done = 0; done < total; done += INT32_MAX) {
            const int64_t part = total - done < INT32_MAX ? total - done : INT32_MAX;
            kve_vecScaleAdd(src + done, 1, dst + done, 1, target, static_cast<int32_t>(part));
        }
        *gainState = target;
        return;
    }
    float g = entry;
    for (int32_t k = 0; k < numChannels; ++k) {
        g = entry;
        kve_vecScaleAddSmooth(src + k, numChannels, dst + k, numChannels, &g, target, coeff, n);
    }
    *gainState = g;
}
