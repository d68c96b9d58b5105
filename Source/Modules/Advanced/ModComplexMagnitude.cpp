// ComplexMagnitude: sqrt(re^2 + im^2) of every complex sample of wire 0 into the real wire 1; bypassed, the real
// parts pass.
#include "Modules/Advanced/ComplexModules.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modComplexMagnitudeClass =
    makeClass<0>(0xBEEF0CD3u,
                 {kve::shapes::wired<&kve_modComplexMagnitudeClass, 1, 1>,
                  toRealProcess<kve_vecMagnitude>, realPartsBypass},
                 kVariables);
