// ScalerControl: scales each audio input (wires 1..N) into its output by the gains of control pin 0, one target per
// control sample, each over its share of the block.
#include <algorithm>

#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerControlModule {
    ClassModule header;
    float smoothingTime;
    float currentGain;
    float smoothingCoeff;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(ScalerControlModule, smoothingTime, Float),
    KVE_VARIABLE(ScalerControlModule, currentGain, Float),
    KVE_VARIABLE(ScalerControlModule, smoothingCoeff, Float),
};

ClassModule *scalerControlConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    // The control pin, then one input for every output.
    const uint32_t outputs = std::max(1u, KVE_PACKED_OUTPUTS(wireWord));
    return construct(kve_modScalerControlClass, kVariables, outputs + 1, outputs, status, wireWord, wires, argc,
                     args);
}

void scalerControlProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerControlModule *>(m);
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    const uint32_t pairs = KVE_PACKED_OUTPUTS(m->packed);
    const GenericWire *control = wire(m, 0);
    if (isComplex(wire(m, 1))) {
        for (uint32_t k = 0; k < pairs; ++k) {
            const GenericWire *in = wire(m, 1 + k);
            const GenericWire *out = wire(m, inputs + k);
            kve_vecScale(samples(in), 1, samples(out), 1, firstControl(control, 1.0f), pairWords(in, out));
        }
        return;
    }
    // One target per control sample the control buffer holds.
    const auto targets =
        static_cast<int32_t>(std::min(KVE_WIRE_BLOCK_SIZE(control->info2), wireWords(control)));
    // Every pair glides from the same stored gain, so all outputs follow one trajectory.
    float working = s->currentGain;
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = wire(m, 1 + k);
        const GenericWire *out = wire(m, inputs + k);
        working = s->currentGain;
        kve_vecScaleSmoothSubblock_Nch(samples(in), samples(out), static_cast<int32_t>(channels(in)), &working,
                                       samples(control), targets, s->smoothingCoeff, frames(in, out));
    }
    s->currentGain = working;
}

int32_t scalerControlSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerControlModule *>(m);
    s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 1)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modScalerControlClass = makeClass<3>(
    0xBEEF0818u, {scalerControlConstructor, scalerControlProcess, IOMatchUpModule_Bypass, scalerControlSet},
    kVariables);
