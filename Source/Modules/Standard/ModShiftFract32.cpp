// ShiftFract32: every word shifted by `shift`, left with saturation, right arithmetically.
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::mathq;

struct ShiftFract32Module {
    ClassModule header;
    int32_t shift;
};

constexpr std::array<Variable, 1> kVariables = {KVE_VARIABLE(ShiftFract32Module, shift, Int)};

} // namespace

extern "C" constinit const ClassRecord<1> kve_modShiftFract32Class = makeClass<1>(
    0xBEEF08C2u,
    {wired<&kve_modShiftFract32Class, 1, 1>, oneToOne<kernelWith<kve_vecShift, &ShiftFract32Module::shift>>},
    kVariables);
