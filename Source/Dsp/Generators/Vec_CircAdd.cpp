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
    // A step of one adds contiguous runs up to the ring's end, each one flat loop.
    const auto add = [&](ptrdiff_t at, ptrdiff_t from, int32_t run) {
        float *to = buf + at;
        const float *x = src + from * srcInc;
        if (srcInc == 1) {
            for (int32_t r = 0; r < run; ++r)
                to[r] += x[r];
        } else {
            for (int32_t r = 0; r < run; ++r)
                to[r] += x[static_cast<ptrdiff_t>(r) * srcInc];
        }
    };
    *idx = static_cast<int32_t>(kve_ringRuns(len, kve_ringEntry(*idx, len), n, add));
}
