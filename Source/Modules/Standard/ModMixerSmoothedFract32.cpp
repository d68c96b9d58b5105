// MixerSmoothedFract32: the Fract32 matrix mixer of wire 0 into wire 1 whose every gain glides, sample by sample,
// toward its target. The post-shift is chosen when the module is built; Set holds each float gain under it as a
// Q1.31 target. Entries at rest at zero cost nothing.
#include <cmath>

#include "Modules/Standard/Mixers.h"
#include "Modules/Standard/ScalersFract32.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::mixers;
using namespace kve::scalers;

struct MixerSmoothedFract32Module {
    ClassModule header;
    float smoothingTime;
    Fract32 smoothingCoeff;
    int32_t postShift;
    float *gain;
    Fract32 *targetGain;
    Fract32 *currentGain;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(MixerSmoothedFract32Module, smoothingTime, Float),
    KVE_VARIABLE(MixerSmoothedFract32Module, smoothingCoeff, Fract32),
    KVE_VARIABLE(MixerSmoothedFract32Module, postShift, Int),
    KVE_ARRAY(MixerSmoothedFract32Module, gain, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(MixerSmoothedFract32Module, targetGain, Fract32Array, perChannelOfWire(0)),
    KVE_ARRAY(MixerSmoothedFract32Module, currentGain, Fract32Array, perChannelOfWire(0)),
};

ClassModule *mixerSmoothedFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                             const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const auto variables = withMatrixLength(kVariables, wires);
    return construct(kve_modMixerSmoothedFract32Class, variables, 1, 1, status, wireWord, wires, argc, args);
}

uint32_t matrixCapacity(ClassModule *m) { return std::min({capacity(m, 0), capacity(m, 1), capacity(m, 2)}); }

void mixerSmoothedFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<MixerSmoothedFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t inputs = channels(in);
    const uint32_t outputs = channels(out);
    kve_vecFillFract32(words(out), 1, 0, static_cast<int32_t>(wireWords(out)));
    const uint32_t served = servedOutputs(outputs, inputs, matrixCapacity(m));
    for (uint32_t o = 0; o < served; ++o)
        for (uint32_t i = 0; i < inputs; ++i) {
            const uint32_t k = o * inputs + i;
            if (s->targetGain[k] == 0 && s->currentGain[k] == 0)
                continue;
            kve_vecScaleAddSmoothFract32(words(in) + i, static_cast<int32_t>(inputs), words(out) + o,
                                         static_cast<int32_t>(outputs), &s->currentGain[k], s->targetGain[k],
                                         s->postShift, s->smoothingCoeff, blockFrames(in, out));
        }
}

int32_t mixerSmoothedFract32Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<MixerSmoothedFract32Module *>(m);
    if (mask & (1u << 8))
        s->smoothingCoeff = kve_rounded(design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate));
    const uint32_t inputs = channels(wire(m, 0));
    const uint32_t entries = inputs * servedOutputs(channels(wire(m, 1)), inputs, matrixCapacity(m));
    for (uint32_t k = 0; k < entries; ++k)
        s->targetGain[k] = kve_rounded(withoutShift(s->gain[k], s->postShift));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modMixerSmoothedFract32Class = makeClass<6>(
    0xBEEF089Fu,
    {mixerSmoothedFract32Constructor, mixerSmoothedFract32Process, IOAcrossModule_Bypass, mixerSmoothedFract32Set},
    kVariables);
