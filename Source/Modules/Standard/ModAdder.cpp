// Adder: the sum of all inputs, elementwise or into one channel; a complex input 0 keeps the one channel complex.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

using Sum = Fold<float, takeBy<float, kve_vecAdd2x1>, kve_vecAdd2x1, 0>;

void adderProcess(ClassModule *m)
{
    if (reinterpret_cast<const FoldModule *>(m)->oneChannelOutput == 0)
        foldElementwise<Sum>(m);
    else
        foldOneChannel<Sum>(m, isComplex(wire(m, 0)) ? 2 : 1);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modAdderClass =
    makeClass<1>(0xBEEF082Cu, {wired<&kve_modAdderClass, 1, 1>, adderProcess}, kFoldVariables);
