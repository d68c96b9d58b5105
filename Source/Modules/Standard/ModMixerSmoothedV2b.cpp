// MixerSmoothedV2b: a matrix mixer over several input wires (their channels numbered across the wires in order)
// into the last wire. Every gain moves one smoothing step per block, before the mix; output channels are mixed in
// pairs, an odd last channel alone; zero gains cost nothing.
#include "Modules/Standard/Mixers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::mixers;
using namespace kve::scalers;

struct MixerSmoothedV2bModule {
    ClassModule header;
    float smoothingTime;
    float smoothingCoeff;
    int32_t inputChannels;
    float *targetGain;
    float *currentGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MixerSmoothedV2bModule, smoothingTime, Float),
    KVE_VARIABLE(MixerSmoothedV2bModule, smoothingCoeff, Float),
    KVE_VARIABLE(MixerSmoothedV2bModule, inputChannels, Int),
    KVE_ARRAY(MixerSmoothedV2bModule, targetGain, FloatArray, perArgument(2)),
    KVE_ARRAY(MixerSmoothedV2bModule, currentGain, FloatArray, perArgument(2)),
};

// The matrices hold inputChannels entries per channel of the output wire, the wire after the inputs.
ClassModule *mixerSmoothedV2bConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                         const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    auto variables = kVariables;
    const uint32_t outputs = channels(wires[KVE_PACKED_INPUTS(wireWord)]);
    variables[3].length = variables[4].length = perArgument(2, outputs);
    return construct(kve_modMixerSmoothedV2bClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

void mixerSmoothedV2bProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<MixerSmoothedV2bModule *>(m);
    const uint32_t inputWires = KVE_PACKED_INPUTS(m->packed);
    const GenericWire *out = wire(m, inputWires);
    const uint32_t outputs = channels(out);
    uint32_t inputs = 0;
    for (uint32_t k = 0; k < inputWires; ++k)
        inputs += channels(wire(m, k));
    kve_vecFill(samples(out), 1, 0.0f, static_cast<int32_t>(wireWords(out)));
    const uint32_t served = servedOutputs(outputs, inputs, std::min(capacity(m, 0), capacity(m, 1)));
    kve_vecScale2x1(s->currentGain, s->targetGain, s->currentGain, 1.0f - s->smoothingCoeff, s->smoothingCoeff,
                    static_cast<int32_t>(served * inputs));
    const auto outStride = static_cast<int32_t>(outputs);
    for (uint32_t k = 0, g = 0; k < inputWires; ++k) {
        const GenericWire *in = wire(m, k);
        const uint32_t ch = channels(in);
        const int32_t n = std::min(blockFrames(wire(m, 0), out), blockFrames(in, out));
        for (uint32_t i = 0; i < ch; ++i, ++g) {
            const float *x = samples(in) + i;
            for (uint32_t o = 0; o + 1 < served; o += 2) {
                const float g0 = s->currentGain[o * inputs + g];
                const float g1 = s->currentGain[(o + 1) * inputs + g];
                if (g0 != 0.0f || g1 != 0.0f)
                    kve_vecMixerSmoothedV2b(x, static_cast<int32_t>(ch), samples(out) + o, outStride, g0, g1, n);
            }
            if (served % 2 == 1) {
                const float last = s->currentGain[(served - 1) * inputs + g];
                if (last != 0.0f)
                    kve_vecScaleAdd(x, static_cast<int32_t>(ch), samples(out) + (served - 1), outStride, last, n);
            }
        }
    }
}

int32_t mixerSmoothedV2bSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<MixerSmoothedV2bModule *>(m);
    const GenericWire *first = wire(m, 0);
    if (mask & (1u << 8))
        s->smoothingCoeff = blockSmoother(s->smoothingTime, first);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMixerSmoothedV2bClass = makeClass<5>(
    0xBEEF0FE8u, {mixerSmoothedV2bConstructor, mixerSmoothedV2bProcess, channelCopyBypass, mixerSmoothedV2bSet},
    kVariables);
