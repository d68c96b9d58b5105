#include "Dsp/Fir/Fir.h"
#include "kve/kve_vec.h"

namespace {

// The Q31 product of two Q15 words, sample x gain x 2; -1 x -1 (2^31) is held at 0x7FFFFFFF rather than wrapping
// to -1.0.
int32_t productQ31(int16_t sample, int16_t gain)
{
    const int32_t product = sample * gain;
    return product == 0x40000000 ? INT32_MAX : product * 2;
}

} // namespace

// dst[i] = the Q31 products of tapGains[t] and delayLine[(readIndex + i - tapDelays[t]) modulo bufLen], summed in
// 64 bits, scaled by 2^postShift and saturated to a Fract32.
extern "C" void kve_vecFIRSparseReaderFract16(const uint32_t *tapDelays, Fract32 *dst, const int16_t *tapGains,
                                              int32_t numTaps, int32_t n, int32_t readIndex, int32_t bufLen,
                                              const int16_t *delayLine, int32_t postShift)
{
    if (numTaps < 1 || n < 1 || bufLen < 1) {
        return;
    }
    int32_t pos = kve_firRingStart(readIndex, bufLen);
    for (int32_t i = 0; i < n; ++i) {
        int64_t sum = 0;
        for (int32_t t = 0; t < numTaps; ++t) {
            sum += productQ31(delayLine[kve_firRingBack(pos, tapDelays[t], bufLen)], tapGains[t]);
        }
        dst[i] = kve_firScaleSum(sum, postShift);
        pos = pos + 1 == bufLen ? 0 : pos + 1;
    }
}
