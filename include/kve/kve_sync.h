// Platform shims of the host utilities with plain external names: the CRC-32 of a byte buffer, atomic counters and
// critical sections carried on POSIX mutexes, so host code written against these names builds unchanged on Linux.
#pragma once

#include <pthread.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The IEEE 802.3 CRC-32 (reflected polynomial 0xEDB88320) of `length` bytes continued from `crc`: a first call
// passes 0, a later one the previous result, so crc32(crc32(0, A), B) is the CRC of A followed by B. The types are
// those of the zlib call of this name, so either one answers alike. A length of 0 returns `crc` unchanged; a null
// buffer with bytes to read returns 0, the starting value.
unsigned long crc32(unsigned long crc, const unsigned char *buffer, unsigned int length);

// Add or subtract 1 in one atomic step (acquire and release ordering) and return the new value; 0 for a null
// counter.
int64_t InterlockedIncrement(volatile int64_t *counter);
int64_t InterlockedDecrement(volatile int64_t *counter);

// A plain (not recursive) mutex: a thread entering one it already holds blocks for ever, and only the holder may
// leave it. The caller owns the storage. Calls on a null pointer do nothing.
typedef struct CRITICAL_SECTION {
    pthread_mutex_t mutex;
} CRITICAL_SECTION;

void InitializeCriticalSection(CRITICAL_SECTION *section);
void EnterCriticalSection(CRITICAL_SECTION *section);
void LeaveCriticalSection(CRITICAL_SECTION *section);
void DeleteCriticalSection(CRITICAL_SECTION *section);

#ifdef __cplusplus
}
#endif
