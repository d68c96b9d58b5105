// BiquadNCascade: `numStages` second-order sections in series with a coefficient set of its own for every channel;
// channel pairs run together, a last odd channel alone.
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::scalers;

struct BiquadNCascadeModule {
    ClassModule header;
    int32_t numStages;
    float *coeffs;
    float *state;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(BiquadNCascadeModule, numStages, Int),
    KVE_ARRAY(BiquadNCascadeModule, coeffs, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(BiquadNCascadeModule, state, FloatArray, perChannelOfWire(0)),
};

ClassModule *biquadNCascadeConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    const int32_t stages = sizeArgument(argc, args, 1, 0);
    if (*status == KVE_OK && stages < 0) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    auto variables = kVariables;
    variables[1].length = perChannelOfWire(0, elementFactor(static_cast<uint32_t>(stages), kSectionWords));
    variables[2].length = perChannelOfWire(0, elementFactor(static_cast<uint32_t>(stages), kSectionStateWords));
    return construct(kve_modBiquadNCascadeClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

void biquadNCascadeProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadNCascadeModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const uint32_t ch = channels(in);
    if (ch == 0)
        return;
    // The coefficients hold a full set per channel of the wire as it was built.
    const uint32_t stages = clampedCount(s->numStages, capacity(m, 0) / (kSectionWords * ch));
    if (stages == 0)
        return; // no sections run: the output wire keeps what it holds, as the twin classes do
    const uint32_t coeffsPerChannel = kSectionWords * stages;
    const uint32_t statePerChannel = kSectionStateWords * stages;
    const uint32_t served =
        servedChannels(ch, std::min(capacity(m, 0) / coeffsPerChannel, capacity(m, 1) / statePerChannel));
    const auto inc = static_cast<int32_t>(ch);
    const int32_t n = frames(in, out);
    const auto sections = static_cast<int32_t>(stages);
    uint32_t c = 0;
    for (; c + 2 <= served; c += 2)
        kve_vecBiquadNCascade_2ch(samples(in) + c, inc, samples(out) + c, inc, s->coeffs + c * coeffsPerChannel,
                                  s->coeffs + (c + 1) * coeffsPerChannel, s->state + c * statePerChannel, sections, n);
    if (c < served)
        kve_vecBiquadCascade(samples(in) + c, inc, samples(out) + c, inc, s->coeffs + c * coeffsPerChannel,
                             s->state + c * statePerChannel, sections, n);
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modBiquadNCascadeClass =
    makeClass<3>(0xBEEF080Cu, {biquadNCascadeConstructor, biquadNCascadeProcess}, kVariables);
