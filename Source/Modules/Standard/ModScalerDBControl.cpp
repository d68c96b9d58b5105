// ScalerDBControl: scales each audio input (wires 1..N) into its output by a gain in dB read from control pin 0
// once per block, gliding toward it.
#include <algorithm>

#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerDBControlModule {
    ClassModule header;
    float smoothingTime;
    float currentGain;
    float smoothingCoeff;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(ScalerDBControlModule, smoothingTime, Float),
    KVE_VARIABLE(ScalerDBControlModule, currentGain, Float),
    KVE_VARIABLE(ScalerDBControlModule, smoothingCoeff, Float),
};

ClassModule *scalerDBControlConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    // The control pin, then one input for every output.
    const uint32_t outputs = std::max(1u, KVE_PACKED_OUTPUTS(wireWord));
    return construct(kve_modScalerDBControlClass, kVariables, outputs + 1, outputs, status, wireWord, wires, argc,
                     args);
}

void scalerDBControlProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerDBControlModule *>(m);
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    const uint32_t pairs = KVE_PACKED_OUTPUTS(m->packed);
    const float g = undB(firstControl(wire(m, 0), 0.0f));
    if (isComplex(wire(m, 1))) {
        for (uint32_t k = 0; k < pairs; ++k) {
            const GenericWire *in = wire(m, 1 + k);
            const GenericWire *out = wire(m, inputs + k);
            kve_vecScale(samples(in), 1, samples(out), 1, g, pairWords(in, out));
        }
        return;
    }
    // Each pair continues the glide where the pair before it ended.
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = wire(m, 1 + k);
        const GenericWire *out = wire(m, inputs + k);
        kve_vecScaleSmooth_Nch(samples(in), samples(out), static_cast<int32_t>(channels(in)), &s->currentGain, g,
                               s->smoothingCoeff, frames(in, out));
    }
}

int32_t scalerDBControlSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerDBControlModule *>(m);
    s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 1)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modScalerDBControlClass = makeClass<3>(
    0xBEEF0819u, {scalerDBControlConstructor, scalerDBControlProcess, IOMatchUpModule_Bypass, scalerDBControlSet},
    kVariables);
