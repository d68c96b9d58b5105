// The per-type-code codec operations behind the container walkers, and the helpers they share.
#pragma once

#include <kve/kve_recognizer_runtime.h>

#include <cstdint>

extern "C" {

typedef int (*fieldInitOp)(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                           void* record, int keep);
typedef int (*fieldFreeOp)(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                           void* record);
typedef int (*fieldEncodeOp)(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                             const void* record, uint8_t* out, int64_t* position);
typedef int (*fieldDecodeOp)(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                             void* record, const uint8_t* in, int64_t end, int64_t* position);
typedef int (*fieldSizeOp)(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                           const void* record, uint64_t* size);
typedef void* (*fieldGetOp)(const containerDescriptor* type, int32_t field, void* record);

// Six operations per type code; init and free are null for the codes that own nothing outside the record.
typedef struct fieldCodec {
    fieldInitOp init;
    fieldFreeOp free;
    fieldEncodeOp encode;
    fieldDecodeOp decode;
    fieldSizeOp size;
    fieldGetOp get;
} fieldCodec;

extern const fieldCodec fieldCodecTable[FIELD_TYPE_COUNT];

// Replaces the session's error text with "<operation> failed: Invalid object data": input that ends before the
// field it should hold, or whose counts and dimensions disagree with the bytes that follow.
void containerReportInvalidData(qhvSession_t* session, const char* operation);

// Replaces the session's error text with a message of the walkers' own.
void containerReportError(qhvSession_t* session, const char* message);

}
