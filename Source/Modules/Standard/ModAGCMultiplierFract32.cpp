// AGCMultiplierFract32: every channel of the audio (wire 1) times the one-channel Fract32 gain signal (wire 0),
// then shifted by postShift, into wire 2.
#include "Modules/Standard/Dynamics.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct AGCMultiplierFract32Module {
    ClassModule header;
    int32_t postShift;
};

constexpr std::array<Variable, 1> kVariables = {KVE_VARIABLE(AGCMultiplierFract32Module, postShift, Int)};

ClassModule *agcMultiplierFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                             const uint32_t *args)
{
    return construct(kve_modAGCMultiplierFract32Class, kVariables, 2, 1, status, wireWord, wires, argc, args);
}

void agcMultiplierFract32Process(ClassModule *m)
{
    const auto *s = reinterpret_cast<const AGCMultiplierFract32Module *>(m);
    const auto *gain = static_cast<const Fract32 *>(wire(m, 0)->buffer);
    const GenericWire *audio = wire(m, 1);
    const auto ch = static_cast<int32_t>(kve::shapes::channels(audio));
    const auto *x = static_cast<const Fract32 *>(audio->buffer);
    auto *y = static_cast<Fract32 *>(wire(m, 2)->buffer);
    const int32_t n = gainedFrames(m);
    for (int32_t c = 0; c < ch && n > 0; ++c)
        kve_vecAGCMultiplierFract32(x + c, ch, gain, 1, y + c, ch, s->postShift, n);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modAGCMultiplierFract32Class = makeClass<1>(
    0xBEEF0883u, {agcMultiplierFract32Constructor, agcMultiplierFract32Process, passAudio}, kVariables);
