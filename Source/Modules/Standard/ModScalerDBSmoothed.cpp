// ScalerDBSmoothed: scales each input wire into its output wire by a gain that glides toward `gainDB`.
#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerDBSmoothedModule {
    ClassModule header;
    float gainDB;
    float currentGain;
    float smoothingTime;
    float smoothingCoeff;
    float targetGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(ScalerDBSmoothedModule, gainDB, Float),
    KVE_VARIABLE(ScalerDBSmoothedModule, currentGain, Float),
    KVE_VARIABLE(ScalerDBSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(ScalerDBSmoothedModule, smoothingCoeff, Float),
    KVE_VARIABLE(ScalerDBSmoothedModule, targetGain, Float),
};

ClassModule *scalerDBSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                         const uint32_t *args)
{
    // One output for every input.
    return construct(kve_modScalerDBSmoothedClass, kVariables, 1, KVE_PACKED_INPUTS(wireWord), status, wireWord,
                     wires, argc, args);
}

void scalerDBSmoothedProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerDBSmoothedModule *>(m);
    const uint32_t pairs = KVE_PACKED_INPUTS(m->packed);
    // Every pair glides from the same stored gain, so all outputs follow one trajectory.
    float working = s->currentGain;
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = wire(m, k);
        const GenericWire *out = wire(m, pairs + k);
        working = s->currentGain;
        kve_vecScaleSmooth_Nch(samples(in), samples(out), static_cast<int32_t>(channels(in)), &working,
                               s->targetGain, s->smoothingCoeff, frames(in, out));
    }
    s->currentGain = working;
}

int32_t scalerDBSmoothedSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerDBSmoothedModule *>(m);
    s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate);
    s->targetGain = undB(s->gainDB);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modScalerDBSmoothedClass =
    makeClass<5>(0xBEEF0FF5u,
                 {scalerDBSmoothedConstructor, scalerDBSmoothedProcess, IOMatchUpModule_Bypass, scalerDBSmoothedSet},
                 kVariables);
