#include <cmath>
#include <cstddef>

#include "Dsp/Fir/Fir.h"
#include "kve/kve_vec.h"

namespace {

// Eight ring samples from position at on, wrapping to 0 at len.
void loadEight(const float *ring, int32_t len, int32_t at, float32x4_t &lo, float32x4_t &hi)
{
    if (len - at >= 8) {
        lo = vld1q_f32(ring + at);
        hi = vld1q_f32(ring + at + 4);
        return;
    }
    float lanes[8];
    for (float &lane : lanes) {
        lane = ring[at];
        at = at + 1 == len ? 0 : at + 1;
    }
    lo = vld1q_f32(lanes);
    hi = vld1q_f32(lanes + 4);
}

} // namespace

// dst[i] = sum over t of tapGains[t] x delayLine[(readIndex + i - tapDelays[t]) modulo bufLen], fused multiply-adds
// in tap order from 0. Eight outputs at a time, then the rest one at a time by the same operations.
extern "C" void kve_vecFIRSparseReader(const uint32_t *tapDelays, float *dst, const float *tapGains, int32_t numTaps,
                                       int32_t n, int32_t readIndex, int32_t bufLen, const float *delayLine)
{
    if (numTaps < 1 || n < 1 || bufLen < 1) {
        return;
    }
    int32_t pos = kve_firRingStart(readIndex, bufLen);
    int32_t i = 0;
    for (; n - i >= 8; i += 8) {
        float32x4_t sumLo = vdupq_n_f32(0.0f);
        float32x4_t sumHi = vdupq_n_f32(0.0f);
        for (int32_t t = 0; t < numTaps; ++t) {
            float32x4_t lo;
            float32x4_t hi;
            loadEight(delayLine, bufLen, kve_firRingBack(pos, tapDelays[t], bufLen), lo, hi);
            sumLo = vfmaq_n_f32(sumLo, lo, tapGains[t]);
            sumHi = vfmaq_n_f32(sumHi, hi, tapGains[t]);
        }
        vst1q_f32(dst + i, sumLo);
        vst1q_f32(dst + i + 4, sumHi);
        pos = static_cast<int32_t>((int64_t{pos} + 8) % bufLen);
    }
    for (; i < n; ++i) {
        float sum = 0.0f;
        for (int32_t t = 0; t < numTaps; ++t) {
            sum = std::fma(delayLine[kve_firRingBack(pos, tapDelays[t], bufLen)], tapGains[t], sum);
        }
        dst[i] = sum;
        pos = pos + 1 == bufLen ? 0 : pos + 1;
    }
}
