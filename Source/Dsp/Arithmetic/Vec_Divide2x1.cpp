#include "Dsp/Neon.h"
#include "Dsp/Arithmetic/Reciprocal.h"
#include "kve/kve_vec.h"

// num / den for four samples without a divide: the reciprocal estimate r0 of den refined by two Newton steps,
// r1 = (2 - den r0) r0 and the quotient ((2 - den r1) num) r1, each 2 - den r rounded once. A zero denominator
// (either sign, or a denormal read as zero under the flush mode) gives 0.
static inline float32x4_t divideBlock(float32x4_t num, float32x4_t den)
{
    const float32x4_t r0 = kve_reciprocalEstimate(den);
    const float32x4_t r1 = vmulq_f32(kve_reciprocalStep(den, r0), r0);
    const float32x4_t q = vmulq_f32(vmulq_f32(kve_reciprocalStep(den, r1), num), r1);
    return vbslq_f32(vceqq_f32(den, vdupq_n_f32(0.0f)), vdupq_n_f32(0.0f), q);
}

// dst = num / den, all contiguous; 0 where den is zero. The first 4 floor(n / 4) quotients come from the reciprocal
// steps and may differ from the exact quotient in the last bits; the last n mod 4 are divided exactly.
extern "C" void kve_vecDivide2x1(const float *num, const float *den, float *dst, int32_t n)
{
    int32_t i = 0;
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, divideBlock(vld1q_f32(num + i), vld1q_f32(den + i)));
    }
    for (; i < n; ++i) {
        dst[i] = den[i] == 0.0f ? 0.0f : num[i] / den[i];
    }
}
