#include <cstdint>

#include "Dsp/Fft/Complex.h"
#include "kve/kve_vec.h"

// The fixed-point FFT of N bit-reversed points over the exported twiddle tables; returns the block exponent, and 0
// without work for N not a power of two in 1..1024.
extern "C" int32_t kve_vecCfftFract32Wrapper(Fract32 *data, int32_t N)
{
    if (N > 1024 || !kve_isPowerOfTwo(N)) {
        return 0;
    }
    const int32_t log2N = __builtin_ctz(static_cast<uint32_t>(N));
    return kve_vecCfftFract32(N, 10 - log2N, log2N, data, Twiddle_table_Cos, Twiddle_table_Sin);
}
