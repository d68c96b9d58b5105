// ZeroPadding: the input block at the start of a longer output, zeros after it (a block extended for a larger
// transform, for instance). Words are copied as they stand, so real and complex wires pad alike.
#include "Modules/Advanced/Rebuffering.h"
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;
using kve::control::withArrays;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modZeroPaddingClass =
    makeClass<0>(0xBEEF0D51u,
                 {.constructor = withArrays<&kve_modZeroPaddingClass, &kVariables, 1, 1>,
                  .process = kve::rebuffering::padWithZeros,
                  .bypass = kve::rebuffering::padWithZeros},
                 kVariables);
