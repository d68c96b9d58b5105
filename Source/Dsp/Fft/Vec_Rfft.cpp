#include <bit>
#include <cstddef>
#include <cstdint>

#include "Dsp/Fft/Complex.h"
#include "kve/kve_vec.h"

// In-place FFT of n real samples through a complex FFT of n/2 points. The forward transform leaves data[0] = X[0],
// data[1] = X[n/2] (both real) and (Re, Im) of X[k] at 2k, 2k + 1 for k = 1 .. n/2 - 1; any isign other than 1 takes
// that layout back to the samples, scaled exactly. n not a power of two of at least 4 leaves the data untouched.
extern "C" void kve_vecRfft(float *data, int32_t n, int32_t isign)
{
    if (n < 4 || !kve_isPowerOfTwo(n)) {
        return;
    }
    const bool forward = isign == 1;
    const int32_t points = n / 2;
    const float c1 = 0.5f;
    const float c2 = forward ? -0.5f : 0.5f;
    if (forward) {
        kve_vecCfft(data, points, 1);
    }
    // Bins k and n/2 - k of the half-length transform give the two real bins k and n/2 - k of the full one.
    kve_TwiddleWalk w(kve_fftRotations.realSplit[forward ? 0 : 1][std::countr_zero(static_cast<uint32_t>(points))]);
    w.step();
    const ptrdiff_t quarter = n / 4;
    for (ptrdiff_t k = 1; k < quarter; ++k) {
        const ptrdiff_t a = 2 * k;
        const ptrdiff_t b = n - 2 * k;
        const float h1r = c1 * (data[a] + data[b]);
        const float h1i = c1 * (data[a + 1] - data[b + 1]);
        const float h2r = -c2 * (data[a + 1] + data[b + 1]);
        const float h2i = c2 * (data[a] - data[b]);
        const kve_Complex t = kve_complexMul(static_cast<float>(w.wr), static_cast<float>(w.wi), h2r, h2i);
        data[a] = h1r + t.re;
        data[a + 1] = h1i + t.im;
        data[b] = h1r - t.re;
        data[b + 1] = -h1i + t.im;
        w.step();
    }
    const float h = data[0];
    // The middle bin X[n/4] is the conjugate of the half-length bin it sits in.
    data[points + 1] = -data[points + 1];
    if (forward) {
        data[0] = h + data[1];
        data[1] = h - data[1];
    } else {
        data[0] = c1 * (h + data[1]);
        data[1] = c1 * (h - data[1]);
        kve_vecCfft(data, points, -1);
    }
}
