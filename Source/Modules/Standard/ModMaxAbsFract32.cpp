// MaxAbsFract32: the largest saturated magnitude over every channel of every input, sample by sample.
#include "Modules/Standard/Dynamics.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modMaxAbsFract32Class = makeClass<0>(
    0xBEEF089Cu, {inputsToOne<&kve_modMaxAbsFract32Class>, maxAbsProcess<int32_t, kve_vecAbsFract32>}, kVariables);
