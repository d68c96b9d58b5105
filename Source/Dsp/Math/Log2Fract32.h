// The fixed-point base-2 logarithm shared by the Fract32 logarithm and decibel conversions.
#pragma once

#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec_math.h"

// log2 |x| with 26 fractional bits, x read with 23 fractional bits and not 0. |x| (0x80000000 taken as 0x7FFFFFFF)
// is normalised to a mantissa m in [0.5, 1) with its top bit at bit 30 after k left shifts; log2 m comes from a
// cubic with 26 fractional bits (products rounded toward minus infinity), and log2 m - k + 8 places the octaves of
// the 23 fractional bits. The value always fits 32 bits.
static inline int64_t kve_log2Fract32Q26(Fract32 x)
{
    const Fract32 *c = log2_coeff_fract32;
    const Fract32 a = kve_absFract32(x);
    const int k = __builtin_clz(static_cast<uint32_t>(a)) - 1;
    const auto m = static_cast<Fract32>(static_cast<uint32_t>(a) << k);
    const Fract32 log2m = c[3] + kve_mulFract32(m, c[2] + kve_mulFract32(m, c[1] + kve_mulFract32(c[0], m)));
    return int64_t{log2m} - int64_t{k} * (1 << 26) + 0x20000000;
}
