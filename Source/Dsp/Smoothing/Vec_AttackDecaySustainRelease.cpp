#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

namespace {

enum Stage : uint32_t { kAttack = 0, kDecay = 1, kSustain = 2, kRelease = 3 };

// The attack ends once the envelope has come within this distance of the peak level.
constexpr float kPeakReach = 0.01f;

} // namespace

// dst = x x env, the envelope moved before every sample by its stage:
// attack  env = attackCoeff x peakLevel + (1 - attackCoeff) x env (fused), on to decay once env, before the step,
//         has reached peakLevel - 0.01;
// decay   env = env x (1 - decayCoeff), on to sustain after the first step that started at or below sustainLevel;
// sustain env = sustainLevel; a release request is taken (and cleared) on a sustain sample, the next ones release;
// release env = env x (1 - releaseCoeff), toward zero until the caller restarts the stage;
// any other stage leaves env as it is.
// A request made before the sustain stage waits for it. env, stage and the request are stored back.
extern "C" void kve_vecAttackDecaySustainRelease(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                                 int32_t *releaseRequest, uint32_t *stage, float *env,
                                                 float attackCoeff, float decayCoeff, float sustainLevel,
                                                 float releaseCoeff, float peakLevel, int32_t n)
{
    if (n < 1) {
        return;
    }
    const float attackKeep = 1.0f - attackCoeff;
    const float attackPull = attackCoeff * peakLevel;
    const float decayKeep = 1.0f - decayCoeff;
    const float releaseKeep = 1.0f - releaseCoeff;
    int32_t request = *releaseRequest;
    uint32_t s = *stage;
    float e = *env;
    for (ptrdiff_t i = 0; i < n; ++i) {
        switch (s) {
        case kAttack:
            if (e >= peakLevel - kPeakReach) {
                s = kDecay;
            }
            e = std::fma(attackKeep, e, attackPull);
            break;
        case kDecay: {
            const float before = e;
            e = e * decayKeep;
            if (before <= sustainLevel) {
                s = kSustain;
            }
            break;
        }
        case kSustain:
            e = sustainLevel;
            if (request != 0) {
                request = 0;
                s = kRelease;
            }
            break;
        case kRelease:
            e = e * releaseKeep;
            break;
        default:
            break;
        }
        dst[i * dstInc] = src[i * srcInc] * e;
    }
    *releaseRequest = request;
    *stage = s;
    *env = e;
}
