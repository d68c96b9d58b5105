// MultiplexorSmoothedFract32: MultiplexorSmoothed on Fract32 samples, its gain and coefficient in Fract32.
#include "Modules/Standard/Routers.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct MultiplexorSmoothedFract32Module {
    ClassModule header;
    int32_t index;
    float smoothingTime;
    Fract32 smoothingCoeff;
    int32_t currentIndex;
    Fract32 currentGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MultiplexorSmoothedFract32Module, index, Int),
    KVE_VARIABLE(MultiplexorSmoothedFract32Module, smoothingTime, Float),
    KVE_VARIABLE(MultiplexorSmoothedFract32Module, smoothingCoeff, Fract32),
    KVE_VARIABLE(MultiplexorSmoothedFract32Module, currentIndex, Int),
    KVE_VARIABLE(MultiplexorSmoothedFract32Module, currentGain, Fract32),
};

ClassModule *multiplexorSmoothedFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                            const uint32_t *args)
{
    return construct(kve_modMultiplexorSmoothedFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void multiplexorSmoothedFract32Process(ClassModule *m)
{
    auto *x = reinterpret_cast<MultiplexorSmoothedFract32Module *>(m);
    // Quiet at 0x53E2 and below.
    multiplexSmoothed<Fract32Glide>(m, 0, x->index, &x->currentIndex, &x->currentGain, x->smoothingCoeff, 0x53E3);
}

int32_t multiplexorSmoothedFract32Set(ClassModule *m, uint32_t)
{
    auto *x = reinterpret_cast<MultiplexorSmoothedFract32Module *>(m);
    x->smoothingCoeff = kve_rounded(design_smoother(1, x->smoothingTime, wire(m, 0)->sampleRate));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMultiplexorSmoothedFract32Class =
    makeClass<5>(0xBEEF0FEEu,
                 {multiplexorSmoothedFract32Constructor, multiplexorSmoothedFract32Process, IOMatchUpModule_Bypass,
                  multiplexorSmoothedFract32Set},
                 kVariables);
