// ComplexToRealImagFract32: the real parts of the complex Fract32 wire 0 into wire 1, its imaginary parts into
// wire 2.
#include "Modules/Advanced/ComplexModules.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modComplexToRealImagFract32Class =
    makeClass<0>(0xBEEF0CD8u,
                 {kve::shapes::wired<&kve_modComplexToRealImagFract32Class, 1, 2>,
                  splitPartsProcess, splitPartsProcess},
                 kVariables);
