#include <cstddef>
#include <cstdint>
#include <utility>

#include "Dsp/Fft/Complex.h"
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
    const double turn = -6.2831855f; // 2 pi as the single-precision constant
    for (ptrdiff_t mmax = 2; floats > mmax; mmax *= 2) {
        const ptrdiff_t step = 2 * mmax;
        kve_TwiddleWalk w(turn / static_cast<double>(isign * mmax));
        for (ptrdiff_t m = 0; m < mmax; m += 2) {
            const auto wr = static_cast<float>(w.wr);
            const auto wi = static_cast<float>(w.wi);
            for (ptrdiff_t i = m; i < floats; i += step) {
                const ptrdiff_t j = i + mmax;
                const kve_Complex t = kve_complexMul(wr, wi, data[j], data[j + 1]);
                data[j] = data[i] - t.re;
                data[j + 1] = data[i + 1] - t.im;
                data[i] += t.re;
                data[i + 1] += t.im;
            }
            w.step();
        }
    }
    if (isign == -1) {
        // Two calls of nn floats each, so the count fits in 32 bits for every size.
        const float scale = 1.0f / static_cast<float>(nn);
        kve_vecScale(data, 1, data, 1, scale, nn);
        kve_vecScale(data + nn, 1, data + nn, 1, scale, nn);
    }
}
