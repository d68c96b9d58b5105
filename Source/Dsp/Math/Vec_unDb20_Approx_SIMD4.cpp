#include <cmath>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = 10^(x/20) without a power call: t = x log2(10)/20 splits into a whole part n and a fraction f, 2^f comes
// from a quintic in f with c = pow2f_approx_coeff (each step one fused multiply-add), and n goes into the exponent.
// Results beyond the float range give infinity, results below the normal range 0 (as flush-to-zero leaves them),
// NaN gives NaN. Blocks of sixteen, then of four, then the last one to three alone.
//
// The four-lane blocks take n as t truncated, less 0.999999 first where t <= 0, so just below a negative whole t
// their f is a hair below 0 where the one-by-one form's is a hair below 1; both are 2^t to the quintic's accuracy.
namespace {

constexpr float kLog2Of10Over20 = 0.1660964f;

float pow2Fraction(float f)
{
    float p = std::fma(pow2f_approx_coeff[0], f, pow2f_approx_coeff[1]);
    p = std::fma(p, f, pow2f_approx_coeff[2]);
    p = std::fma(p, f, pow2f_approx_coeff[3]);
    p = std::fma(p, f, pow2f_approx_coeff[4]);
    return std::fma(p, f, pow2f_approx_coeff[5]);
}

float32x4_t pow2Fraction(float32x4_t f)
{
    float32x4_t p = vfmaq_f32(vdupq_n_f32(pow2f_approx_coeff[1]), vdupq_n_f32(pow2f_approx_coeff[0]), f);
    p = vfmaq_f32(vdupq_n_f32(pow2f_approx_coeff[2]), p, f);
    p = vfmaq_f32(vdupq_n_f32(pow2f_approx_coeff[3]), p, f);
    p = vfmaq_f32(vdupq_n_f32(pow2f_approx_coeff[4]), p, f);
    return vfmaq_f32(vdupq_n_f32(pow2f_approx_coeff[5]), p, f);
}

// An infinite t has no fraction: its whole part alone sends the result to infinity or 0.
float undb20(float x)
{
    const float t = x * kLog2Of10Over20;
    const float whole = std::floor(t);
    const float f = std::isinf(t) ? 0.0f : t - whole;
    return std::scalbn(pow2Fraction(f), kve_truncateToInt32(whole));
}

float32x4_t undb20x4(float32x4_t x)
{
    const float32x4_t t = vmulq_f32(x, vdupq_n_f32(kLog2Of10Over20));
    // Past +-200 every result is out of range anyway; holding t there keeps the conversion to integer defined, and
    // NaN lanes are converted as 0 and restored at the end.
    const uint32x4_t isNumber = vceqq_f32(t, t);
    const float32x4_t held = vbslq_f32(isNumber, vminq_f32(vmaxq_f32(t, vdupq_n_f32(-200.0f)), vdupq_n_f32(200.0f)),
                                       vdupq_n_f32(0.0f));
    const float32x4_t towardZero =
        vbslq_f32(vcgtq_f32(held, vdupq_n_f32(0.0f)), held, vsubq_f32(held, vdupq_n_f32(0.999999f)));
    const int32x4_t whole = vcvtq_s32_f32(towardZero);
    const float32x4_t p = pow2Fraction(vsubq_f32(held, vcvtq_f32_s32(whole)));
    // p lies in [0.99, 2), so its sign bit is clear and its biased exponent is 126 or 127.
    const uint32x4_t bits = vreinterpretq_u32_f32(p);
    const int32x4_t exponent = vaddq_s32(vreinterpretq_s32_u32(vshrq_n_u32(bits, 23)), whole);
    const float32x4_t scaled = vreinterpretq_f32_u32(vaddq_u32(bits, vshlq_n_u32(vreinterpretq_u32_s32(whole), 23)));
    const float32x4_t overflowed = vbslq_f32(vcgeq_s32(exponent, vdupq_n_s32(255)), vdupq_n_f32(INFINITY), scaled);
    const float32x4_t inRange = vbslq_f32(vcleq_s32(exponent, vdupq_n_s32(0)), vdupq_n_f32(0.0f), overflowed);
    return vbslq_f32(isNumber, inRange, t);
}

} // namespace

extern "C" void kve_vecUnDb20_Approx(const float *src, float *dst, int32_t n)
{
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t x0 = vld1q_f32(src + i);
        const float32x4_t x1 = vld1q_f32(src + i + 4);
        const float32x4_t x2 = vld1q_f32(src + i + 8);
        const float32x4_t x3 = vld1q_f32(src + i + 12);
        vst1q_f32(dst + i, undb20x4(x0));
        vst1q_f32(dst + i + 4, undb20x4(x1));
        vst1q_f32(dst + i + 8, undb20x4(x2));
        vst1q_f32(dst + i + 12, undb20x4(x3));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, undb20x4(vld1q_f32(src + i)));
    }
    for (; i < n; ++i) {
        dst[i] = undb20(src[i]);
    }
}
