#include <cstddef>

#include "kve/kve_vec.h"

// dst = 1 where src is 0, else 0: a logical not whose output is a logic word, not a bitwise complement.
extern "C" void kve_vecNot1x1(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, int32_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i) {
        dst[i * dstInc] = src[i * srcInc] == 0 ? 1 : 0;
    }
}
