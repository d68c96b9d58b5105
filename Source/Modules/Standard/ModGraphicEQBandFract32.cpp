// GraphicEQBandFract32: one band of a graphic equaliser on Fract32 samples, `gain` dB between `lowFreq` and
// `highFreq`, run by an inner BiquadCascadeFract32 of `numStages` stages that Set designs.
#include "Modules/Standard/FiltersFract32.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;

struct GraphicEQBandFract32Module {
    ClassModule header;
    float gain;
    float lowFreq;
    float highFreq;
    int32_t numStages;
    ClassModule *innerModule;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(GraphicEQBandFract32Module, gain, Float),
    KVE_VARIABLE(GraphicEQBandFract32Module, lowFreq, Float),
    KVE_VARIABLE(GraphicEQBandFract32Module, highFreq, Float),
    KVE_VARIABLE(GraphicEQBandFract32Module, numStages, Int),
    KVE_VARIABLE(GraphicEQBandFract32Module, innerModule, Pointer),
};

ClassModule *graphicEQBandFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                             const uint32_t *args)
{
    return constructComposite(
        kve_modGraphicEQBandFract32Class.record, offsetof(GraphicEQBandFract32Module, innerModule),
        kBiquadCascadeFract32Id, status, wireWord, wires, argc, args,
        [](ClassModule *m) {
            return static_cast<uint32_t>(reinterpret_cast<GraphicEQBandFract32Module *>(m)->numStages);
        });
}

void graphicEQBandFract32Process(ClassModule *m)
{
    ClassModule *inner = reinterpret_cast<GraphicEQBandFract32Module *>(m)->innerModule;
    inner->process(inner);
}

int32_t graphicEQBandFract32Set(ClassModule *m, uint32_t)
{
    auto *g = reinterpret_cast<GraphicEQBandFract32Module *>(m);
    ClassModule *inner = g->innerModule;
    if (g->lowFreq >= g->highFreq)
        g->lowFreq = g->highFreq - 1.0f;
    design_geq(static_cast<int32_t>(2 * cascadeStages(inner)),
               reinterpret_cast<BiquadCascadeFract32Module *>(inner)->coeffs, g->lowFreq, g->highFreq, g->gain,
               wire(m, 0)->sampleRate);
    ClassModule_Set(inner, KVE_MASK_ALL);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modGraphicEQBandFract32Class =
    makeClass<5>(0xBEEF088Fu,
                 {graphicEQBandFract32Constructor, graphicEQBandFract32Process, IOMatchUpModule_Bypass,
                  graphicEQBandFract32Set},
                 kVariables);
