// ComplexMagnitudeFract32: the Q31 magnitude of every complex Fract32 sample of wire 0 into wire 1, each square
// and their sum saturated; bypassed, the real parts pass.
#include "Modules/Advanced/ComplexModules.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modComplexMagnitudeFract32Class =
    makeClass<0>(0xBEEF0CD2u,
                 {kve::shapes::wired<&kve_modComplexMagnitudeFract32Class, 1, 1>,
                  toRealProcess<kve_vecMagnitudeFract32>, realPartsBypass},
                 kVariables);
