// ScalerNControl: scales each channel of input wire 1 into output wire 2 by the matching channel of control pin 0,
// gliding toward it.
#include <algorithm>

#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerNControlModule {
    ClassModule header;
    float smoothingTime;
    float smoothingCoeff;
    float *currentGain;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(ScalerNControlModule, smoothingTime, Float),
    KVE_VARIABLE(ScalerNControlModule, smoothingCoeff, Float),
    KVE_ARRAY(ScalerNControlModule, currentGain, FloatArray, perChannelOfWire(0)),
};

ClassModule *scalerNControlConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    return construct(kve_modScalerNControlClass, kVariables, 2, 1, status, wireWord, wires, argc, args);
}

void scalerNControlProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerNControlModule *>(m);
    const GenericWire *control = wire(m, 0);
    const GenericWire *in = wire(m, 1);
    const GenericWire *out = wire(m, 2);
    const auto ch = static_cast<int32_t>(channels(in));
    // Channel c needs control sample c and currentGain[c].
    const uint32_t served = std::min(servedChannels(channels(in), capacity(m, 0)), wireWords(control));
    const float *gains = samples(control);
    if (s->smoothingTime == 0.0f) {
        for (uint32_t c = 0; c < served; ++c)
            kve_vecScale(samples(in) + c, ch, samples(out) + c, ch, gains[c], frames(in, out));
    } else {
        for (uint32_t c = 0; c < served; ++c)
            kve_vecScaleSmooth(samples(in) + c, ch, samples(out) + c, ch, &s->currentGain[c], gains[c],
                               s->smoothingCoeff, frames(in, out));
    }
}

int32_t scalerNControlSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerNControlModule *>(m);
    s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 1)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modScalerNControlClass = makeClass<3>(
    0xBEEF08DBu, {scalerNControlConstructor, scalerNControlProcess, IOMatchUpModule_Bypass, scalerNControlSet},
    kVariables);
