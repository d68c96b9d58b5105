// Fract32ToFloat: every input converted from Fract32 to float into the output of the same index, bypassed or not.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::logic;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modFract32ToFloatClass =
    makeClass<0>(0xBEEF0FDEu, kConvertEveryPair<&kve_modFract32ToFloatClass, kve_vecFract32ToFloat>, kNoVariables);
