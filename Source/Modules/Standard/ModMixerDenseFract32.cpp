// MixerDenseFract32: the Fract32 dense matrix mixer of wire 0 into wire 1. Set holds the float gains as Q1.31
// mantissas under one post-shift chosen from the largest row sum of magnitudes, so no output's sum of products
// leaves the Fract32 range before the shift.
#include <cmath>

#include "Modules/Standard/Mixers.h"
#include "Modules/Standard/ScalersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::mixers;
using namespace kve::scalers;

struct MixerDenseFract32Module {
    ClassModule header;
    int32_t postShift;
    float *gain;
    Fract32 *fractGain;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(MixerDenseFract32Module, postShift, Int),
    KVE_ARRAY(MixerDenseFract32Module, gain, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(MixerDenseFract32Module, fractGain, Fract32Array, perChannelOfWire(0)),
};

ClassModule *mixerDenseFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const auto variables = withMatrixLength(kVariables, wires);
    return construct(kve_modMixerDenseFract32Class, variables, 1, 1, status, wireWord, wires, argc, args);
}

// The mix kernel walks the whole matrix at once: a matrix smaller than the wires now ask for leaves the output silent.
void mixerDenseFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<MixerDenseFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t inputs = channels(in);
    const uint32_t outputs = channels(out);
    if (servedOutputs(outputs, inputs, capacity(m, 1)) < outputs) {
        kve_vecFillFract32(words(out), 1, 0, static_cast<int32_t>(wireWords(out)));
        return;
    }
    kve_vecMixerDenseFract32(words(in), static_cast<int32_t>(inputs), words(out), static_cast<int32_t>(outputs),
                             s->fractGain, s->postShift, blockFrames(in, out));
}

int32_t mixerDenseFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<MixerDenseFract32Module *>(m);
    const uint32_t inputs = channels(wire(m, 0));
    const uint32_t rows = servedOutputs(channels(wire(m, 1)), inputs, std::min(capacity(m, 0), capacity(m, 1)));
    int32_t shift = -32;
    for (uint32_t o = 0; o < rows; ++o) {
        float sum = 0.0f;
        for (uint32_t i = 0; i < inputs; ++i)
            sum += std::fabs(s->gain[o * inputs + i]);
        int32_t exponent = 0;
        mantissa(sum, &exponent);
        shift = std::max(shift, exponent);
    }
    s->postShift = shift;
    for (uint32_t k = 0; k < rows * inputs; ++k)
        s->fractGain[k] = kve_rounded(std::ldexp(s->gain[k], -shift));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modMixerDenseFract32Class = makeClass<3>(
    0xBEEF08A2u,
    {mixerDenseFract32Constructor, mixerDenseFract32Process, IOAcrossModule_Bypass, mixerDenseFract32Set},
    kVariables);
