// GPIO: a general-purpose pin placeholder. This platform drives no pins: the pin arrays are carried, zero-filled,
// for a port that does.
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;

struct GPIOModule {
    ClassModule header;
    uint32_t numPins;
    uint32_t param1;
    uint32_t param2;
    uint32_t pad;
    uint32_t *arrayA;
    uint32_t *arrayB;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(GPIOModule, numPins, UInt),
    KVE_VARIABLE(GPIOModule, param1, UInt),
    KVE_VARIABLE(GPIOModule, param2, UInt),
    KVE_ARRAY_IN(GPIOModule, arrayA, IntArray, perArgument(0), 0x231u),
    KVE_ARRAY_IN(GPIOModule, arrayB, IntArray, perArgument(0), 0x231u),
};

void gpioProcess(ClassModule *) {}

int32_t gpioSet(ClassModule *, uint32_t) { return 0; }

} // namespace

extern "C" constinit const ClassRecord<5> kve_modGPIOClass = makeClass<5>(
    0xBEEF085Du, {.constructor = kve::control::withArrays<&kve_modGPIOClass, &kVariables, 0, 0>,
                  .process = gpioProcess, .set = gpioSet},
    kVariables);
