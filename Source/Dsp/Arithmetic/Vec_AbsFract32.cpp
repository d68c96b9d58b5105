#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = |src| as a Fract32: 0x80000000 (-1.0) gives 0x7FFFFFFF.
extern "C" void kve_vecAbsFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, int32_t n)
{
    kve_map1x1(src, srcInc, dst, dstInc, n, [](Fract32 x) { return kve_absFract32(x); });
}
