// ClipAsymFract32: every sample held between a lower and an upper Fract32 limit, which Set derives from the float
// limits by the rounded conversion.
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct ClipAsymFract32Module {
    ClassModule header;
    float lowerLimit;
    Fract32 lowerLimitFract32;
    float upperLimit;
    Fract32 upperLimitFract32;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(ClipAsymFract32Module, lowerLimit, Float),
    KVE_VARIABLE(ClipAsymFract32Module, lowerLimitFract32, Fract32),
    KVE_VARIABLE(ClipAsymFract32Module, upperLimit, Float),
    KVE_VARIABLE(ClipAsymFract32Module, upperLimitFract32, Fract32),
};

void clip(ClassModule *m, const Fract32 *x, Fract32 *y, int32_t n)
{
    const auto *s = reinterpret_cast<const ClipAsymFract32Module *>(m);
    kve_vecClipAsymFract32(x, y, s->lowerLimitFract32, s->upperLimitFract32, n);
}

int32_t clipSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ClipAsymFract32Module *>(m);
    s->lowerLimitFract32 = kve_rounded(s->lowerLimit);
    s->upperLimitFract32 = kve_rounded(s->upperLimit);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modClipAsymFract32Class = makeClass<4>(
    0xBEEF088Bu, {wired<&kve_modClipAsymFract32Class, 1, 1>, oneToOne<clip>, IOMatchUpModule_Bypass, clipSet},
    kVariables);
