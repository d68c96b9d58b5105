#include <algorithm>
#include <cstddef>

#include "Dsp/Generators/Ring.h"
#include "kve/kve_vec.h"

// buf[idx] += src element, idx += step around the ring.
extern "C" void kve_vecCircAdd(float *buf, int32_t len, int32_t *idx, int32_t step, const float *src, int32_t srcInc,
                               int32_t n)
{
    if (step != 1 || len < 1 || n < 1) {
        kve_ringWalk(len, idx, step, n,
                     [&](ptrdiff_t i, int32_t k) { buf[i] += src[static_cast<ptrdiff_t>(k) * srcInc]; });
        return;
    }
    // A step of one walks contiguous runs up to the ring's end, each one flat loop.
    ptrdiff_t i = kve_ringEntry(*idx, len);
    for (ptrdiff_t k = 0; k < n;) {
        const ptrdiff_t run = std::min<ptrdiff_t>(n - k, len - i);
        float *to = buf + i;
        const float *from = src + k * srcInc;
        if (srcInc == 1) {
            for (ptrdiff_t r = 0; r < run; ++r)
                to[r] += from[r];
        } else {
            for (ptrdiff_t r = 0; r < run; ++r)
                to[r] += from[r * srcInc];
        }
        k += run;
        i = i + run == len ? 0 : i + run;
    }
    *idx = static_cast<int32_t>(i);
}
