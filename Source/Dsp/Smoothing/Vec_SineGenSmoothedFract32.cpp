#include <cstddef>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "kve/kve_vec.h"

namespace {

// Angles in Q4.28 radians.
constexpr Fract32 kPi = 843314857;
constexpr Fract32 kHalfPi = 421657428;
constexpr Fract32 kTwoPi = 1686629713;

// sin(phase) in Q1.31 for a phase in 0..2pi: folded into 0..pi/2, evaluated by the Q31 sine of the half angle (the
// Q4.28 angle times 4 is its Q2.30 form), and negated (two's complement) on the half turn past pi.
Fract32 sineOfPhase(Fract32 phase)
{
    const bool lowerHalf = phase > kPi;
    Fract32 r = lowerHalf ? phase - kPi : phase;
    if (r > kHalfPi) {
        r = kPi - r;
    }
    const Fract32 s = kve_vecSineFract32(kve_saturate64(int64_t{r} * 4));
    return lowerHalf ? static_cast<Fract32>(0u - static_cast<uint32_t>(s)) : s;
}

} // namespace

// dst[k] = sin(phase) in Q1.31; then phase = sat(phase + increment), kept in 0..2pi by one turn added or taken away,
// so a falling phase (a negative increment) wraps like a rising one instead of running into the bottom of the range;
// then increment = sat(sat(increment x (0x7FFFFFFF - coeff)) + sat(target x coeff)). Phase, increment and target in
// Q4.28 radians, coeff in Q1.31; phase and increment are stored back.
extern "C" void kve_vecSineGenSmoothedFract32(Fract32 *dst, Fract32 *phase, Fract32 *increment, Fract32 target,
                                              Fract32 coeff, int32_t n)
{
    if (n < 1) {
        return;
    }
    const Fract32 keep = kve_subFract32(INT32_MAX, coeff);
    const Fract32 pull = kve_mulFract32(target, coeff);
    Fract32 p = *phase;
    Fract32 step = *increment;
    for (ptrdiff_t k = 0; k < n; ++k) {
        dst[k] = sineOfPhase(p);
        p = kve_addFract32(p, step);
        if (p >= kTwoPi) {
            p -= kTwoPi;
        } else if (p < 0) {
            p += kTwoPi;
        }
        step = kve_addFract32(kve_mulFract32(step, keep), pull);
    }
    *phase = p;
    *increment = step;
}
