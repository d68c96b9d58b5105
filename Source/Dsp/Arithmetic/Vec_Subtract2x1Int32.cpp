#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = a - b, wrapping modulo 2^32, all contiguous.
extern "C" void kve_vecSubtract2x1Int32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = kve_subInt32Wrap(a[i], b[i]);
    }
}
