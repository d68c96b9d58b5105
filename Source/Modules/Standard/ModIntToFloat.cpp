// IntToFloat: every input converted from integer to float (rounded to nearest) into the output of the same index,
// bypassed or not.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::logic;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modIntToFloatClass =
    makeClass<0>(0xBEEF0FE1u, kConvertEveryPair<&kve_modIntToFloatClass, kve_vecIntToFloat>, kNoVariables);
