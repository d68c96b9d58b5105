// FloatToInt: every input converted from float to integer (rounded half away from zero, saturated) into the output of
// the same index, bypassed or not.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::logic;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modFloatToIntClass =
    makeClass<0>(0xBEEF0FDDu, kConvertEveryPair<&kve_modFloatToIntClass, kve_vecFloatToInt>, kNoVariables);
