#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = 10^(x/20) with input dB and output both with 24 fractional bits: t = x log2(10)/20 splits into a whole
// octave count and a Q24 fraction f; 2^f comes from a cubic (D = DecibelsToLinear_coeff_fract32) whose terms keep
// 17 significant fraction bits (the low 7 cleared), each sum saturated; the octaves then shift it, left with
// saturation, right arithmetically, 8 and more octaves giving 0x7FFFFFFF.
extern "C" void kve_vecDBToLinearFract32(const Fract32 *src, Fract32 *dst, int32_t n)
{
    const Fract32 *d = DecibelsToLinear_coeff_fract32;
    constexpr int64_t kClearLow7 = ~int64_t{0x7F};
    for (int32_t i = 0; i < n; ++i) {
        const int64_t t = (int64_t{src[i]} * d[0]) >> 31;
        const int64_t w = t * 128;
        const int64_t octaves = w >> 24;
        const int64_t f = w & 0xFFFFFF;
        const int64_t f2 = ((f * f) >> 24) & kClearLow7;
        const int64_t f3 = ((f2 * f) >> 24) & kClearLow7;
        Fract32 p = kve_saturate64(d[1] + (((d[2] * f) >> 24) & kClearLow7));
        p = kve_saturate64(p + (((d[3] * f2) >> 24) & kClearLow7));
        p = kve_saturate64(p + ((d[4] * f3) >> 31) * 128);
        dst[i] = octaves >= 8 ? INT32_MAX : kve_shiftProductFract32(p, static_cast<int32_t>(octaves));
    }
}
