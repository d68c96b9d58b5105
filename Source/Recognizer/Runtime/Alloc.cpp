// The recognizer's allocator: every block carries a 16-byte header recording the size asked for and whether the
// block is live, so that foreign and released pointers are reported instead of corrupting the platform's heap, and
// so that the checked copies into a block know its room.
#include <kve/kve_recognizer.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

struct BlockHeader {
    uint64_t size;
    uint32_t state;
    uint32_t unused;
};
static_assert(sizeof(BlockHeader) == 16, "blocks keep the platform's 16-byte alignment");

constexpr size_t kHeaderSize = sizeof(BlockHeader);

BlockHeader *headerOf(const void *ptr)
{
    return reinterpret_cast<BlockHeader *>(const_cast<char *>(static_cast<const char *>(ptr)) - kHeaderSize);
}

void *payloadOf(BlockHeader *header)
{
    return reinterpret_cast<char *>(header) + kHeaderSize;
}

void reportForeign(const void *ptr)
{
    DBPanic("Unknown heap pointer %p: it was not returned by an allocation call for this heap memory manager.", ptr);
}

// The caller vouches that a non-null pointer has a header in front of it; null has none to read.
bool isLive(const void *ptr)
{
    return ptr != nullptr && headerOf(ptr)->state == DB_BLOCK_LIVE;
}

void *stamp(void *block, size_t size)
{
    auto *header = static_cast<BlockHeader *>(block);
    header->size = size;
    header->state = DB_BLOCK_LIVE;
    return payloadOf(header);
}

} // namespace

extern "C" void *dbMalloc(size_t size)
{
    const size_t total = size + kHeaderSize;
    void *block = nullptr;
    if (total == 0)
        DBPanic("Trying to allocate 0 bytes");
    // A size within 16 of the top wraps the total: asking for it would hand out a tiny block recording a huge size.
    if (total >= kHeaderSize)
        block = std::malloc(total);
    if (block == nullptr) {
        DBPanic("Unable to malloc %d bytes\n", static_cast<int>(total));
        DBPanic("Failed to allocate %zi bytes", static_cast<ssize_t>(total));
        return nullptr;
    }
    return stamp(block, size);
}

extern "C" void *dbRealloc(void *ptr, size_t size)
{
    if (ptr == nullptr)
        return dbMalloc(size);
    if (!isLive(ptr)) {
        reportForeign(ptr);
        return nullptr;
    }
    const size_t total = size + kHeaderSize;
    void *block = total >= kHeaderSize ? std::realloc(headerOf(ptr), total) : nullptr;
    if (block == nullptr) {
        DBPanic("Unable to realloc %d bytes\n", static_cast<int>(total));
        DBPanic("Failed to realloc %zi bytes", static_cast<ssize_t>(total));
        return nullptr;
    }
    return stamp(block, size);
}

extern "C" void dbFree(void *ptr)
{
    if (ptr == nullptr)
        return;
    BlockHeader *header = headerOf(ptr);
    if (header->state == DB_BLOCK_FREED)
        DBPanic("Attempt to free already free()ed pointer.");
    if (header->state != DB_BLOCK_LIVE) {
        reportForeign(ptr);
        return;
    }
    header->state = DB_BLOCK_FREED;
    std::free(header);
}

extern "C" size_t dbAllocSize(const void *ptr)
{
    if (!isLive(ptr)) {
        reportForeign(ptr);
        return 0;
    }
    return headerOf(ptr)->size;
}

extern "C" void *qhvMalloc(size_t size)
{
    return dbMalloc(size);
}

extern "C" void qhvFree(void *ptr)
{
    dbFree(ptr);
}

extern "C" void DBPanic(const char *format, ...)
{
    constexpr size_t kTextSize = 256;
    constexpr size_t kStampLimit = 42;
    char text[kTextSize];
    size_t used = 0;
    const time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) != nullptr)
        used = strftime(text, kStampLimit, "%Y%m%d %H:%M:%S ", &local);
    text[used] = '\0';
    va_list args;
    va_start(args, format);
    vsnprintf(text + used, kTextSize - used, format, args);
    va_end(args);
    fprintf(stderr, "\nDBPanic:\n %s", text);
}
