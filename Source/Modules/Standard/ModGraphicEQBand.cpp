// GraphicEQBand: one band of a graphic equaliser, `gain` dB between `lowFreq` and `highFreq`, as a cascade of
// `numStages` sections whose coefficients glide toward the design once per block.
#include "Modules/Standard/Filters.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::scalers;

struct GraphicEQBandModule {
    ClassModule header;
    float gain;
    float lowFreq;
    float highFreq;
    float smoothingTime;
    int32_t numStages;
    float smoothingCoeff;
    float *targetCoeffs;
    float *currentCoeffs;
    float *state;
};

constexpr std::array<Variable, 9> kVariables = {
    KVE_VARIABLE(GraphicEQBandModule, gain, Float),
    KVE_VARIABLE(GraphicEQBandModule, lowFreq, Float),
    KVE_VARIABLE(GraphicEQBandModule, highFreq, Float),
    KVE_VARIABLE(GraphicEQBandModule, smoothingTime, Float),
    KVE_VARIABLE(GraphicEQBandModule, numStages, Int),
    KVE_VARIABLE(GraphicEQBandModule, smoothingCoeff, Float),
    KVE_ARRAY(GraphicEQBandModule, targetCoeffs, FloatArray, perArgument(4, kSectionWords)),
    KVE_ARRAY(GraphicEQBandModule, currentCoeffs, FloatArray, perArgument(4, kSectionWords)),
    KVE_ARRAY_IN(GraphicEQBandModule, state, FloatArray, perChannelOfWire(0), KVE_HEAPS_LONG_STATE),
};

ClassModule *graphicEQBandConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    const int32_t stages = sizeArgument(argc, args, 6, 4);
    if (*status == KVE_OK && stages < 0) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    auto variables = kVariables;
    variables[8].length = perChannelOfWire(0, elementFactor(static_cast<uint32_t>(stages), kSectionStateWords));
    return construct(kve_modGraphicEQBandClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

uint32_t stagesOf(ClassModule *m)
{
    const int32_t written = reinterpret_cast<GraphicEQBandModule *>(m)->numStages;
    return clampedCount(written, std::min(capacity(m, 0), capacity(m, 1)) / kSectionWords);
}

void graphicEQBandProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<GraphicEQBandModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const uint32_t stages = stagesOf(m);
    if (stages == 0)
        return; // no sections run: the output wire keeps what it holds, as the twin classes do
    const float c = s->smoothingCoeff;
    kve_vecScale2x1(s->currentCoeffs, s->targetCoeffs, s->currentCoeffs, 1.0f - c, c,
                    static_cast<int32_t>(kSectionWords * stages));
    const uint32_t perChannel = kSectionStateWords * stages;
    const uint32_t served = servedChannels(channels(in), capacity(m, 2) / perChannel);
    const auto inc = static_cast<int32_t>(channels(in));
    const int32_t n = frames(in, out);
    for (uint32_t ch = 0; ch < served; ++ch)
        kve_vecBiquadCascade(samples(in) + ch, inc, samples(out) + ch, inc, s->currentCoeffs,
                             s->state + ch * perChannel, static_cast<int32_t>(stages), n);
}

int32_t graphicEQBandSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<GraphicEQBandModule *>(m);
    const GenericWire *in = wire(m, 0);
    // The band must have width: a low edge at or above the high one moves to 1 Hz below it.
    if (s->lowFreq >= s->highFreq)
        s->lowFreq = s->highFreq - 1.0f;
    s->smoothingCoeff = blockSmoother(s->smoothingTime, in);
    design_geq(static_cast<int32_t>(2 * stagesOf(m)), s->targetCoeffs, s->lowFreq, s->highFreq, s->gain,
               in->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<9> kve_modGraphicEQBandClass = makeClass<9>(
    0xBEEF0810u, {graphicEQBandConstructor, graphicEQBandProcess, IOMatchUpModule_Bypass, graphicEQBandSet},
    kVariables);
