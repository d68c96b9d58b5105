// Mixer: each output channel of wire 1 is the sum of the input channels of wire 0 weighted by its row of the gain
// matrix (output-major); zero gains cost nothing. A complex wire mixes real and imaginary parts alike.
#include "Modules/Standard/Mixers.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::mixers;
using namespace kve::scalers;

struct MixerModule {
    ClassModule header;
    float *gain;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_ARRAY(MixerModule, gain, FloatArray, perChannelOfWire(0)),
};

ClassModule *mixerConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                              const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const auto variables = withMatrixLength(kVariables, wires);
    return construct(kve_modMixerClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

void mixerProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<MixerModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t inputs = channels(in);
    const uint32_t outputs = channels(out);
    // A complex sample is two words: its real and imaginary parts each form a channel of half the frames.
    const uint32_t parts = isComplex(in) ? 2 : 1;
    const int32_t n = blockFrames(in, out) / static_cast<int32_t>(parts);
    kve_vecFill(samples(out), 1, 0.0f, static_cast<int32_t>(wireWords(out)));
    const uint32_t served = servedOutputs(outputs, inputs, capacity(m, 0));
    for (uint32_t o = 0; o < served; ++o)
        for (uint32_t i = 0; i < inputs; ++i) {
            const float g = s->gain[o * inputs + i];
            if (g == 0.0f)
                continue;
            for (uint32_t p = 0; p < parts; ++p)
                kve_vecScaleAdd(samples(in) + parts * i + p, static_cast<int32_t>(parts * inputs),
                                samples(out) + parts * o + p, static_cast<int32_t>(parts * outputs), g, n);
        }
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modMixerClass =
    makeClass<1>(0xBEEF0FE6u, {mixerConstructor, mixerProcess, IOAcrossModule_Bypass}, kVariables);
