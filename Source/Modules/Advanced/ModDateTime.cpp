// DateTime: three integers the layout may keep a date and time in; the module itself computes nothing.
#include "Modules/Advanced/RateModules.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::rate;

namespace {

void nothing(ClassModule *) {}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modDateTimeClass = makeClass<3>(
    0xBEEF0CDFu, {kve::shapes::wired<&kve_modDateTimeClass, 1, 1>, nothing},
    std::array<Variable, 3>{KVE_VARIABLE(DateTimeModule, date, Int), KVE_VARIABLE(DateTimeModule, time, Int),
                            KVE_VARIABLE(DateTimeModule, reserved, Int)});
