// ParamGet: follows a variable of another module in word 0 of its output, and has the target's Get run by the tick,
// outside the audio path, about once per pump.
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;

struct ParamGetModule {
    ClassModule header;
    ClassModule *targetModule;
    uint32_t *targetValue;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ParamGetModule, targetModule, Pointer),
    KVE_VARIABLE(ParamGetModule, targetValue, Pointer),
};

bool aimed(const ParamGetModule *s)
{
    return s->targetValue != nullptr && kve::control::isLiveModule(s->targetModule);
}

void paramGetProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<const ParamGetModule *>(m);
    if (!aimed(s))
        return;
    kve_fwRequestDeferredSet(m);
    kve::control::setFirstWord(wire(m, 0), *s->targetValue);
}

int32_t paramGetSet(ClassModule *m, uint32_t)
{
    // Only the tick's call, made while the request raised by Process stands, reaches the target.
    const auto *s = reinterpret_cast<const ParamGetModule *>(m);
    if ((m->packed & KVE_PACKED_DEFERRED_SET) == 0 || !aimed(s))
        return 0;
    return kve_fwGetCall(s->targetModule, KVE_MASK_ALL);
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modParamGetClass = makeClass<2>(
    0xBEEF08AAu, {.constructor = kve::control::bridge<&kve_modParamGetClass, 0, 1>, .process = paramGetProcess,
                  .set = paramGetSet},
    kVariables);
