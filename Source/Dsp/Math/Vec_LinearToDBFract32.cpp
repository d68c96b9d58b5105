#include <algorithm>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

// dst = 20 log10 x in fixed point, x with inBits integer bits (1 is Q1.31) and dst with outBits. x is normalised
// to a mantissa m over its redundant sign bits, with e the remaining octaves; the dB value is
// K0 + e K1 + K2 m + K3 m^2 + K4 m^3 with 20 fractional bits (K = LinearToDecibels_coeff_fract32 shifted right by 5,
// K1 being the dB per octave), each product rounded toward minus infinity and each sum saturated, then moved to
// outBits by a shift of 12 - outBits (16-bit count; left saturates, right is arithmetic). Zero gives the value of
// its lowest octave; the input is taken to be positive.
extern "C" void kve_vecLinearToDBFract32(const Fract32 *src, Fract32 *dst, int32_t n, int32_t inBits, int32_t outBits)
{
    const Fract32 k0 = LinearToDecibels_coeff_fract32[0] >> 5;
    const Fract32 k1 = LinearToDecibels_coeff_fract32[1] >> 5;
    const Fract32 k2 = LinearToDecibels_coeff_fract32[2] >> 5;
    const Fract32 k3 = LinearToDecibels_coeff_fract32[3] >> 5;
    const Fract32 k4 = LinearToDecibels_coeff_fract32[4] >> 5;
    const int32_t toOutput = kve_subInt32Wrap(12, outBits);
    for (int32_t i = 0; i < n; ++i) {
        const Fract32 x = src[i];
        const int k = __builtin_clrsb(x);
        const auto m = static_cast<Fract32>(static_cast<uint32_t>(x) << k);
        const int32_t e = kve_subInt32Wrap(inBits, 1 + k);
        const int64_t m2 = std::min<int64_t>((int64_t{m} * m) >> 31, INT32_MAX);
        const int64_t m3 = (int64_t{m} * m2) >> 31;
        Fract32 acc = kve_addInt32Wrap(k0, kve_mulInt32Wrap(e, k1));
        acc = kve_saturate64(int64_t{acc} + kve_saturate64((int64_t{m} * k2) >> 31));
        acc = kve_saturate64(int64_t{acc} + ((k3 * m2) >> 31));
        acc = kve_saturate64(int64_t{acc} + ((k4 * m3) >> 31));
        dst[i] = kve_shiftProductFract32(acc, toOutput);
    }
}
