// BiquadCascadeHP: `numStages` sections in series in state-space form, one coefficient set per stage for every
// channel; Set turns the direct-form `coeffs` into the state-space sets Process runs.
#include "Modules/Advanced/HpBiquads.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::hp;

constexpr uint32_t kStateVariable = 3;

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(BiquadCascadeHPModule, numStages, Int),
    KVE_ARRAY(BiquadCascadeHPModule, coeffs, FloatArray, perArgument(0, kSectionWords)),
    KVE_ARRAY(BiquadCascadeHPModule, ssCoeffs, FloatArray, perArgument(0, kSectionWords)),
    KVE_ARRAY(BiquadCascadeHPModule, state, FloatArray, perArgument(0, kSectionStateWords)),
};

ClassModule *biquadCascadeHPConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    if (!stagesArgumentValid(status, argc, args, 1, 0) || !requireWires(status, wireWord, 1, 1))
        return nullptr;
    return construct(kve_modBiquadCascadeHPClass,
                     kve::tone::withStageState(kVariables, kStateVariable, 0, kSectionStateWords, wires), 1, 1,
                     status, wireWord, wires, argc, args);
}

uint32_t stagesOf(ClassModule *m)
{
    const int32_t written = reinterpret_cast<BiquadCascadeHPModule *>(m)->numStages;
    return clampedCount(written, std::min(capacity(m, 0), capacity(m, 1)) / kSectionWords);
}

void biquadCascadeHPProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadCascadeHPModule *>(m);
    const uint32_t stages = stagesOf(m);
    if (stages == 0)
        return; // no sections run: the output wire keeps what it holds
    runStateSpaceStages(wire(m, 0), wire(m, 1), s->ssCoeffs, nullptr, false, 0.0f, s->state, stages, capacity(m, 2));
}

int32_t biquadCascadeHPSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<BiquadCascadeHPModule *>(m);
    toStateSpace(s->coeffs, s->ssCoeffs, stagesOf(m));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modBiquadCascadeHPClass = makeClass<4>(
    kBiquadCascadeHPClassId, {biquadCascadeHPConstructor, biquadCascadeHPProcess, IOMatchUpModule_Bypass,
                              biquadCascadeHPSet},
    kVariables);
