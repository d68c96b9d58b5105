// ScaleOffset: gain x + offset, one rounding (fused), from wire 0 into wire 1. Composites build it by class id with
// the arguments gain, offset.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

struct ScaleOffsetModule {
    ClassModule header;
    float gain;
    float offset;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ScaleOffsetModule, gain, Float),
    KVE_VARIABLE(ScaleOffsetModule, offset, Float),
};

} // namespace

extern "C" constinit const ClassRecord<2> kve_modScaleOffsetClass = makeClass<2>(
    0xBEEF0817u, {wired<&kve_modScaleOffsetClass, 1, 1>, oneToOne<scaleOffset<ScaleOffsetModule, kve_vecScaleOffset>>},
    kVariables);
