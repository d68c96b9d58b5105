// Fract32ToFloat: every input converted from Fract32 to float into the output of the same index. A bypassed instance
// still converts: what follows it expects the output type.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

constexpr KVEProcessFn kConvert = pairwise<kernel<kve_vecFract32ToFloat>>;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modFract32ToFloatClass =
    makeClass<0>(0xBEEF0FDEu, {outputPerInput<&kve_modFract32ToFloatClass>, kConvert, kConvert}, kVariables);
