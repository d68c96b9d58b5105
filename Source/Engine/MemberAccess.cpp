// Member addresses: decoding an address to a field of a module, wire or layout, and the value operations on it.
//
// Hosts and packets are untrusted: every access stays inside the object it names. A single word without the
// dereference flag stays inside its field (a variable's 8-byte room); an access through a pointer member needs a
// data pointer (a wire's buffer, a module's private array or its free pointer word) and stays inside the wire's
// buffer or the engine heaps, away from the engine's own records, and inside the array's capacity where the class
// keeps it. The engine's links and class records cannot be overwritten as raw values, and no pointer can be aimed at
// them; the private pointers of a class that owns them (its arrays, the modules it built) cannot be aimed at all.
#include <cstring>

#include "Engine/EngineInternal.h"

namespace {

enum class Kind {
    Scalar,        // a value: read and written in place
    DataPointer,   // a pointer the host may follow
    EnginePointer, // a link or function the engine owns: read only, never followed
};

struct Member {
    KVEObject *object = nullptr;
    ClassModule *module = nullptr; // the owning module, when the object is one
    char *field = nullptr;         // the member's own storage
    uint32_t roomWords = 1;        // words a single-word access may reach from the field
    Kind kind = Kind::Scalar;
    bool writable = true;
    bool owned = false;                 // a private variable of a class that owns them: never aimed by a host
    uint64_t capacityWords = UINT64_MAX; // words an access through the pointer may reach, when the class keeps it
    uint32_t index = 0;
};

constexpr uint32_t kModuleHeaderMembers = 8;
constexpr uint32_t kWireMembers = 8;
constexpr uint32_t kLayoutMembers = 14;

// Module header members: byte offset, room, kind, raw-writable.
struct HeaderMember {
    uint32_t offset;
    uint32_t roomWords;
    Kind kind;
    bool writable;
};
constexpr HeaderMember kModuleHeader[kModuleHeaderMembers] = {
    {0, 2, Kind::EnginePointer, false},  {8, 2, Kind::EnginePointer, false},  {16, 1, Kind::Scalar, true},
    {24, 2, Kind::DataPointer, true},    {32, 2, Kind::EnginePointer, false}, {40, 2, Kind::EnginePointer, false},
    {48, 1, Kind::Scalar, true},         {52, 1, Kind::Scalar, true}};
constexpr HeaderMember kWireHeader[kWireMembers] = {
    {0, 2, Kind::EnginePointer, false}, {8, 2, Kind::EnginePointer, false}, {16, 1, Kind::Scalar, true},
    {24, 2, Kind::DataPointer, false},  {32, 1, Kind::Scalar, true},        {36, 1, Kind::Scalar, true},
    {40, 1, Kind::Scalar, true},        {44, 1, Kind::Scalar, true}};
constexpr HeaderMember kLayoutHeader[kLayoutMembers] = {
    {0, 2, Kind::EnginePointer, false}, {8, 2, Kind::EnginePointer, false}, {16, 1, Kind::Scalar, true},
    {24, 2, Kind::EnginePointer, false}, {32, 1, Kind::Scalar, true},       {36, 1, Kind::Scalar, true},
    {40, 1, Kind::Scalar, true},        {44, 1, Kind::Scalar, true},        {48, 1, Kind::Scalar, true},
    {52, 1, Kind::Scalar, true},        {56, 1, Kind::Scalar, true},        {60, 1, Kind::Scalar, true},
    // The slot count sizes the layout's own allocation: it is fixed at construction.
    {64, 1, Kind::Scalar, false},       {68, 1, Kind::Scalar, true}};

constexpr uint32_t kWireInfo1Member = 5;
constexpr uint32_t kWireInfo2Member = 6;
constexpr uint32_t kModulePackedMember = 6;
constexpr uint32_t kWireBufferMember = 3;

Member fromHeader(KVEObject *o, const HeaderMember &h, uint32_t index)
{
    Member m;
    m.object = o;
    m.field = reinterpret_cast<char *>(o) + h.offset;
    m.roomWords = h.roomWords;
    m.kind = h.kind;
    m.writable = h.writable;
    m.index = index;
    return m;
}

// Finds the object and the member an address names; the object-lookup codes, -82 or -83 on failure.
int32_t decode(KVEInstance *in, uint32_t address, Member &out)
{
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    const int32_t found = kve_fwGetObjectByID(in, KVE_MEMBER_OBJECT(address), &o, &cls);
    if (found != KVE_OK)
        return found;
    const uint32_t index = KVE_MEMBER_INDEX(address);
    if (kve::isModuleClass(cls)) {
        ClassModule *mod = kve::asModule(o);
        const ModClassDescriptor *c = mod->classRecord;
        if (index < kModuleHeaderMembers) {
            out = fromHeader(o, kModuleHeader[index], index);
        } else if (index - kModuleHeaderMembers < kve_ClassVariableCount(c)) {
            const uint32_t k = index - kModuleHeaderMembers;
            out = Member{};
            out.object = o;
            out.field = reinterpret_cast<char *>(o) + kve_ClassVariableOffsets(c)[k];
            out.roomWords = 2;
            out.kind = k < kve_ClassPublicCount(c) ? Kind::Scalar : Kind::DataPointer;
            // A private variable is a pointer the module's Process follows unchecked: a host word written over
            // half of it would aim the module's writes anywhere. Pointer commands set it whole, with their checks.
            out.writable = out.kind == Kind::Scalar;
            out.index = index;
            if (const uint32_t *capacities = kve_fwModuleHiddenWords(mod);
                capacities != nullptr && out.kind == Kind::DataPointer) {
                // The class owns its private variables: arrays first, with their capacities, then the modules it
                // built, which no host follows.
                const uint32_t p = k - kve_ClassPublicCount(c);
                out.owned = true;
                if (p < capacities[-1])
                    out.capacityWords = capacities[p];
                else
                    out.kind = Kind::EnginePointer;
            }
        } else {
            return KVE_E_MEMBER_INDEX;
        }
        out.module = mod;
        return KVE_OK;
    }
    if (kve::isWireClass(cls)) {
        if (index >= kWireMembers)
            return KVE_E_MEMBER_INDEX;
        out = fromHeader(o, kWireHeader[index], index);
        return KVE_OK;
    }
    if (cls == KVE_CLASS_LAYOUT) {
        if (index >= kLayoutMembers)
            return KVE_E_MEMBER_INDEX;
        out = fromHeader(o, kLayoutHeader[index], index);
        return KVE_OK;
    }
    return KVE_E_NO_MEMBERS;
}

void *storedPointer(const Member &m)
{
    void *p;
    std::memcpy(&p, m.field, sizeof p);
    return p;
}

bool isWireBuffer(const Member &m) { return m.module == nullptr && kve::isWire(m.object) && m.index == kWireBufferMember; }

// True when [p, p + words) overlaps what the engine itself relies on: object headers, links and slot arrays, a
// module's private pointers and wire array, the lookup table. Public module variables stay reachable: modules
// that drive other modules hold pointers to them.
bool touchesEngineRecords(const KVEInstance *in, const void *p, uint64_t words)
{
    const auto first = reinterpret_cast<uintptr_t>(p);
    const uint64_t last = first + (words == 0 ? 1 : words * 4); // an empty range still names its first word
    auto overlaps = [&](const void *start, uint64_t bytes) {
        const auto a = reinterpret_cast<uintptr_t>(start);
        return first < a + bytes && a < last;
    };
    if (in->lookupTable != nullptr && overlaps(in->lookupTable, (in->lookupSize + 101ull) * sizeof(KVEObject *)))
        return true;
    for (const KVEObject *o = in->firstObject; o != nullptr; o = o->next) {
        const uint32_t cls = kve::classIdOf(o);
        if (kve::isModuleClass(cls)) {
            const auto *m = reinterpret_cast<const ClassModule *>(o);
            const uint32_t publicEnd = KVE_MODULE_HEADER_SIZE + 4 * kve_ClassPublicCount(m->classRecord);
            const uint32_t *hidden = kve_fwModuleHiddenWords(const_cast<ClassModule *>(m));
            const uint64_t recordEnd = KVE_MODULE_HEADER_SIZE + 8ull * kve_ClassVariableCount(m->classRecord) +
                                       8ull * kve::moduleWireCount(m) + (hidden != nullptr ? 4ull * (hidden[-1] + 1) : 0);
            if (overlaps(o, KVE_MODULE_HEADER_SIZE) ||
                overlaps(reinterpret_cast<const char *>(o) + publicEnd, recordEnd - publicEnd))
                return true;
        } else if (kve::isWireClass(cls)) {
            if (overlaps(o, KVE_WIRE_HEADER_SIZE))
                return true;
        } else if (overlaps(o, cls == KVE_CLASS_LAYOUT ? KVE_LAYOUT_HEADER_SIZE +
                                                           8ull * reinterpret_cast<const ClassLayout *>(o)->capacity
                                                     : sizeof(KVEObject))) {
            return true;
        }
    }
    return false;
}

// The words [p + offset, p + offset + count) that an access through a pointer member may touch; a write never
// reaches the engine's records.
enum class Access { Read, Write };
int32_t followPointer(KVEInstance *in, const Member &m, uint32_t offset, uint32_t count, Access access,
                      uint32_t **out)
{
    if (m.kind != Kind::DataPointer)
        return KVE_E_MEMBER_INDEX;
    auto *p = static_cast<uint32_t *>(storedPointer(m));
    if (p == nullptr)
        return KVE_E_BAD_ARGUMENT;
    const uint64_t end = static_cast<uint64_t>(offset) + count;
    if (end > m.capacityWords)
        return KVE_E_BAD_ARGUMENT;
    if (isWireBuffer(m)) {
        if (end > kve::wireWords(kve::asWire(m.object)))
            return KVE_E_BAD_ARGUMENT;
    } else if (!kve::rangeInHeaps(in, p, end) ||
               (access == Access::Write && touchesEngineRecords(in, p + offset, count))) {
        return KVE_E_BAD_ARGUMENT;
    }
    *out = p + offset;
    return KVE_OK;
}

// The word a single-word operation reads or writes: in the field itself, or through it with the flag.
int32_t singleWord(KVEInstance *in, uint32_t address, uint32_t index, Access access, Member &m, uint32_t **word)
{
    const int32_t status = decode(in, address, m);
    if (status != KVE_OK)
        return status;
    if ((address & KVE_MEMBER_DEREF) != 0)
        return followPointer(in, m, index, 1, access, word);
    if (index >= m.roomWords)
        return KVE_E_BAD_ARGUMENT;
    *word = reinterpret_cast<uint32_t *>(m.field) + index;
    return KVE_OK;
}

// Refuses raw writes that would break what the engine relies on: its links, and sizes that bound buffers.
int32_t checkRawWrite(KVEInstance *in, const Member &m, uint32_t value)
{
    if (!m.writable)
        return KVE_E_MEMBER_INDEX;
    if (m.module != nullptr && m.index == kModulePackedMember) {
        // Wire counts size the module's wire array, and the word holds no bits beyond counts, state and the
        // deferred-Set request, which is counted for the tick.
        if (((m.module->packed ^ value) & 0x00FFFFFFu) != 0 || (value & ~KVE_PACKED_DEFINED) != 0)
            return KVE_E_MEMBER_INDEX;
        const bool was = (m.module->packed & KVE_PACKED_DEFERRED_SET) != 0;
        const bool now = (value & KVE_PACKED_DEFERRED_SET) != 0;
        if (now && !was)
            in->pendingSets++;
        else if (was && !now && in->pendingSets > 0)
            in->pendingSets--;
        return KVE_OK;
    }
    if (m.module == nullptr && kve::isWire(m.object) && (m.index == kWireInfo1Member || m.index == kWireInfo2Member)) {
        const GenericWire *w = kve::asWire(m.object);
        const uint32_t info1 = m.index == kWireInfo1Member ? value : w->info1;
        const uint32_t info2 = m.index == kWireInfo2Member ? value : w->info2;
        const uint64_t words = static_cast<uint64_t>(KVE_WIRE_CHANNELS(info1)) * KVE_WIRE_BLOCK_SIZE(info2);
        const bool ownBuffer = w->buffer == reinterpret_cast<const char *>(w) + KVE_WIRE_HEADER_SIZE;
        if (words > (ownBuffer ? w->capacityWords : kve::wireWords(w)))
            return KVE_E_BAD_ARGUMENT;
    }
    return KVE_OK;
}

int32_t writeSingle(KVEInstance *in, uint32_t address, uint32_t value, uint32_t index, Member &m)
{
    uint32_t *word = nullptr;
    int32_t status = singleWord(in, address, index, Access::Write, m, &word);
    if (status == KVE_OK && (address & KVE_MEMBER_DEREF) == 0)
        status = checkRawWrite(in, m, value);
    if (status != KVE_OK)
        return status;
    *word = value;
    return KVE_OK;
}

int32_t arrayWords(KVEInstance *in, uint32_t address, uint32_t offset, uint32_t count, Access access, Member &m,
                   uint32_t **words)
{
    const int32_t status = decode(in, address, m);
    return status != KVE_OK ? status : followPointer(in, m, offset, count, access, words);
}

// Multi-word read; with a Get mask the owning module's Get runs after the checks and before the copy.
int32_t readArray(KVEInstance *in, uint32_t address, uint32_t offset, uint32_t count, uint32_t *dest,
                  const uint32_t *getMask)
{
    Member m;
    uint32_t *words = nullptr;
    const int32_t status = arrayWords(in, address, offset, count, Access::Read, m, &words);
    if (status != KVE_OK)
        return status;
    if (getMask != nullptr && m.module != nullptr)
        kve_fwGetCall(m.module, *getMask);
    if (count > 0)
        std::memcpy(dest, words, static_cast<size_t>(count) * 4u);
    return KVE_OK;
}

// Multi-word write; reports the owning module so that a caller can run its Set.
int32_t writeArray(KVEInstance *in, uint32_t address, uint32_t offset, uint32_t count, const uint32_t *src,
                   ClassModule **owner)
{
    Member m;
    uint32_t *words = nullptr;
    const int32_t status = arrayWords(in, address, offset, count, Access::Write, m, &words);
    if (status != KVE_OK)
        return status;
    if (count > 0)
        std::memmove(words, src, static_cast<size_t>(count) * 4u);
    *owner = m.module;
    return KVE_OK;
}

} // namespace

extern "C" {

void *kve_fwAddressOfMember(KVEInstance *instance, uint32_t address, int32_t *status)
{
    if (*status != KVE_OK)
        return nullptr;
    Member m;
    *status = decode(instance, address, m);
    if (*status != KVE_OK)
        return nullptr;
    if ((address & KVE_MEMBER_DEREF) == 0)
        return m.field;
    if (m.roomWords < 2) {
        *status = KVE_E_MEMBER_INDEX;
        return nullptr;
    }
    return storedPointer(m);
}

void *kve_fwAddressOfMember2(KVEInstance *instance, uint32_t address, ClassModule **owner, int32_t *status)
{
    *status = KVE_OK;
    *owner = nullptr;
    void *p = kve_fwAddressOfMember(instance, address, status);
    if (*status == KVE_OK) {
        KVEObject *o = nullptr;
        uint32_t cls = 0;
        kve_fwGetObjectByID(instance, KVE_MEMBER_OBJECT(address), &o, &cls);
        *owner = cls >= KVE_CLASS_MODULE_FIRST ? kve::asModule(o) : nullptr;
    }
    return p;
}

uint32_t kve_fwFetchValue(KVEInstance *instance, uint32_t address, int32_t *status, uint32_t index)
{
    Member m;
    uint32_t *word = nullptr;
    *status = singleWord(instance, address, index, Access::Read, m, &word);
    return *status == KVE_OK ? *word : 0;
}

uint32_t kve_fwGetCallFetchValue(KVEInstance *instance, uint32_t address, uint32_t mask, int32_t *status,
                                 uint32_t index)
{
    g_pKVE_instance = instance;
    Member m;
    uint32_t *word = nullptr;
    *status = singleWord(instance, address, index, Access::Read, m, &word);
    if (*status != KVE_OK)
        return 0;
    if (m.module != nullptr)
        kve_fwGetCall(m.module, mask);
    return *word;
}

int32_t kve_fwSetValue(KVEInstance *instance, uint32_t address, uint32_t value, uint32_t index, uint32_t)
{
    Member m;
    return writeSingle(instance, address, value, index, m);
}

int32_t kve_fwSetValueSetCall(KVEInstance *instance, uint32_t address, uint32_t value, uint32_t mask,
                              uint32_t index, uint32_t)
{
    g_pKVE_instance = instance;
    Member m;
    const int32_t status = writeSingle(instance, address, value, index, m);
    return status != KVE_OK ? status : ClassModule_Set(m.module, mask);
}

int32_t kve_fwFetchValues(KVEInstance *instance, uint32_t address, uint32_t offset, uint32_t count, uint32_t *dest)
{
    return readArray(instance, address, offset, count, dest, nullptr);
}

int32_t kve_fwGetCallFetchValues(KVEInstance *instance, uint32_t address, uint32_t offset, uint32_t mask,
                                 uint32_t count, uint32_t *dest, uint32_t)
{
    g_pKVE_instance = instance;
    return readArray(instance, address, offset, count, dest, &mask);
}

int32_t kve_fwSetValues(KVEInstance *instance, uint32_t address, uint32_t offset, uint32_t count,
                        const uint32_t *src, uint32_t)
{
    ClassModule *owner = nullptr;
    return writeArray(instance, address, offset, count, src, &owner);
}

int32_t kve_fwSetValuesSetCall(KVEInstance *instance, uint32_t address, uint32_t offset, uint32_t mask,
                               uint32_t count, const uint32_t *src, uint32_t)
{
    g_pKVE_instance = instance;
    ClassModule *owner = nullptr;
    const int32_t status = writeArray(instance, address, offset, count, src, &owner);
    return status != KVE_OK ? status : ClassModule_Set(owner, mask);
}

int32_t kve_fwSetPointer(KVEInstance *instance, uint32_t destAddress, uint32_t srcAddress, uint32_t offset)
{
    Member src;
    int32_t status = decode(instance, srcAddress, src);
    if (status != KVE_OK)
        return status;
    Member dst;
    status = decode(instance, destAddress & ~KVE_MEMBER_DEREF, dst);
    if (status != KVE_OK)
        return status;
    if (dst.kind != Kind::DataPointer || dst.owned)
        return KVE_E_MEMBER_INDEX;

    char *base = src.field;
    if ((srcAddress & KVE_MEMBER_DEREF) != 0) {
        if (src.roomWords < 2)
            return KVE_E_MEMBER_INDEX;
        base = static_cast<char *>(storedPointer(src));
    }
    // The new pointer must lead into the heaps; a wire's buffer needs a whole block there, clear of the engine's
    // records, because modules write it every block. Other pointers may name objects: writes through them are
    // checked when they happen.
    if (base == nullptr)
        return KVE_E_BAD_ARGUMENT;
    const auto *target =
        reinterpret_cast<const char *>(reinterpret_cast<uintptr_t>(base) + static_cast<uint64_t>(offset) * 4u);
    const uint64_t needWords = isWireBuffer(dst) ? kve::wireWords(kve::asWire(dst.object)) : 0;
    if (!kve::rangeInHeaps(instance, target, needWords) ||
        (isWireBuffer(dst) && touchesEngineRecords(instance, target, needWords)))
        return KVE_E_BAD_ARGUMENT;
    std::memcpy(dst.field, &target, sizeof target);
    return KVE_OK;
}

uint32_t kve_fwDerefPointer(KVEInstance *instance, uint32_t address, int32_t *status)
{
    Member m;
    *status = decode(instance, address & ~KVE_MEMBER_DEREF, m);
    if (*status != KVE_OK)
        return 0;
    if (m.kind == Kind::Scalar) {
        *status = KVE_E_MEMBER_INDEX;
        return 0;
    }
    const void *p = storedPointer(m);
    if (p == nullptr)
        return 0;
    // Only a pointer at an object of this instance has an id to report.
    for (const KVEObject *o = instance->firstObject; o != nullptr; o = o->next) {
        if (o == p)
            return o->objectId;
    }
    *status = KVE_E_NOT_AN_OBJECT;
    return 0;
}

} // extern "C"

int32_t kve::checkAimedRange(KVEInstance *instance, const void *p, uint32_t words, bool forWrite)
{
    if (p == nullptr || !kve::rangeInHeaps(instance, p, words))
        return KVE_E_BAD_ARGUMENT;
    if (forWrite && touchesEngineRecords(instance, p, words))
        return KVE_E_BAD_ARGUMENT;
    // A pointer aimed into an array whose capacity its class keeps reaches no further than that array, as a host's
    // access through the array's own member would.
    const auto first = reinterpret_cast<uintptr_t>(p);
    for (KVEObject *o = instance->firstObject; o != nullptr; o = o->next) {
        if (!kve::isModule(o))
            continue;
        ClassModule *m = kve::asModule(o);
        const uint32_t *capacities = kve_fwModuleHiddenWords(m);
        if (capacities == nullptr)
            continue;
        const uint32_t *offsets = kve_ClassVariableOffsets(m->classRecord);
        const uint32_t publicCount = kve_ClassPublicCount(m->classRecord);
        for (uint32_t k = 0; k < capacities[-1]; ++k) {
            uintptr_t array;
            std::memcpy(&array, reinterpret_cast<const char *>(m) + offsets[publicCount + k], sizeof array);
            const uint64_t bytes = 4ull * capacities[k];
            if (first >= array && first < array + bytes)
                return first + 4ull * words <= array + bytes ? KVE_OK : KVE_E_BAD_ARGUMENT;
        }
    }
    return KVE_OK;
}
