// Undb20Fract32: 10^(x/20) for an amplitude in dB, input and output read with 23 fractional bits; values of 256.0
// and more (from about 48.16 dB) saturate to 0x7FFFFFFF. Samples up to the input's 16-byte boundary go one by one,
// then four lanes at a time, then the rest one by one: every path gives the same word for every input.
#include <cstdint>

#include "Dsp/Neon.h"
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::mathq;

constexpr std::array<Variable, 0> kVariables = {};

Fract32 undb20Q23(Fract32 x) { return pow2Q23(octavesOfDecibels(x, kLog2Of10Over20)); }

// pow2Q23 of octavesOfDecibels in four lanes. The saturating doubling multiply-high is the 64-bit product shifted
// right by 31 for every operand pair met here (none is -1 x -1); the factor that may be -1.0 goes second, since the
// emulation off AArch64 takes the magnitude of the first operand, which -1.0 does not have. Right shifts stop at 31
// bits, which already clear the polynomial's value (at least 2^28); from 8 octaves on, the shift by the octaves
// stops at 0 and the last shift by 7 saturates, since the value then has a bit at 24 or above.
int32x4_t undb20Lanes(int32x4_t x)
{
    const Fract32 *c = pow2_coeff_fract32;
    const int32x4_t t = vqdmulhq_s32(vdupq_n_s32(kLog2Of10Over20), x);
    const int32x4_t octaves = vshrq_n_s32(t, 23);
    const int32x4_t f = vshlq_n_s32(vandq_s32(t, vdupq_n_s32(0x7FFFFF)), 8);
    int32x4_t p = vdupq_n_s32(c[0]);
    for (int k = 1; k < 7; ++k)
        p = vaddq_s32(vdupq_n_s32(c[k]), vqdmulhq_s32(f, p));
    const int32x4_t beyond12 = vsubq_s32(octaves, vdupq_n_s32(12));
    const int32x4_t count = vminq_s32(vmaxq_s32(beyond12, vdupq_n_s32(-31)), vdupq_n_s32(0));
    return vqshlq_s32(vshlq_s32(p, count), vdupq_n_s32(7));
}

void undb20(ClassModule *, const Fract32 *x, Fract32 *y, int32_t n)
{
    int32_t i = 0;
    for (; i < n && reinterpret_cast<uintptr_t>(x + i) % 16 != 0; ++i)
        y[i] = undb20Q23(x[i]);
    for (; n - i >= 4; i += 4)
        vst1q_s32(y + i, undb20Lanes(vld1q_s32(x + i)));
    for (; i < n; ++i)
        y[i] = undb20Q23(x[i]);
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modUndb20Fract32Class =
    makeClass<0>(0xBEEF08D5u, {wired<&kve_modUndb20Fract32Class, 1, 1>, oneToOne<undb20>}, kVariables);
