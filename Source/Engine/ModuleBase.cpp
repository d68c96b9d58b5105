// Module construction from a class record, by class id and from wire ids; Set and Get calls; deferred Sets.
#include <cstring>

#include "Engine/EngineInternal.h"

namespace {

constexpr uint32_t kMaxPacketWires = 64;

// Drops every object appended after `tail` (null: the whole list) from the list and from the lookup table.
void cutObjectList(KVEInstance *in, KVEObject *tail)
{
    KVEObject *cut = tail == nullptr ? in->firstObject : tail->next;
    for (KVEObject *o = cut; o != nullptr; o = o->next) {
        if (kve_fwLookupID(in, o->objectId) == o)
            kve_fwSetIDPointer(in, o->objectId, nullptr);
        if (kve::isModule(o) && (kve::asModule(o)->packed & KVE_PACKED_DEFERRED_SET) != 0 && in->pendingSets > 0)
            in->pendingSets--;
    }
    if (tail == nullptr) {
        in->firstObject = nullptr;
        in->lastObject = nullptr;
    } else {
        tail->next = nullptr;
        in->lastObject = tail;
    }
}

} // namespace

extern "C" {

const ModClassDescriptor *LookupModuleClass(KVEInstance *instance, uint32_t classId)
{
    for (uint32_t i = 0; instance->classTable != nullptr && i < instance->classCount; ++i) {
        const ModClassDescriptor *c = instance->classTable[i];
        if (c != nullptr && c->classId == classId)
            return c;
    }
    return nullptr;
}

} // extern "C"

namespace {

// The generic constructor; a class that owns its private variables gets `hiddenWords` words of its own, and their
// count before them, after the wire-pointer array.
ClassModule *constructModule(KVEInstance *instance, const ModClassDescriptor *classRecord, int32_t *status,
                             uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args,
                             bool ownsPrivates, uint32_t hiddenWords)
{
    if (*status != KVE_OK)
        return nullptr;
    if (classRecord == nullptr || (wireWord & 0xFF000000u) != 0) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    const uint32_t n = KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord) + KVE_PACKED_SCRATCH(wireWord);
    if (argc != kve_ClassPublicCount(classRecord)) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    for (uint32_t i = 0; i < n; ++i) {
        if (wires == nullptr || wires[i] == nullptr || !kve::isWire(kve::asObject(wires[i]))) {
            *status = KVE_E_NOT_A_WIRE;
            return nullptr;
        }
    }
    const uint32_t v = kve_ClassVariableCount(classRecord);
    const uint64_t hiddenBytes = ownsPrivates ? 4ull * (hiddenWords + 1ull) : 0;
    const uint64_t bytes = (n + v) * 8ull + KVE_MODULE_HEADER_SIZE + hiddenBytes;
    auto *m = bytes <= UINT32_MAX ? static_cast<ClassModule *>(kve_fwMalloc2(instance, static_cast<uint32_t>(bytes), 8,
                                                                               KVE_HEAPS_DEFAULT, status))
                                  : nullptr;
    if (m == nullptr) {
        *status = KVE_E_HEAPS_FULL;
        return nullptr;
    }
    m->classRecord = classRecord;
    m->objectId = GetNextInstanceID(instance);
    auto *base = reinterpret_cast<char *>(m);
    m->wires = reinterpret_cast<GenericWire **>(base + KVE_MODULE_HEADER_SIZE + static_cast<size_t>(v) * 8u);
    m->packed = wireWord;
    m->process = classRecord->process;
    if (args != nullptr && argc > 0)
        std::memcpy(base + KVE_MODULE_HEADER_SIZE, args, static_cast<size_t>(argc) * 4u);
    if (n > 0)
        std::memcpy(m->wires, wires, static_cast<size_t>(n) * sizeof(GenericWire *));
    if (ownsPrivates) {
        m->engineMarks |= KVE_MODULE_OWNS_PRIVATES;
        reinterpret_cast<uint32_t *>(m->wires + n)[0] = hiddenWords;
    }
    kve::appendObject(instance, kve::asObject(m));
    return m;
}

} // namespace

extern "C" {

ClassModule *BaseClassModule_Constructor2(KVEInstance *instance, const ModClassDescriptor *classRecord,
                                          int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    return constructModule(instance, classRecord, status, wireWord, wires, argc, args, false, 0);
}

ClassModule *BaseClassModule_ConstructorHidden(const ModClassDescriptor *classRecord, int32_t *status,
                                               uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                               const uint32_t *args, uint32_t arrays)
{
    return constructModule(g_pKVE_instance, classRecord, status, wireWord, wires, argc, args, true, arrays);
}

uint32_t *kve_fwModuleHiddenWords(ClassModule *module)
{
    if ((module->engineMarks & KVE_MODULE_OWNS_PRIVATES) == 0)
        return nullptr;
    return reinterpret_cast<uint32_t *>(module->wires + kve::moduleWireCount(module)) + 1;
}

ClassModule *BaseClassModule_Constructor(const ModClassDescriptor *classRecord, int32_t *status, uint32_t wireWord,
                                         GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    return BaseClassModule_Constructor2(g_pKVE_instance, classRecord, status, wireWord, wires, argc, args);
}

ClassModule *ClassModule_Constructor3(KVEInstance *instance, uint32_t classId, int32_t *status, uint32_t wireWord,
                                      GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    if (*status != KVE_OK)
        return nullptr;
    KVEObject *tail = instance->lastObject;
    const ModClassDescriptor *cls = LookupModuleClass(instance, classId);
    if (cls == nullptr) {
        *status = KVE_E_CLASS_NOT_FOUND;
        return nullptr;
    }
    g_pKVE_instance = instance;
    ClassModule *m = cls->constructor != nullptr
                         ? cls->constructor(status, wireWord, wires, argc, args)
                         : BaseClassModule_Constructor2(instance, cls, status, wireWord, wires, argc, args);
    // A composite builds inner modules through the instance-less calls: keep the instance at work for it.
    g_pKVE_instance = instance;
    if (*status == KVE_OK && m == nullptr)
        *status = KVE_E_HEAPS_FULL;
    if (*status != KVE_OK) {
        cutObjectList(instance, tail);
        return m;
    }
    kve_fwSetIDPointer(instance, m->objectId, kve::asObject(m));
    if (cls->set != nullptr)
        *status = cls->set(m, KVE_MASK_ALL);
    return m;
}

ClassModule *ClassModule_Constructor(uint32_t classId, int32_t *status, uint32_t wireWord, GenericWire **wires,
                                     uint32_t argc, const uint32_t *args)
{
    return ClassModule_Constructor3(g_pKVE_instance, classId, status, wireWord, wires, argc, args);
}

ClassModule *ClassModule_Constructor2(KVEInstance *instance, uint32_t classId, int32_t *status, uint32_t wireWord,
                                      const uint32_t *wireIds, uint32_t argc, const uint32_t *args)
{
    if (*status != KVE_OK)
        return nullptr;
    if (LookupModuleClass(instance, classId) == nullptr) {
        *status = KVE_E_CLASS_NOT_FOUND;
        return nullptr;
    }
    const uint32_t n = KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord) + KVE_PACKED_SCRATCH(wireWord);
    if (n > kMaxPacketWires) {
        *status = KVE_E_NOT_A_LAYOUT;
        return nullptr;
    }
    GenericWire *wires[kMaxPacketWires] = {};
    for (uint32_t i = 0; i < n; ++i) {
        KVEObject *o = nullptr;
        uint32_t cls = 0;
        const int32_t found = kve_fwGetObjectByID(instance, wireIds[i], &o, &cls);
        if (found != KVE_OK) {
            *status = found;
            return nullptr;
        }
        if (!kve::isWireClass(cls)) {
            *status = KVE_E_NOT_A_WIRE;
            return nullptr;
        }
        wires[i] = kve::asWire(o);
    }
    return ClassModule_Constructor3(instance, classId, status, wireWord, wires, argc, args);
}

int32_t ClassModule_Set(ClassModule *module, uint32_t mask)
{
    if (module == nullptr || module->classRecord->set == nullptr)
        return KVE_OK;
    return module->classRecord->set(module, mask);
}

int32_t kve_fwSetCall(ClassModule *module, uint32_t mask)
{
    return module->classRecord->set != nullptr ? module->classRecord->set(module, mask) : KVE_OK;
}

int32_t kve_fwGetCall(ClassModule *module, uint32_t mask)
{
    return module->classRecord->get != nullptr ? module->classRecord->get(module, mask) : KVE_OK;
}

static int32_t findModule(KVEInstance *instance, uint32_t objectId, ClassModule **module)
{
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    if (kve_fwGetObjectByID(instance, objectId, &o, &cls) != KVE_OK)
        return KVE_E_ID_NOT_FOUND;
    if (!kve::isModuleClass(cls))
        return KVE_E_NOT_A_MODULE;
    *module = kve::asModule(o);
    g_pKVE_instance = instance;
    return KVE_OK;
}

int32_t kve_fwSetCall2(KVEInstance *instance, uint32_t objectId, uint32_t mask)
{
    ClassModule *m = nullptr;
    const int32_t found = findModule(instance, objectId, &m);
    return found != KVE_OK ? found : kve_fwSetCall(m, mask);
}

int32_t kve_fwGetCall2(KVEInstance *instance, uint32_t objectId, uint32_t mask)
{
    ClassModule *m = nullptr;
    const int32_t found = findModule(instance, objectId, &m);
    return found != KVE_OK ? found : kve_fwGetCall(m, mask);
}

int32_t kve_fwPumpModule(KVEInstance *instance, ClassModule *module)
{
    if (!kve::isModule(kve::asObject(module)))
        return KVE_E_NOT_A_MODULE;
    if (module->process == nullptr)
        return KVE_OK;
    g_pKVE_instance = instance;
    module->process(module);
    return KVE_OK;
}

uint32_t ClassModule_Execute(KVEInstance *instance, ClassModule *module)
{
    g_pKVE_instance = instance;
    const uint32_t t0 = kve_fwReadClock();
    module->process(module);
    module->cycles = kve::smoothTicks(module->cycles, kve_fwReadClock() - t0);
    return module->cycles;
}

uint32_t kve_fwGetClassCount(void) { return 2; }

uint32_t kve_fwGetCIModuleCount(KVEInstance *instance) { return instance->classCount; }

int32_t kve_fwGetCIModuleInfo(KVEInstance *instance, uint32_t index, uint32_t *classId, uint32_t *countWord)
{
    if (index >= instance->classCount || instance->classTable == nullptr)
        return KVE_E_CLASS_INDEX;
    const ModClassDescriptor *c = instance->classTable[index];
    *classId = c->classId;
    *countWord = c->countWord;
    return static_cast<int32_t>(c->classId);
}

uint32_t kve_fwGetSizeofInt(void) { return 4; }

void kve_fwRequestDeferredSet(ClassModule *module)
{
    if ((module->packed & KVE_PACKED_DEFERRED_SET) != 0)
        return;
    module->packed |= KVE_PACKED_DEFERRED_SET;
    if (g_pKVE_instance != nullptr)
        g_pKVE_instance->pendingSets++;
}

} // extern "C"
