// CycleBurnerSet: spends a set time in its Set when the trigger variable's bit is in the mask, for load tests of
// the control path.
#include "Modules/Advanced/RateModules.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::rate;

namespace {

void nothing(ClassModule *) {}

int32_t cycleBurnerSet(ClassModule *m, uint32_t mask)
{
    if (mask & (1u << 9))
        burn(reinterpret_cast<CycleBurnerSetModule *>(m)->busyTime);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modCycleBurnerSetClass = makeClass<2>(
    0xBEEF0D63u, {kve::shapes::wired<&kve_modCycleBurnerSetClass, 1, 1>, nothing, IOMatchUpModule_Bypass,
                  cycleBurnerSet},
    std::array<Variable, 2>{KVE_VARIABLE(CycleBurnerSetModule, busyTime, Int),
                            KVE_VARIABLE(CycleBurnerSetModule, trigger, Int)});
