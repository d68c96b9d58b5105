// ClipAsym: wire 0 clipped to [lowerLimit, upperLimit] into wire 1 (the lower limit applied first). Composites build
// it by class id with the arguments lowerLimit, upperLimit.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct ClipAsymModule {
    ClassModule header;
    float lowerLimit;
    float upperLimit;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ClipAsymModule, lowerLimit, Float),
    KVE_VARIABLE(ClipAsymModule, upperLimit, Float),
};

void clip(ClassModule *m, const float *x, float *y, int32_t n)
{
    const auto *s = reinterpret_cast<const ClipAsymModule *>(m);
    kve_vecClipAsym(x, y, s->lowerLimit, s->upperLimit, n);
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modClipAsymClass =
    makeClass<2>(0xBEEF084Eu, {wired<&kve_modClipAsymClass, 1, 1>, oneToOne<clip>}, kVariables);
