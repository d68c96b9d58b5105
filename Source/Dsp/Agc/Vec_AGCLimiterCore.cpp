#include <cmath>
#include <cstdint>

#include "Dsp/Lanes.h"
#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// Limiter gain computer. The envelope follows the level signal as it comes (the module feeds it a level, not audio):
// env = x c + env (1 - c), the second product fused into the sum, with c the attack coefficient while x is above
// the envelope and the release coefficient otherwise. The envelope, in dB through the approximate log, then sets
// the gain: with no knee, -slope x (L - threshold) above the threshold and 0 below; with a knee, the level
// normalised as x = (L - threshold) / kneeDepth passes through the knee curve y (x above 1, 0 below -1,
// (x + 1)^2 / 4 between, which meets both lines with their slopes) and the gain is -kneeDepth slope y. gainOffset
// is added and the dB value made linear through the approximate power.
namespace {

// The quadratic knee, ((x + 2) x + 1) / 4 with one fused multiply-add, and the straight lines either side.
float knee(float x)
{
    if (x > 1.0f) {
        return x;
    }
    if (x < -1.0f) {
        return 0.0f;
    }
    return std::fma(x + 2.0f, x, 1.0f) * 0.25f;
}

float32x4_t knee(float32x4_t x)
{
    const float32x4_t curve = vmulq_n_f32(vfmaq_f32(vdupq_n_f32(1.0f), vaddq_f32(x, vdupq_n_f32(2.0f)), x), 0.25f);
    const float32x4_t low = vbslq_f32(vcltq_f32(x, vdupq_n_f32(-1.0f)), vdupq_n_f32(0.0f), curve);
    return vbslq_f32(vcgtq_f32(x, vdupq_n_f32(1.0f)), x, low);
}

// Envelope levels to linear gains, in place over n contiguous floats.
void levelsToGains(float *g, int32_t n, float threshold, float kneeDepth, float slope, float kneeRecip,
                   float gainOffset)
{
    kve_vecDb20_Approx(g, g, n);
    kve_vecOffset(g, 1, g, 1, -threshold, n);
    if (kneeDepth == 0.0f) {
        for (int32_t i = 0; i < n; ++i) {
            g[i] = g[i] < 0.0f ? 0.0f : -slope * g[i];
        }
    } else {
        kve_vecScale(g, 1, g, 1, kneeRecip, n);
        kve_contiguous1x1F32(g, g, n, [](float32x4_t x) { return knee(x); }, [](float x) { return knee(x); });
        kve_vecScale(g, 1, g, 1, -(kneeDepth * slope), n);
    }
    kve_vecOffset(g, 1, g, 1, gainOffset, n);
    kve_vecUnDb20_Approx(g, g, n);
}

} // namespace

// Returns the gain of the block's last sample, which the module keeps as its current gain; with no samples, the
// gain the envelope it passed in stands for, which is the last gain of its previous block.
extern "C" float kve_vecAGCLimiterCore(const float *src, float *dst, int32_t n, float *envState, float attackCoeff,
                                       float releaseCoeff, float threshold, float kneeDepth, float slope,
                                       float kneeRecip, float gainOffset)
{
    if (n < 1) {
        float gain = *envState;
        levelsToGains(&gain, 1, threshold, kneeDepth, slope, kneeRecip, gainOffset);
        return gain;
    }
    const float attackKeep = 1.0f - attackCoeff;
    const float releaseKeep = 1.0f - releaseCoeff;
    float env = *envState;
    for (int32_t i = 0; i < n; ++i) {
        const float x = src[i];
        if (x > env) {
            env = std::fma(env, attackKeep, x * attackCoeff);
        } else {
            env = std::fma(env, releaseKeep, x * releaseCoeff);
        }
        dst[i] = env;
    }
    *envState = env;
    levelsToGains(dst, n, threshold, kneeDepth, slope, kneeRecip, gainOffset);
    return dst[n - 1];
}
