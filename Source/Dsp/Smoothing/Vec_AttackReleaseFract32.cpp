#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// Envelope of |x| (|0x80000000| = 0x7FFFFFFF): env = sat(sat(env x (0x7FFFFFFF - c)) + sat(|x| x c)), with c the
// attack coefficient while the envelope is below |x| and the release coefficient otherwise; dst = env. The
// complements and the sum saturate, so coefficients or a state outside the Fract32 envelope range clip instead of
// overflowing.
extern "C" void kve_vecAttackReleaseFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                            Fract32 attackCoeff, Fract32 releaseCoeff, Fract32 *envState, int32_t n)
{
    if (n < 1) {
        return;
    }
    const Fract32 attackKeep = kve_subFract32(INT32_MAX, attackCoeff);
    const Fract32 releaseKeep = kve_subFract32(INT32_MAX, releaseCoeff);
    Fract32 env = *envState;
    for (ptrdiff_t i = 0; i < n; ++i) {
        const Fract32 a = kve_absFract32(src[i * srcInc]);
        if (env < a) {
            env = kve_addFract32(kve_mulFract32(env, attackKeep), kve_mulFract32(a, attackCoeff));
        } else {
            env = kve_addFract32(kve_mulFract32(env, releaseKeep), kve_mulFract32(a, releaseCoeff));
        }
        dst[i * dstInc] = env;
    }
    *envState = env;
}
