#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

namespace {

// Sub-block j of count over n samples (or frames): n / count long, except the last, which also takes the samples
// that do not fill a whole sub-block, so that every sample of the block is written.
struct Subblock {
    ptrdiff_t first;
    int32_t length;
};

Subblock subblock(int32_t j, int32_t count, int32_t n)
{
    const int32_t length = n / count;
    const int32_t first = j * length;
    return {first, j == count - 1 ? n - first : length};
}

} // namespace

// dst = src x gains[j] over sub-block j.
extern "C" void kve_vecScaleSubblock(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                     const float *gains, int32_t numSubblocks, int32_t n)
{
    if (numSubblocks < 1 || n < 1) {
        return;
    }
    for (int32_t j = 0; j < numSubblocks; ++j) {
        const Subblock s = subblock(j, numSubblocks, n);
        kve_vecScale(src + s.first * srcInc, srcInc, dst + s.first * dstInc, dstInc, gains[j], s.length);
    }
}

// kve_vecScaleSmooth over sub-block j toward targets[j]; the gain carries from one sub-block to the next.
extern "C" void kve_vecScaleSmoothSubblock(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                           float *gainState, const float *targets, int32_t numSubblocks, float coeff,
                                           int32_t n)
{
    if (numSubblocks < 1 || n < 1) {
        return;
    }
    for (int32_t j = 0; j < numSubblocks; ++j) {
        const Subblock s = subblock(j, numSubblocks, n);
        kve_vecScaleSmooth(src + s.first * srcInc, srcInc, dst + s.first * dstInc, dstInc, gainState, targets[j],
                           coeff, s.length);
    }
}

// kve_vecScaleSmooth_Nch over sub-block j (in frames) toward targets[j]; the gain carries from one sub-block to the
// next.
extern "C" void kve_vecScaleSmoothSubblock_Nch(const float *src, float *dst, int32_t numChannels, float *gainState,
                                               const float *targets, int32_t numSubblocks, float coeff, int32_t n)
{
    if (numChannels < 1 || numSubblocks < 1 || n < 1) {
        return;
    }
    for (int32_t j = 0; j < numSubblocks; ++j) {
        const Subblock s = subblock(j, numSubblocks, n);
        const ptrdiff_t offset = s.first * numChannels;
        kve_vecScaleSmooth_Nch(src + offset, dst + offset, numChannels, gainState, targets[j], coeff, s.length);
    }
}
