#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = src shifted by shift (count modulo 32): left for shift >= 0, right filling with zeros otherwise; bits shifted
// out are lost.
extern "C" void kve_vecLShift(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t shift,
                              int32_t n)
{
    kve_map1x1(src, srcInc, dst, dstInc, n, [=](int32_t x) { return kve_shiftWordLogical(x, shift); });
}
