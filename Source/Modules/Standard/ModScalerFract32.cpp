// ScalerFract32: scales each input wire into its output wire by `gain`, held as a Q1.31 mantissa and a shift.
#include "Modules/Standard/ScalersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerFract32Module {
    ClassModule header;
    float gain;
    Fract32 fractGain;
    int32_t postShift;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(ScalerFract32Module, gain, Float),
    KVE_VARIABLE(ScalerFract32Module, fractGain, Fract32),
    KVE_VARIABLE(ScalerFract32Module, postShift, Int),
};

ClassModule *scalerFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    // One output for every input.
    return construct(kve_modScalerFract32Class, kVariables, 1, KVE_PACKED_INPUTS(wireWord), status, wireWord, wires,
                     argc, args);
}

void scalerFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerFract32Module *>(m);
    const uint32_t pairs = KVE_PACKED_INPUTS(m->packed);
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = wire(m, k);
        const GenericWire *out = wire(m, pairs + k);
        kve_vecScaleFract32(words(in), 1, words(out), 1, s->fractGain, s->postShift, pairWords(in, out));
    }
}

int32_t scalerFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerFract32Module *>(m);
    // The mantissa truncated toward zero, as the sample conversion does, where the other Fract32 scalers round.
    s->fractGain = kve_floatToFract32(mantissa(s->gain, &s->postShift));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modScalerFract32Class = makeClass<3>(
    0xBEEF08BBu, {scalerFract32Constructor, scalerFract32Process, IOMatchUpModule_Bypass, scalerFract32Set},
    kVariables);
