/* The speech recognizer's exported calls: its memory, checked copies, result texts, sessions and object files. Every
 * call has C linkage; sizes are 64-bit. Each area keeps its own section below. */
#ifndef KVE_RECOGNIZER_H
#define KVE_RECOGNIZER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- allocator and checked copies ----

/* Every recognizer block carries a 16-byte header before the caller's pointer: the size asked for (64 bits) and a
 * state word, live or freed, that the allocator tests to report foreign and released pointers. */
#define DB_BLOCK_LIVE 0xBEDABB1Eu
#define DB_BLOCK_FREED 0xDECEA5EDu

/* A block of `size` bytes, contents not cleared; null (after two reports) when the platform has no memory or
 * size + 16 does not fit in 64 bits. */
void *dbMalloc(size_t size);
/* Resizes a block (contents kept up to the smaller size); null allocates. Null, with the old block kept, when the
 * memory is short or the pointer is not a live block. */
void *dbRealloc(void *ptr, size_t size);
/* Releases a block; null does nothing; a pointer that is not a live block is reported and left alone. */
void dbFree(void *ptr);
/* The size last asked for the block; 0 (after a report) for a pointer that is not a live block. */
size_t dbAllocSize(const void *ptr);
void *qhvMalloc(size_t size);
void qhvFree(void *ptr);

/* Writes "\nDBPanic:\n " with a local-time stamp and the message (256 characters in all) to standard error and
 * returns: the caller goes on. */
void DBPanic(const char *format, ...) __attribute__((format(printf, 1, 2)));

/* Checked copies: 0 on success, else 7000 a required pointer is null, 7001 a size is 0, 7003 a size is above the
 * largest signed 64-bit value or the source is larger than the destination, 7004 source and destination overlap,
 * 7006 not enough room in the destination, 7007 the destination string is not terminated within its size. */
/* Each failure writes one "ERROR: (code) text" line to standard error and returns its code. */
unsigned int memcpy_s(void *dest, size_t dmax, const void *src, size_t smax);
unsigned int strcpy_s(char *dest, size_t dmax, const char *src);
unsigned int strcat_s(char *dest, size_t dmax, const char *src);
unsigned int strncpy_s(char *dest, size_t dmax, const char *src, size_t slen);
unsigned int boundsCheckHandler(const char *message, unsigned int code);

/* The same copies into a recognizer block, its room taken from its header; a failure adds one panic report. Each
 * returns the destination. */
void *memcpy_c(void *dest, const void *src, size_t n);
char *strcpy_c(char *dest, const char *src);
char *strcat_c(char *dest, const char *src);
char *strncpy_c(char *dest, const char *src, size_t slen);

// ---- result texts ----

/* A status text: inline up to 199 characters, else a recognizer block, or a text owned by its disposer. */
#define GS_SPFL 256
#define GS_INLINE_SIZE 200

typedef void (*gsDisposer)(char *text);

/* How GS_SetResult takes a text: kept as it is (needs no disposal), owned as a recognizer block, or copied. Any
 * other value is a disposer function that the holder calls on the text when it lets it go. */
#define GS_RESULT_STATIC ((uintptr_t)0)
#define GS_RESULT_DYNAMIC ((uintptr_t)1)
#define GS_RESULT_COPY ((uintptr_t)2)

typedef struct gsResult {
    char *text;                        /* the current text, NUL-terminated */
    uint64_t zero;                     /* always 0 */
    uintptr_t disposer;                /* GS_RESULT_STATIC, GS_RESULT_DYNAMIC or a gsDisposer */
    char inlineText[GS_INLINE_SIZE];
    uint64_t capacity;                 /* bytes in the text's block, terminator included */
    uint64_t length;                   /* the text's length, kept for recognizer blocks */
} gsResult;

gsResult *GS_NewResult(void);
void GS_FreeResult(gsResult *result);
/* Replaces the text, then disposes of the old one; a null text empties the holder. */
void GS_SetResult(gsResult *result, const char *text, uintptr_t mode);
/* Appends every text up to the null that ends the list. */
void GS_AppendResult(gsResult *result, ...);
void GS_SpfResult(gsResult *result, const char *format, ...) __attribute__((format(printf, 2, 3)));
void GS_ApfResult(gsResult *result, const char *format, ...) __attribute__((format(printf, 2, 3)));
void GS_ResetResult(gsResult *result);
/* Formats into a caller's area of GS_SPFL characters and returns it. */
char *GS_Spf(char *buffer, const char *format, ...) __attribute__((format(printf, 2, 3)));
const char *GS_ErrnoText(void);

// ---- session and object files ----

struct containerDescriptor;

/* The session every recognizer call takes first. */
typedef struct qhvSession_t {
    char errorText[256];                                /* the last failure's message, NUL-terminated */
    void* ownedBlock;                                   /* freed with the session; null at creation */
    const struct containerDescriptor* lengthContainer;  /* "oneint", which frames object records */
} qhvSession_t;

/* A record paired with its registered type; the typed object owns the record. */
typedef struct typedObject {
    void* instance;
    const struct containerDescriptor* type;
} typedObject;

/* One node of a list of typed objects; the node owns its object. */
typedef struct objectListNode {
    typedObject* object;
    struct objectListNode* next;
} objectListNode;

/* A new session, or null. */
qhvSession_t* qhvSessionCreate(void);
/* Frees the session and the block it owns; null does nothing. */
void qhvSessionDestroy(qhvSession_t* session);
/* The session's last failure text; for a null session, why creating it failed. */
const char* qhvGetLastError(const qhvSession_t* session);
/* Empties the session's failure text; null does nothing. */
void qhvResetLastError(qhvSession_t* session);

/* The typed objects of the object file at path in file order (each node and object the caller's to free: destroy
 * the object, then qhvFree the node), or null: an empty file, or a failure with its reason in the session's text. */
objectListNode* qhvObjRead(qhvSession_t* session, const char* path);
/* Writes the listed objects (null: none) to path as one object file. 0, or -1 with the reason in the session. */
int qhvObjWrite(qhvSession_t* session, const objectListNode* list, const char* path);

#ifdef __cplusplus
}
#endif

#endif
