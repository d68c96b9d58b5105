// Process functions the complex-sample classes share between float and Fract32 twins: they move 32-bit words and
// never read them as numbers, so one function serves both kinds.
#include "Modules/Advanced/ComplexModules.h"
#include "kve/kve_vec.h"

namespace kve::complexmods {

void realPartsBypass(ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, inputs(m));
    kve_vecCopy32(in->buffer, 2, out->buffer, 1, fewest({complexIn(in), kit::wireWords(out)}));
}

void splitPartsProcess(ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *real = kit::wire(m, inputs(m));
    const GenericWire *imag = kit::wire(m, inputs(m) + 1);
    const int32_t n = fewest({complexIn(in), kit::wireWords(real), kit::wireWords(imag)});
    kve_vecCopy32(samples(in), 2, real->buffer, 1, n);
    kve_vecCopy32(samples(in) + 1, 2, imag->buffer, 1, n);
}

void joinPartsProcess(ClassModule *m)
{
    const GenericWire *real = kit::wire(m, 0);
    const GenericWire *imag = kit::wire(m, 1);
    const GenericWire *out = kit::wire(m, inputs(m));
    const int32_t n = fewest({kit::wireWords(real), kit::wireWords(imag), complexIn(out)});
    kve_vecCopy32(real->buffer, 1, samples(out), 2, n);
    kve_vecCopy32(imag->buffer, 1, samples(out) + 1, 2, n);
}

} // namespace kve::complexmods
