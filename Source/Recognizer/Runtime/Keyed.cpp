// Keyed objects: a whole object record kept as the value bytes of a "keyed/object" record under a text key, so
// that records of any type travel inside other records.
#include "Recognizer/Runtime/ContainerTypes.h"
#include "Recognizer/Runtime/ObjectRecord.h"
#include "Recognizer/Runtime/SessionText.h"

#include <cstring>

using kve::recognizer::quoted;
using kve::recognizer::sessionFail;

namespace {

void freeKeyed(keyedRecord *keyed)
{
    dbFree(keyed->key);
    dbFree(keyed->value);
    dbFree(keyed);
}

} // namespace

extern "C" {

keyedRecord *keyedObjectCreate(qhvSession_t *session, const char *key, uint32_t type, const char *containerName,
                               const void *record)
{
    const containerDescriptor *container = nullptr;
    if (containerFind(session, containerName, &container) != 0)
        return nullptr;
    const typedObject object = {const_cast<void *>(record), container};
    uint64_t size = 0;
    if (objectEncodedSize(session, &object, &size) != 0)
        return nullptr;
    // The value byte count is read back as an unsigned 32-bit count.
    if (size > UINT32_MAX) {
        sessionFail(session, "keyedObjectCreate", "Object too large");
        return nullptr;
    }
    const size_t keyRoom = key ? std::strlen(key) + 1 : 0;
    if (keyRoom == 0 || keyRoom > INT32_MAX) {
        sessionFail(session, "keyedObjectCreate", "Invalid key");
        return nullptr;
    }

    auto *keyed = static_cast<keyedRecord *>(dbMalloc(sizeof(keyedRecord)));
    if (!keyed) {
        sessionFail(session, "keyedObjectCreate", "Out of memory");
        return nullptr;
    }
    std::memset(keyed, 0, sizeof(keyedRecord));
    keyed->key = static_cast<char *>(dbMalloc(keyRoom));
    keyed->value = static_cast<char *>(dbMalloc(size));
    if (!keyed->key || !keyed->value) {
        sessionFail(session, "keyedObjectCreate", "Out of memory");
        freeKeyed(keyed);
        return nullptr;
    }
    strcpy_s(keyed->key, keyRoom, key);
    keyed->keyLength = static_cast<int32_t>(keyRoom);
    keyed->valueCount = static_cast<int32_t>(static_cast<uint32_t>(size));
    keyed->valueType = static_cast<int32_t>(type);
    std::memset(keyed->value, 0, size);
    int64_t position = 0;
    if (objectEncode(session, &object, reinterpret_cast<uint8_t *>(keyed->value), &position) != 0) {
        freeKeyed(keyed);
        return nullptr;
    }
    return keyed;
}

void *keyedObjectDecode(qhvSession_t *session, const keyedRecord *keyed, const char *expected)
{
    if (!keyed || !keyed->value) {
        sessionFail(session, "keyedObjectDecode", "Invalid object data");
        return nullptr;
    }
    typedObject object = {nullptr, nullptr};
    int64_t name = 4;
    if (!kve::recognizer::objectDecodeNamed(session, &object, reinterpret_cast<const uint8_t *>(keyed->value),
                                            static_cast<uint32_t>(keyed->valueCount), &name, "keyedObjectDecode"))
        return nullptr;
    const char *found = containerName(object.type);
    if (!expected || std::strcmp(found, expected) != 0) {
        kve::recognizer::sessionSetText(session, "data file error: keyed/object contains unexpected type " +
                                                     quoted(found) + " instead of " + quoted(expected));
        containerFree(session, object.type, object.instance);
        dbFree(object.instance);
        return nullptr;
    }
    return object.instance;
}

} // extern "C"
