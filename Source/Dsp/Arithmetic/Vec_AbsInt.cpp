#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = |src| as a 32-bit integer, wrapping: -2147483648 stays -2147483648.
extern "C" void kve_vecAbsInt(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t n)
{
    kve_map1x1(src, srcInc, dst, dstInc, n, [](int32_t x) { return kve_absInt32(x); });
}
