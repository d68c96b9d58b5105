// MultiplexorFade: passes the input wire `index` selects, cross-fading from the previous one when it changes.
#include "Modules/Standard/Routers.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct MultiplexorFadeModule {
    ClassModule header;
    int32_t index;
    float smoothingTime;
    float smoothingCoeff;
    int32_t currentIndex;
    float fadeGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MultiplexorFadeModule, index, Int),
    KVE_VARIABLE(MultiplexorFadeModule, smoothingTime, Float),
    KVE_VARIABLE(MultiplexorFadeModule, smoothingCoeff, Float),
    KVE_VARIABLE(MultiplexorFadeModule, currentIndex, Int),
    KVE_VARIABLE(MultiplexorFadeModule, fadeGain, Float),
};

ClassModule *multiplexorFadeConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    return construct(kve_modMultiplexorFadeClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void multiplexorFadeProcess(ClassModule *m)
{
    auto *x = reinterpret_cast<MultiplexorFadeModule *>(m);
    multiplexFade<FloatGlide>(m, &x->index, &x->currentIndex, &x->fadeGain, x->smoothingCoeff, 0.01f);
}

int32_t multiplexorFadeSet(ClassModule *m, uint32_t)
{
    auto *x = reinterpret_cast<MultiplexorFadeModule *>(m);
    x->smoothingCoeff = design_smoother(1, x->smoothingTime, wire(m, 0)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMultiplexorFadeClass = makeClass<5>(
    0xBEEF0FEDu, {multiplexorFadeConstructor, multiplexorFadeProcess, IOMatchUpModule_Bypass, multiplexorFadeSet},
    kVariables);
