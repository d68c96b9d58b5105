// FloatToFract32: every input converted from float to Fract32 (truncated toward zero, saturated) into the output of the
// same index. A bypassed instance still converts: what follows it expects the output type.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

constexpr KVEProcessFn kConvert = pairwise<kernel<kve_vecFloatToFract32>>;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modFloatToFract32Class =
    makeClass<0>(0xBEEF0FDCu, {outputPerInput<&kve_modFloatToFract32Class>, kConvert, kConvert}, kVariables);
