// Each input is an object file held in memory, read against the whole registry through a stream that delivers it
// in chunks (their size follows from the input's, so short reads are exercised too). Besides the sanitizers' checks,
// the reader must keep the promises a caller builds on: it returns whole lists or nothing (with a reason unless the
// stream held no whole length field), and what it returns writes back to bytes that read back to the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kve/kve_recognizer.h"
#include "kve/kve_recognizer_runtime.h"

namespace {

void require(bool promise)
{
    if (!promise)
        std::abort();
}

struct Stream {
    const uint8_t *data;
    size_t size;
    size_t at;
    size_t chunk;
};

size_t readChunks(void *buffer, size_t size, size_t count, void *stream, int *status)
{
    auto *s = static_cast<Stream *>(stream);
    const size_t got = std::min({size * count, s->chunk, s->size - s->at});
    std::memcpy(buffer, s->data + s->at, got);
    s->at += got;
    *status = got == size * count ? 0 : s->at == s->size ? 1 : 0;
    return got / size;
}

objectListNode *readAll(qhvSession_t *session, const uint8_t *data, size_t size, size_t chunk)
{
    Stream stream = {data, size, 0, chunk};
    return objReadFunc(session, readChunks, &stream);
}

// The list's records back to back, as a file of them holds them; each node and object freed once written.
std::vector<uint8_t> encodeAndRelease(qhvSession_t *session, objectListNode *list)
{
    std::vector<uint8_t> bytes;
    while (list) {
        uint64_t size = 0;
        require(objectEncodedSize(session, list->object, &size) == 0);
        const size_t start = bytes.size();
        bytes.resize(start + size);
        int64_t position = static_cast<int64_t>(start);
        require(objectEncode(session, list->object, bytes.data(), &position) == 0);
        require(static_cast<size_t>(position) == bytes.size());
        objectListNode *next = list->next;
        objectDestroy(session, list->object);
        qhvFree(list);
        list = next;
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static qhvSession_t *session = qhvSessionCreate();
    require(session != nullptr);
    const size_t chunk = 1 + size % 61;
    qhvResetLastError(session);
    objectListNode *list = readAll(session, data, size, chunk);
    // Nothing read is an empty stream, or one that ends inside its first length field; any other null is a failure
    // and says why.
    const bool saysWhy = qhvGetLastError(session)[0] != '\0';
    if (!list) {
        require(size < 4 || saysWhy);
        return 0;
    }
    require(!saysWhy);
    const std::vector<uint8_t> once = encodeAndRelease(session, list);
    objectListNode *again = readAll(session, once.data(), once.size(), once.size() + 1);
    require(again != nullptr);
    require(encodeAndRelease(session, again) == once);
    return 0;
}
