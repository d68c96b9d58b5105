// StatusSet: sets the state of the modules named by object id from the state on its input, at once or through the
// tick.
#include "Modules/Advanced/StateControl.h"

using namespace kve::kit;
using namespace kve::statecontrol;

namespace {

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(StatusSetModule, mode, Int),
    KVE_VARIABLE(StatusSetModule, lastState, Int),
    KVE_VARIABLE(StatusSetModule, currentState, Int),
    KVE_VARIABLE(StatusSetModule, numModules, Int),
    KVE_ARRAY(StatusSetModule, moduleIds, IntArray, perArgument(3)),
    KVE_ARRAY(StatusSetModule, references, IntArray, perArgument(3, kPointerWords)),
};

ClassModule *statusSetConstruct(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    return construct(kve_modStatusSetClass, kVariables, 1, 0, status, wireWord, wires, argc, args);
}

// The references a module may use: never more than were built, whatever the layout writes to the count.
uint32_t usable(ClassModule *m)
{
    const auto *s = reinterpret_cast<StatusSetModule *>(m);
    if (s->numModules < 1 || s->moduleIds == nullptr || s->references == nullptr)
        return 0;
    const uint32_t built = std::min(capacity(m, 0), capacity(m, 1) / kPointerWords);
    return std::min(static_cast<uint32_t>(s->numModules), built);
}

void applyState(ClassModule *m, uint32_t state)
{
    auto *s = reinterpret_cast<StatusSetModule *>(m);
    const uint32_t n = usable(m);
    for (uint32_t i = 0; i < n; ++i)
        if (s->moduleIds[i] != 0 && s->references[i] != nullptr)
            kve_fwSetModuleState(s->references[i], state);
}

void statusSetProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<StatusSetModule *>(m);
    if (s->numModules < 1)
        return;
    const GenericWire *in = wire(m, 0);
    uint32_t state = wireWords(in) == 0 ? 0 : static_cast<const uint32_t *>(in->buffer)[0];
    if (state >= 4)
        state = 0;
    s->currentState = static_cast<int32_t>(state);
    const bool changed = s->lastState != s->currentState;
    switch (s->mode) {
    case 0:
        if (changed) {
            s->lastState = s->currentState;
            kve_fwRequestDeferredSet(m);
        }
        break;
    case 1:
        if (changed) {
            applyState(m, state);
            s->lastState = s->currentState;
        }
        break;
    case 2:
        s->lastState = s->currentState;
        kve_fwRequestDeferredSet(m);
        break;
    case 3:
        applyState(m, state);
        break;
    default:
        break;
    }
}

int32_t statusSetSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<StatusSetModule *>(m);
    if (mask == 0 || s->numModules < 1)
        return 0;
    const uint32_t n = usable(m);
    if (mask & (1u << 12)) {
        for (uint32_t i = 0; i < n; ++i) {
            KVEObject *object = nullptr;
            uint32_t classId = 0;
            s->references[i] = nullptr;
            // Only a module takes a state: an id naming a wire, a layout or nothing leaves no reference.
            if (s->moduleIds[i] != 0 && kve_fwGetObjectByID2(static_cast<uint32_t>(s->moduleIds[i]), &object,
                                                             &classId) == KVE_OK &&
                classId >= 0xBEEF0800u && classId <= 0xBEEFFFFFu)
                s->references[i] = reinterpret_cast<ClassModule *>(object);
        }
    }
    applyState(m, static_cast<uint32_t>(s->currentState));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modStatusSetClass = makeClass<6>(
    0xBEEF0D3Au, {statusSetConstruct, statusSetProcess, IOMatchUpModule_Bypass, statusSetSet}, kVariables);
