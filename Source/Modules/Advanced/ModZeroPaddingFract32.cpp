// ZeroPaddingFract32: the Fract32 form of ZeroPadding; zero is the same word in both, so the padding is shared.
#include "Modules/Advanced/Rebuffering.h"
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;
using kve::control::withArrays;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modZeroPaddingFract32Class =
    makeClass<0>(0xBEEF0D50u,
                 {.constructor = withArrays<&kve_modZeroPaddingFract32Class, &kVariables, 1, 1>,
                  .process = kve::rebuffering::padWithZeros,
                  .bypass = kve::rebuffering::padWithZeros},
                 kVariables);
