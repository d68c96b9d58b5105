// ToggleButton: flips its state on every rising value of word 0 of its input and puts the state in word 0 of its
// output.
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;

struct ToggleButtonModule {
    ClassModule header;
    int32_t prevInput;
    uint32_t state;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ToggleButtonModule, prevInput, Int),
    KVE_VARIABLE(ToggleButtonModule, state, UInt),
};

void toggleButtonProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ToggleButtonModule *>(m);
    const GenericWire *in = wire(m, 0);
    // An input that holds no word carries no press.
    if (wireWords(in) != 0) {
        const auto value = static_cast<int32_t>(kve::control::firstWord(in));
        if (value > s->prevInput)
            s->state = s->state == 0 ? 1u : 0u;
        s->prevInput = value;
    }
    kve::control::setFirstWord(wire(m, kve::shapes::inputs(m)), s->state);
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modToggleButtonClass = makeClass<2>(
    0xBEEF0828u,
    {.constructor = kve::shapes::wired<&kve_modToggleButtonClass, 1, 1>, .process = toggleButtonProcess,
     .bypass = IOAcrossModule_Bypass},
    kVariables);
