// SMixer2x1Fract32: output wire 2 = input 0 × gain1 + input 1 × gain2 in Fract32, each gain (scaled by gainScale
// and held as Q1.31 by Set) gliding sample by sample toward its target, the same trajectory on every channel.
#include <algorithm>

#include "Modules/Standard/Mixers.h"
#include "Modules/Standard/ScalersFract32.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct SMixer2x1Fract32Module {
    ClassModule header;
    float gain1;
    float gain2;
    float smoothingTime;
    Fract32 targetGain1;
    Fract32 currentGain1;
    Fract32 targetGain2;
    Fract32 currentGain2;
    Fract32 smoothingCoeff;
    int32_t postShift;
    float gainScale;
};

constexpr std::array<Variable, 10> kVariables = {
    KVE_VARIABLE(SMixer2x1Fract32Module, gain1, Float),
    KVE_VARIABLE(SMixer2x1Fract32Module, gain2, Float),
    KVE_VARIABLE(SMixer2x1Fract32Module, smoothingTime, Float),
    KVE_VARIABLE(SMixer2x1Fract32Module, targetGain1, Fract32),
    KVE_VARIABLE(SMixer2x1Fract32Module, currentGain1, Fract32),
    KVE_VARIABLE(SMixer2x1Fract32Module, targetGain2, Fract32),
    KVE_VARIABLE(SMixer2x1Fract32Module, currentGain2, Fract32),
    KVE_VARIABLE(SMixer2x1Fract32Module, smoothingCoeff, Fract32),
    KVE_VARIABLE(SMixer2x1Fract32Module, postShift, Int),
    KVE_VARIABLE(SMixer2x1Fract32Module, gainScale, Float),
};

ClassModule *sMixer2x1Fract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                         const uint32_t *args)
{
    return construct(kve_modSMixer2x1Fract32Class, kVariables, 2, 1, status, wireWord, wires, argc, args);
}

// Every channel glides from the stored gain, so all channels follow one trajectory; both inputs are read with the
// channels of input 0, over the frames every wire holds in that shape.
void sMixer2x1Fract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<SMixer2x1Fract32Module *>(m);
    const GenericWire *a = wire(m, 0);
    const GenericWire *b = wire(m, 1);
    const GenericWire *out = wire(m, 2);
    const uint32_t ch = channels(a);
    const auto stride = static_cast<int32_t>(ch);
    const int32_t n = std::min(frames(a, out), frames(a, b));
    Fract32 working = s->currentGain1;
    for (uint32_t c = 0; c < ch; ++c) {
        working = s->currentGain1;
        kve_vecScaleSmoothFract32(words(a) + c, stride, words(out) + c, stride, &working, s->targetGain1,
                                  s->postShift, s->smoothingCoeff, n);
    }
    s->currentGain1 = working;
    working = s->currentGain2;
    for (uint32_t c = 0; c < ch; ++c) {
        working = s->currentGain2;
        kve_vecScaleAddSmoothFract32(words(b) + c, stride, words(out) + c, stride, &working, s->targetGain2,
                                     s->postShift, s->smoothingCoeff, n);
    }
    s->currentGain2 = working;
}

int32_t sMixer2x1Fract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SMixer2x1Fract32Module *>(m);
    s->smoothingCoeff = kve_rounded(design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate));
    s->targetGain1 = kve_rounded(s->gainScale * s->gain1);
    s->targetGain2 = kve_rounded(s->gainScale * s->gain2);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<10> kve_modSMixer2x1Fract32Class = makeClass<10>(
    0xBEEF08C6u,
    {sMixer2x1Fract32Constructor, sMixer2x1Fract32Process, IOMatchUpModule_Bypass, sMixer2x1Fract32Set},
    kVariables);
