// The container registry's lookup and the six walkers that run a record type's field codecs in declaration order.
#include "ContainerCodec.h"

#include <kve/kve_recognizer.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t errorTextSize = 256;

char* errorText(qhvSession_t* session)
{
    return reinterpret_cast<char*>(session);
}

// One done word per field, zeroed; a type without fields still gets a block of its own.
uint32_t* allocateDoneFlags(const containerDescriptor* type)
{
    const size_t bytes = type->fieldCount > 0 ? sizeof(uint32_t) * static_cast<size_t>(type->fieldCount) : 1;
    void* flags = dbMalloc(bytes);
    if (flags != nullptr)
        std::memset(flags, 0, bytes);
    return static_cast<uint32_t*>(flags);
}

bool fieldIsValid(const containerDescriptor* type, int32_t field)
{
    return type != nullptr && field >= 0 && field < type->fieldCount && type->fields[field].type < FIELD_TYPE_COUNT;
}

void* allocateRecord(const containerDescriptor* type)
{
    const size_t bytes = type->recordSize > 0 ? type->recordSize : 1;
    void* record = dbMalloc(bytes);
    if (record != nullptr)
        std::memset(record, 0, bytes);
    return record;
}

// A record this walker allocated and could not complete: its fields hold either blocks of their own or null, so the
// free walker releases exactly what was built.
void discardRecord(qhvSession_t* session, const containerDescriptor* type, void* record)
{
    containerFree(session, type, record);
    dbFree(record);
}

} // namespace

extern "C" {

void containerReportError(qhvSession_t* session, const char* message)
{
    if (session != nullptr)
        strcpy_s(errorText(session), errorTextSize, message);
}

void containerReportInvalidData(qhvSession_t* session, const char* operation)
{
    char message[errorTextSize];
    std::snprintf(message, sizeof message, "%s failed: Invalid object data", operation);
    containerReportError(session, message);
}

const containerDescriptor* containerRegistry(uint32_t* count)
{
    if (count != nullptr)
        *count = containerRegistryTableCount;
    return containerRegistryTable;
}

int containerFind(qhvSession_t* session, const char* name, const containerDescriptor** found)
{
    const uint32_t count = containerRegistryTableCount;
    if (name != nullptr && count > 0) {
        // Lowest row whose name is not below the key.
        uint32_t low = 0;
        uint32_t high = count;
        while (low < high) {
            const uint32_t middle = low + (high - low) / 2;
            if (std::strcmp(containerRegistryTable[middle].name, name) < 0)
                low = middle + 1;
            else
                high = middle;
        }
        if (low < count && std::strcmp(containerRegistryTable[low].name, name) == 0) {
            if (found != nullptr)
                *found = &containerRegistryTable[low];
            return 0;
        }
    }
    if (session != nullptr) {
        char message[errorTextSize + 32];
        std::snprintf(message, sizeof message, "container \"%s\" not found", name != nullptr ? name : "");
        strcat_s(errorText(session), errorTextSize, message);
    }
    return 1;
}

const char* containerName(const containerDescriptor* type)
{
    return type != nullptr ? type->name : nullptr;
}

int fieldTypeIsFixed(uint32_t type)
{
    return type == FIELD_CHAR || type == FIELD_SHORT || type == FIELD_INT || type == FIELD_FLOAT ||
           type == FIELD_DOUBLE || type == FIELD_STRUCT;
}

int containerInitField(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                       void* record, int keep)
{
    if (!fieldIsValid(type, field))
        return 1;
    if (done != nullptr && (done[field] & FIELD_DONE_INIT) != 0)
        return 0;
    const fieldInitOp init = fieldCodecTable[type->fields[field].type].init;
    const int code = init != nullptr ? init(session, type, done, field, record, keep) : 0;
    if (code == 0 && done != nullptr)
        done[field] |= FIELD_DONE_INIT;
    return code;
}

int containerEncodeField(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                         const void* record, uint8_t* out, int64_t* position)
{
    if (!fieldIsValid(type, field))
        return 1;
    if (done != nullptr && (done[field] & FIELD_DONE_CODED) != 0)
        return 0;
    const int code =
        fieldCodecTable[type->fields[field].type].encode(session, type, done, field, record, out, position);
    if (code == 0 && done != nullptr)
        done[field] |= FIELD_DONE_CODED;
    return code;
}

int containerDecodeField(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                         void* record, const uint8_t* in, int64_t end, int64_t* position)
{
    if (!fieldIsValid(type, field))
        return 1;
    if (done != nullptr && (done[field] & FIELD_DONE_CODED) != 0)
        return 0;
    const int code =
        fieldCodecTable[type->fields[field].type].decode(session, type, done, field, record, in, end, position);
    if (code == 0 && done != nullptr)
        done[field] |= FIELD_DONE_CODED;
    return code;
}

int containerFieldSize(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                       const void* record, uint64_t* size)
{
    if (!fieldIsValid(type, field))
        return 1;
    if (done != nullptr && (done[field] & FIELD_DONE_SIZED) != 0)
        return 0;
    const int code = fieldCodecTable[type->fields[field].type].size(session, type, done, field, record, size);
    if (code == 0 && done != nullptr)
        done[field] |= FIELD_DONE_SIZED;
    return code;
}

void* containerGetField(qhvSession_t*, const containerDescriptor* type, int32_t field, void* record)
{
    if (!fieldIsValid(type, field) || record == nullptr)
        return nullptr;
    return fieldCodecTable[type->fields[field].type].get(type, field, record);
}

void* containerCreate(qhvSession_t* session, const containerDescriptor* type, void* record, int keep)
{
    if (type == nullptr)
        return nullptr;
    uint32_t* done = allocateDoneFlags(type);
    if (done == nullptr)
        return nullptr;
    void* target = record != nullptr ? record : allocateRecord(type);
    int code = target != nullptr ? 0 : 1;
    for (int32_t field = 0; code == 0 && field < type->fieldCount; ++field)
        code = containerInitField(session, type, done, field, target, keep);
    dbFree(done);
    if (code == 0)
        return target;
    if (record == nullptr && target != nullptr)
        discardRecord(session, type, target);
    return nullptr;
}

int containerFree(qhvSession_t* session, const containerDescriptor* type, void* record)
{
    if (type == nullptr || record == nullptr)
        return 0;
    for (int32_t field = 0; field < type->fieldCount; ++field) {
        if (!fieldIsValid(type, field))
            return 1;
        const fieldFreeOp free = fieldCodecTable[type->fields[field].type].free;
        const int code = free != nullptr ? free(session, type, nullptr, field, record) : 0;
        if (code != 0)
            return code;
    }
    return 0;
}

int containerEncode(qhvSession_t* session, const containerDescriptor* type, const void* record, uint8_t* out,
                    int64_t* position)
{
    if (type == nullptr || record == nullptr || out == nullptr || position == nullptr)
        return 1;
    uint32_t* done = allocateDoneFlags(type);
    if (done == nullptr)
        return 1;
    int code = 0;
    for (int32_t field = 0; code == 0 && field < type->fieldCount; ++field)
        code = containerEncodeField(session, type, done, field, record, out, position);
    dbFree(done);
    return code;
}

void* containerDecode(qhvSession_t* session, const containerDescriptor* type, void* record, const uint8_t* in,
                      int64_t end, int64_t* position)
{
    if (type == nullptr || position == nullptr)
        return nullptr;
    if (*position < 0 || *position > end || (in == nullptr && end > 0)) {
        containerReportInvalidData(session, "containerDecode");
        return nullptr;
    }
    uint32_t* done = allocateDoneFlags(type);
    if (done == nullptr)
        return nullptr;
    void* target = record != nullptr ? record : allocateRecord(type);
    int code = target != nullptr ? 0 : 1;
    for (int32_t field = 0; code == 0 && field < type->fieldCount; ++field)
        code = containerDecodeField(session, type, done, field, target, in, end, position);
    dbFree(done);
    if (code == 0)
        return target;
    if (record == nullptr && target != nullptr)
        discardRecord(session, type, target);
    return nullptr;
}

int containerEncodedSize(qhvSession_t* session, const containerDescriptor* type, const void* record, uint64_t* size)
{
    if (type == nullptr || record == nullptr || size == nullptr)
        return 1;
    uint32_t* done = allocateDoneFlags(type);
    if (done == nullptr)
        return 1;
    uint64_t total = 0;
    int code = 0;
    for (int32_t field = 0; code == 0 && field < type->fieldCount; ++field)
        code = containerFieldSize(session, type, done, field, record, &total);
    dbFree(done);
    if (code == 0)
        *size = total;
    return code;
}

void* containerDeepCopy(qhvSession_t* session, const containerDescriptor* type, const void* record)
{
    uint64_t size = 0;
    if (containerEncodedSize(session, type, record, &size) != 0 || size > INT64_MAX - 1)
        return nullptr;
    uint8_t* bytes = static_cast<uint8_t*>(dbMalloc(size > 0 ? size : 1));
    if (bytes == nullptr)
        return nullptr;
    std::memset(bytes, 0, size > 0 ? size : 1);
    void* copy = nullptr;
    int64_t position = 0;
    if (containerEncode(session, type, record, bytes, &position) == 0) {
        position = 0;
        copy = containerDecode(session, type, nullptr, bytes, static_cast<int64_t>(size), &position);
    }
    dbFree(bytes);
    return copy;
}

} // extern "C"
