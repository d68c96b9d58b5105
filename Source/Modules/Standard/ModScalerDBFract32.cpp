// ScalerDBFract32: scales each input wire into its output wire by `gainDB` decibels, held as a Q1.31 mantissa and
// a shift.
#include "Modules/Standard/ScalersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerDBFract32Module {
    ClassModule header;
    float gainDB;
    Fract32 fractGain;
    int32_t postShift;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(ScalerDBFract32Module, gainDB, Float),
    KVE_VARIABLE(ScalerDBFract32Module, fractGain, Fract32),
    KVE_VARIABLE(ScalerDBFract32Module, postShift, Int),
};

ClassModule *scalerDBFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    // One output for every input.
    return construct(kve_modScalerDBFract32Class, kVariables, 1, KVE_PACKED_INPUTS(wireWord), status, wireWord,
                     wires, argc, args);
}

void scalerDBFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerDBFract32Module *>(m);
    const uint32_t pairs = KVE_PACKED_INPUTS(m->packed);
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = wire(m, k);
        const GenericWire *out = wire(m, pairs + k);
        kve_vecScaleFract32(words(in), 1, words(out), 1, s->fractGain, s->postShift, pairWords(in, out));
    }
}

int32_t scalerDBFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerDBFract32Module *>(m);
    s->fractGain = kve_rounded(mantissa(undB(s->gainDB), &s->postShift));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modScalerDBFract32Class = makeClass<3>(
    0xBEEF08B9u, {scalerDBFract32Constructor, scalerDBFract32Process, IOMatchUpModule_Bypass, scalerDBFract32Set},
    kVariables);
