// Item ring buffers: a writer reserves a contiguous region, fills it in place and commits it; a reader sees the
// largest contiguous run of unread items. The data block carries a mirror tail of max chunk - 1 items past the
// ring's end, so that neither side ever has to split a run at the wrap point: committed items that landed in the
// tail are copied to the ring's start, and items at the ring's start are copied into the tail for a reader.
#include <kve/kve_recognizer_runtime.h>

#include <algorithm>

namespace {

const rcClassRecord kBufferClass = {"buffer", nullptr, nullptr, bufferDestroyData};

size_t writePosition(const buffer *ring)
{
    return ring->writeCount % ring->capacity;
}

size_t readPosition(const buffer *ring)
{
    return ring->readCount % ring->capacity;
}

uint8_t *itemAt(const buffer *ring, size_t position)
{
    return ring->data + position * ring->itemSize;
}

bool isEmpty(const buffer *ring)
{
    return ring->readCount == ring->writeCount;
}

// The largest reservation at the write position while the ring's start up to the read position is free: up to the
// end of the ring, and past it into the mirror tail as far as one chunk reaches.
size_t contiguousRoom(const buffer *ring, size_t r, size_t e)
{
    if (e >= ring->maxChunk)
        return e;
    return r < ring->maxChunk - e ? r + e : ring->maxChunk;
}

// Copies `items` unread items starting `offset` past the read point into `destination`: the run up to the end of
// the ring, then the rest from its start.
void copyUnread(const buffer *ring, size_t offset, size_t items, uint8_t *destination)
{
    const size_t start = (ring->readCount + offset) % ring->capacity;
    const size_t first = std::min(items, ring->capacity - start);
    const size_t firstBytes = first * ring->itemSize;
    const size_t restBytes = (items - first) * ring->itemSize;
    memcpy_s(destination, firstBytes, itemAt(ring, start), firstBytes);
    if (restBytes > 0)
        memcpy_s(destination + firstBytes, restBytes, ring->data, restBytes);
}

} // namespace

extern "C" buffer *bufferCreate(size_t capacity, size_t itemSize, size_t maxChunk, int32_t mode)
{
    // Positions are counts modulo the capacity, and the mirror tail is max chunk - 1 items long: none may be 0.
    if (capacity == 0 || itemSize == 0 || maxChunk == 0)
        return nullptr;
    size_t items = 0;
    size_t byteSize = 0;
    if (__builtin_add_overflow(capacity, maxChunk - 1, &items) || __builtin_mul_overflow(items, itemSize, &byteSize))
        return nullptr;
    auto *ring = static_cast<buffer *>(rcAlloc(sizeof(buffer), &kBufferClass));
    if (ring == nullptr)
        return nullptr;
    *ring = buffer{};
    ring->capacity = capacity;
    ring->itemSize = itemSize;
    ring->maxChunk = maxChunk;
    ring->byteSize = byteSize;
    ring->mode = mode;
    ring->data = static_cast<uint8_t *>(dbMalloc(byteSize));
    if (ring->data == nullptr) {
        rcRelease(ring);
        return nullptr;
    }
    return ring;
}

extern "C" void *bufferWritePtr(buffer *ring, size_t wanted, size_t *granted)
{
    *granted = 0;
    if (ring->pending > 0)
        return nullptr;
    const size_t r = readPosition(ring);
    const size_t w = writePosition(ring);
    const size_t e = ring->capacity - w;
    size_t grant = 0;
    ring->pendingWrap = 0;
    if (r > w) {
        grant = std::min(r - w, wanted);
    } else if (r < w || isEmpty(ring) || ring->mode == 1) {
        grant = std::min(wanted, contiguousRoom(ring, r, e));
        ring->pendingWrap = grant > e ? grant - e : 0;
        // A full ring that overwrites drops the oldest items the reservation covers.
        if (r == w && !isEmpty(ring))
            ring->readCount += grant;
    }
    ring->pending = grant;
    *granted = grant;
    return grant > 0 ? itemAt(ring, w) : nullptr;
}

extern "C" void bufferCommit(buffer *ring, size_t items)
{
    const size_t committed = std::min<size_t>(items, ring->pending);
    const size_t beforeEnd = ring->pending - ring->pendingWrap;
    if (committed > beforeEnd) {
        const size_t wrappedBytes = (committed - beforeEnd) * ring->itemSize;
        memcpy_s(ring->data, wrappedBytes, itemAt(ring, ring->capacity), wrappedBytes);
    }
    ring->writeCount += committed;
    ring->pending = 0;
    ring->pendingWrap = 0;
}

extern "C" void *bufferReadPtr(buffer *ring, size_t *available)
{
    *available = 0;
    if (isEmpty(ring))
        return nullptr;
    const size_t r = readPosition(ring);
    const size_t w = writePosition(ring);
    if (r < w) {
        *available = w - r;
    } else {
        size_t run = ring->capacity - r;
        if (run < ring->maxChunk) {
            const size_t mirrored = std::min(w, ring->maxChunk - run);
            const size_t mirroredBytes = mirrored * ring->itemSize;
            if (mirroredBytes > 0)
                memcpy_s(itemAt(ring, ring->capacity), mirroredBytes, ring->data, mirroredBytes);
            run += mirrored;
        }
        *available = run;
    }
    return itemAt(ring, r);
}

extern "C" void bufferAdvance(buffer *ring, size_t items)
{
    ring->readCount += std::min<uint64_t>(items, bufferAvailable(ring));
}

extern "C" void bufferDiscard(buffer *ring)
{
    ring->readCount = ring->writeCount;
}

extern "C" void bufferReset(buffer *ring)
{
    ring->readCount = 0;
    ring->writeCount = 0;
    ring->pending = 0;
    ring->pendingWrap = 0;
}

extern "C" size_t bufferRead(buffer *ring, void *destination, size_t items)
{
    auto *out = static_cast<uint8_t *>(destination);
    size_t done = 0;
    while (done < items) {
        size_t available = 0;
        const void *run = bufferReadPtr(ring, &available);
        if (run == nullptr)
            break;
        const size_t count = std::min(available, items - done);
        const size_t bytes = count * ring->itemSize;
        memcpy_s(out + done * ring->itemSize, bytes, run, bytes);
        bufferAdvance(ring, count);
        done += count;
    }
    return done;
}

extern "C" size_t bufferWrite(buffer *ring, const void *source, size_t items)
{
    const auto *in = static_cast<const uint8_t *>(source);
    size_t done = 0;
    while (done < items) {
        size_t granted = 0;
        void *region = bufferWritePtr(ring, items - done, &granted);
        if (region == nullptr)
            break;
        const size_t bytes = granted * ring->itemSize;
        memcpy_s(region, bytes, in + done * ring->itemSize, bytes);
        bufferCommit(ring, granted);
        done += granted;
    }
    return done;
}

extern "C" size_t bufferPeek(void *destination, size_t destinationBytes, buffer *ring, size_t offset, size_t items)
{
    const uint64_t available = bufferAvailable(ring);
    if (offset >= available)
        return 0;
    // Never more than the destination holds in whole items.
    const size_t count = std::min({items, static_cast<size_t>(available - offset), destinationBytes / ring->itemSize});
    if (count > 0)
        copyUnread(ring, offset, count, static_cast<uint8_t *>(destination));
    return count;
}

extern "C" size_t bufferCopyFrom(buffer *destination, buffer *source, size_t offset, size_t items)
{
    const uint64_t available = bufferAvailable(source);
    if (destination->itemSize != source->itemSize || offset >= available)
        return 0;
    const size_t count = std::min(items, static_cast<size_t>(available - offset));
    const size_t start = (source->readCount + offset) % source->capacity;
    const size_t first = std::min(count, source->capacity - start);
    size_t written = bufferWrite(destination, itemAt(source, start), first);
    if (written == first && count > first)
        written += bufferWrite(destination, source->data, count - first);
    return written;
}

extern "C" size_t bufferTransfer(buffer *destination, buffer *source, size_t items)
{
    if (destination->itemSize != source->itemSize)
        return 0;
    size_t done = 0;
    while (done < items) {
        size_t available = 0;
        const void *run = bufferReadPtr(source, &available);
        if (run == nullptr)
            break;
        size_t granted = 0;
        void *region = bufferWritePtr(destination, std::min(available, items - done), &granted);
        if (region == nullptr)
            break;
        const size_t bytes = granted * source->itemSize;
        memcpy_s(region, bytes, run, bytes);
        bufferCommit(destination, granted);
        bufferAdvance(source, granted);
        done += granted;
    }
    return done;
}

extern "C" size_t bufferCapacity(const buffer *ring)
{
    return ring->capacity;
}

extern "C" size_t bufferItemSize(const buffer *ring)
{
    return ring->itemSize;
}

extern "C" size_t bufferMaxChunk(const buffer *ring)
{
    return ring->maxChunk;
}

extern "C" uint64_t bufferReadCount(const buffer *ring)
{
    return ring->readCount;
}

extern "C" uint64_t bufferWriteCount(const buffer *ring)
{
    return ring->writeCount;
}

extern "C" size_t bufferPending(const buffer *ring)
{
    return ring->pending;
}

extern "C" int32_t bufferMode(const buffer *ring)
{
    return ring->mode;
}

extern "C" uint64_t bufferAvailable(const buffer *ring)
{
    return ring->writeCount - ring->readCount;
}

extern "C" void bufferDestroyData(void *payload)
{
    if (payload == nullptr)
        return;
    auto *ring = static_cast<buffer *>(payload);
    dbFree(ring->data);
    ring->data = nullptr;
}
