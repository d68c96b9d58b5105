#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Dsp/Smoothing/SmoothHold.h"
#include "kve/kve_vec.h"

namespace {

// dst = dst + src x gain over a contiguous vector of any length, taken in parts that a count can reach.
void scaleAddLong(const float *src, float *dst, int64_t total, float gain)
{
    for (int64_t done = 0; done < total; done += INT32_MAX) {
        const int64_t part = total - done < INT32_MAX ? total - done : INT32_MAX;
        kve_vecScaleAdd(src + done, 1, dst + done, 1, gain, static_cast<int32_t>(part));
    }
}

} // namespace

// dst = src x g, g moved toward target before every sample: g = g x (1 - coeff) + coeff x target, one fused
// multiply-add. A gain within 1e-10 of the target is held for the whole call and not stored back. Once a step leaves
// g unchanged (at entry too) the remaining samples are scaled by it as a plain scale does: the same products, without
// the chain of steps.
extern "C" void kve_vecScaleSmooth(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *gainState,
                                   float target, float coeff, int32_t n)
{
    if (n < 1) {
        return;
    }
    float g = *gainState;
    const float keep = 1.0f - coeff;
    const float pull = coeff * target;
    if (kve_smoothHolds(g, target) || kve_smoothRests(g, keep, pull)) {
        kve_vecScale(src, srcInc, dst, dstInc, g, n);
        return;
    }
    const ptrdiff_t i =
        kve_glideToRest(g, keep, pull, n, [&](ptrdiff_t k, float gain) { dst[k * dstInc] = src[k * srcInc] * gain; });
    if (i < n) {
        kve_vecScale(src + i * srcInc, srcInc, dst + i * dstInc, dstInc, g, static_cast<int32_t>(n - i));
    }
    *gainState = g;
}

// dst = dst + src x g (fused), g moved as in kve_vecScaleSmooth, with the same hold and the same plain scale-add once
// a step leaves g unchanged.
extern "C" void kve_vecScaleAddSmooth(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *gainState,
                                      float target, float coeff, int32_t n)
{
    if (n < 1) {
        return;
    }
    float g = *gainState;
    const float keep = 1.0f - coeff;
    const float pull = coeff * target;
    if (kve_smoothHolds(g, target) || kve_smoothRests(g, keep, pull)) {
        kve_vecScaleAdd(src, srcInc, dst, dstInc, g, n);
        return;
    }
    const ptrdiff_t i = kve_glideToRest(g, keep, pull, n, [&](ptrdiff_t k, float gain) {
        dst[k * dstInc] = std::fma(src[k * srcInc], gain, dst[k * dstInc]);
    });
    if (i < n) {
        kve_vecScaleAdd(src + i * srcInc, srcInc, dst + i * dstInc, dstInc, g, static_cast<int32_t>(n - i));
    }
    *gainState = g;
}

// Interleaved frames, dst = dst + src x g: within 1e-10 of the target, every sample at the target gain, which is
// stored; otherwise each channel glides from the gain at entry, and the last channel's gain is stored (all channels
// reach the same one). A gain at entry that the step leaves unchanged is the gain of every sample, so all channels
// are scaled and added at once.
extern "C" void kve_vecScaleAddSmooth_Nch(const float *src, float *dst, int32_t numChannels, float *gainState,
                                          float target, float coeff, int32_t n)
{
    if (numChannels < 1 || n < 1) {
        return;
    }
    const int64_t total = int64_t{numChannels} * n;
    const float entry = *gainState;
    if (kve_smoothHolds(entry, target)) {
        scaleAddLong(src, dst, total, target);
        *gainState = target;
        return;
    }
    if (kve_smoothRests(entry, 1.0f - coeff, coeff * target)) {
        scaleAddLong(src, dst, total, entry);
        return;
    }
    float g = entry;
    for (int32_t k = 0; k < numChannels; ++k) {
        g = entry;
        kve_vecScaleAddSmooth(src + k, numChannels, dst + k, numChannels, &g, target, coeff, n);
    }
    *gainState = g;
}
