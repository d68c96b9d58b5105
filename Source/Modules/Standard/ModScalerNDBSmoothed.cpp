// ScalerNDBSmoothed: scales each channel of input wire 0 into output wire 1 by its own gain given in dB, gliding
// toward it.
#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerNDBSmoothedModule {
    ClassModule header;
    float smoothingTime;
    float smoothingCoeff;
    float *gainDB;
    float *targetGain;
    float *currentGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(ScalerNDBSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(ScalerNDBSmoothedModule, smoothingCoeff, Float),
    KVE_ARRAY(ScalerNDBSmoothedModule, gainDB, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(ScalerNDBSmoothedModule, targetGain, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(ScalerNDBSmoothedModule, currentGain, FloatArray, perChannelOfWire(0)),
};

ClassModule *scalerNDBSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    return construct(kve_modScalerNDBSmoothedClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void scalerNDBSmoothedProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerNDBSmoothedModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const auto ch = static_cast<int32_t>(channels(in));
    const uint32_t served = servedChannels(channels(in), capacity(m, 0));
    for (uint32_t c = 0; c < served; ++c)
        kve_vecScaleSmooth(samples(in) + c, ch, samples(out) + c, ch, &s->currentGain[c], s->targetGain[c],
                           s->smoothingCoeff, frames(in, out));
}

int32_t scalerNDBSmoothedSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerNDBSmoothedModule *>(m);
    const uint32_t served = servedChannels(channels(wire(m, 0)), capacity(m, 0));
    for (uint32_t c = 0; c < served; ++c)
        s->targetGain[c] = undB(s->gainDB[c]);
    s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modScalerNDBSmoothedClass =
    makeClass<5>(0xBEEF0FF8u,
                 {scalerNDBSmoothedConstructor, scalerNDBSmoothedProcess, IOMatchUpModule_Bypass,
                  scalerNDBSmoothedSet},
                 kVariables);
