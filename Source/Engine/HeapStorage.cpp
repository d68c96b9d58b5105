// Object ids, the id lookup table and the object list.
#include "Engine/EngineInternal.h"

namespace {

// Lookup slot of an id: direct for ids up to N, then N+1.. for 30000..30098; -1 when the id has none.
int64_t lookupSlot(const KVEInstance *in, uint32_t id)
{
    if (in->lookupTable == nullptr)
        return -1;
    if (id <= in->lookupSize)
        return id;
    if (id >= KVE_LOOKUP_HIGH_FIRST && id < KVE_LOOKUP_HIGH_FIRST + KVE_LOOKUP_HIGH_SLOTS)
        return static_cast<int64_t>(id) - (KVE_LOOKUP_HIGH_FIRST - 1) + in->lookupSize;
    return -1;
}

} // namespace

namespace kve {

void appendObject(KVEInstance *instance, KVEObject *object)
{
    object->next = nullptr;
    if (instance->lastObject == nullptr)
        instance->firstObject = object;
    else
        instance->lastObject->next = object;
    instance->lastObject = object;
}

void issueId(KVEInstance *instance, KVEObject *object)
{
    object->objectId = GetNextInstanceID(instance);
    kve_fwSetIDPointer(instance, object->objectId, object);
}

} // namespace kve

extern "C" {

uint32_t kve_fwGetClassType(const KVEObject *object)
{
    if (object == nullptr || object->classRecord == nullptr)
        return 0;
    return object->classRecord->classId;
}

uint32_t GetNextInstanceID(KVEInstance *instance) { return ++instance->lastObjectId; }

int32_t kve_fwcreateLookupTable(KVEInstance *instance, uint32_t size)
{
    int32_t status = KVE_OK;
    instance->lookupSize = size;
    const uint64_t bytes = (static_cast<uint64_t>(size) + 101u) * sizeof(KVEObject *);
    void *table = bytes <= UINT32_MAX
                      ? kve_fwMalloc2(instance, static_cast<uint32_t>(bytes), 8, 2, &status)
                      : (status = KVE_E_HEAPS_FULL, nullptr);
    if (table == nullptr) {
        instance->lookupSize = 0;
        instance->lookupTable = nullptr;
        return status;
    }
    instance->lookupTable = static_cast<KVEObject **>(table);
    return KVE_OK;
}

void kve_fwSetIDPointer(KVEInstance *instance, uint32_t id, KVEObject *object)
{
    const int64_t slot = lookupSlot(instance, id);
    if (slot >= 0)
        instance->lookupTable[slot] = object;
}

KVEObject *kve_fwLookupID(KVEInstance *instance, uint32_t id)
{
    const int64_t slot = lookupSlot(instance, id);
    return slot >= 0 ? instance->lookupTable[slot] : nullptr;
}

int32_t kve_fwUpdateLookupTable(KVEInstance *) { return KVE_OK; }

int32_t kve_fwGetObjectByID(KVEInstance *instance, uint32_t id, KVEObject **object, uint32_t *classId)
{
    if (KVEObject *o = kve_fwLookupID(instance, id); o != nullptr) {
        *object = o;
        *classId = kve_fwGetClassType(o);
        return KVE_OK;
    }
    KVEObject *o = instance->firstObject;
    *object = o;
    if (o == nullptr)
        return KVE_E_END_OF_LIST;
    if (instance->lastObjectId == 0)
        return KVE_E_ID_COUNTER;
    // Never more objects than ids issued: a longer walk means a broken list.
    for (uint32_t visited = 1; o != nullptr; o = o->next, ++visited) {
        if (visited > instance->lastObjectId) {
            *object = o;
            return KVE_E_ID_COUNTER;
        }
        if (o->objectId == id) {
            *object = o;
            *classId = kve_fwGetClassType(o);
            return KVE_OK;
        }
    }
    *object = nullptr;
    return KVE_E_END_OF_LIST;
}

int32_t kve_fwGetObjectByID2(uint32_t id, KVEObject **object, uint32_t *classId)
{
    return kve_fwGetObjectByID(g_pKVE_instance, id, object, classId);
}

int32_t kve_fwSetInstanceID(KVEInstance *instance, uint32_t oldId, uint32_t newId)
{
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    if (kve_fwGetObjectByID(instance, newId, &o, &cls) == KVE_OK)
        return KVE_E_ID_IN_USE;
    if (newId < KVE_LOOKUP_HIGH_FIRST)
        return KVE_E_ID_TOO_LOW;
    if (kve_fwGetObjectByID(instance, oldId, &o, &cls) != KVE_OK)
        return KVE_E_ID_NOT_FOUND;
    if (kve_fwLookupID(instance, oldId) == o)
        kve_fwSetIDPointer(instance, oldId, nullptr);
    o->objectId = newId;
    kve_fwSetIDPointer(instance, newId, o);
    return KVE_OK;
}

int32_t kve_fwGetFirstObject2(KVEInstance *instance, KVEObject **object, uint32_t *classId)
{
    *object = instance->firstObject;
    if (instance->firstObject == nullptr)
        return KVE_E_END_OF_LIST;
    *classId = kve_fwGetClassType(instance->firstObject);
    return KVE_OK;
}

int32_t kve_fwGetFirstObject(KVEObject **object, uint32_t *classId)
{
    return kve_fwGetFirstObject2(g_pKVE_instance, object, classId);
}

int32_t kve_fwGetNextObject(KVEObject *object, KVEObject **next, uint32_t *classId)
{
    const uint32_t cls = kve_fwGetClassType(object);
    if (object == nullptr || (cls & 0xFFFF0000u) != 0xBEEF0000u)
        return KVE_E_NOT_AN_OBJECT;
    *next = object->next;
    if (object->next == nullptr)
        return KVE_E_END_OF_LIST;
    *classId = kve_fwGetClassType(object->next);
    return KVE_OK;
}

} // extern "C"
