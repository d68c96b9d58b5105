// Helpers shared by the engine sources; nothing here is part of the library's outside surface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kve/kve_engine.h"

namespace kve {

static_assert(sizeof(ModClassDescriptor) == 72);
static_assert(offsetof(ModClassDescriptor, classId) == 8);
static_assert(offsetof(ModClassDescriptor, countWord) == 56);
static_assert(offsetof(ModClassDescriptor, reserved) == 64);
static_assert(sizeof(ClassModule) == KVE_MODULE_HEADER_SIZE);
static_assert(offsetof(ClassModule, engineMarks) == 20);
static_assert(offsetof(ClassModule, layoutOwner) == 24);
static_assert(offsetof(ClassModule, packed) == 48);
static_assert(sizeof(GenericWire) == KVE_WIRE_HEADER_SIZE);
static_assert(offsetof(GenericWire, buffer) == 24);
static_assert(offsetof(GenericWire, guard) == 64);
static_assert(sizeof(IOPin) == 336);
static_assert(offsetof(IOPin, bindings) == 64);
static_assert(offsetof(IOPin, ipcContext) == 320);
static_assert(sizeof(ClassLayout) == KVE_LAYOUT_HEADER_SIZE);
static_assert(offsetof(ClassLayout, capacity) == 64);
static_assert(offsetof(KVEInstance, targetInfo) == 124);
static_assert(offsetof(KVEInstance, classTable) == 240);

inline uint32_t classIdOf(const KVEObject *o) { return kve_fwGetClassType(o); }
inline bool isModuleClass(uint32_t id) { return id >= KVE_CLASS_MODULE_FIRST && id <= KVE_CLASS_MODULE_LAST; }
inline bool isWireClass(uint32_t id) { return id >= KVE_CLASS_WIRE && id <= KVE_CLASS_WIRE_LAST; }
inline bool isModule(const KVEObject *o) { return isModuleClass(classIdOf(o)); }
inline bool isWire(const KVEObject *o) { return isWireClass(classIdOf(o)); }
inline bool isLayout(const KVEObject *o) { return classIdOf(o) == KVE_CLASS_LAYOUT; }

inline ClassModule *asModule(KVEObject *o) { return reinterpret_cast<ClassModule *>(o); }
inline GenericWire *asWire(KVEObject *o) { return reinterpret_cast<GenericWire *>(o); }
inline ClassLayout *asLayout(KVEObject *o) { return reinterpret_cast<ClassLayout *>(o); }
inline KVEObject *asObject(void *p) { return static_cast<KVEObject *>(p); }

inline uint32_t wireChannels(const GenericWire *w) { return KVE_WIRE_CHANNELS(w->info1); }
inline uint32_t wireBlockSize(const GenericWire *w) { return KVE_WIRE_BLOCK_SIZE(w->info2); }
// Every module and the pump move 32-bit words, whatever bytes per sample the info word names.
inline uint32_t wireWords(const GenericWire *w) { return wireChannels(w) * wireBlockSize(w); }

inline uint32_t moduleWireCount(const ClassModule *m)
{
    return KVE_PACKED_INPUTS(m->packed) + KVE_PACKED_OUTPUTS(m->packed) + KVE_PACKED_SCRATCH(m->packed);
}

inline uint32_t inputPinCount(const KVEInstance *in) { return ((in->targetInfo[5] >> 20) & 0x3Fu) + 1; }
inline uint32_t outputPinCount(const KVEInstance *in) { return ((in->targetInfo[5] >> 26) & 0x3Fu) + 1; }

// The pin a pin id names (odd ids: inputs, even: outputs), or null for a bad id.
IOPin *pinById(KVEInstance *instance, uint32_t pinId);

// Appends an object to the instance's object list.
void appendObject(KVEInstance *instance, KVEObject *object);

// Takes the next id and registers the object in the lookup table.
void issueId(KVEInstance *instance, KVEObject *object);

// Effective clock divider: a divider of 0 runs like 1.
inline uint32_t effectiveDivider(const ClassLayout *l) { return l->clockDivider == 0 ? 1 : l->clockDivider; }

// Smoothed statistics: new = old - old/128 + 2 * sample, unsigned 32-bit with wrap-around.
inline uint32_t smoothTicks(uint32_t old, uint32_t sample) { return old - old / 128 + 2 * sample; }

// Heap membership of a word range, for value access through pointers.
bool rangeInHeaps(const KVEInstance *instance, const void *p, uint64_t words);

// Whether a module may read or write `words` words at p, a pointer the layout aimed: KVE_OK when the range lies in
// the instance's heaps, for a write clear of the engine's records, and, when p lies in an array whose capacity its
// class keeps, inside that array; KVE_E_BAD_ARGUMENT otherwise. The bounds of a host's access through a pointer
// member.
int32_t checkAimedRange(KVEInstance *instance, const void *p, uint32_t words, bool forWrite);

} // namespace kve
