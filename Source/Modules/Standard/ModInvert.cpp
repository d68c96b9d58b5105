// Invert: wire 0 into wire 1 with a gain that glides to -1 while `isInverted` is set and back to +1 when it is not,
// so the polarity flips without a click.
#include "Modules/Standard/Faders.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct InvertModule {
    ClassModule header;
    int32_t isInverted;
    float smoothingTime;
    float currentGain;
    float smoothingCoeff;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(InvertModule, isInverted, Int),
    KVE_VARIABLE(InvertModule, smoothingTime, Float),
    KVE_VARIABLE(InvertModule, currentGain, Float),
    KVE_VARIABLE(InvertModule, smoothingCoeff, Float),
};

ClassModule *invertConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    return construct(kve_modInvertClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void invertProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<InvertModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const float target = s->isInverted != 0 ? -1.0f : 1.0f;
    kve_vecScaleSmooth_Nch(samples(in), samples(out), static_cast<int32_t>(channels(in)), &s->currentGain, target,
                           s->smoothingCoeff, frames(in, out));
}

int32_t invertSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<InvertModule *>(m);
    if (mask & (1u << 9))
        s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modInvertClass =
    makeClass<4>(0xBEEF0815u, {invertConstructor, invertProcess, IOMatchUpModule_Bypass, invertSet}, kVariables);
