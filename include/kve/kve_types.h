/* Sample types and engine status codes shared by every part of KVE. */
#ifndef KVE_TYPES_H
#define KVE_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Q1.31 fixed-point sample: value = word / 2^31. */
typedef int32_t Fract32;

/* Sample type codes, where a module or kernel selector names a sample type. */
enum {
    KVE_SAMPLE_FLOAT = 0,
    KVE_SAMPLE_FRACT32 = 1,
    KVE_SAMPLE_INT32 = 2
};

/* Engine status codes: 0 or a non-negative result is success. */
enum {
    KVE_OK = 0,
    KVE_E_BAD_HEAP_LIST = -1,
    KVE_E_HEAPS_FULL = -2,
    KVE_E_ARG_COUNT = -4,
    KVE_E_CLASS_INDEX = -5,
    KVE_E_CLASS_NOT_FOUND = -6,
    KVE_E_MODULE_IN_LAYOUT = -7,
    KVE_E_NOT_A_WIRE = -9,
    KVE_E_NOT_A_MODULE = -15,
    KVE_E_NOT_A_LAYOUT = -17,
    KVE_E_END_OF_LIST = -18,
    KVE_E_NOT_AN_OBJECT = -19,
    KVE_E_PIN_BOUND = -21,
    KVE_E_SAMPLE_SIZE = -22,
    KVE_E_NO_MORE_PINS = -25,
    KVE_E_NO_LAYOUT = -26,
    KVE_E_NO_HOOK = -38,
    KVE_E_BAD_OPCODE = -39,
    KVE_E_FILE_OPEN = -43,
    KVE_E_END_OF_STREAM = -55,
    KVE_E_FILE_COMMAND = -59,
    KVE_E_HEAP_BLOCK = -66,
    KVE_E_BAD_ARGUMENT = -67,
    KVE_E_ID_IN_USE = -68,
    KVE_E_ID_TOO_LOW = -69,
    KVE_E_PACKET_LENGTH = -75,
    KVE_E_PACKET_CHECK = -76,
    KVE_E_ID_NOT_FOUND = -79,
    KVE_E_BAD_BINDING_PIN = -80,
    KVE_E_MEMBER_INDEX = -82,
    KVE_E_NO_MEMBERS = -83,
    KVE_E_TOO_MANY_BINDINGS = -88,
    KVE_E_WIRE_BOUND = -89,
    KVE_E_NO_PUMP_ADDRESS = -90,
    KVE_E_NOT_CREATED = -91,
    KVE_E_ALREADY_CREATED = -92,
    KVE_E_NOT_STARTED = -93,
    KVE_E_ID_COUNTER = -94,
    KVE_E_CIPHER_HEADER = -95
};

#ifdef __cplusplus
}
#endif

#endif
