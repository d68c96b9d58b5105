#include <cstddef>

#include "Dsp/Generators/Ring.h"
#include "Dsp/Generators/Sample16.h"
#include "kve/kve_vec.h"

// buf16[idx] = the top 16 bits of the src element, rounded half up and held at 32767 at the top; idx += step.
extern "C" void kve_vecCircWrite16(int16_t *buf16, int32_t len, int32_t *idx, int32_t step, const Fract32 *src,
                                   int32_t srcInc, int32_t n)
{
    kve_ringWalk(len, idx, step, n, [&](ptrdiff_t i, int32_t k) {
        buf16[i] = kve_fract32To16(src[static_cast<ptrdiff_t>(k) * srcInc]);
    });
}
