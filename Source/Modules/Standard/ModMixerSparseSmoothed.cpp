// MixerSparseSmoothed: the term-list mixer over several input wires into the last wire whose term gains glide one
// smoothing step per block. The smoothed gains belong to the slots of the list, so a rebuild that shifts terms hands
// each slot's gain to the term now in it; only positive gains are mixed.
#include "Modules/Standard/Mixers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::mixers;
using namespace kve::scalers;

struct MixerSparseSmoothedModule {
    ClassModule header;
    float smoothingTime;
    float smoothingCoeff;
    int32_t maxTerms;
    int32_t inputChannels;
    float *gain;
    float *currentGain;
    float *termGain;
    Term<float> *terms;
};

constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(MixerSparseSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(MixerSparseSmoothedModule, smoothingCoeff, Float),
    KVE_VARIABLE(MixerSparseSmoothedModule, maxTerms, Int),
    KVE_VARIABLE(MixerSparseSmoothedModule, inputChannels, Int),
    KVE_ARRAY(MixerSparseSmoothedModule, gain, FloatArray, perArgument(3)),
    KVE_ARRAY(MixerSparseSmoothedModule, currentGain, FloatArray, perArgument(3)),
    KVE_ARRAY(MixerSparseSmoothedModule, termGain, FloatArray, perArgument(2)),
    KVE_ARRAY(MixerSparseSmoothedModule, terms, IntArray, perArgument(2, kTermWords)),
};

// The matrices hold inputChannels entries per channel of the output wire, the wire after the inputs.
ClassModule *mixerSparseSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                            const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    auto variables = kVariables;
    const uint32_t outputs = channels(wires[KVE_PACKED_INPUTS(wireWord)]);
    variables[4].length = variables[5].length = perArgument(3, outputs);
    return construct(kve_modMixerSparseSmoothedClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

// Slots a host-written maxTerms may use: never past the smoothed gains, the term gains or the terms. A list holds
// no more terms than the matrix has entries, so the smoothed gains never cut a term off.
uint32_t slots(ClassModule *m)
{
    const auto wanted = static_cast<uint32_t>(std::max(reinterpret_cast<MixerSparseSmoothedModule *>(m)->maxTerms, 0));
    return std::min({wanted, capacity(m, 1), capacity(m, 2), capacity(m, 3) / kTermWords});
}

void mixerSparseSmoothedProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<MixerSparseSmoothedModule *>(m);
    const GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    kve_vecFill(samples(out), 1, 0.0f, static_cast<int32_t>(wireWords(out)));
    const int32_t n = commonFrames(m);
    const uint32_t count = slots(m);
    kve_vecScale2x1(s->currentGain, s->termGain, s->currentGain, 1.0f - s->smoothingCoeff, s->smoothingCoeff,
                    static_cast<int32_t>(count));
    for (uint32_t k = 0; k < count; ++k)
        if (s->currentGain[k] >= 1e-6f)
            kve_vecScaleAdd(s->terms[k].input, s->terms[k].stride, s->terms[k].output,
                            static_cast<int32_t>(channels(out)), s->currentGain[k], n);
}

// Bit 8, the smoothing time: one step per block. Bit 12, the matrix: the term list is rebuilt in matrix order and
// cut at maxTerms terms.
int32_t mixerSparseSmoothedSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<MixerSparseSmoothedModule *>(m);
    const GenericWire *first = wire(m, 0);
    if (mask & (1u << 8))
        s->smoothingCoeff = blockSmoother(s->smoothingTime, first);
    if ((mask & (1u << 12)) == 0)
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

extern "C" constinit const ClassRecord<8> kve_modMixerSparseSmoothedClass = makeClass<8>(
    0xBEEF0FE9u,
    {mixerSparseSmoothedConstructor, mixerSparseSmoothedProcess, channelCopyBypass, mixerSparseSmoothedSet},
    kVariables);
