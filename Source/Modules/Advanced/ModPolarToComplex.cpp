// PolarToComplex: the complex samples of magnitude wire 1 and angle wire 0 (radians, within -pi..pi for the fast
// cosine and sine) into the complex wire 2: re = magnitude cos(angle), im = magnitude sin(angle).
#include "Modules/Advanced/ComplexModules.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

void polarToComplexProcess(ClassModule *m)
{
    const GenericWire *angle = wire(m, 0);
    const GenericWire *magnitude = wire(m, 1);
    const GenericWire *out = wire(m, inputs(m));
    kve_vecPolarToComplex(samples(magnitude), 1, samples(angle), 1, samples(out), 2,
                          fewest({wireWords(angle), wireWords(magnitude), complexIn(out)}));
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modPolarToComplexClass = makeClass<0>(
    0xBEEF0D17u,
    {kve::shapes::wired<&kve_modPolarToComplexClass, 2, 1>, polarToComplexProcess, polarToComplexProcess},
    kVariables);
