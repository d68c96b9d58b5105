#include <cmath>
#include <cstddef>

#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// width complex FIRs side by side: out[e] = sum over t of coef_t[e] x frame_t[e], frame t lying t frames on from
// startIndex in the ring of bufLen floats (wrapping at bufLen). Tap 0 is a plain complex product, later taps add
// theirs with fused multiply-adds: re += cRe xRe - cIm xIm, im += cRe xIm + xRe cIm. Four elements at a time keep
// their sums in registers across the taps; the last one to three elements follow one by one.
extern "C" void kve_vecComplexFIR(const float *stateRe, const float *stateIm, const float *coefRe,
                                  const float *coefIm, float *outRe, float *outIm, int32_t bufLen, int32_t numTaps,
                                  int32_t startIndex, int32_t width)
{
    // Only whole frames are read: a ring that is not a whole number of frames, or a start that is not a frame
    // inside it, would let a frame run past the end of the ring.
    if (numTaps < 1 || width < 1 || bufLen < width || bufLen % width != 0 || startIndex < 0 ||
        startIndex >= bufLen || startIndex % width != 0) {
        return;
    }
    const ptrdiff_t cols = width;
    ptrdiff_t e = 0;
    for (; cols - e >= 4; e += 4) {
        ptrdiff_t pos = startIndex + e;
        float32x4_t cr = vld1q_f32(coefRe + e);
        float32x4_t ci = vld1q_f32(coefIm + e);
        float32x4_t xr = vld1q_f32(stateRe + pos);
        float32x4_t xi = vld1q_f32(stateIm + pos);
        float32x4_t re = vsubq_f32(vmulq_f32(cr, xr), vmulq_f32(ci, xi));
        float32x4_t im = vaddq_f32(vmulq_f32(cr, xi), vmulq_f32(xr, ci));
        for (ptrdiff_t t = 1; t < numTaps; ++t) {
            pos += cols;
            if (pos >= bufLen) {
                pos -= bufLen;
            }
            cr = vld1q_f32(coefRe + t * cols + e);
            ci = vld1q_f32(coefIm + t * cols + e);
            xr = vld1q_f32(stateRe + pos);
            xi = vld1q_f32(stateIm + pos);
            re = vfmaq_f32(vfmaq_f32(re, cr, xr), vnegq_f32(ci), xi);
            im = vfmaq_f32(vfmaq_f32(im, cr, xi), xr, ci);
        }
        vst1q_f32(outRe + e, re);
        vst1q_f32(outIm + e, im);
    }
    for (; e < cols; ++e) {
        ptrdiff_t pos = startIndex + e;
        float re = coefRe[e] * stateRe[pos] - coefIm[e] * stateIm[pos];
        float im = coefRe[e] * stateIm[pos] + stateRe[pos] * coefIm[e];
        for (ptrdiff_t t = 1; t < numTaps; ++t) {
            pos += cols;
            if (pos >= bufLen) {
                pos -= bufLen;
            }
            const float cr = coefRe[t * cols + e];
            const float ci = coefIm[t * cols + e];
            re = std::fma(-ci, stateIm[pos], std::fma(cr, stateRe[pos], re));
            im = std::fma(stateRe[pos], ci, std::fma(cr, stateIm[pos], im));
        }
        outRe[e] = re;
        outIm[e] = im;
    }
}
