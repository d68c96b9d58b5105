#include <cstddef>

#include "Dsp/Generators/Ring.h"
#include "Dsp/Generators/Sample16.h"
#include "kve/kve_vec.h"

// 16-bit delay line: per sample buf16[writeIdx] = src rounded to 16 bits, then dst = buf16[readIdx] << 16; both
// indices step by 1.
extern "C" void kve_vecCircWriteRead16(int16_t *buf16, int32_t len, int32_t *writeIdx, int32_t *readIdx,
                                       const Fract32 *src, Fract32 *dst, int32_t n)
{
    kve_ringWalk2(len, writeIdx, readIdx, 1, n, [&](ptrdiff_t w, ptrdiff_t r, int32_t k) {
        buf16[w] = kve_fract32To16(src[k]);
        dst[k] = kve_16ToFract32(buf16[r]);
    });
}
