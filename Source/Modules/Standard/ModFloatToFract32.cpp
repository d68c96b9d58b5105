// FloatToFract32: every input converted from float to Fract32 (truncated toward zero, saturated) into the output of the
// same index, bypassed or not.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::logic;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modFloatToFract32Class =
    makeClass<0>(0xBEEF0FDCu, kConvertEveryPair<&kve_modFloatToFract32Class, kve_vecFloatToFract32>, kNoVariables);
