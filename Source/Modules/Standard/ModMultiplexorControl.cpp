// MultiplexorControl: passes the audio input (wires 1 on) that the first word of the control pin, wire 0,
// requests; a change fades the old input out to silence and the new one in.
#include "Modules/Standard/Routers.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct MultiplexorControlModule {
    ClassModule header;
    float smoothingTime;
    int32_t requestedIndex;
    float smoothingCoeff;
    int32_t currentIndex;
    float currentGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MultiplexorControlModule, smoothingTime, Float),
    KVE_VARIABLE(MultiplexorControlModule, requestedIndex, Int),
    KVE_VARIABLE(MultiplexorControlModule, smoothingCoeff, Float),
    KVE_VARIABLE(MultiplexorControlModule, currentIndex, Int),
    KVE_VARIABLE(MultiplexorControlModule, currentGain, Float),
};

ClassModule *multiplexorControlConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                           const uint32_t *args)
{
    return construct(kve_modMultiplexorControlClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void multiplexorControlProcess(ClassModule *m)
{
    auto *x = reinterpret_cast<MultiplexorControlModule *>(m);
    const GenericWire *control = wire(m, 0);
    if (wireWords(control) != 0) // a pin without samples leaves the request as it stands
        x->requestedIndex = static_cast<const int32_t *>(control->buffer)[0];
    multiplexSmoothed<FloatGlide>(m, 1, x->requestedIndex, &x->currentIndex, &x->currentGain, x->smoothingCoeff,
                                  1e-5f);
}

int32_t multiplexorControlSet(ClassModule *m, uint32_t)
{
    // The first audio input's rate; with none, wire 1 is the output, which runs at the same rate.
    auto *x = reinterpret_cast<MultiplexorControlModule *>(m);
    x->smoothingCoeff = design_smoother(1, x->smoothingTime, wire(m, 1)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMultiplexorControlClass =
    makeClass<5>(0xBEEF0FEAu,
                 {multiplexorControlConstructor, multiplexorControlProcess, IOMatchUpModule_Bypass,
                  multiplexorControlSet},
                 kVariables);
