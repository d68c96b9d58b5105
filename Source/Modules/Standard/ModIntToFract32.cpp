// IntToFract32: every input converted from integer to Fract32 (the same word) into the output of the same index. A
// bypassed instance still converts: what follows it expects the output type.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

constexpr KVEProcessFn kConvert = pairwise<kernel<kve_vecIntToFract32>>;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modIntToFract32Class =
    makeClass<0>(0xBEEF0FE2u, {outputPerInput<&kve_modIntToFract32Class>, kConvert, kConvert}, kVariables);
