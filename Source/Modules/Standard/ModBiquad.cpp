// Biquad: one second-order section, its five coefficients public variables, run on every channel of the input.
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::scalers;

struct BiquadModule {
    ClassModule header;
    float b0, b1, b2, a1, a2;
    float *state;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(BiquadModule, b0, Float),
    KVE_VARIABLE(BiquadModule, b1, Float),
    KVE_VARIABLE(BiquadModule, b2, Float),
    KVE_VARIABLE(BiquadModule, a1, Float),
    KVE_VARIABLE(BiquadModule, a2, Float),
    KVE_ARRAY(BiquadModule, state, FloatArray, perChannelOfWire(0, kSectionStateWords)),
};

ClassModule *biquadConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    return construct(kve_modBiquadClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void biquadProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadModule *>(m);
    const float coeffs[kSectionWords] = {s->b0, s->b1, s->b2, s->a1, s->a2};
    const GenericWire *in = wire(m, 0);
    const uint32_t served = servedChannels(channels(in), capacity(m, 0) / kSectionStateWords);
    runBiquad(in, wire(m, 1), coeffs, s->state, served);
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modBiquadClass =
    makeClass<6>(0xBEEF080Au, {biquadConstructor, biquadProcess}, kVariables);
