#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// dst = 20 log10 |x| without a logarithm call: |x| is held to [1.1755e-38, FLT_MAX] (so zero gives about -758.6 dB
// and infinity about 770.6 dB), split into mantissa m in [0.5, 1) and exponent e, and
// (((c0 m + c1) m + c2) m + (e + c3)) x 6.0206 is formed with c = log2f_approx_coeff, each step one fused
// multiply-add. NaN passes through. Blocks of sixteen, then of four, then one by one; the four-lane exponent and
// mantissa are those of frexp for the normal numbers the hold leaves, so every path gives the same word.
namespace {

constexpr float kLowest = 0x1.00005p-126f; // 1.1755e-38, just above the smallest normal float
constexpr float kDbPerOctave = 6.0206f;

float db20(float x)
{
    if (std::isnan(x)) {
        return x;
    }
    int e = 0;
    const float m = std::frexp(std::clamp(std::fabs(x), kLowest, FLT_MAX), &e);
    float p = std::fma(log2f_approx_coeff[0], m, log2f_approx_coeff[1]);
    p = std::fma(p, m, log2f_approx_coeff[2]);
    p = std::fma(p, m, static_cast<float>(e) + log2f_approx_coeff[3]);
    return p * kDbPerOctave;
}

float32x4_t db20x4(float32x4_t x)
{
    const float32x4_t a = vminq_f32(vmaxq_f32(vabsq_f32(x), vdupq_n_f32(kLowest)), vdupq_n_f32(FLT_MAX));
    const uint32x4_t bits = vreinterpretq_u32_f32(a);
    // frexp of a normal number: the biased exponent less 126, and the mantissa bits under the exponent of 0.5.
    const int32x4_t e = vsubq_s32(vreinterpretq_s32_u32(vshrq_n_u32(bits, 23)), vdupq_n_s32(126));
    const float32x4_t m =
        vreinterpretq_f32_u32(vorrq_u32(vandq_u32(bits, vdupq_n_u32(0x807FFFFFu)), vdupq_n_u32(0x3F000000u)));
    float32x4_t p = vfmaq_f32(vdupq_n_f32(log2f_approx_coeff[1]), vdupq_n_f32(log2f_approx_coeff[0]), m);
    p = vfmaq_f32(vdupq_n_f32(log2f_approx_coeff[2]), p, m);
    p = vfmaq_f32(vaddq_f32(vcvtq_f32_s32(e), vdupq_n_f32(log2f_approx_coeff[3])), p, m);
    const float32x4_t db = vmulq_f32(p, vdupq_n_f32(kDbPerOctave));
    return vbslq_f32(vceqq_f32(x, x), db, x);
}

} // namespace

extern "C" void kve_vecDb20_Approx(const float *src, float *dst, int32_t n)
{
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t x0 = vld1q_f32(src + i);
        const float32x4_t x1 = vld1q_f32(src + i + 4);
        const float32x4_t x2 = vld1q_f32(src + i + 8);
        const float32x4_t x3 = vld1q_f32(src + i + 12);
        vst1q_f32(dst + i, db20x4(x0));
        vst1q_f32(dst + i + 4, db20x4(x1));
        vst1q_f32(dst + i + 8, db20x4(x2));
        vst1q_f32(dst + i + 12, db20x4(x3));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, db20x4(vld1q_f32(src + i)));
    }
    for (; i < n; ++i) {
        dst[i] = db20(src[i]);
    }
}
