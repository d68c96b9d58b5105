// BiquadSmoothedHP: one state-space section on every channel whose set in use glides, once per block while
// `updateActive` is set, toward the set Set derives from the direct-form `coeffs`.
#include "Modules/Advanced/HpBiquads.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::hp;
using namespace kve::scalers;

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(BiquadSmoothedHPModule, updateActive, Int),
    KVE_VARIABLE(BiquadSmoothedHPModule, smoothingTime, Float),
    KVE_VARIABLE(BiquadSmoothedHPModule, smoothingCoeff, Float),
    KVE_ARRAY(BiquadSmoothedHPModule, coeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(BiquadSmoothedHPModule, targetCoeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(BiquadSmoothedHPModule, currentCoeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(BiquadSmoothedHPModule, state, FloatArray, perChannelOfWire(0, kSectionStateWords)),
};

constexpr uint32_t kSmoothingTimeChanged = 1u << 9;
constexpr uint32_t kCoeffsChanged = 1u << 11;

ClassModule *biquadSmoothedHPConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                         const uint32_t *args)
{
    return construct(kve_modBiquadSmoothedHPClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void biquadSmoothedHPProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadSmoothedHPModule *>(m);
    runSmoothedSection(wire(m, 0), wire(m, 1), s->currentCoeffs, s->targetCoeffs, s->updateActive,
                       s->smoothingCoeff, s->state, capacity(m, 3));
}

int32_t biquadSmoothedHPSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<BiquadSmoothedHPModule *>(m);
    if (mask & kSmoothingTimeChanged)
        s->smoothingCoeff = blockSmoother(s->smoothingTime, wire(m, 0));
    if (mask & kCoeffsChanged) {
        // No glide toward a half-written target.
        s->updateActive = 0;
        design_sos2ss(s->coeffs, s->targetCoeffs);
        s->updateActive = 1;
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modBiquadSmoothedHPClass = makeClass<7>(
    kBiquadSmoothedHPClassId, {biquadSmoothedHPConstructor, biquadSmoothedHPProcess, IOMatchUpModule_Bypass,
                               biquadSmoothedHPSet},
    kVariables);
