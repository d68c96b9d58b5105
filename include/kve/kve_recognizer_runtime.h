/* The recognizer runtime's calls for its own upper subsystems: shared objects, ring buffers, random numbers, typed
 * records and their codecs. C linkage; exported like the calls of kve_recognizer.h. Each area keeps its own section
 * below. */
#ifndef KVE_RECOGNIZER_RUNTIME_H
#define KVE_RECOGNIZER_RUNTIME_H

#include <kve/kve_recognizer.h>

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- reference-counted objects ----

/* Callers hold the payload address; a header of holders, size, validity word and class lies before it. */
typedef struct rcClassRecord rcClassRecord;
struct rcClassRecord {
    const char *name;
    /* Prepares a new payload; anything but the object refuses it. */
    void *(*init)(void *object, size_t size, const rcClassRecord *cls);
    /* Fills a clone; anything but the destination refuses it. */
    void *(*copy)(void *destination, const void *source, size_t size);
    /* Releases what the payload owns, once, before its block is freed. */
    void (*destroy)(void *object);
};

/* A new object of that payload size (class null: a zero-filled memory segment), or null when its init refuses. */
void *rcAlloc(size_t size, const rcClassRecord *cls);
void rcRetain(void *object);
/* Drops one holder; the last (or the creator's, while none was added) destroys the object. Null does nothing. */
void rcRelease(void *object);
void *rcClone(void *object);
uint64_t rcExtraRefs(void *object);
size_t rcSize(void *object);
const rcClassRecord *rcClass(void *object);
bool rcIsShared(void *object);

/* A stack of retained objects. */
typedef struct rcStack {
    void **entries;
    uint64_t capacity;
    uint64_t count;
} rcStack;

rcStack *rcStackCreate(size_t capacity);
void *rcStackPush(rcStack *stack, void *object);
void *rcStackPop(rcStack *stack);
void rcStackFree(void *stack);

// ---- ring buffer and random generator ----

/* A ring of items with a mirror tail of max chunk - 1 items past its end, so that every reservation and every read
 * run is contiguous. Counts are absolute and never wrap. Released with rcRelease. */
typedef struct buffer {
    uint8_t *data;
    uint64_t capacity;
    uint64_t itemSize;
    uint64_t maxChunk;
    uint64_t byteSize;
    uint64_t readCount;
    uint64_t writeCount;
    uint64_t pending;
    uint64_t pendingWrap;
    int32_t mode; /* 1: a full ring overwrites its oldest items */
} buffer;

/* Null for a capacity, item size or max chunk of 0 and for a ring too large to address. */
buffer *bufferCreate(size_t capacity, size_t itemSize, size_t maxChunk, int32_t mode);
void *bufferWritePtr(buffer *ring, size_t wanted, size_t *granted);
void bufferCommit(buffer *ring, size_t items);
void *bufferReadPtr(buffer *ring, size_t *available);
void bufferAdvance(buffer *ring, size_t items);
void bufferDiscard(buffer *ring);
/* Empties the ring and closes an open reservation. */
void bufferReset(buffer *ring);
size_t bufferRead(buffer *ring, void *destination, size_t items);
size_t bufferWrite(buffer *ring, const void *source, size_t items);
size_t bufferPeek(void *destination, size_t destinationBytes, buffer *ring, size_t offset, size_t items);
size_t bufferCopyFrom(buffer *destination, buffer *source, size_t offset, size_t items);
size_t bufferTransfer(buffer *destination, buffer *source, size_t items);
size_t bufferCapacity(const buffer *ring);
size_t bufferItemSize(const buffer *ring);
size_t bufferMaxChunk(const buffer *ring);
uint64_t bufferReadCount(const buffer *ring);
uint64_t bufferWriteCount(const buffer *ring);
size_t bufferPending(const buffer *ring);
int32_t bufferMode(const buffer *ring);
uint64_t bufferAvailable(const buffer *ring);
void bufferDestroyData(void *ring);

/* The lagged-Fibonacci generator: 30-bit values, lags 100 and 37. */
#define SRANDOM_LAG 100
#define SRANDOM_WORK 1009

typedef struct srandomRecord {
    uint32_t index;                   /* next cached value; SRANDOM_LAG refills first */
    uint32_t state[SRANDOM_LAG];
    uint32_t work[SRANDOM_WORK];
} srandomRecord;

srandomRecord *srandomCreate(uint32_t seed);
uint32_t srandomNext(srandomRecord *generator);
/* Writes count values (at least SRANDOM_LAG; fewer writes nothing) and advances the state. */
void srandomFill(uint32_t *state, uint32_t *output, size_t count);
void srandomDestroy(srandomRecord *generator);

#ifdef __cplusplus
}
#endif

#endif
