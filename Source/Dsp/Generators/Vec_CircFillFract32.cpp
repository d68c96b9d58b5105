#include <cstddef>

#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// buf[idx] = value, idx += step around the ring.
extern "C" void kve_vecCircFillFract32(Fract32 *buf, int32_t len, int32_t *idx, int32_t step, Fract32 value,
                                       int32_t n)
{
    kve_ringWalk(len, idx, step, n, [&](ptrdiff_t i, int32_t) { buf[i] = value; });
}
