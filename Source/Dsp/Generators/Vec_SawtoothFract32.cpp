#include "kve/kve_vec.h"

// dst = phase, then phase += step in 64 bits, moved back by 0x7FFFFFFF above 0x7FFFFFFF and forward by it below 0:
// a ramp from 0 to 1 over a cycle of 0x7FFFFFFF. The step is taken modulo 0x7FFFFFFF (only -1.0 changes, to the
// equal step of -2^-31), so one correction per sample keeps the phase in range.
extern "C" void kve_vecSawtoothFract32(Fract32 *dst, Fract32 *phase, Fract32 step, int32_t n)
{
    constexpr int64_t cycle = INT32_MAX;
    const int64_t inc = step % cycle;
    int64_t p = *phase;
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = static_cast<Fract32>(p);
        p += inc;
        if (p > cycle) {
            p -= cycle;
        } else if (p < 0) {
            p += cycle;
        }
    }
    *phase = static_cast<Fract32>(p);
}
