// Pow2Fract32: 2^x for x with 26 fractional bits, written with 16 fractional bits; exponents of 15 and up saturate
// to 0x7FFFFFFF and those below -15 give 0.
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::mathq;

constexpr std::array<Variable, 0> kVariables = {};

Fract32 pow2Q16(Fract32 x)
{
    const int32_t octaves = x >> 26;
    if (octaves >= 15)
        return INT32_MAX;
    if (octaves < -15)
        return 0;
    return pow2Octaves(pow2Fraction((x & 0x3FFFFFF) * 32), octaves);
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modPow2Fract32Class =
    makeClass<0>(0xBEEF08ADu, {wired<&kve_modPow2Fract32Class, 1, 1>, oneToOne<mapWords<pow2Q16>>}, kVariables);
