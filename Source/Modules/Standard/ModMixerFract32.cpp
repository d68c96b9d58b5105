// MixerFract32: the Fract32 matrix mixer of wire 0 into wire 1. Set holds every float gain as a Q1.31 mantissa
// under one shared post-shift, large enough for the largest gain; zero gains cost nothing.
#include <cmath>

#include "Modules/Standard/Mixers.h"
#include "Modules/Standard/ScalersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::mixers;
using namespace kve::scalers;

struct MixerFract32Module {
    ClassModule header;
    int32_t postShift;
    float *gain;
    Fract32 *fractGain;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(MixerFract32Module, postShift, Int),
    KVE_ARRAY(MixerFract32Module, gain, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(MixerFract32Module, fractGain, Fract32Array, perChannelOfWire(0)),
};

ClassModule *mixerFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                     const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const auto variables = withMatrixLength(kVariables, wires);
    return construct(kve_modMixerFract32Class, variables, 1, 1, status, wireWord, wires, argc, args);
}

void mixerFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<MixerFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t inputs = channels(in);
    const uint32_t outputs = channels(out);
    kve_vecFillFract32(words(out), 1, 0, static_cast<int32_t>(wireWords(out)));
    const uint32_t served = servedOutputs(outputs, inputs, capacity(m, 1));
    for (uint32_t o = 0; o < served; ++o)
        for (uint32_t i = 0; i < inputs; ++i) {
            const Fract32 g = s->fractGain[o * inputs + i];
            if (g == 0)
                continue;
            kve_vecScaleAddFract32(words(in) + i, static_cast<int32_t>(inputs), words(out) + o,
                                   static_cast<int32_t>(outputs), g, s->postShift, blockFrames(in, out));
        }
}

int32_t mixerFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<MixerFract32Module *>(m);
    const uint32_t inputs = channels(wire(m, 0));
    const uint32_t entries =
        inputs * servedOutputs(channels(wire(m, 1)), inputs, std::min(capacity(m, 0), capacity(m, 1)));
    int32_t shift = -32;
    for (uint32_t k = 0; k < entries; ++k) {
        int32_t exponent = 0;
        mantissa(s->gain[k], &exponent);
        shift = std::max(shift, exponent);
    }
    s->postShift = shift;
    for (uint32_t k = 0; k < entries; ++k)
        s->fractGain[k] = kve_rounded(std::ldexp(s->gain[k], -shift));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modMixerFract32Class = makeClass<3>(
    0xBEEF089Eu, {mixerFract32Constructor, mixerFract32Process, IOAcrossModule_Bypass, mixerFract32Set}, kVariables);
