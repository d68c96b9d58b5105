#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = a x b as Fract32 products: the 64-bit product shifted right by 31 (rounding toward minus infinity), -1 x -1
// giving 0x7FFFFFFF. Contiguous vectors are left to the compiler's vectorised loop, which forms the products in
// 64-bit lanes. (The saturating doubling multiply-high would give the same product in one instruction, but SIMDe's
// emulation of it misses the -1 x -1 saturation.)
extern "C" void kve_vecMultiply2x1Fract32(const Fract32 *a, int32_t aInc, const Fract32 *b, int32_t bInc,
                                          Fract32 *dst, int32_t dstInc, int32_t n)
{
    kve_map2x1(a, aInc, b, bInc, dst, dstInc, n, [](Fract32 x, Fract32 y) { return kve_mulFract32(x, y); });
}
