// MixerDense: each output channel of wire 1 is the sum of every input channel of wire 0 weighted by its row of the
// gain matrix (output-major, as its Fract32 twin keeps it), zero entries included.
#include "Modules/Standard/Mixers.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::mixers;
using namespace kve::scalers;

struct MixerDenseModule {
    ClassModule header;
    float *gain;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_ARRAY_IN(MixerDenseModule, gain, FloatArray, perChannelOfWire(0), 0x23u),
};

ClassModule *mixerDenseConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const auto variables = withMatrixLength(kVariables, wires);
    return construct(kve_modMixerDenseClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

// The mix kernel takes its matrix input-major; the output-major matrix is walked row by row instead, which stays
// right whatever the counts of inputs and outputs.
void mixerDenseProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<MixerDenseModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t inputs = channels(in);
    const uint32_t outputs = channels(out);
    const int32_t n = blockFrames(in, out);
    kve_vecFill(samples(out), 1, 0.0f, static_cast<int32_t>(wireWords(out)));
    const uint32_t served = servedOutputs(outputs, inputs, capacity(m, 0));
    for (uint32_t o = 0; o < served; ++o)
        for (uint32_t i = 0; i < inputs; ++i)
            kve_vecScaleAdd(samples(in) + i, static_cast<int32_t>(inputs), samples(out) + o,
                            static_cast<int32_t>(outputs), s->gain[o * inputs + i], n);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modMixerDenseClass =
    makeClass<1>(0xBEEF0FE5u, {mixerDenseConstructor, mixerDenseProcess, IOAcrossModule_Bypass}, kVariables);
