// DCSourceControlFract32: output channel c = Q1.31 control word c x `value`, with `value` held as a Q1.31 mantissa
// and a power of two, so that gains beyond 1.0 reach the output (saturated) and small ones keep their precision.
#include <cmath>
#include <limits>

#include "Modules/Standard/Sources.h"

namespace {

using namespace kve::kit;
using namespace kve::sources;

struct DCSourceControlFract32Module {
    ClassModule header;
    float value;
    Fract32 mantissaFract32;
    int32_t exponent;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(DCSourceControlFract32Module, value, Float),
    KVE_VARIABLE(DCSourceControlFract32Module, mantissaFract32, Fract32),
    KVE_VARIABLE(DCSourceControlFract32Module, exponent, Int),
};

// (x x mantissa) >> 31, then scaled by 2^exponent: right arithmetically, left with saturation. A host may write
// any exponent; past 32 either way the result is what the exact scaling gives (0 or -1, or saturation).
Fract32 scaled(const ClassModule *m, Fract32 x)
{
    const auto *s = reinterpret_cast<const DCSourceControlFract32Module *>(m);
    return kve_shiftProductFract32(kve_mulFract32(x, s->mantissaFract32), std::clamp(s->exponent, -32, 32));
}

// value = m x 2^e with 0.5 <= |m| < 1: `mantissaFract32` = m x 2^31 (exact, so never 2^31), `exponent` = e. Zero
// and NaN give 0 x 2^0; an infinity counts as the largest float of its sign.
int32_t setMantissa(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<DCSourceControlFract32Module *>(m);
    const float largest = std::numeric_limits<float>::max();
    const float v = std::isnan(s->value) ? 0.0f : std::clamp(s->value, -largest, largest);
    int e = 0;
    const float mantissa = std::frexp(v, &e);
    s->mantissaFract32 = kve_truncateToInt32(mantissa * 2147483648.0f);
    s->exponent = e;
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modDCSourceControlFract32Class =
    makeClass<3>(0xBEEF0FD2u,
                 {source<&kve_modDCSourceControlFract32Class, &kVariables, 1>, fromControl<Fract32, scaled>,
                  IOMatchUpModule_Bypass, setMantissa},
                 kVariables);
