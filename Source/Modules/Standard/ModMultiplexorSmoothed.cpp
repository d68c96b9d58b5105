// MultiplexorSmoothed: passes the input wire `index` selects; a change fades the old input out to silence and the
// new one in.
#include "Modules/Standard/Routers.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct MultiplexorSmoothedModule {
    ClassModule header;
    int32_t index;
    float smoothingTime;
    float smoothingCoeff;
    int32_t currentIndex;
    float currentGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MultiplexorSmoothedModule, index, Int),
    KVE_VARIABLE(MultiplexorSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(MultiplexorSmoothedModule, smoothingCoeff, Float),
    KVE_VARIABLE(MultiplexorSmoothedModule, currentIndex, Int),
    KVE_VARIABLE(MultiplexorSmoothedModule, currentGain, Float),
};

ClassModule *multiplexorSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                            const uint32_t *args)
{
    return construct(kve_modMultiplexorSmoothedClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void multiplexorSmoothedProcess(ClassModule *m)
{
    auto *x = reinterpret_cast<MultiplexorSmoothedModule *>(m);
    multiplexSmoothed<FloatGlide>(m, 0, x->index, &x->currentIndex, &x->currentGain, x->smoothingCoeff, 1e-5f);
}

int32_t multiplexorSmoothedSet(ClassModule *m, uint32_t)
{
    auto *x = reinterpret_cast<MultiplexorSmoothedModule *>(m);
    x->smoothingCoeff = design_smoother(1, x->smoothingTime, wire(m, 0)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMultiplexorSmoothedClass =
    makeClass<5>(0xBEEF0FEFu,
                 {multiplexorSmoothedConstructor, multiplexorSmoothedProcess, IOMatchUpModule_Bypass,
                  multiplexorSmoothedSet},
                 kVariables);
