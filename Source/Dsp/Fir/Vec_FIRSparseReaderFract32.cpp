#include "Dsp/Fir/Fir.h"
#include "kve/kve_vec.h"

// dst[i] = the Fract32 products of tapGains[t] and delayLine[(readIndex + i - tapDelays[t]) modulo bufLen], summed
// in 64 bits, scaled by 2^postShift and saturated.
extern "C" void kve_vecFIRSparseReaderFract32(const uint32_t *tapDelays, Fract32 *dst, const Fract32 *tapGains,
                                              int32_t numTaps, int32_t n, int32_t readIndex, int32_t bufLen,
                                              const Fract32 *delayLine, int32_t postShift)
{
    if (numTaps < 1 || n < 1 || bufLen < 1) {
        return;
    }
    int32_t pos = kve_firRingStart(readIndex, bufLen);
    for (int32_t i = 0; i < n; ++i) {
        int64_t sum = 0;
        for (int32_t t = 0; t < numTaps; ++t) {
            sum += kve_mulFract32(delayLine[kve_firRingBack(pos, tapDelays[t], bufLen)], tapGains[t]);
        }
        dst[i] = kve_firScaleSum(sum, postShift);
        pos = pos + 1 == bufLen ? 0 : pos + 1;
    }
}
