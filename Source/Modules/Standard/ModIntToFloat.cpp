// IntToFloat: every input converted from integer to float (rounded to nearest) into the output of the same index. A
// bypassed instance still converts: what follows it expects the output type.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

constexpr KVEProcessFn kConvert = pairwise<kernel<kve_vecIntToFloat>>;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modIntToFloatClass =
    makeClass<0>(0xBEEF0FE1u, {outputPerInput<&kve_modIntToFloatClass>, kConvert, kConvert}, kVariables);
