#include <cstddef>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// Schroeder allpass on a Q15 ring, in Fract32: d = delayLine[read] as Q31, w = x + gain x d (product post-shifted,
// sum saturated), y = d - gain x w (product post-shifted, difference saturated). The ring keeps w rounded to its
// upper 16 bits (half up, saturated); both indices advance, wrapping to 0 at delayLen. delayedOut receives d. Only
// the low 16 bits of postShift count.
extern "C" void kve_vecAllpassDelay16Fract32(int16_t *delayLine, int32_t delayLen, int32_t *writeIndex,
                                             int32_t *readIndex, const Fract32 *src, Fract32 *dst,
                                             Fract32 *delayedOut, Fract32 gain, int32_t postShift, int32_t n)
{
    if (n < 1 || delayLen < 1) {
        return;
    }
    int32_t write = *writeIndex;
    int32_t read = *readIndex;
    for (ptrdiff_t i = 0; i < n; ++i) {
        const Fract32 x = src[i];
        const Fract32 d = delayLine[read] * 65536;
        const int64_t sum = int64_t{x} + kve_shiftProductFract32(kve_mulFract32(d, gain), postShift);
        const Fract32 w = kve_saturate64(sum);
        const int64_t rounded = (int64_t{w} + 32768) >> 16;
        delayedOut[i] = d;
        dst[i] = kve_subFract32(d, kve_shiftProductFract32(kve_mulFract32(w, gain), postShift));
        delayLine[write] = static_cast<int16_t>(rounded > INT16_MAX ? INT16_MAX : rounded);
        write = write + 1 == delayLen ? 0 : write + 1;
        read = read + 1 == delayLen ? 0 : read + 1;
    }
    *writeIndex = write;
    *readIndex = read;
}
