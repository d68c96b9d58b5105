// MixerV3Fract32: the Fract32 term-list mixer over several input wires into the last wire. Set holds the non-zero
// matrix entries as Q1.31 mantissas under one post-shift, the exponent of the largest entry; only positive term
// gains are mixed.
#include <cmath>

#include "Modules/Standard/Mixers.h"
#include "Modules/Standard/ScalersFract32.h"
#include "kve/kve_vec_arith.h"
#include "kve/kve_vec_conversion.h"
#include "kve/kve_vec_stats.h"

namespace {

using namespace kve::kit;
using namespace kve::mixers;
using namespace kve::scalers;

struct MixerV3Fract32Module {
    ClassModule header;
    int32_t maxTerms;
    int32_t postShift;
    float reserved;
    int32_t inputChannels;
    float *gain;
    Fract32 *termGain;
    Term<Fract32> *terms;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(MixerV3Fract32Module, maxTerms, Int),
    KVE_VARIABLE(MixerV3Fract32Module, postShift, Int),
    KVE_VARIABLE(MixerV3Fract32Module, reserved, Float),
    KVE_VARIABLE(MixerV3Fract32Module, inputChannels, Int),
    KVE_ARRAY(MixerV3Fract32Module, gain, FloatArray, perArgument(3)),
    KVE_ARRAY(MixerV3Fract32Module, termGain, Fract32Array, perArgument(0)),
    KVE_ARRAY(MixerV3Fract32Module, terms, IntArray, perArgument(0, kTermWords)),
};

// Term gains of about 1e-6 in Q1.31 and below, negative ones included, are not mixed.
constexpr Fract32 kSilentGain = 2146;

// The matrix holds inputChannels entries per channel of the output wire, the wire after the inputs.
ClassModule *mixerV3Fract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    auto variables = kVariables;
    variables[4].length = perArgument(3, channels(wires[KVE_PACKED_INPUTS(wireWord)]));
    return construct(kve_modMixerV3Fract32Class, variables, 1, 1, status, wireWord, wires, argc, args);
}

// Slots a host-written maxTerms may use: never past the term gains or the terms.
uint32_t slots(ClassModule *m)
{
    const auto wanted = static_cast<uint32_t>(std::max(reinterpret_cast<MixerV3Fract32Module *>(m)->maxTerms, 0));
    return std::min({wanted, capacity(m, 1), capacity(m, 2) / kTermWords});
}

void mixerV3Fract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<MixerV3Fract32Module *>(m);
    const GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    kve_vecFillFract32(words(out), 1, 0, static_cast<int32_t>(wireWords(out)));
    const int32_t n = commonFrames(m);
    const uint32_t count = slots(m);
    for (uint32_t k = 0; k < count; ++k)
        if (s->termGain[k] > kSilentGain)
            kve_vecScaleAddFract32(s->terms[k].input, s->terms[k].stride, s->terms[k].output,
                                   static_cast<int32_t>(channels(out)), s->termGain[k], s->postShift, n);
}

// Bit 12, the matrix: the post-shift follows the largest of the first outputs × inputChannels entries, then the term
// list is rebuilt in matrix order and cut at maxTerms terms.
int32_t mixerV3Fract32Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<MixerV3Fract32Module *>(m);
    if ((mask & (1u << 12)) == 0)
        return 0;
    const uint32_t outputs = channels(wire(m, KVE_PACKED_INPUTS(m->packed)));
    const auto declared = static_cast<uint64_t>(std::max(s->inputChannels, 0)) * outputs;
    uint32_t at = 0;
    int32_t shift = 0;
    mantissa(kve_vecMax(s->gain, static_cast<int32_t>(std::min<uint64_t>(declared, capacity(m, 0))), &at), &shift);
    s->postShift = shift;
    const uint32_t count = slots(m);
    uint32_t n = buildTerms<Fract32>(m, s->gain, capacity(m, 0), count, [s](uint32_t k, Term<Fract32> term, float g) {
        s->terms[k] = term;
        s->termGain[k] = kve_rounded(withoutShift(g, s->postShift));
    });
    for (; n < count; ++n)
        s->termGain[n] = 0;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modMixerV3Fract32Class = makeClass<7>(
    0xBEEF08A6u, {mixerV3Fract32Constructor, mixerV3Fract32Process, channelCopyBypass, mixerV3Fract32Set},
    kVariables);
