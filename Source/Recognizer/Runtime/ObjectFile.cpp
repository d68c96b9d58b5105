// Object files: object records back to back, no header, nothing after the last record. The reader trusts nothing
// a file says: a record's length only bounds its decoding, and its block grows as its bytes arrive, so a length
// beyond the stream costs no more memory than the stream holds.
#include "Recognizer/Runtime/ObjectRecord.h"
#include "Recognizer/Runtime/SessionText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using kve::recognizer::quoted;
using kve::recognizer::sessionFail;

namespace {

// The first stretch of a record's block; it doubles while the record's bytes keep arriving.
constexpr size_t kFirstChunk = 64 * 1024;

enum ReadStatus { kReadComplete = 0, kReadEnd = 1, kReadError = 2 };

// Reads until want bytes are at buffer + *have, calling read again after each short read that made progress.
// The status of the last read: complete, or why fewer bytes arrived.
int readFully(objectReadFunction read, void *stream, uint8_t *buffer, size_t want, size_t *have)
{
    while (*have < want) {
        int status = kReadComplete;
        const size_t got = std::min(read(buffer + *have, 1, want - *have, stream, &status), want - *have);
        *have += got;
        if (*have == want)
            return kReadComplete;
        if (status != kReadComplete)
            return status;
        // A reader that reports neither progress nor an end would be called for ever.
        if (got == 0)
            return kReadError;
    }
    return kReadComplete;
}

void destroyList(qhvSession_t *session, objectListNode *head)
{
    while (head) {
        objectListNode *next = head->next;
        objectDestroy(session, head->object);
        dbFree(head);
        head = next;
    }
}

// The L bytes of one record in a block of their own; null, with the reason in the session's text, when they do
// not all arrive.
uint8_t *readRecord(qhvSession_t *session, objectReadFunction read, void *stream, uint32_t length)
{
    size_t capacity = std::min<size_t>(length, kFirstChunk);
    auto *block = static_cast<uint8_t *>(dbMalloc(capacity));
    if (!block) {
        sessionFail(session, "objReadFunc", "Out of memory");
        return nullptr;
    }
    size_t have = 0;
    for (;;) {
        if (readFully(read, stream, block, capacity, &have) != kReadComplete) {
            sessionFail(session, "objReadFunc", "Error reading object data: truncated");
            dbFree(block);
            return nullptr;
        }
        if (have == length)
            return block;
        capacity = std::min<size_t>(length, capacity * 2);
        auto *grown = static_cast<uint8_t *>(dbRealloc(block, capacity));
        if (!grown) {
            sessionFail(session, "objReadFunc", "Out of memory");
            dbFree(block);
            return nullptr;
        }
        block = grown;
    }
}

} // namespace

extern "C" {

size_t freadStatus(void *buffer, size_t size, size_t count, void *stream, int *status)
{
    auto *file = static_cast<FILE *>(stream);
    const size_t got = std::fread(buffer, size, count, file);
    if (status)
        *status = got == count ? kReadComplete : std::feof(file) ? kReadEnd : kReadError;
    return got;
}

objectListNode *objReadFunc(qhvSession_t *session, objectReadFunction read, void *stream)
{
    objectListNode *head = nullptr;
    objectListNode **tail = &head;
    for (;;) {
        uint8_t lengthBytes[4];
        size_t have = 0;
        const int status = readFully(read, stream, lengthBytes, sizeof lengthBytes, &have);
        // The stream may end anywhere in a length field: the records before it are the file.
        if (status == kReadEnd)
            return head;
        if (status != kReadComplete) {
            sessionFail(session, "objReadFunc", "Error reading object header");
            break;
        }
        uint32_t length = 0;
        int64_t position = 0;
        if (decodeLength(session, &length, lengthBytes, sizeof lengthBytes, &position) != 0) {
            sessionFail(session, "objReadFunc", "Invalid object length field");
            break;
        }
        uint8_t *block = readRecord(session, read, stream, length);
        if (!block)
            break;
        position = 0;
        auto *object = static_cast<typedObject *>(
            kve::recognizer::objectDecodeNamed(session, nullptr, block, length, &position, "objReadFunc"));
        dbFree(block);
        if (!object)
            break;
        auto *node = static_cast<objectListNode *>(dbMalloc(sizeof(objectListNode)));
        if (!node) {
            objectDestroy(session, object);
            sessionFail(session, "objReadFunc", "Out of memory");
            break;
        }
        node->object = object;
        node->next = nullptr;
        *tail = node;
        tail = &node->next;
    }
    destroyList(session, head);
    return nullptr;
}

objectListNode *qhvObjRead(qhvSession_t *session, const char *path)
{
    if (!session)
        return nullptr;
    FILE *file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) {
        sessionFail(session, "qhvObjRead", "Could not open raw file " + quoted(path));
        return nullptr;
    }
    objectListNode *list = objReadFunc(session, freadStatus, file);
    std::fclose(file);
    return list;
}

int qhvObjWrite(qhvSession_t *session, const objectListNode *list, const char *path)
{
    if (!session)
        return -1;
    uint64_t total = 0;
    for (const objectListNode *node = list; node; node = node->next) {
        uint64_t size = 0;
        if (objectEncodedSize(session, node->object, &size) != 0)
            return -1;
        total += size;
    }
    // One spare byte, so that an empty list still has a block to write from.
    auto *bytes = static_cast<uint8_t *>(dbMalloc(total + 1));
    if (!bytes) {
        sessionFail(session, "qhvObjWrite", "Out of memory");
        return -1;
    }
    std::memset(bytes, 0, total + 1);
    int64_t position = 0;
    for (const objectListNode *node = list; node; node = node->next) {
        if (objectEncode(session, node->object, bytes, &position) != 0) {
            dbFree(bytes);
            return -1;
        }
    }
    FILE *file = path ? std::fopen(path, "wb") : nullptr;
    if (!file) {
        sessionFail(session, "qhvObjWrite", "Could not open file " + quoted(path));
        dbFree(bytes);
        return -1;
    }
    const bool written = std::fwrite(bytes, 1, total, file) == total;
    // Bytes still buffered are only on the file once it is closed: a full disk shows there.
    const bool closed = std::fclose(file) == 0;
    dbFree(bytes);
    if (!written || !closed) {
        sessionFail(session, "qhvObjWrite", "Error writing output file " + quoted(path));
        return -1;
    }
    return 0;
}

} // extern "C"
