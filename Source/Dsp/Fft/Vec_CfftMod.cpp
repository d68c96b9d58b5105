#include <cstddef>
#include <cstdint>

#include "Dsp/Fft/Complex.h"
#include "kve/kve_vec.h"

namespace {

// Element k times mod[k] with its imaginary part signed by s; with realOnly the imaginary input is ignored.
void modulate(float *data, ptrdiff_t points, bool realOnly, float s, const float *mod)
{
    for (ptrdiff_t k = 0; k < 2 * points; k += 2) {
        const float mr = mod[k];
        const float mi = s * mod[k + 1];
        if (realOnly) {
            const float re = data[k];
            data[k] = re * mr;
            data[k + 1] = re * mi;
        } else {
            const kve_Complex y = kve_complexMul(data[k], data[k + 1], mr, mi);
            data[k] = y.re;
            data[k + 1] = y.im;
        }
    }
}

} // namespace

// Complex FFT of n/2 points (n counts floats) combined with a modulation by the complex vector mod: isign 1
// modulates by mod and then transforms forward; isign -1 transforms back and then modulates by the conjugate of
// mod. Mode 0 multiplies the complex element; any other mode multiplies its real part alone. A lone last float of
// an odd n is left as it is. n/2 not a power of two, or isign other than +-1, leaves the data untouched.
extern "C" void kve_vecCfftMod(float *data, int32_t n, int32_t mode, int32_t isign, const float *mod)
{
    const int32_t points = n / 2;
    if (!kve_isPowerOfTwo(points) || (isign != 1 && isign != -1)) {
        return;
    }
    const auto s = static_cast<float>(isign);
    if (isign == -1) {
        kve_vecCfft(data, points, -1);
        modulate(data, points, mode != 0, s, mod);
    } else {
        modulate(data, points, mode != 0, s, mod);
        kve_vecCfft(data, points, 1);
    }
}
