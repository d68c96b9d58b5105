// GraphicEQBandHpFract32: one band of a graphic equaliser on Fract32 samples, `gain` dB between `lowerEdge` and
// `upperEdge`, as a cascade of `numStages` sections through the 24x24-bit datapath with a 56-bit accumulator. The
// feed-forward words are held scaled by 2^-postShiftB and the feedback words by 2^-postShiftA, so that designs
// beyond 1.0 fit; the running words glide toward the targets once per block.
#include <cmath>

#include "Modules/Advanced/AdvancedKit.h"
#include "Modules/Advanced/HpBiquads.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::hp;
using namespace kve::scalers;

struct GraphicEQBandHpFract32Module {
    ClassModule header;
    float gain;          // dB
    float lowerEdge;     // Hz
    float upperEdge;     // Hz
    float smoothingTime; // ms
    int32_t numStages;
    int32_t updateActive;
    int32_t postShiftB;
    int32_t postShiftA;
    Fract32 smoothingCoeff;
    float *coeffs;         // the design, direct form
    Fract32 *targetCoeffs;
    Fract32 *currentCoeffs;
    int32_t *state;        // six words per stage, all stages of a channel together
};

constexpr uint32_t kStateWords = 6;
constexpr uint32_t kStateArray = 3;

constexpr uint32_t kSmoothingTimeChanged = 1u << 11;
// The band (gain, edges) and, beyond those, whatever changes what the stored words mean: the stage count (stages
// added later would otherwise run on zero words and silence the band) and the two shifts (words scaled under the old
// shifts would otherwise play at the wrong gain until the band changed).
constexpr uint32_t kDesignChanged = (1u << 8) | (1u << 9) | (1u << 10) | (1u << 12) | (1u << 14) | (1u << 15);

constexpr std::array<Variable, 13> kVariables = {
    KVE_VARIABLE(GraphicEQBandHpFract32Module, gain, Float),
    KVE_VARIABLE(GraphicEQBandHpFract32Module, lowerEdge, Float),
    KVE_VARIABLE(GraphicEQBandHpFract32Module, upperEdge, Float),
    KVE_VARIABLE(GraphicEQBandHpFract32Module, smoothingTime, Float),
    KVE_VARIABLE(GraphicEQBandHpFract32Module, numStages, Int),
    KVE_VARIABLE(GraphicEQBandHpFract32Module, updateActive, Int),
    KVE_VARIABLE(GraphicEQBandHpFract32Module, postShiftB, Int),
    KVE_VARIABLE(GraphicEQBandHpFract32Module, postShiftA, Int),
    KVE_VARIABLE(GraphicEQBandHpFract32Module, smoothingCoeff, Fract32),
    KVE_ARRAY(GraphicEQBandHpFract32Module, coeffs, FloatArray, perArgument(4, kSectionWords)),
    KVE_ARRAY(GraphicEQBandHpFract32Module, targetCoeffs, Fract32Array, perArgument(4, kSectionWords)),
    KVE_ARRAY(GraphicEQBandHpFract32Module, currentCoeffs, Fract32Array, perArgument(4, kSectionWords)),
    // Six words per stage per channel; the constructor sets the length from the input wire.
    KVE_ARRAY(GraphicEQBandHpFract32Module, state, IntArray, perArgument(4, kStateWords)),
};

ClassModule *graphicEQBandHpFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                               uint32_t argc, const uint32_t *args)
{
    if (!stagesArgumentValid(status, argc, args, 9, 4) || !requireWires(status, wireWord, 1, 1))
        return nullptr;
    return construct(kve_modGraphicEQBandHpFract32Class,
                     kve::tone::withStageState(kVariables, 12, 4, kStateWords, wires), 1, 1, status, wireWord, wires,
                     argc, args);
}

uint32_t stagesOf(ClassModule *m)
{
    const int32_t written = reinterpret_cast<GraphicEQBandHpFract32Module *>(m)->numStages;
    return clampedCount(written, std::min({capacity(m, 0), capacity(m, 1), capacity(m, 2)}) / kSectionWords);
}

void graphicEQBandHpFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<GraphicEQBandHpFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t stages = stagesOf(m);
    if (s->updateActive != 0)
        kve::tone::glideFract32(s->currentCoeffs, s->targetCoeffs, s->smoothingCoeff, kSectionWords * stages);
    const uint32_t perChannel = kStateWords * stages;
    if (perChannel == 0)
        return; // no sections run: the output wire keeps what it holds
    const uint32_t served = servedChannels(channels(in), capacity(m, kStateArray) / perChannel);
    const auto inc = static_cast<int32_t>(channels(in));
    const int32_t n = frames(in, out);
    const auto *input = static_cast<const Fract32 *>(in->buffer);
    auto *output = static_cast<Fract32 *>(out->buffer);
    // Each channel runs its stages one after another: stage 0 from the input, later stages in place on the output.
    for (uint32_t c = 0; c < served; ++c)
        for (uint32_t k = 0; k < stages; ++k)
            kve_vecBiquadFract24x24A56((k == 0 ? input : output) + c, inc, output + c, inc,
                                       s->currentCoeffs + kSectionWords * k,
                                       s->state + c * perChannel + kStateWords * k, s->postShiftB, s->postShiftA, n);
}

int32_t graphicEQBandHpFract32Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<GraphicEQBandHpFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    // The band must have width: a lower edge at or above the upper one moves to 1 Hz below it.
    if (s->lowerEdge >= s->upperEdge)
        s->lowerEdge = s->upperEdge - 1.0f;
    if (mask & kSmoothingTimeChanged)
        s->smoothingCoeff = kve_advFloatToFract32(blockSmoother(s->smoothingTime, in));
    if ((mask & kDesignChanged) == 0)
        return 0;
    const uint32_t stages = stagesOf(m);
    design_geq(static_cast<int32_t>(2 * stages), s->coeffs, s->lowerEdge, s->upperEdge, s->gain, in->sampleRate);
    s->updateActive = 0;
    for (uint32_t k = 0; k < kSectionWords * stages; ++k) {
        // The kernel shifts back by the low 16 bits of each count, so the words are scaled by the same count.
        const auto shift = static_cast<int16_t>(k % kSectionWords < 3 ? s->postShiftB : s->postShiftA);
        s->targetCoeffs[k] = kve_advFloatToFract32(std::ldexp(s->coeffs[k], -shift));
    }
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<13> kve_modGraphicEQBandHpFract32Class = makeClass<13>(
    0xBEEF0D04u, {graphicEQBandHpFract32Constructor, graphicEQBandHpFract32Process, IOMatchUpModule_Bypass,
                  graphicEQBandHpFract32Set},
    kVariables);
