#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "kve/kve_vec.h"

// Compressor gain computer, one target per block: the envelope moves once toward the block's peak (attack
// coefficients while it is below the peak, release otherwise), env = peak c + env (1 - c) with the second product
// fused; its level L = 20 log10(env) (-758.5956 dB for an envelope below the smallest normal float) sets the
// target 10^((gainOffset - slope max(L - threshold, 0)) / 20), so levels under the threshold keep gainOffset and are
// never raised. The gain then glides toward the target sample by sample, gain = gain (1 - gc) + target gc, with
// target gc formed once and the update one fused multiply-add.
namespace {

constexpr float kFloorDb = -758.5956f;
constexpr float kDbPerNeper = 8.685889f;      // 20 / ln 10
constexpr float kNepersPerDb = 0.115129255f;  // ln 10 / 20

} // namespace

// Returns the gain after the last sample (the gain passed in when n < 1), which the module passes back next block.
// The envelope moves on every call, with no samples toward a peak of 0.
extern "C" float kve_vecAGCCompressorCore(const float *src, float *dst, int32_t n, float *envState, float attackCoeff,
                                          float releaseCoeff, float gainAttackCoeff, float gainReleaseCoeff,
                                          float gain, float threshold, float slope, float gainOffset)
{
    float peak = 0.0f;
    for (int32_t i = 0; i < n; ++i) {
        if (src[i] > peak) { // a NaN sample fails the test and is passed over
            peak = src[i];
        }
    }
    float env = *envState;
    const bool attack = env < peak;
    const float c = attack ? attackCoeff : releaseCoeff;
    const float gc = attack ? gainAttackCoeff : gainReleaseCoeff;
    env = std::fma(env, 1.0f - c, peak * c);
    *envState = env;

    const float level = std::fabs(env) < FLT_MIN ? kFloorDb : std::log(env) * kDbPerNeper;
    const float over = std::max(level - threshold, 0.0f);
    const float target = std::exp(std::fma(-slope, over, gainOffset) * kNepersPerDb);
    const float pull = target * gc;
    const float keep = 1.0f - gc;
    for (int32_t i = 0; i < n; ++i) {
        gain = std::fma(gain, keep, pull);
        dst[i] = gain;
    }
    return gain;
}
