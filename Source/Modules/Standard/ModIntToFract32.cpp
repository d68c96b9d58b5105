// IntToFract32: every input converted from integer to Fract32 (the same word) into the output of the same index,
// bypassed or not.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::logic;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modIntToFract32Class =
    makeClass<0>(0xBEEF0FE2u, kConvertEveryPair<&kve_modIntToFract32Class, kve_vecIntToFract32>, kNoVariables);
