// Class records of the float math modules: elementary functions, decibel conversions, powers, roots, rounding,
// sign and remainders, each applied to every float sample of its wires.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec_math.h"

extern "C" {
extern const kve::kit::ClassRecord<0> kve_modAcosClass;
extern const kve::kit::ClassRecord<0> kve_modAsinClass;
extern const kve::kit::ClassRecord<0> kve_modAtanClass;
extern const kve::kit::ClassRecord<0> kve_modAtan2Class;
extern const kve::kit::ClassRecord<0> kve_modCosClass;
extern const kve::kit::ClassRecord<0> kve_modCoshClass;
extern const kve::kit::ClassRecord<0> kve_modSinClass;
extern const kve::kit::ClassRecord<0> kve_modSinhClass;
extern const kve::kit::ClassRecord<0> kve_modTanClass;
extern const kve::kit::ClassRecord<0> kve_modTanhClass;
extern const kve::kit::ClassRecord<0> kve_modExpClass;
extern const kve::kit::ClassRecord<0> kve_modLogClass;
extern const kve::kit::ClassRecord<0> kve_modLog10Class;
extern const kve::kit::ClassRecord<0> kve_modLog2Class;
extern const kve::kit::ClassRecord<0> kve_modDb10Class;
extern const kve::kit::ClassRecord<0> kve_modDb10ApproxClass;
extern const kve::kit::ClassRecord<0> kve_modDb20Class;
extern const kve::kit::ClassRecord<0> kve_modDb20ApproxClass;
extern const kve::kit::ClassRecord<0> kve_modUndb10Class;
extern const kve::kit::ClassRecord<0> kve_modUndb10ApproxClass;
extern const kve::kit::ClassRecord<0> kve_modUndb20Class;
extern const kve::kit::ClassRecord<0> kve_modUndb20ApproxClass;
extern const kve::kit::ClassRecord<0> kve_modPowClass;
extern const kve::kit::ClassRecord<0> kve_modPow10toXClass;
extern const kve::kit::ClassRecord<0> kve_modSqrtClass;
extern const kve::kit::ClassRecord<0> kve_modReciprocalClass;
extern const kve::kit::ClassRecord<0> kve_modCeilClass;
extern const kve::kit::ClassRecord<0> kve_modFloorClass;
extern const kve::kit::ClassRecord<0> kve_modRoundClass;
extern const kve::kit::ClassRecord<0> kve_modSignClass;
extern const kve::kit::ClassRecord<0> kve_modFmodClass;
extern const kve::kit::ClassRecord<1> kve_modRemainderClass;
extern const kve::kit::ClassRecord<0> kve_modFrexpClass;
extern const kve::kit::ClassRecord<0> kve_modModfClass;
extern const kve::kit::ClassRecord<0> kve_modLdexpClass;
}

namespace kve::math {

// The classes of this family are each one wire shape and one body.
using namespace kve::shapes;

// A class of this family with no variables: the constructor wires at least `Inputs` inputs and `Outputs` outputs,
// the bypass matches inputs to outputs, and there is no Set.
template <const auto *Record, uint32_t Inputs, uint32_t Outputs>
constexpr kit::ClassRecord<0> plainClass(uint32_t classId, KVEProcessFn process)
{
    return kit::makeClass<0>(classId, {shapes::wired<Record, Inputs, Outputs>, process},
                             std::array<kit::Variable, 0>{});
}

// ln(x) times a constant: logarithms to other bases.
template <const float &Scale> float logTimes(float x) { return std::log(x) * Scale; }

// e to the power of x times a constant: powers of other bases, and levels in dB back to linear.
template <const float &Scale> float expOfTimes(float x) { return std::exp(x * Scale); }

// log2 of a normal positive float without a logarithm call: a = m 2^e with m in [0.5, 1) (frexp), log2 a = e + the
// cubic of m with c = log2f_approx_coeff, each step a fused multiply-add.
inline float log2Approx(float a)
{
    int e = 0;
    const float m = std::frexp(a, &e);
    float p = std::fma(log2f_approx_coeff[0], m, log2f_approx_coeff[1]);
    p = std::fma(p, m, log2f_approx_coeff[2]);
    return std::fma(p, m, static_cast<float>(e) + log2f_approx_coeff[3]);
}

// 2^t without a power call: t splits into a whole part n = floor(t) and a fraction f in [0, 1), 2^f comes from a
// quintic with c = pow2f_approx_coeff (each step a fused multiply-add), and n goes into the exponent. An infinite t
// has no fraction: its whole part alone sends the result to infinity or 0.
inline float pow2Approx(float t)
{
    const float whole = std::floor(t);
    const float f = std::isinf(t) ? 0.0f : t - whole;
    float p = std::fma(pow2f_approx_coeff[0], f, pow2f_approx_coeff[1]);
    for (int k = 2; k < 6; ++k)
        p = std::fma(p, f, pow2f_approx_coeff[k]);
    return std::scalbn(p, kve_truncateToInt32(whole));
}

} // namespace kve::math
