// SecondOrderFilterSmoothed: one parametric section (filter type, frequency, gain, Q) on every channel; Set designs
// the targets `b0`..`a2`, and the running coefficients `currentB0`..`currentA2` glide toward them once per block.
#include "Modules/Standard/Tone.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::filters;
using namespace kve::kit;
using namespace kve::scalers;
using namespace kve::tone;

struct SecondOrderFilterSmoothedModule {
    ClassModule header;
    int32_t filterType;
    float freq;
    float gain;
    float Q;
    float smoothingTime;
    int32_t updateActive;
    float b0, b1, b2, a1, a2;
    float currentB0, currentB1, currentB2, currentA1, currentA2;
    float smoothingCoeff;
    float *state;
};

constexpr std::array<Variable, 18> kVariables = {
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, filterType, Int),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, freq, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, gain, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, Q, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, updateActive, Int),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, b0, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, b1, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, b2, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, a1, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, a2, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, currentB0, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, currentB1, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, currentB2, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, currentA1, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, currentA2, Float),
    KVE_VARIABLE(SecondOrderFilterSmoothedModule, smoothingCoeff, Float),
    KVE_ARRAY(SecondOrderFilterSmoothedModule, state, FloatArray, perChannelOfWire(0, 2)),
};

ClassModule *secondOrderFilterSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                  uint32_t argc, const uint32_t *args)
{
    return construct(kve_modSecondOrderFilterSmoothedClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void secondOrderFilterSmoothedProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SecondOrderFilterSmoothedModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    float current[kSectionWords] = {s->currentB0, s->currentB1, s->currentB2, s->currentA1, s->currentA2};
    if (s->updateActive != 0) {
        const float target[kSectionWords] = {s->b0, s->b1, s->b2, s->a1, s->a2};
        glideCoefficients(current, target, s->smoothingCoeff, kSectionWords);
        s->currentB0 = current[0];
        s->currentB1 = current[1];
        s->currentB2 = current[2];
        s->currentA1 = current[3];
        s->currentA2 = current[4];
    }
    biquadChannels(samples(in), samples(out), channels(in), servedChannels(channels(in), capacity(m, 0) / 2), current,
                   s->state, frames(in, out));
}

int32_t secondOrderFilterSmoothedSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SecondOrderFilterSmoothedModule *>(m);
    const GenericWire *in = wire(m, 0);
    s->smoothingCoeff =
        blockSmoother(s->smoothingTime, in);
    // Process glides only while the flag stands, so it never sees half a design.
    s->updateActive = 0;
    float design[kSectionWords];
    design_second_order_filter(s->filterType, design, in->sampleRate, s->freq, s->gain, s->Q);
    s->b0 = design[0];
    s->b1 = design[1];
    s->b2 = design[2];
    s->a1 = design[3];
    s->a2 = design[4];
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<18> kve_modSecondOrderFilterSmoothedClass =
    makeClass<18>(0xBEEF0807u,
                  {secondOrderFilterSmoothedConstructor, secondOrderFilterSmoothedProcess, IOMatchUpModule_Bypass,
                   secondOrderFilterSmoothedSet},
                  kVariables);
