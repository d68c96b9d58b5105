// MixerSmoothed: a matrix mixer of wire 0 into wire 1 whose every gain glides, sample by sample, from its current
// value toward its target; entries at rest at zero cost nothing.
#include "Modules/Standard/Mixers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::mixers;
using namespace kve::scalers;

struct MixerSmoothedModule {
    ClassModule header;
    float smoothingTime;
    float smoothingCoeff;
    float *targetGain;
    float *currentGain;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(MixerSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(MixerSmoothedModule, smoothingCoeff, Float),
    KVE_ARRAY(MixerSmoothedModule, targetGain, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(MixerSmoothedModule, currentGain, FloatArray, perChannelOfWire(0)),
};

ClassModule *mixerSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const auto variables = withMatrixLength(kVariables, wires);
    return construct(kve_modMixerSmoothedClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

void mixerSmoothedProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<MixerSmoothedModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t inputs = channels(in);
    const uint32_t outputs = channels(out);
    kve_vecFill(samples(out), 1, 0.0f, static_cast<int32_t>(wireWords(out)));
    const uint32_t served = servedOutputs(outputs, inputs, std::min(capacity(m, 0), capacity(m, 1)));
    for (uint32_t o = 0; o < served; ++o)
        for (uint32_t i = 0; i < inputs; ++i) {
            const uint32_t k = o * inputs + i;
            if (s->targetGain[k] == 0.0f && s->currentGain[k] == 0.0f)
                continue;
            kve_vecScaleAddSmooth(samples(in) + i, static_cast<int32_t>(inputs), samples(out) + o,
                                  static_cast<int32_t>(outputs), &s->currentGain[k], s->targetGain[k],
                                  s->smoothingCoeff, blockFrames(in, out));
        }
}

int32_t mixerSmoothedSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<MixerSmoothedModule *>(m);
    if (mask & (1u << 8))
        s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modMixerSmoothedClass = makeClass<4>(
    0xBEEF0FE7u, {mixerSmoothedConstructor, mixerSmoothedProcess, IOAcrossModule_Bypass, mixerSmoothedSet},
    kVariables);
