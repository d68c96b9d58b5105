#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = src shifted by shift (count modulo 32): right arithmetically for a negative shift; left with saturation
// otherwise, where any word above 0x7FFFFFFF >> shift gives 0x7FFFFFFF and any at or below 0x80000000 >> shift
// gives 0x80000000. A word equal to 0x7FFFFFFF >> shift still fits after the shift: saturating it would turn
// silence into full scale at a shift of 31.
extern "C" void kve_vecShift(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t shift,
                             int32_t n)
{
    if (shift < 0) {
        kve_map1x1(src, srcInc, dst, dstInc, n, [=](int32_t x) { return kve_shiftWordArith(x, shift); });
        return;
    }
    const uint32_t count = static_cast<uint32_t>(shift) & 31u;
    const int32_t high = INT32_MAX >> count;
    const int32_t low = INT32_MIN >> count;
    kve_map1x1(src, srcInc, dst, dstInc, n, [=](int32_t x) {
        return x > high ? INT32_MAX : (x <= low ? INT32_MIN : kve_shiftWordArith(x, shift));
    });
}
