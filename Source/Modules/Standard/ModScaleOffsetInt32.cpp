// ScaleOffsetInt32: gain x + offset in 32-bit integers, wrapping, from wire 0 into wire 1.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

struct ScaleOffsetInt32Module {
    ClassModule header;
    int32_t gain;
    int32_t offset;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ScaleOffsetInt32Module, gain, Int),
    KVE_VARIABLE(ScaleOffsetInt32Module, offset, Int),
};

} // namespace

extern "C" constinit const ClassRecord<2> kve_modScaleOffsetInt32Class =
    makeClass<2>(0xBEEF08CDu,
                 {wired<&kve_modScaleOffsetInt32Class, 1, 1>,
                  oneToOne<scaleOffset<ScaleOffsetInt32Module, kve_vecScaleOffsetInt32>>},
                 kVariables);
