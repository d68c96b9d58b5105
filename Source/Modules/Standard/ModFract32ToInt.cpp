// Fract32ToInt: every input converted from Fract32 to integer (the same word) into the output of the same index,
// bypassed or not.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::logic;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modFract32ToIntClass =
    makeClass<0>(0xBEEF0FDFu, kConvertEveryPair<&kve_modFract32ToIntClass, kve_vecFract32ToInt>, kNoVariables);
