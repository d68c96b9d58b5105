// SMixer2x1: output wire 2 = input 0 × gain1 + input 1 × gain2, each gain gliding sample by sample toward its
// target, the same gain for every channel of a frame.
#include <algorithm>

#include "Modules/Standard/Mixers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct SMixer2x1Module {
    ClassModule header;
    float gain1;
    float gain2;
    float smoothingTime;
    float currentGain1;
    float currentGain2;
    float smoothingCoeff;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(SMixer2x1Module, gain1, Float),        KVE_VARIABLE(SMixer2x1Module, gain2, Float),
    KVE_VARIABLE(SMixer2x1Module, smoothingTime, Float), KVE_VARIABLE(SMixer2x1Module, currentGain1, Float),
    KVE_VARIABLE(SMixer2x1Module, currentGain2, Float), KVE_VARIABLE(SMixer2x1Module, smoothingCoeff, Float),
};

ClassModule *sMixer2x1Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    return construct(kve_modSMixer2x1Class, kVariables, 2, 1, status, wireWord, wires, argc, args);
}

// Both inputs are read with the channels of input 0, so only the frames every wire holds in that shape are mixed.
void sMixer2x1Process(ClassModule *m)
{
    auto *s = reinterpret_cast<SMixer2x1Module *>(m);
    const GenericWire *a = wire(m, 0);
    const GenericWire *b = wire(m, 1);
    const GenericWire *out = wire(m, 2);
    const auto ch = static_cast<int32_t>(channels(a));
    const int32_t n = std::min(frames(a, out), frames(a, b));
    kve_vecScaleSmooth_Nch(samples(a), samples(out), ch, &s->currentGain1, s->gain1, s->smoothingCoeff, n);
    kve_vecScaleAddSmooth_Nch(samples(b), samples(out), ch, &s->currentGain2, s->gain2, s->smoothingCoeff, n);
}

int32_t sMixer2x1Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<SMixer2x1Module *>(m);
    if (mask & (1u << 10))
        s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modSMixer2x1Class =
    makeClass<6>(0xBEEF085Eu, {sMixer2x1Constructor, sMixer2x1Process, IOMatchUpModule_Bypass, sMixer2x1Set},
                 kVariables);
