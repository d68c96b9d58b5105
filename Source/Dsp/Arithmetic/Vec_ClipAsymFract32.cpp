#include "kve/kve_vec.h"

// dst = min(max(x, lower), upper), both contiguous; the lower bound is applied first, so lower > upper gives upper
// everywhere.
extern "C" void kve_vecClipAsymFract32(const Fract32 *src, Fract32 *dst, Fract32 lower, Fract32 upper, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        const Fract32 raised = src[i] < lower ? lower : src[i];
        dst[i] = raised > upper ? upper : raised;
    }
}
