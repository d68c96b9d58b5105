// BiquadCascade: `numStages` second-order sections in series, one coefficient set for every channel; channel pairs
// run together, a last odd channel alone.
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::scalers;

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(BiquadCascadeModule, numStages, Int),
    KVE_ARRAY(BiquadCascadeModule, coeffs, FloatArray, perArgument(0, kSectionWords)),
    KVE_ARRAY(BiquadCascadeModule, state, FloatArray, perChannelOfWire(0)),
};

ClassModule *biquadCascadeConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    const int32_t stages = sizeArgument(argc, args, 1, 0);
    if (*status == KVE_OK && stages < 0) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    auto variables = kVariables;
    variables[2].length = perChannelOfWire(0, elementFactor(static_cast<uint32_t>(stages), kSectionStateWords));
    return construct(kve_modBiquadCascadeClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

void biquadCascadeProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadCascadeModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const uint32_t stages = clampedCount(s->numStages, capacity(m, 0) / kSectionWords);
    if (stages == 0)
        return; // no sections run: the output wire keeps what it holds, as the twin classes do
    const uint32_t perChannel = kSectionStateWords * stages;
    const uint32_t served = servedChannels(channels(in), capacity(m, 1) / perChannel);
    const auto ch = static_cast<int32_t>(channels(in));
    const int32_t n = frames(in, out);
    const auto sections = static_cast<int32_t>(stages);
    uint32_t c = 0;
    for (; c + 2 <= served; c += 2)
        kve_vecBiquadCascade_2ch(samples(in) + c, ch, samples(out) + c, ch, s->coeffs, s->state + c * perChannel,
                                 sections, n);
    if (c < served)
        kve_vecBiquadCascade(samples(in) + c, ch, samples(out) + c, ch, s->coeffs, s->state + c * perChannel,
                             sections, n);
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modBiquadCascadeClass =
    makeClass<3>(kBiquadCascadeClassId, {biquadCascadeConstructor, biquadCascadeProcess}, kVariables);
