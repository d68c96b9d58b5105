// RealImagToComplexFract32: the Fract32 wire 0 into the real parts and wire 1 into the imaginary parts of the
// complex wire 2.
#include "Modules/Advanced/ComplexModules.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modRealImagToComplexFract32Class =
    makeClass<0>(0xBEEF0D1Bu,
                 {kve::shapes::wired<&kve_modRealImagToComplexFract32Class, 2, 1>,
                  joinPartsProcess, joinPartsProcess},
                 kVariables);
