// ParamSet: writes word 0 of its input into a variable of another module, by mode: always or only on a change, and
// with the target's recomputation left to the tick or done at once.
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;

struct ParamSetModule {
    ClassModule header;
    uint32_t mode;
    uint32_t pad;
    ClassModule *targetModule;
    uint32_t *targetValue;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(ParamSetModule, mode, UInt),
    KVE_VARIABLE(ParamSetModule, targetModule, Pointer),
    KVE_VARIABLE(ParamSetModule, targetValue, Pointer),
};

void paramSetProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ParamSetModule *>(m);
    if (s->mode > 4 || s->targetValue == nullptr || !kve::control::isLiveModule(s->targetModule))
        return;
    const GenericWire *in = wire(m, 0);
    if (wireWords(in) == 0)
        return;
    const uint32_t value = kve::control::firstWord(in);
    const bool onChange = s->mode >= 2;
    if (onChange && value == *s->targetValue)
        return;
    *s->targetValue = value;
    if (s->mode == 1 || s->mode == 3)
        kve_fwRequestDeferredSet(s->targetModule);
    else if (s->mode == 4)
        ClassModule_Set(s->targetModule, KVE_MASK_ALL);
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modParamSetClass =
    makeClass<3>(0xBEEF08A9u, {kve::control::bridge<&kve_modParamSetClass, 1, 0>, paramSetProcess}, kVariables);
