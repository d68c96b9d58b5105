// ScalerV2: scales each input wire into its output wire by a gain, linear or in dB, that glides toward its target;
// with more inputs than outputs, input 0 is a control pin whose first sample modulates the gain every block.
#include <algorithm>

#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerV2Module {
    ClassModule header;
    float gain;
    float smoothingTime;
    int32_t isDB;
    float targetGain;
    float currentGain;
    float smoothingCoeff;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(ScalerV2Module, gain, Float),          KVE_VARIABLE(ScalerV2Module, smoothingTime, Float),
    KVE_VARIABLE(ScalerV2Module, isDB, Int),            KVE_VARIABLE(ScalerV2Module, targetGain, Float),
    KVE_VARIABLE(ScalerV2Module, currentGain, Float),   KVE_VARIABLE(ScalerV2Module, smoothingCoeff, Float),
};

ClassModule *scalerV2Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                 const uint32_t *args)
{
    // One input per output, or a control pin besides them: never fewer inputs than outputs.
    const uint32_t outputs = std::max(1u, KVE_PACKED_OUTPUTS(wireWord));
    return construct(kve_modScalerV2Class, kVariables, outputs, outputs, status, wireWord, wires, argc, args);
}

void scalerV2Process(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerV2Module *>(m);
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    const uint32_t pairs = KVE_PACKED_OUTPUTS(m->packed);
    const uint32_t firstInput = inputs == pairs ? 0 : 1;
    float g = s->targetGain;
    if (firstInput == 1) {
        const float v = firstControl(wire(m, 0), s->isDB == 0 ? 1.0f : 0.0f);
        g = s->isDB == 0 ? v * s->targetGain : undB(v + s->gain);
    }
    if (isComplex(wire(m, firstInput)) || s->smoothingTime == 0.0f) {
        for (uint32_t k = 0; k < pairs; ++k) {
            const GenericWire *in = wire(m, firstInput + k);
            const GenericWire *out = wire(m, inputs + k);
            kve_vecScale(samples(in), 1, samples(out), 1, g, pairWords(in, out));
        }
        return;
    }
    // Every pair glides from the same stored gain, so all outputs follow one trajectory.
    float working = s->currentGain;
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = wire(m, firstInput + k);
        const GenericWire *out = wire(m, inputs + k);
        working = s->currentGain;
        kve_vecScaleSmooth_Nch(samples(in), samples(out), static_cast<int32_t>(channels(in)), &working, g,
                               s->smoothingCoeff, frames(in, out));
    }
    s->currentGain = working;
}

int32_t scalerV2Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<ScalerV2Module *>(m);
    if (mask & (1u << 9))
        s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate);
    s->targetGain = s->isDB == 0 ? s->gain : undB(s->gain);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modScalerV2Class =
    makeClass<6>(0xBEEF0813u, {scalerV2Constructor, scalerV2Process, IOMatchUpModule_Bypass, scalerV2Set},
                 kVariables);
