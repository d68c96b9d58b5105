// Typed objects and the object record: a 4-byte length, the type name with 0x00 0x0A, then the encoded fields.
#include "Recognizer/Runtime/ObjectRecord.h"
#include "Recognizer/Runtime/SessionText.h"

#include <cstring>

using kve::recognizer::quoted;
using kve::recognizer::sessionFail;
using kve::recognizer::sessionSetText;

namespace {

// Bytes of a record besides its encoded fields and its name: the length field and the two marker bytes.
constexpr uint64_t kFramingBytes = 6;

const char kInvalidData[] = "Invalid object data";

bool objectUsable(qhvSession_t *session, const typedObject *object, const char *operation)
{
    if (object && object->instance && object->type)
        return true;
    sessionFail(session, operation, "Invalid object");
    return false;
}

// What a record holding object takes in all; the length field must hold all of it but its own 4 bytes.
int recordSize(qhvSession_t *session, const typedObject *object, uint64_t *size, const char *operation)
{
    if (!objectUsable(session, object, operation))
        return 1;
    uint64_t payload = 0;
    const int code = containerEncodedSize(session, object->type, object->instance, &payload);
    if (code != 0)
        return code;
    const uint64_t total = payload + std::strlen(object->type->name) + kFramingBytes;
    if (total - 4 > UINT32_MAX) {
        sessionFail(session, operation, "Object too large");
        return 1;
    }
    *size = total;
    return 0;
}

// The walkers name themselves in the text of bytes that end too soon; the caller reading the record is the one a
// user knows.
void renameInvalidData(qhvSession_t *session, const char *operation)
{
    static const char kWalkerText[] = "containerDecode failed: Invalid object data";
    if (std::strncmp(session->errorText, kWalkerText, sizeof session->errorText) == 0)
        sessionFail(session, operation, kInvalidData);
}

} // namespace

namespace kve::recognizer {

void *objectDecodeNamed(qhvSession_t *session, typedObject *object, const uint8_t *in, int64_t end,
                        int64_t *position, const char *operation)
{
    const int64_t at = *position;
    // The name and its two marker bytes must lie within the record's bytes.
    const void *terminator =
        (in && at >= 0 && at < end) ? std::memchr(in + at, 0, static_cast<size_t>(end - at)) : nullptr;
    if (!terminator || static_cast<const uint8_t *>(terminator) + 1 >= in + end) {
        sessionFail(session, operation, kInvalidData);
        return nullptr;
    }
    const char *name = reinterpret_cast<const char *>(in + at);
    const containerDescriptor *type = nullptr;
    if (containerFind(session, name, &type) != 0) {
        // A name too long for what the text has left empties it instead of adding to it; a failure must not read
        // like an empty file, so the text starts again with the miss, shortened.
        if (session->errorText[0] == '\0')
            sessionSetText(session, "container " + quoted(name) + " not found");
        return nullptr;
    }

    int64_t fields = at + static_cast<int64_t>(std::strlen(name)) + 2;
    void *record = containerDecode(session, type, nullptr, in, end, &fields);
    if (!record) {
        renameInvalidData(session, operation);
        return nullptr;
    }
    *position = fields;
    if (!object)
        return objectWrap(session, type, record, true);
    object->instance = record;
    object->type = type;
    return record;
}

typedObject *objectWrap(qhvSession_t *session, const containerDescriptor *type, void *record, bool freeOnFailure)
{
    auto *object = static_cast<typedObject *>(dbMalloc(sizeof(typedObject)));
    if (!object && freeOnFailure) {
        containerFree(session, type, record);
        dbFree(record);
    }
    if (!object)
        return nullptr;
    object->instance = record;
    object->type = type;
    return object;
}

} // namespace kve::recognizer

extern "C" {

int encodeLength(qhvSession_t *session, uint32_t length, uint8_t *out, int64_t *position)
{
    if (!session->lengthContainer)
        return 1;
    const int32_t record = static_cast<int32_t>(length);
    return containerEncode(session, session->lengthContainer, &record, out, position);
}

int decodeLength(qhvSession_t *session, uint32_t *length, const uint8_t *in, int64_t end, int64_t *position)
{
    int32_t record = 0;
    if (!session->lengthContainer || !containerDecode(session, session->lengthContainer, &record, in, end, position))
        return 1;
    *length = static_cast<uint32_t>(record);
    return 0;
}

typedObject *objectCreate(qhvSession_t *session, const containerDescriptor *type, void *record)
{
    void *instance = containerCreate(session, type, record, 1);
    // A record made here goes with a failure; the caller's own stays the caller's.
    return instance ? kve::recognizer::objectWrap(session, type, instance, !record) : nullptr;
}

int objectDestroy(qhvSession_t *session, typedObject *object)
{
    if (!object)
        return 0;
    int code = 0;
    if (object->instance) {
        code = containerFree(session, object->type, object->instance);
        dbFree(object->instance);
    }
    dbFree(object);
    return code;
}

typedObject *objectCopy(qhvSession_t *session, const typedObject *object)
{
    if (!objectUsable(session, object, "objectCopy"))
        return nullptr;
    void *copy = containerDeepCopy(session, object->type, object->instance);
    return copy ? kve::recognizer::objectWrap(session, object->type, copy, true) : nullptr;
}

int objectEncodedSize(qhvSession_t *session, const typedObject *object, uint64_t *size)
{
    return recordSize(session, object, size, "objectEncodedSize");
}

int objectEncode(qhvSession_t *session, const typedObject *object, uint8_t *out, int64_t *position)
{
    uint64_t size = 0;
    int code = recordSize(session, object, &size, "objectEncode");
    if (code != 0)
        return code;
    code = encodeLength(session, static_cast<uint32_t>(size - 4), out, position);
    if (code != 0)
        return code;
    const size_t nameRoom = std::strlen(object->type->name) + 1;
    code = static_cast<int>(strcpy_s(reinterpret_cast<char *>(out + *position), nameRoom, object->type->name));
    if (code != 0)
        return code;
    out[*position + static_cast<int64_t>(nameRoom)] = 0x0A;
    *position += static_cast<int64_t>(nameRoom) + 1;
    return containerEncode(session, object->type, object->instance, out, position);
}

void *objectDecode(qhvSession_t *session, typedObject *object, const uint8_t *in, int64_t end, int64_t *position)
{
    // The length field is passed over, not compared: the fields' own counts say where the record ends.
    int64_t name = *position + 4;
    void *result = kve::recognizer::objectDecodeNamed(session, object, in, end, &name, "objectDecode");
    if (result)
        *position = name;
    return result;
}

} // extern "C"
