// ScalerNFract32: scales each channel of input wire 0 into output wire 1 by its own gain, the gains held as Q1.31
// mantissas under one common shift.
#include "Modules/Standard/ScalersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerNFract32Module {
    ClassModule header;
    int32_t postShift;
    float *gain;
    Fract32 *fractGain;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(ScalerNFract32Module, postShift, Int),
    KVE_ARRAY(ScalerNFract32Module, gain, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(ScalerNFract32Module, fractGain, Fract32Array, perChannelOfWire(0)),
};

ClassModule *scalerNFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    return construct(kve_modScalerNFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void scalerNFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerNFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const auto ch = static_cast<int32_t>(channels(in));
    const uint32_t served = servedChannels(channels(in), capacity(m, 1));
    for (uint32_t c = 0; c < served; ++c)
        kve_vecScaleFract32(words(in) + c, ch, words(out) + c, ch, s->fractGain[c], s->postShift, frames(in, out));
}

int32_t scalerNFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerNFract32Module *>(m);
    const uint32_t served = servedChannels(channels(wire(m, 0)), capacity(m, 0));
    // The largest gain sets the shift, so every mantissa keeps its full precision below it.
    int32_t shift = -32;
    for (uint32_t c = 0; c < served; ++c) {
        int32_t e = 0;
        mantissa(s->gain[c], &e);
        shift = std::max(shift, e);
    }
    s->postShift = shift;
    for (uint32_t c = 0; c < served; ++c)
        s->fractGain[c] = kve_rounded(std::ldexp(s->gain[c], -shift));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modScalerNFract32Class = makeClass<3>(
    0xBEEF08BEu, {scalerNFract32Constructor, scalerNFract32Process, IOMatchUpModule_Bypass, scalerNFract32Set},
    kVariables);
