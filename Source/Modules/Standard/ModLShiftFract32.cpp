// LShiftFract32: every word shifted logically by `shift`, left for a positive count, right filling with zeros.
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::mathq;

struct LShiftFract32Module {
    ClassModule header;
    int32_t shift;
};

constexpr std::array<Variable, 1> kVariables = {KVE_VARIABLE(LShiftFract32Module, shift, Int)};

} // namespace

extern "C" constinit const ClassRecord<1> kve_modLShiftFract32Class = makeClass<1>(
    0xBEEF089Au,
    {wired<&kve_modLShiftFract32Class, 1, 1>, oneToOne<kernelWith<kve_vecLShift, &LShiftFract32Module::shift>>},
    kVariables);
