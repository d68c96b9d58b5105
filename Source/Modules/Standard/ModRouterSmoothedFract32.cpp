// RouterSmoothedFract32: RouterSmoothed on Fract32 samples, its gains and coefficient in Fract32.
#include "Dsp/Fract32.h"
#include "Modules/Standard/Routers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct RouterSmoothedFract32Module {
    ClassModule header;
    float smoothingTime;
    Fract32 smoothingCoeff;
    int32_t *channelIndex;
    int32_t *activeIndex;
    Fract32 *currentGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(RouterSmoothedFract32Module, smoothingTime, Float),
    KVE_VARIABLE(RouterSmoothedFract32Module, smoothingCoeff, Fract32),
    KVE_ARRAY_IN(RouterSmoothedFract32Module, channelIndex, IntArray, perChannelOfWire(0), 0x231),
    KVE_ARRAY_IN(RouterSmoothedFract32Module, activeIndex, IntArray, perChannelOfWire(0), 0x231),
    KVE_ARRAY_IN(RouterSmoothedFract32Module, currentGain, Fract32Array, perChannelOfWire(0), 0x231),
};

ClassModule *routerSmoothedFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    // One entry per channel of the output wire, which follows the inputs.
    std::array<Variable, 5> variables = kVariables;
    for (uint32_t k = 2; k < 5; ++k)
        variables[k].length = perChannelOfWire(KVE_PACKED_INPUTS(wireWord));
    return construct(kve_modRouterSmoothedFract32Class.record, variables.data(), variables.size(), 1, 1, status, wireWord,
                     wires, argc, args);
}

void routerSmoothedFract32Process(ClassModule *m)
{
    auto *r = reinterpret_cast<RouterSmoothedFract32Module *>(m);
    routeSmoothed<Fract32Glide>(m, r->channelIndex, r->activeIndex, r->currentGain, r->smoothingCoeff, 0x53E2); // quiet at 0x53E1 and below
}

int32_t routerSmoothedFract32Set(ClassModule *m, uint32_t)
{
    auto *r = reinterpret_cast<RouterSmoothedFract32Module *>(m);
    r->smoothingCoeff = kve_rounded(design_smoother(1, r->smoothingTime, wire(m, 0)->sampleRate));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modRouterSmoothedFract32Class = makeClass<5>(
    0xBEEF08AFu, {routerSmoothedFract32Constructor, routerSmoothedFract32Process, IOMatchUpModule_Bypass, routerSmoothedFract32Set},
    kVariables);
