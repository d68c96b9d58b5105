// CycleBurner: spends a set time in every block, for load tests; its output is left as it is.
#include "Modules/Advanced/RateModules.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::rate;

namespace {

void cycleBurnerProcess(ClassModule *m) { burn(reinterpret_cast<CycleBurnerModule *>(m)->busyTime); }

} // namespace

extern "C" constinit const ClassRecord<1> kve_modCycleBurnerClass = makeClass<1>(
    0xBEEF0CDEu, {kve::shapes::wired<&kve_modCycleBurnerClass, 1, 1>, cycleBurnerProcess},
    std::array<Variable, 1>{KVE_VARIABLE(CycleBurnerModule, busyTime, Int)});
