// ScaleOffsetFract32: y = gain x + offset in Q1.31, the gain held as a Fract32 word and a post-shift that Set
// derives from the float gain, the offset as the rounded Fract32 of the float offset.
#include <cmath>

#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct ScaleOffsetFract32Module {
    ClassModule header;
    float gain;
    float offset;
    Fract32 offsetFract32;
    Fract32 gainFract32;
    int32_t postShift;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(ScaleOffsetFract32Module, gain, Float),
    KVE_VARIABLE(ScaleOffsetFract32Module, offset, Float),
    KVE_VARIABLE(ScaleOffsetFract32Module, offsetFract32, Fract32),
    KVE_VARIABLE(ScaleOffsetFract32Module, gainFract32, Fract32),
    KVE_VARIABLE(ScaleOffsetFract32Module, postShift, Int),
};

void scaleOffset(ClassModule *m, const Fract32 *x, Fract32 *y, int32_t n)
{
    const auto *s = reinterpret_cast<const ScaleOffsetFract32Module *>(m);
    kve_vecScaleOffsetFract32(x, 1, y, 1, s->gainFract32, s->postShift, s->offsetFract32, n);
}

// Only gains of magnitude 1 or more are split into a mantissa in [0.5, 1) and a shift: a smaller gain is its own
// word, with all its precision when it is small. A gain without an exponent (infinite) keeps shift 0 and saturates.
int32_t scaleOffsetSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScaleOffsetFract32Module *>(m);
    float mantissa = s->gain;
    int exponent = 0;
    if (std::isfinite(s->gain) && std::fabs(s->gain) >= 1.0f)
        mantissa = std::frexp(s->gain, &exponent);
    s->postShift = exponent;
    s->gainFract32 = kve_rounded(mantissa);
    s->offsetFract32 = kve_rounded(s->offset);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modScaleOffsetFract32Class = makeClass<5>(
    0xBEEF08B8u,
    {wired<&kve_modScaleOffsetFract32Class, 1, 1>, oneToOne<scaleOffset>, IOMatchUpModule_Bypass, scaleOffsetSet},
    kVariables);
