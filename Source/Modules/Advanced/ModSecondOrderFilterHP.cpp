// SecondOrderFilterHP: one parametric section of a numbered filter type on every channel, in state-space form; its
// set in use glides toward the design once per block while `updateActive` is set.
#include "Modules/Advanced/HpBiquads.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::hp;
using namespace kve::scalers;

struct SecondOrderFilterHPModule {
    ClassModule header;
    int32_t filterType;
    float freq;          // Hz
    float gain;          // dB
    float Q;             // positive: quality factor; negative: bandwidth in octaves
    float smoothingTime; // ms
    int32_t updateActive;
    float smoothingCoeff;
    float *targetCoeffs;
    float *currentCoeffs;
    float *state;
};

constexpr std::array<Variable, 10> kVariables = {
    KVE_VARIABLE(SecondOrderFilterHPModule, filterType, Int),
    KVE_VARIABLE(SecondOrderFilterHPModule, freq, Float),
    KVE_VARIABLE(SecondOrderFilterHPModule, gain, Float),
    KVE_VARIABLE(SecondOrderFilterHPModule, Q, Float),
    KVE_VARIABLE(SecondOrderFilterHPModule, smoothingTime, Float),
    KVE_VARIABLE(SecondOrderFilterHPModule, updateActive, Int),
    KVE_VARIABLE(SecondOrderFilterHPModule, smoothingCoeff, Float),
    KVE_ARRAY(SecondOrderFilterHPModule, targetCoeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(SecondOrderFilterHPModule, currentCoeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(SecondOrderFilterHPModule, state, FloatArray, perChannelOfWire(0, kSectionStateWords)),
};

ClassModule *secondOrderFilterHPConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                            const uint32_t *args)
{
    return construct(kve_modSecondOrderFilterHPClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void secondOrderFilterHPProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SecondOrderFilterHPModule *>(m);
    runSmoothedSection(wire(m, 0), wire(m, 1), s->currentCoeffs, s->targetCoeffs, s->updateActive,
                       s->smoothingCoeff, s->state, capacity(m, 2));
}

int32_t secondOrderFilterHPSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SecondOrderFilterHPModule *>(m);
    const GenericWire *in = wire(m, 0);
    s->smoothingCoeff = blockSmoother(s->smoothingTime, in);
    s->updateActive = 0;
    design_second_order_filter(s->filterType, s->targetCoeffs, in->sampleRate, s->freq, s->gain, s->Q);
    design_sos2ss(s->targetCoeffs, s->targetCoeffs);
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<10> kve_modSecondOrderFilterHPClass = makeClass<10>(
    0xBEEF0D34u, {secondOrderFilterHPConstructor, secondOrderFilterHPProcess, IOMatchUpModule_Bypass,
                  secondOrderFilterHPSet},
    kVariables);
