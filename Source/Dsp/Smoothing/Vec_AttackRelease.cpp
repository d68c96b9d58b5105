#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// Envelope of |x|: env = |x| x c + env x (1 - c), the second product fused into the sum, with c the attack
// coefficient while |x| is above the envelope and the release coefficient otherwise; dst = env.
extern "C" void kve_vecAttackRelease(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *envState,
                                     float attackCoeff, float releaseCoeff, int32_t n)
{
    if (n < 1) {
        return;
    }
    const float attackKeep = 1.0f - attackCoeff;
    const float releaseKeep = 1.0f - releaseCoeff;
    float env = *envState;
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float a = std::fabs(src[i * srcInc]);
        if (a > env) {
            env = std::fma(env, attackKeep, a * attackCoeff);
        } else {
            env = std::fma(env, releaseKeep, a * releaseCoeff);
        }
        dst[i * dstInc] = env;
    }
    *envState = env;
}
