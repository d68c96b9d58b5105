// What the parameter bridges share: the check of a target and their constructor.
#include "Modules/Standard/Control.h"

namespace kve::control {

bool isLiveModule(const ClassModule *target)
{
    if (target == nullptr)
        return false;
    if (g_pKVE_instance == nullptr)
        return false;
    // The pointer is compared, never read through, until it is known to be one of the instance's objects.
    for (const KVEObject *o = g_pKVE_instance->firstObject; o != nullptr; o = o->next) {
        if (static_cast<const void *>(o) == static_cast<const void *>(target))
            return kve_fwGetClassType(o) >= KVE_CLASS_MODULE_FIRST;
    }
    return false;
}

ClassModule *constructBridge(const ModClassDescriptor &record, uint32_t inputs, uint32_t outputs, int32_t *status,
                             uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    if (!kit::requireWires(status, wireWord, inputs, outputs))
        return nullptr;
    return BaseClassModule_Constructor(&record, status, wireWord, wires, argc, args);
}

} // namespace kve::control
