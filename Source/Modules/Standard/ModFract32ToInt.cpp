// Fract32ToInt: every input converted from Fract32 to integer (the same word) into the output of the same index. A
// bypassed instance still converts: what follows it expects the output type.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

constexpr KVEProcessFn kConvert = pairwise<kernel<kve_vecFract32ToInt>>;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modFract32ToIntClass =
    makeClass<0>(0xBEEF0FDFu, {outputPerInput<&kve_modFract32ToIntClass>, kConvert, kConvert}, kVariables);
