// ComplexConjugate: every complex sample of wire 0 into wire 1 with its imaginary part negated; the real parts are
// copied bit for bit.
#include "Modules/Advanced/ComplexModules.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

void complexConjugateProcess(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputs(m));
    const int32_t n = fewest({complexIn(in), complexIn(out)});
    kve_vecCopy32(samples(in), 2, samples(out), 2, n);
    kve_vecScale(samples(in) + 1, 2, samples(out) + 1, 2, -1.0f, n);
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modComplexConjugateClass =
    makeClass<0>(0xBEEF0CD1u, {kve::shapes::wired<&kve_modComplexConjugateClass, 1, 1>, complexConjugateProcess},
                 kVariables);
