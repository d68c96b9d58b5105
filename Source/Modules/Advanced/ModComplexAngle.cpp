// ComplexAngle: the angle atan2(imaginary, real), in radians from -pi to pi, of every complex sample of wire 0 into
// the real wire 1.
#include "Modules/Advanced/ComplexModules.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

void complexAngleProcess(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputs(m));
    const float *x = samples(in);
    kve_vecAtan2(x + 1, 2, x, 2, samples(out), 1, fewest({complexIn(in), wireWords(out)}));
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modComplexAngleClass = makeClass<0>(
    0xBEEF0CD0u,
    {kve::shapes::wired<&kve_modComplexAngleClass, 1, 1>, complexAngleProcess, complexAngleProcess}, kVariables);
