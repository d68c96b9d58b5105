// The white-noise composites: an outer module on one output and one scratch wire, and the inner modules it builds
// by class id. Stored layouts number the inner modules right after the outer one, so the order and count built here
// are part of the interface.
#include <cstring>

#include "Modules/Standard/Oscillators.h"

namespace kve::oscillators {

namespace {

// Where private variable k (an inner module) sits in the outer module.
char *innerSlot(ClassModule *m, uint32_t k)
{
    const ModClassDescriptor *c = m->classRecord;
    return reinterpret_cast<char *>(m) + kve_ClassVariableOffsets(c)[kve_ClassPublicCount(c) + k];
}

} // namespace

ClassModule *constructNoise(const ModClassDescriptor &record, const InnerModule *inner, uint32_t innerCount,
                            int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                            const uint32_t *args)
{
    if (*status != KVE_OK)
        return nullptr;
    if (wireWord != kOutputAndScratch) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    ClassModule *outer = BaseClassModule_ConstructorHidden(&record, status, wireWord, wires, argc, args, 0);
    if (outer == nullptr)
        return nullptr;
    for (uint32_t k = 0; k < innerCount; ++k) {
        const InnerModule &step = inner[k];
        GenericWire *on[2] = {outer->wires[step.wires[0]], outer->wires[step.wires[1]]};
        ClassModule *built =
            ClassModule_Constructor(step.classId, status, step.wireWord, on, step.argc, step.args.data());
        if (built == nullptr || *status != KVE_OK)
            return nullptr;
        std::memcpy(innerSlot(outer, k), &built, sizeof built);
    }
    return outer;
}

ClassModule *innerOf(ClassModule *m, uint32_t k)
{
    ClassModule *inner;
    std::memcpy(&inner, innerSlot(m, k), sizeof inner);
    return inner;
}

void processNoise(ClassModule *m)
{
    const uint32_t count = m->classRecord->countWord >> 16;
    for (uint32_t k = 0; k < count; ++k)
        kve::kit::runInner(innerOf(m, k));
}

void setScalerGain(ClassModule *scaler, float gain)
{
    char *at = reinterpret_cast<char *>(scaler) + kve_ClassVariableOffsets(scaler->classRecord)[0];
    std::memcpy(at, &gain, sizeof gain);
    ClassModule_Set(scaler, 1u << 8);
}

} // namespace kve::oscillators
