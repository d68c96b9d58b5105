// ScalerNSmoothed: scales each channel of input wire 0 into output wire 1 by its own gain, gliding toward its
// target.
#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerNSmoothedModule {
    ClassModule header;
    float smoothingTime;
    float smoothingCoeff;
    float *targetGain;
    float *currentGain;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(ScalerNSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(ScalerNSmoothedModule, smoothingCoeff, Float),
    KVE_ARRAY(ScalerNSmoothedModule, targetGain, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(ScalerNSmoothedModule, currentGain, FloatArray, perChannelOfWire(0)),
};

ClassModule *scalerNSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    return construct(kve_modScalerNSmoothedClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void scalerNSmoothedProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerNSmoothedModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const auto ch = static_cast<int32_t>(channels(in));
    const uint32_t served = servedChannels(channels(in), capacity(m, 0));
    for (uint32_t c = 0; c < served; ++c)
        kve_vecScaleSmooth(samples(in) + c, ch, samples(out) + c, ch, &s->currentGain[c], s->targetGain[c],
                           s->smoothingCoeff, frames(in, out));
}

int32_t scalerNSmoothedSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<ScalerNSmoothedModule *>(m);
    if (mask & (1u << 8))
        s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modScalerNSmoothedClass = makeClass<4>(
    0xBEEF0FFAu, {scalerNSmoothedConstructor, scalerNSmoothedProcess, IOMatchUpModule_Bypass, scalerNSmoothedSet},
    kVariables);
