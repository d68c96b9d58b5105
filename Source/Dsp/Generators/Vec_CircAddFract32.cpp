#include <cstddef>

#include "Dsp/Fract32.h"
#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// buf[idx] = buf[idx] + src element, saturated to 0x80000000..0x7FFFFFFF; idx += step around the ring.
extern "C" void kve_vecCircAddFract32(Fract32 *buf, int32_t len, int32_t *idx, int32_t step, const Fract32 *src,
                                      int32_t srcInc, int32_t n)
{
    kve_ringWalk(len, idx, step, n, [&](ptrdiff_t i, int32_t k) {
        buf[i] = kve_addFract32(buf[i], src[static_cast<ptrdiff_t>(k) * srcInc]);
    });
}
