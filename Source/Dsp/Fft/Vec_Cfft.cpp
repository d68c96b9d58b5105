#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "Dsp/Fft/Complex.h"
#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

namespace {

// Puts complex point p at the bit reversal of p by swapping pairs, walking the reversed counter j.
void reorder(float *data, ptrdiff_t points)
{
    const ptrdiff_t floats = 2 * points;
    ptrdiff_t j = 0;
    for (ptrdiff_t i = 0; i < floats; i += 2) {
        if (j > i) {
            std::swap(data[j], data[i]);
            std::swap(data[j + 1], data[i + 1]);
        }
        ptrdiff_t m = points;
        while (m >= 2 && j >= m) {
            j -= m;
            m >>= 1;
        }
        j += m;
    }
}

// Twiddle factors are taken from the recurrence this many at a time, rounded to single precision once, and used by
// every group of the stage, which lets four neighbouring butterflies share one register.
constexpr ptrdiff_t kTwiddleChunk = 64;

// The twiddles w^m of one stage as four interleaved recurrences, lane l giving m = l, l + 4, l + 8, ... by steps
// of e^(j 4 theta): the lanes do not wait on each other, and each takes a quarter of the steps.
class TwiddleLanes {
public:
    TwiddleLanes(const kve_Rotation &one, const kve_Rotation &four) : step_(four)
    {
        kve_TwiddleWalk single(one);
        for (int l = 0; l < 4; ++l) {
            re_[l] = single.wr;
            im_[l] = single.wi;
            single.step();
        }
    }

    // Writes the next count twiddles, rounded to single precision, rounding count up to a multiple of four.
    void fill(float *wr, float *wi, ptrdiff_t count)
    {
        for (ptrdiff_t c = 0; c < count; c += 4) {
            for (int l = 0; l < 4; ++l) {
                wr[c + l] = static_cast<float>(re_[l]);
                wi[c + l] = static_cast<float>(im_[l]);
                const double r = re_[l];
                re_[l] = r * step_.wpr - im_[l] * step_.wpi + r;
                im_[l] = im_[l] * step_.wpr + r * step_.wpi + im_[l];
            }
        }
    }

private:
    kve_Rotation step_;
    double re_[4];
    double im_[4];
};

// The butterflies at offsets 0 .. count - 1 of one group: t = w x b, b = a - t, a = a + t, with a the upper and b the
// lower half of the group; four at a time, then one by one with the same fused products.
void butterflies(float *a, float *b, const float *wr, const float *wi, ptrdiff_t count)
{
    ptrdiff_t c = 0;
    for (; count - c >= 4; c += 4) {
        const float32x4x2_t x = vld2q_f32(b + 2 * c);
        const float32x4_t r = vld1q_f32(wr + c);
        const float32x4_t i = vld1q_f32(wi + c);
        const float32x4_t tRe = vfmaq_f32(vnegq_f32(vmulq_f32(i, x.val[1])), r, x.val[0]);
        const float32x4_t tIm = vfmaq_f32(vmulq_f32(i, x.val[0]), r, x.val[1]);
        const float32x4x2_t y = vld2q_f32(a + 2 * c);
        const float32x4x2_t lower = {{vsubq_f32(y.val[0], tRe), vsubq_f32(y.val[1], tIm)}};
        const float32x4x2_t upper = {{vaddq_f32(y.val[0], tRe), vaddq_f32(y.val[1], tIm)}};
        vst2q_f32(b + 2 * c, lower);
        vst2q_f32(a + 2 * c, upper);
    }
    for (; c < count; ++c) {
        const kve_Complex t = kve_complexMul(wr[c], wi[c], b[2 * c], b[2 * c + 1]);
        b[2 * c] = a[2 * c] - t.re;
        b[2 * c + 1] = a[2 * c + 1] - t.im;
        a[2 * c] += t.re;
        a[2 * c + 1] += t.im;
    }
}

} // namespace

// In-place radix-2 FFT of nn complex points: X[k] = sum x[t] e^(-j isign 2 pi k t / nn), the inverse (isign -1)
// scaled by 1/nn. Sizes that are not a power of two and isign other than +-1 leave the data untouched.
extern "C" void kve_vecCfft(float *data, int32_t nn, int32_t isign)
{
    if (!kve_isPowerOfTwo(nn) || (isign != 1 && isign != -1)) {
        return;
    }
    reorder(data, nn);
    const ptrdiff_t floats = 2 * static_cast<ptrdiff_t>(nn);
    const int direction = isign == 1 ? 0 : 1;
    int span = 1; // log2 of mmax
    for (ptrdiff_t mmax = 2; floats > mmax; mmax *= 2, ++span) {
        const ptrdiff_t half = mmax / 2; // butterflies per group
        TwiddleLanes w(kve_fftRotations.stage[direction][span], kve_fftRotations.stageTimesFour[direction][span]);
        for (ptrdiff_t first = 0; first < half; first += kTwiddleChunk) {
            const ptrdiff_t count = std::min(kTwiddleChunk, half - first);
            float wr[kTwiddleChunk];
            float wi[kTwiddleChunk];
            w.fill(wr, wi, count);
            for (ptrdiff_t group = 0; group < floats; group += 2 * mmax) {
                float *a = data + group + 2 * first;
                butterflies(a, a + mmax, wr, wi, count);
            }
        }
    }
    if (isign == -1) {
        // Two calls of nn floats each, so the count fits in 32 bits for every size.
        const float scale = 1.0f / static_cast<float>(nn);
        kve_vecScale(data, 1, data, 1, scale, nn);
        kve_vecScale(data + nn, 1, data + nn, 1, scale, nn);
    }
}
