// BiquadSmoothed: one second-order section whose coefficients glide toward the targets `b0`..`a2`, one step per
// block while `updateActive` is set; the section always runs on the current coefficients.
#include <cmath>

#include "Modules/Standard/Filters.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::scalers;

constexpr std::array<Variable, 14> kVariables = {
    KVE_VARIABLE(BiquadSmoothedModule, updateActive, Int),
    KVE_VARIABLE(BiquadSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(BiquadSmoothedModule, b0, Float),
    KVE_VARIABLE(BiquadSmoothedModule, b1, Float),
    KVE_VARIABLE(BiquadSmoothedModule, b2, Float),
    KVE_VARIABLE(BiquadSmoothedModule, a1, Float),
    KVE_VARIABLE(BiquadSmoothedModule, a2, Float),
    KVE_VARIABLE(BiquadSmoothedModule, currentB0, Float),
    KVE_VARIABLE(BiquadSmoothedModule, currentB1, Float),
    KVE_VARIABLE(BiquadSmoothedModule, currentB2, Float),
    KVE_VARIABLE(BiquadSmoothedModule, currentA1, Float),
    KVE_VARIABLE(BiquadSmoothedModule, currentA2, Float),
    KVE_VARIABLE(BiquadSmoothedModule, smoothingCoeff, Float),
    KVE_ARRAY(BiquadSmoothedModule, state, FloatArray, perChannelOfWire(0, kSectionStateWords)),
};

ClassModule *biquadSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    return construct(kve_modBiquadSmoothedClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

// While updating, the current coefficients take one step toward the targets, then the section runs on them.
void biquadSmoothedProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadSmoothedModule *>(m);
    if (s->updateActive != 0) {
        const float c = s->smoothingCoeff;
        s->currentB0 = glideTowards(s->currentB0, s->b0, c);
        s->currentB1 = glideTowards(s->currentB1, s->b1, c);
        s->currentB2 = glideTowards(s->currentB2, s->b2, c);
        s->currentA1 = glideTowards(s->currentA1, s->a1, c);
        s->currentA2 = glideTowards(s->currentA2, s->a2, c);
    }
    const float coeffs[kSectionWords] = {s->currentB0, s->currentB1, s->currentB2, s->currentA1, s->currentA2};
    const GenericWire *in = wire(m, 0);
    const uint32_t served = servedChannels(channels(in), capacity(m, 0) / kSectionStateWords);
    runBiquad(in, wire(m, 1), coeffs, s->state, served);
}

int32_t biquadSmoothedSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<BiquadSmoothedModule *>(m);
    const GenericWire *in = wire(m, 0);
    s->smoothingCoeff = blockSmoother(s->smoothingTime, in);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<14> kve_modBiquadSmoothedClass = makeClass<14>(
    0xBEEF080Du, {biquadSmoothedConstructor, biquadSmoothedProcess, IOMatchUpModule_Bypass, biquadSmoothedSet},
    kVariables);
