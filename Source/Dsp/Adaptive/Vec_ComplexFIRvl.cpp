#include <cmath>
#include <cstddef>

#include "Dsp/Fir/Fir.h"
#include "kve/kve_vec.h"

namespace {

// One real bin: x enters the ring of len words at *idx, which then steps back one (wrapping); the output is the sum
// of c[k] x the sample k steps old, fused multiply-adds from 0 walking from the newest sample.
float realBin(float x, float *ring, const float *c, int32_t len, int32_t *idx)
{
    const int32_t at = kve_firRingStart(*idx, len);
    ring[at] = x;
    *idx = at == 0 ? len - 1 : at - 1;
    float sum = 0.0f;
    int32_t pos = at;
    for (int32_t k = 0; k < len; ++k) {
        sum = std::fma(c[k], ring[pos], sum);
        pos = pos + 1 == len ? 0 : pos + 1;
    }
    return sum;
}

} // namespace

// One frame of numBands interleaved complex bins through per-bin FIRs of len[b] taps. Bins 0 and numBands - 1 are
// real (the edges of a real signal's spectrum): their imaginary parts are neither read nor written. A complex bin's
// ring and taps hold len[b] real parts then len[b] imaginary parts; its output is the complex sum of c[k] x x[n - k]
// (re += cRe xRe - cIm xIm, im += cIm xRe + cRe xIm, fused, from 0). A bin of no taps takes no room and outputs 0.
extern "C" void kve_vecComplexFIRvl(const float *src, float *dst, float *state, const float *coeffs,
                                    const int32_t *len, int32_t *idx, int32_t numBands)
{
    if (numBands < 1) {
        return;
    }
    const ptrdiff_t last = numBands - 1;
    for (ptrdiff_t b = 0; b <= last; ++b) {
        const int32_t taps = len[b];
        if (b == 0 || b == last) {
            if (taps < 1) {
                dst[2 * b] = 0.0f;
                continue;
            }
            dst[2 * b] = realBin(src[2 * b], state, coeffs, taps, &idx[b]);
            state += taps;
            coeffs += taps;
            continue;
        }
        if (taps < 1) {
            dst[2 * b] = 0.0f;
            dst[2 * b + 1] = 0.0f;
            continue;
        }
        const int32_t at = kve_firRingStart(idx[b], taps);
        state[at] = src[2 * b];
        state[taps + at] = src[2 * b + 1];
        idx[b] = at == 0 ? taps - 1 : at - 1;
        float re = 0.0f;
        float im = 0.0f;
        int32_t pos = at;
        for (int32_t k = 0; k < taps; ++k) {
            const float cr = coeffs[k];
            const float ci = coeffs[taps + k];
            const float xr = state[pos];
            const float xi = state[taps + pos];
            re = std::fma(-ci, xi, std::fma(cr, xr, re));
            im = std::fma(cr, xi, std::fma(ci, xr, im));
            pos = pos + 1 == taps ? 0 : pos + 1;
        }
        dst[2 * b] = re;
        dst[2 * b + 1] = im;
        state += 2 * taps;
        coeffs += 2 * taps;
    }
}
