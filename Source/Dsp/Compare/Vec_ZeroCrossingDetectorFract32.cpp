#include <cstdint>

#include "Dsp/Elementwise.h"
#include "kve/kve_vec_compare.h"

// Full scale where the sign class (-1 below zero, +1 at zero and above) changes from the previous sample's, else 0:
// mode 0 reports both directions, mode > 0 only negative to non-negative, mode < 0 only non-negative to negative.
// *state holds the previous sample's class and is read and written for every sample, so a block split over two calls
// gives what one call gives; a state of 0 (neither sign) makes the first sample a crossing in mode 0 only.
extern "C" void kve_vecZeroCrossingDetectorFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                                   int32_t mode, int32_t *state, int32_t n)
{
    kve_stridedMap1x1(src, srcInc, dst, dstInc, n, [mode, state](Fract32 x) {
        const int32_t sign = x < 0 ? -1 : 1;
        const int32_t previous = *state;
        *state = sign;
        const bool rising = sign == 1 && previous == -1;
        const bool falling = sign == -1 && previous == 1;
        const bool crossing = mode > 0 ? rising : mode < 0 ? falling : sign != previous;
        return crossing ? Fract32{INT32_MAX} : Fract32{0};
    });
}
