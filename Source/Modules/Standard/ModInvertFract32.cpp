// InvertFract32: wire 0 into wire 1 with a Q1.31 gain that glides to -1 while `isInverted` is set and back to
// nearly +1 when it is not. Every Set restarts the glide from `startGain`.
#include "Modules/Standard/Faders.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct InvertFract32Module {
    ClassModule header;
    int32_t isInverted;
    float smoothingTime;
    float startGain;
    float floatCoeff;
    Fract32 currentGain;
    Fract32 smoothingCoeff;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(InvertFract32Module, isInverted, Int),   KVE_VARIABLE(InvertFract32Module, smoothingTime, Float),
    KVE_VARIABLE(InvertFract32Module, startGain, Float),  KVE_VARIABLE(InvertFract32Module, floatCoeff, Float),
    KVE_VARIABLE(InvertFract32Module, currentGain, Fract32),
    KVE_VARIABLE(InvertFract32Module, smoothingCoeff, Fract32),
};

ClassModule *invertFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    return construct(kve_modInvertFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void invertFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<InvertFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const Fract32 target = s->isInverted != 0 ? INT32_MIN : INT32_MAX;
    s->currentGain = glideChannelsFrom(words(in), words(out), channels(in), frames(in, out), s->currentGain, target,
                                       s->smoothingCoeff);
}

int32_t invertFract32Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<InvertFract32Module *>(m);
    if (mask & (1u << 9))
        s->smoothingCoeff = kve_rounded(design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate));
    s->currentGain = kve_rounded(s->startGain);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modInvertFract32Class = makeClass<6>(
    0xBEEF0891u, {invertFract32Constructor, invertFract32Process, IOMatchUpModule_Bypass, invertFract32Set},
    kVariables);
