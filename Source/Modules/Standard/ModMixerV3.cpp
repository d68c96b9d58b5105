// MixerV3: a matrix mixer over several input wires (their channels numbered across the wires in order) into the
// last wire that keeps only the non-zero entries of its matrix, as a list of at most maxTerms terms built by Set.
#include <cmath>

#include "Modules/Standard/Mixers.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::mixers;
using namespace kve::scalers;

struct MixerV3Module {
    ClassModule header;
    int32_t maxTerms;
    int32_t inputChannels;
    float *gain;
    float *termGain;
    Term<float> *terms;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MixerV3Module, maxTerms, Int),
    KVE_VARIABLE(MixerV3Module, inputChannels, Int),
    KVE_ARRAY(MixerV3Module, gain, FloatArray, perArgument(1)),
    KVE_ARRAY(MixerV3Module, termGain, FloatArray, perArgument(0)),
    KVE_ARRAY(MixerV3Module, terms, IntArray, perArgument(0, kTermWords)),
};

// The matrix holds inputChannels entries per channel of the output wire, the wire after the inputs.
ClassModule *mixerV3Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    auto variables = kVariables;
    variables[2].length = perArgument(1, channels(wires[KVE_PACKED_INPUTS(wireWord)]));
    return construct(kve_modMixerV3Class, variables, 1, 1, status, wireWord, wires, argc, args);
}

// Slots a host-written maxTerms may use: never past the term gains or the terms.
uint32_t slots(ClassModule *m)
{
    const auto wanted = static_cast<uint32_t>(std::max(reinterpret_cast<MixerV3Module *>(m)->maxTerms, 0));
    return std::min({wanted, capacity(m, 1), capacity(m, 2) / kTermWords});
}

void mixerV3Process(ClassModule *m)
{
    auto *s = reinterpret_cast<MixerV3Module *>(m);
    const GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    kve_vecFill(samples(out), 1, 0.0f, static_cast<int32_t>(wireWords(out)));
    const int32_t n = commonFrames(m);
    const uint32_t count = slots(m);
    for (uint32_t k = 0; k < count; ++k)
        if (std::fabs(s->termGain[k]) >= 1e-6f)
            kve_vecScaleAdd(s->terms[k].input, s->terms[k].stride, s->terms[k].output,
                            static_cast<int32_t>(channels(out)), s->termGain[k], n);
}

// Bit 10, the matrix: the term list is rebuilt in matrix order, output by output, and cut at maxTerms terms.
int32_t mixerV3Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<MixerV3Module *>(m);
    if ((mask & (1u << 10)) == 0)
        return 0;
    const uint32_t count = slots(m);
    uint32_t n = buildTerms<float>(m, s->gain, capacity(m, 0), count, [s](uint32_t k, Term<float> term, float g) {
        s->terms[k] = term;
        s->termGain[k] = g;
    });
    for (; n < count; ++n)
        s->termGain[n] = 0.0f;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMixerV3Class =
    makeClass<5>(0xBEEF0816u, {mixerV3Constructor, mixerV3Process, channelCopyBypass, mixerV3Set}, kVariables);
