#include <cstddef>

#include "Dsp/Generators/Ring.h"
#include "Dsp/Generators/Sample16.h"
#include "kve/kve_vec.h"

// 16-bit delay line of floats: per sample buf16[writeIdx] = src x 32768 rounded to 16 bits, then
// dst = buf16[readIdx] / 32767; both indices step by 1.
extern "C" void kve_vecCircWriteRead16Float(int16_t *buf16, int32_t len, int32_t *writeIdx, int32_t *readIdx,
                                            const float *src, float *dst, int32_t n)
{
    kve_ringWalk2(len, writeIdx, readIdx, 1, n, [&](ptrdiff_t w, ptrdiff_t r, int32_t k) {
        buf16[w] = kve_floatTo16(src[k]);
        dst[k] = kve_16ToFloat(buf16[r]);
    });
}
