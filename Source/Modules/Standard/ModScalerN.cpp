// ScalerN: scales each channel of input wire 0 into output wire 1 by its own linear gain.
#include "Modules/Standard/Scalers.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerNModule {
    ClassModule header;
    float *gain;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_ARRAY(ScalerNModule, gain, FloatArray, perChannelOfWire(0)),
};

ClassModule *scalerNConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    return construct(kve_modScalerNClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void scalerNProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerNModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const auto ch = static_cast<int32_t>(channels(in));
    const uint32_t served = servedChannels(channels(in), capacity(m, 0));
    for (uint32_t c = 0; c < served; ++c)
        kve_vecScale(samples(in) + c, ch, samples(out) + c, ch, s->gain[c], frames(in, out));
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modScalerNClass =
    makeClass<1>(0xBEEF0FF9u, {scalerNConstructor, scalerNProcess}, kVariables);
