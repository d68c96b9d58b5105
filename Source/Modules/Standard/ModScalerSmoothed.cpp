// ScalerSmoothed: scales each input wire into its output wire by a gain that glides toward `gain`.
#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerSmoothedModule {
    ClassModule header;
    float gain;
    float smoothingTime;
    float currentGain;
    float smoothingCoeff;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(ScalerSmoothedModule, gain, Float),
    KVE_VARIABLE(ScalerSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(ScalerSmoothedModule, currentGain, Float),
    KVE_VARIABLE(ScalerSmoothedModule, smoothingCoeff, Float),
};

ClassModule *scalerSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    // One output for every input.
    return construct(kve_modScalerSmoothedClass, kVariables, 1, KVE_PACKED_INPUTS(wireWord), status, wireWord,
                     wires, argc, args);
}

void scalerSmoothedProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerSmoothedModule *>(m);
    const uint32_t pairs = KVE_PACKED_INPUTS(m->packed);
    // Every pair glides from the same stored gain, so all outputs follow one trajectory.
    float working = s->currentGain;
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = wire(m, k);
        const GenericWire *out = wire(m, pairs + k);
        working = s->currentGain;
        kve_vecScaleSmooth_Nch(samples(in), samples(out), static_cast<int32_t>(channels(in)), &working, s->gain,
                               s->smoothingCoeff, frames(in, out));
    }
    s->currentGain = working;
}

int32_t scalerSmoothedSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerSmoothedModule *>(m);
    s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modScalerSmoothedClass = makeClass<4>(
    0xBEEF0FF7u, {scalerSmoothedConstructor, scalerSmoothedProcess, IOMatchUpModule_Bypass, scalerSmoothedSet},
    kVariables);
