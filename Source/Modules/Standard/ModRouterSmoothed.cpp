// RouterSmoothed: a Router whose channels switch without a click, fading the old source out to silence and the
// new one in.
#include "Modules/Standard/Routers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct RouterSmoothedModule {
    ClassModule header;
    float smoothingTime;
    float smoothingCoeff;
    int32_t *channelIndex;
    int32_t *activeIndex;
    float *currentGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(RouterSmoothedModule, smoothingTime, Float),
    KVE_VARIABLE(RouterSmoothedModule, smoothingCoeff, Float),
    KVE_ARRAY_IN(RouterSmoothedModule, channelIndex, IntArray, perChannelOfWire(0), 0x231),
    KVE_ARRAY_IN(RouterSmoothedModule, activeIndex, IntArray, perChannelOfWire(0), 0x231),
    KVE_ARRAY_IN(RouterSmoothedModule, currentGain, FloatArray, perChannelOfWire(0), 0x231),
};

ClassModule *routerSmoothedConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    // One entry per channel of the output wire, which follows the inputs.
    std::array<Variable, 5> variables = kVariables;
    for (uint32_t k = 2; k < 5; ++k)
        variables[k].length = perChannelOfWire(KVE_PACKED_INPUTS(wireWord));
    return construct(kve_modRouterSmoothedClass.record, variables.data(), variables.size(), 1, 1, status, wireWord,
                     wires, argc, args);
}

void routerSmoothedProcess(ClassModule *m)
{
    auto *r = reinterpret_cast<RouterSmoothedModule *>(m);
    routeSmoothed<FloatGlide>(m, r->channelIndex, r->activeIndex, r->currentGain, r->smoothingCoeff, 1e-5f);
}

int32_t routerSmoothedSet(ClassModule *m, uint32_t)
{
    auto *r = reinterpret_cast<RouterSmoothedModule *>(m);
    r->smoothingCoeff = design_smoother(1, r->smoothingTime, wire(m, 0)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modRouterSmoothedClass = makeClass<5>(
    0xBEEF0865u, {routerSmoothedConstructor, routerSmoothedProcess, IOMatchUpModule_Bypass, routerSmoothedSet},
    kVariables);
