#include "Dsp/Generators/Lcg.h"
#include "kve/kve_vec.h"

// dst = the next n states of the generator, each the successor of the one before; the last is stored back.
extern "C" void kve_vecRand(int32_t *dst, uint32_t *state, int32_t n)
{
    if (n < 1) {
        return;
    }
    uint32_t x = *state;
    for (int32_t i = 0; i < n; ++i) {
        x = kve_lcgNext(x);
        dst[i] = static_cast<int32_t>(x);
    }
    *state = x;
}
