// RealImagToComplex: wire 0 into the real parts and wire 1 into the imaginary parts of the complex wire 2.
#include "Modules/Advanced/ComplexModules.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modRealImagToComplexClass =
    makeClass<0>(0xBEEF0D1Cu,
                 {kve::shapes::wired<&kve_modRealImagToComplexClass, 2, 1>,
                  joinPartsProcess, joinPartsProcess},
                 kVariables);
