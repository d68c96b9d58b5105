// Reference-counted objects: a 32-byte header before the payload keeps the holder count, the payload size, the
// object's own address while it is valid and its class. Misuse of an object is a programming error that would
// otherwise corrupt memory, so it stops the process with one line naming the object.
#include <kve/kve_recognizer_runtime.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct ObjectHeader {
    uint64_t holders;
    uint64_t size;
    uint64_t self;
    const rcClassRecord *cls;
};
static_assert(sizeof(ObjectHeader) == 32, "the payload follows the four header words");

constexpr uint64_t kReleased = 0xDECEA5ED;

ObjectHeader *headerOf(void *object)
{
    return reinterpret_cast<ObjectHeader *>(static_cast<char *>(object) - sizeof(ObjectHeader));
}

[[noreturn]] void misuse(const char *format, const void *object)
{
    fprintf(stderr, format, object);
    abort();
}

ObjectHeader *validated(void *object)
{
    if (object == nullptr) {
        fputs("NULL reference-counted object.\n", stderr);
        abort();
    }
    ObjectHeader *header = headerOf(object);
    if (header->self != reinterpret_cast<uint64_t>(object)) {
        if (header->self == kReleased)
            misuse("object %p has been deleted and is no longer valid.\n", object);
        misuse("%p does not point to a reference-counted object.\n", object);
    }
    return header;
}

void *zeroFill(void *object, size_t size, const rcClassRecord *)
{
    std::memset(object, 0, size);
    return object;
}

void *copyBytes(void *destination, const void *source, size_t size)
{
    if (size > 0)
        memcpy_s(destination, size, source, size);
    return destination;
}

const rcClassRecord kMemorySegment = {"memory segment", zeroFill, copyBytes, nullptr};
const rcClassRecord kStackClass = {"rcStack", zeroFill, nullptr, rcStackFree};

constexpr size_t kEntrySize = sizeof(void *);

} // namespace

extern "C" void *rcAlloc(size_t size, const rcClassRecord *cls)
{
    // A size that wraps with its header would record a payload far larger than the block.
    if (size > SIZE_MAX - sizeof(ObjectHeader))
        return nullptr;
    auto *header = static_cast<ObjectHeader *>(dbMalloc(size + sizeof(ObjectHeader)));
    if (header == nullptr)
        return nullptr;
    void *object = header + 1;
    header->holders = 0;
    header->size = size;
    header->self = reinterpret_cast<uint64_t>(object);
    header->cls = cls != nullptr ? cls : &kMemorySegment;
    if (header->cls->init != nullptr && header->cls->init(object, size, header->cls) != object) {
        dbFree(header);
        return nullptr;
    }
    return object;
}

extern "C" void rcRetain(void *object)
{
    ++validated(object)->holders;
}

extern "C" void rcRelease(void *object)
{
    if (object == nullptr)
        return;
    ObjectHeader *header = validated(object);
    if (header->holders > 0 && --header->holders > 0)
        return;
    if (header->cls->destroy != nullptr)
        header->cls->destroy(object);
    header->self = kReleased;
    dbFree(header);
}

extern "C" void *rcClone(void *object)
{
    ObjectHeader *header = validated(object);
    if (header->cls->copy == nullptr)
        return nullptr;
    void *clone = rcAlloc(header->size, header->cls);
    if (clone == nullptr)
        return nullptr;
    if (header->cls->copy(clone, object, header->size) != clone) {
        rcRelease(clone);
        return nullptr;
    }
    return clone;
}

extern "C" uint64_t rcExtraRefs(void *object)
{
    return validated(object)->holders;
}

extern "C" size_t rcSize(void *object)
{
    return validated(object)->size;
}

extern "C" const rcClassRecord *rcClass(void *object)
{
    return validated(object)->cls;
}

extern "C" bool rcIsShared(void *object)
{
    return validated(object)->holders > 1;
}

extern "C" rcStack *rcStackCreate(size_t capacity)
{
    auto *stack = static_cast<rcStack *>(rcAlloc(sizeof(rcStack), &kStackClass));
    if (stack == nullptr)
        return nullptr;
    if (capacity > 0) {
        stack->entries = capacity <= SIZE_MAX / kEntrySize ? static_cast<void **>(dbMalloc(capacity * kEntrySize))
                                                           : nullptr;
        if (stack->entries == nullptr) {
            rcRelease(stack);
            return nullptr;
        }
    }
    stack->capacity = capacity;
    return stack;
}

extern "C" void *rcStackPush(rcStack *stack, void *object)
{
    if (stack == nullptr || object == nullptr)
        return nullptr;
    validated(stack);
    validated(object);
    if (stack->count == stack->capacity) {
        const uint64_t capacity = stack->capacity > 0 ? stack->capacity * 2 : 8;
        void *entries = capacity <= SIZE_MAX / kEntrySize ? dbRealloc(stack->entries, capacity * kEntrySize)
                                                          : nullptr;
        if (entries == nullptr)
            return nullptr;
        stack->entries = static_cast<void **>(entries);
        stack->capacity = capacity;
    }
    stack->entries[stack->count++] = object;
    rcRetain(object);
    return object;
}

extern "C" void *rcStackPop(rcStack *stack)
{
    validated(stack);
    if (stack->count == 0)
        return nullptr;
    void *object = stack->entries[--stack->count];
    rcRelease(object);
    return object;
}

extern "C" void rcStackFree(void *payload)
{
    auto *stack = static_cast<rcStack *>(payload);
    while (stack->count > 0)
        rcRelease(stack->entries[--stack->count]);
    dbFree(stack->entries);
    stack->entries = nullptr;
    stack->capacity = 0;
}
