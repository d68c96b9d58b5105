// GraphicEQBandHP: one band of a graphic equaliser, `gain` dB between `lowerEdge` and `upperEdge`, as a cascade of
// `numStages` state-space sections whose sets in use glide toward the design once per block.
#include "Modules/Advanced/HpBiquads.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::hp;
using namespace kve::scalers;

struct GraphicEQBandHPModule {
    ClassModule header;
    float gain;          // dB
    float lowerEdge;     // Hz
    float upperEdge;     // Hz
    float smoothingTime; // ms
    int32_t numStages;
    int32_t updateActive;
    float smoothingCoeff;
    float *targetCoeffs;
    float *currentCoeffs;
    float *state;
};

constexpr uint32_t kStateArray = 2;

constexpr std::array<Variable, 10> kVariables = {
    KVE_VARIABLE(GraphicEQBandHPModule, gain, Float),
    KVE_VARIABLE(GraphicEQBandHPModule, lowerEdge, Float),
    KVE_VARIABLE(GraphicEQBandHPModule, upperEdge, Float),
    KVE_VARIABLE(GraphicEQBandHPModule, smoothingTime, Float),
    KVE_VARIABLE(GraphicEQBandHPModule, numStages, Int),
    KVE_VARIABLE(GraphicEQBandHPModule, updateActive, Int),
    KVE_VARIABLE(GraphicEQBandHPModule, smoothingCoeff, Float),
    KVE_ARRAY(GraphicEQBandHPModule, targetCoeffs, FloatArray, perArgument(4, kSectionWords)),
    KVE_ARRAY(GraphicEQBandHPModule, currentCoeffs, FloatArray, perArgument(4, kSectionWords)),
    // Two words per stage per channel; the constructor sets the length from the input wire.
    KVE_ARRAY_IN(GraphicEQBandHPModule, state, FloatArray, perArgument(4, kSectionStateWords), KVE_HEAPS_LONG_STATE),
};

ClassModule *graphicEQBandHPConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    if (!stagesArgumentValid(status, argc, args, 7, 4) || !requireWires(status, wireWord, 1, 1))
        return nullptr;
    return construct(kve_modGraphicEQBandHPClass,
                     kve::tone::withStageState(kVariables, 9, 4, kSectionStateWords, wires), 1, 1, status,
                     wireWord, wires, argc, args);
}

uint32_t stagesOf(ClassModule *m)
{
    const int32_t written = reinterpret_cast<GraphicEQBandHPModule *>(m)->numStages;
    return clampedCount(written, std::min(capacity(m, 0), capacity(m, 1)) / kSectionWords);
}

// Each channel runs the whole cascade at once; a channel's sections keep their state together (channel-major).
void graphicEQBandHPProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<GraphicEQBandHPModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t stages = stagesOf(m);
    if (s->updateActive != 0)
        glideCoefficients(s->currentCoeffs, s->targetCoeffs, s->smoothingCoeff, kSectionWords * stages);
    if (stages == 0)
        return; // no sections run: the output wire keeps what it holds
    const uint32_t perChannel = kSectionStateWords * stages;
    const uint32_t served = servedChannels(channels(in), capacity(m, kStateArray) / perChannel);
    const auto inc = static_cast<int32_t>(channels(in));
    const auto sections = static_cast<int32_t>(stages);
    const int32_t n = frames(in, out);
    uint32_t c = 0;
    for (; c + 2 <= served; c += 2)
        kve_vecBiquadCascadeHP_2ch(samples(in) + c, inc, samples(out) + c, inc, s->currentCoeffs,
                                   s->state + c * perChannel, sections, n);
    if (c < served)
        kve_vecBiquadCascadeHP(samples(in) + c, inc, samples(out) + c, inc, s->currentCoeffs,
                               s->state + c * perChannel, sections, n);
}

int32_t graphicEQBandHPSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<GraphicEQBandHPModule *>(m);
    const GenericWire *in = wire(m, 0);
    // The band must have width: a lower edge at or above the upper one moves to 1 Hz below it.
    if (s->lowerEdge >= s->upperEdge)
        s->lowerEdge = s->upperEdge - 1.0f;
    s->smoothingCoeff = blockSmoother(s->smoothingTime, in);
    s->updateActive = 0;
    const uint32_t stages = stagesOf(m);
    design_geq(static_cast<int32_t>(2 * stages), s->targetCoeffs, s->lowerEdge, s->upperEdge, s->gain,
               in->sampleRate);
    toStateSpace(s->targetCoeffs, s->targetCoeffs, stages);
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<10> kve_modGraphicEQBandHPClass = makeClass<10>(
    0xBEEF0D05u, {graphicEQBandHPConstructor, graphicEQBandHPProcess, IOMatchUpModule_Bypass, graphicEQBandHPSet},
    kVariables);
