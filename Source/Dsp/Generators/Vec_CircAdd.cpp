#include <cstddef>

#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// buf[idx] += src element, idx += step around the ring.
extern "C" void kve_vecCircAdd(float *buf, int32_t len, int32_t *idx, int32_t step, const float *src, int32_t srcInc,
                               int32_t n)
{
    kve_ringWalk(len, idx, step, n, [&](ptrdiff_t i, int32_t k) { buf[i] += src[static_cast<ptrdiff_t>(k) * srcInc]; });
}
