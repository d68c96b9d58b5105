// FloatToInt: every input converted from float to integer (rounded half away from zero, saturated) into the output of
// the same index. A bypassed instance still converts: what follows it expects the output type.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

constexpr KVEProcessFn kConvert = pairwise<kernel<kve_vecFloatToInt>>;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modFloatToIntClass =
    makeClass<0>(0xBEEF0FDDu, {outputPerInput<&kve_modFloatToIntClass>, kConvert, kConvert}, kVariables);
