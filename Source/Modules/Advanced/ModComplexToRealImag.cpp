// ComplexToRealImag: the real parts of the complex wire 0 into wire 1, its imaginary parts into wire 2.
#include "Modules/Advanced/ComplexModules.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modComplexToRealImagClass =
    makeClass<0>(0xBEEF0CD9u,
                 {kve::shapes::wired<&kve_modComplexToRealImagClass, 1, 2>,
                  splitPartsProcess, splitPartsProcess},
                 kVariables);
