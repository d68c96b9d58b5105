/* The engine's object model and the functions that build, run and inspect a layout.
 *
 * Every record here has a fixed layout: modules, hosts and stored layouts address its fields by position. */
#ifndef KVE_ENGINE_H
#define KVE_ENGINE_H

#include <stddef.h>
#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KVEObject KVEObject;
typedef struct KVEInstance KVEInstance;
typedef struct ModClassDescriptor ModClassDescriptor;
typedef struct ClassModule ClassModule;
typedef struct GenericWire GenericWire;
typedef struct ClassLayout ClassLayout;
typedef struct IOPin IOPin;

/* Class ids of the engine's own objects and the ranges that tell what an object is. */
#define KVE_CLASS_INPUT_PIN 0xBEEF0001u
#define KVE_CLASS_OUTPUT_PIN 0xBEEF0002u
#define KVE_CLASS_LAYOUT 0xBEEF0004u
#define KVE_CLASS_WIRE 0xBEEF0080u
#define KVE_CLASS_WIRE_LAST 0xBEEF07FFu
#define KVE_CLASS_MODULE_FIRST 0xBEEF0800u
#define KVE_CLASS_MODULE_LAST 0xBEEFFFFFu

#define KVE_GUARD_WORD 0xDEADBEEFu
#define KVE_TARGET_MAGIC 0x7A6B5C4Du

/* Heap lists name heaps one per 4-bit nibble, tried from the low nibble. */
#define KVE_HEAPS_DEFAULT 0x231u
#define KVE_HEAPS_HOST_ARRAYS 0x2u
#define KVE_HEAPS_LONG_STATE 0x23u

/* Set and Get masks. */
#define KVE_MASK_ALL 0xFFFFFFFFu
#define KVE_MASK_HOST 0x7FFFFFFFu
#define KVE_MASK_TEARDOWN 0u

/* Module packed word. */
#define KVE_PACKED_INPUTS(w) ((w) & 0xFFu)
#define KVE_PACKED_OUTPUTS(w) (((w) >> 8) & 0xFFu)
#define KVE_PACKED_SCRATCH(w) (((w) >> 16) & 0xFFu)
#define KVE_PACKED_STATE_SHIFT 24u
#define KVE_PACKED_STATE_MASK 0x03000000u
#define KVE_PACKED_DEFERRED_SET 0x08000000u
/* The bits a packed word may hold: wire counts, state and the deferred-Set request; the others stay 0. */
#define KVE_PACKED_DEFINED 0x0BFFFFFFu

/* Module engine marks (a header word no member address reaches). */
#define KVE_MODULE_OWNS_PRIVATES 0x1u /* the class owns its private variables; hidden words follow the wires */

/* Module states. */
enum { KVE_STATE_ACTIVE = 0, KVE_STATE_BYPASSED = 1, KVE_STATE_MUTED = 2, KVE_STATE_INACTIVE = 3 };

/* Instance flags. */
#define KVE_FLAG_TICKED 0x01u
#define KVE_FLAG_NO_MODULE_PROFILING 0x10u
#define KVE_FLAG_NO_LAYOUT_PROFILING 0x20u

/* Wire info word 1 and 2 fields. */
#define KVE_WIRE_CHANNELS(info1) ((info1) & 0x3FFu)
#define KVE_WIRE_SIZE_FIELD(info1) (((info1) >> 10) & 0x1FFFFu)
#define KVE_WIRE_COMPLEX(info1) (((info1) >> 27) & 1u)
#define KVE_WIRE_BYTES_PER_SAMPLE(info1) ((info1) >> 28)
#define KVE_WIRE_BLOCK_SIZE(info2) ((info2) & 0x1FFFFu)

/* Member addresses: object id << 12 | dereference flag | member index. */
#define KVE_MEMBER_DEREF 0x800u
#define KVE_MEMBER_INDEX(a) ((a) & 0x7FFu)
#define KVE_MEMBER_OBJECT(a) ((a) >> 12)
#define KVE_MEMBER_ADDRESS(id, index) (((uint32_t)(id) << 12) | (uint32_t)(index))

#define KVE_MAX_PIN_BINDINGS 16
#define KVE_LOOKUP_HIGH_FIRST 30000u
#define KVE_LOOKUP_HIGH_SLOTS 99u

typedef ClassModule *(*KVEModuleConstructorFn)(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                uint32_t argc, const uint32_t *args);
typedef void (*KVEProcessFn)(ClassModule *module);
typedef int32_t (*KVESetFn)(ClassModule *module, uint32_t mask);
typedef int32_t (*KVESetStateFn)(ClassModule *module, uint32_t state);
typedef int32_t (*KVEHookFn)(void);

/* The first three fields of every wire, module and layout. */
struct KVEObject {
    KVEObject *next;
    const ModClassDescriptor *classRecord;
    uint32_t objectId;
};

/* The module class record. The variable offsets (public, then private) follow the record directly. */
struct ModClassDescriptor {
    KVEModuleConstructorFn constructor; /* null: the generic constructor */
    uint32_t classId;
    KVEProcessFn process;
    KVEProcessFn bypass;
    KVESetFn set;
    KVESetFn get;
    KVESetStateFn setState;
    uint32_t countWord; /* public count in bits 0-15, private count in bits 16-31 */
    uint32_t floatMask;
    uint64_t reserved;
};

static inline const uint32_t *kve_ClassVariableOffsets(const ModClassDescriptor *c)
{
    return (const uint32_t *)(const void *)(c + 1);
}
static inline uint32_t kve_ClassPublicCount(const ModClassDescriptor *c) { return c->countWord & 0xFFFFu; }
static inline uint32_t kve_ClassVariableCount(const ModClassDescriptor *c)
{
    return (c->countWord & 0xFFFFu) + (c->countWord >> 16);
}

/* The module instance header; the class's variables follow it, then the wire-pointer array. */
struct ClassModule {
    KVEObject *next;
    const ModClassDescriptor *classRecord;
    uint32_t objectId;
    uint32_t engineMarks;  /* the engine's own marks of the module; no member, so no host reads or writes it */
    uintptr_t layoutOwner; /* must be zero when the module is placed in a layout */
    GenericWire **wires;   /* inputs, then outputs, then scratch wires */
    KVEProcessFn process;  /* the function the layout run calls for the module's state */
    uint32_t packed;       /* wire counts, state, deferred-Set request */
    uint32_t cycles;       /* smoothed run time, 256 x 100-ns ticks at steady state */
};
#define KVE_MODULE_HEADER_SIZE 56u

struct GenericWire {
    KVEObject *next;
    const ModClassDescriptor *classRecord;
    uint32_t objectId;
    void *buffer; /* interleaved samples; repointed by pin binding */
    float sampleRate;
    uint32_t info1; /* channels, size field, complex flag, bytes per sample */
    uint32_t info2; /* block size */
    uint32_t info3;
    GenericWire *nextIOWire;
    IOPin *pin;
    uint32_t guard;
    uint32_t capacityWords; /* 32-bit words of the wire's own buffer */
    uint64_t padding;       /* keeps the buffer that follows 16-byte aligned */
};
#define KVE_WIRE_HEADER_SIZE 80u

typedef struct IOPinBinding {
    uint32_t owner; /* tag of the instance that made the binding */
    GenericWire *wire;
} IOPinBinding;

struct IOPin {
    IOPin *next;
    const ModClassDescriptor *classRecord;
    uint32_t pinId; /* input pin k: 2k + 1, output pin k: 2k + 2 */
    void *bufferA;
    void *bufferB;
    float sampleRate;
    uint32_t info1;
    uint32_t info2;
    uint32_t info3;
    uint32_t samplesDone;
    uint32_t bindingCount;
    IOPinBinding bindings[KVE_MAX_PIN_BINDINGS];
    void *ipcContext;
    uint32_t name[2];
};

struct ClassLayout {
    KVEObject *next;
    const ModClassDescriptor *classRecord;
    uint32_t objectId;
    ClassLayout *nextLayout;
    uint32_t clockDivider;
    uint32_t countdown;
    uint32_t averageTime;
    uint32_t peakTime;
    uint32_t runCount;
    uint32_t lastTime;
    uint32_t averagePeriod;
    float loadPercent;
    uint32_t capacity;
    uint32_t lastStart;
    ClassModule *modules[];
};
#define KVE_LAYOUT_HEADER_SIZE 72u

struct KVEInstance {
    uint32_t instanceTag;
    uint32_t *heap1Base; /* also the start of the block that holds all three heaps */
    uint32_t *heap3Base;
    uint32_t *heap2Base;
    KVEObject *firstObject;
    KVEObject *lastObject;
    IOPin *firstIOPin;
    KVEObject *tickCursor;
    ClassLayout *firstLayout;
    ClassLayout *lastLayout;
    KVEObject **lookupTable;
    uint32_t heap1Size, heap1Used;
    uint32_t heap3Size, heap3Used;
    uint32_t heap2Size, heap2Used;
    uint32_t lastObjectId;
    uint32_t lookupSize;
    uint32_t flags;
    uint32_t targetInfo[12];
    KVEInstance *self;
    uint64_t reserved;
    KVEHookFn startHook;
    KVEHookFn stopHook;
    IOPin *inputPins;
    IOPin *outputPins;
    GenericWire *ioWireList;
    uint32_t classCount;
    const ModClassDescriptor *const *classTable;
    /* Modules whose deferred-Set request is raised: lets the tick skip the object walk when nothing waits. */
    uint32_t pendingSets;
};

/* The instance at work: set by the engine before any module code runs. */
extern KVEInstance *g_pKVE_instance;

/* Class records of the engine's own objects. */
extern const ModClassDescriptor ClassInputPin;
extern const ModClassDescriptor ClassOutputPin;
extern const ModClassDescriptor LayoutClass_Descriptor;
extern const ModClassDescriptor WireClass_Descriptor;

/* The library's class table, in table order, and its entry count. */
extern const ModClassDescriptor *const g_module_descriptor_table[];
extern const uint32_t g_module_descriptor_count;

/* The standard module pack's schema block: its name and how many classes the class table holds. Read-only and the
 * library's own; hosts may read it, nothing in the library calls it. */
typedef struct KVEPackSchema {
    char name[16];
    uint32_t classCount;
} KVEPackSchema;
const KVEPackSchema *MODULE_PREFIXGetSchema(void);

/* ---- Instance, heaps and object ids ---- */
void kve_fwInitTargetInfo(KVEInstance *instance, uint32_t coreId, const char *name, uint32_t number7,
                          uint32_t flag20, uint32_t flag10, uint32_t inputPins, uint32_t outputPins,
                          uint32_t option1, uint32_t number4, uint32_t inputChannels, uint32_t outputChannels,
                          uint32_t byte2, uint32_t byte1, uint32_t byte0, uint32_t blockSize, uint32_t number13,
                          float f1, float f2, float sampleRate);
void kve_SetPackedName(uint32_t *dest, const char *text);
int32_t kve_fwGetTargetInfo(KVEInstance *instance, uint32_t *words);
void kve_fwSetBlockSize(KVEInstance *instance, uint32_t size);
int32_t kve_fwAllocateHeaps(KVEInstance *instance, uint32_t heap1Words, uint32_t heap2Words, uint32_t heap3Words);
void *kve_fwMalloc2(KVEInstance *instance, uint32_t bytes, uint32_t align, uint32_t heaps, int32_t *status);
void *kve_fwMalloc(uint32_t bytes, uint32_t heaps, int32_t *status);
void *kve_fwMallocAligned(uint32_t bytes, uint32_t align, uint32_t heaps, int32_t *status);
void kve_fwDestroyHeaps(KVEInstance *instance);
uint32_t kve_fwGetHeapCount(void);
int32_t kve_fwGetHeapSize(KVEInstance *instance, uint32_t *words);
void kve_fwDestroy(KVEInstance *instance);
uint32_t GetNextInstanceID(KVEInstance *instance);
int32_t kve_fwcreateLookupTable(KVEInstance *instance, uint32_t size);
void kve_fwSetIDPointer(KVEInstance *instance, uint32_t id, KVEObject *object);
KVEObject *kve_fwLookupID(KVEInstance *instance, uint32_t id);
int32_t kve_fwUpdateLookupTable(KVEInstance *instance);
int32_t kve_fwSetInstanceID(KVEInstance *instance, uint32_t oldId, uint32_t newId);
int32_t kve_fwGetObjectByID(KVEInstance *instance, uint32_t id, KVEObject **object, uint32_t *classId);
int32_t kve_fwGetObjectByID2(uint32_t id, KVEObject **object, uint32_t *classId);
int32_t kve_fwGetFirstObject2(KVEInstance *instance, KVEObject **object, uint32_t *classId);
int32_t kve_fwGetFirstObject(KVEObject **object, uint32_t *classId);
int32_t kve_fwGetNextObject(KVEObject *object, KVEObject **next, uint32_t *classId);
uint32_t kve_fwGetClassType(const KVEObject *object);

/* Real-time clock in 100-ns units, truncated to 32 bits. Tests may install their own source (null restores the
 * system clock). */
uint32_t kve_fwReadClock(void);
void kve_fwSetClockSource(uint32_t (*source)(void));

/* Sets flush-to-zero and round-to-nearest on the calling thread; the library does it for the loading thread. */
void kve_fwSetFloatMode(void);

/* ---- Wires, pins and layouts ---- */
GenericWire *GenericWire_Constructor(KVEInstance *instance, int32_t *status, uint32_t info1, uint32_t info2,
                                     uint32_t info3, const ModClassDescriptor *classRecord, float sampleRate);
GenericWire *ClassWire_Constructor(KVEInstance *instance, int32_t *status, uint32_t sampleRateBits, uint32_t info1,
                                   uint32_t info2, uint32_t info3);
ClassLayout *ClassLayout_Constructor(KVEInstance *instance, int32_t *status, uint32_t capacity,
                                     uint32_t clockDivider);
int32_t kve_fwAddModuleToLayout(KVEInstance *instance, uint32_t count, const uint32_t *words);
void ClassLayout_Process(KVEInstance *instance, ClassLayout *layout, uint32_t *time, uint32_t *period);
int32_t kve_fwPump(KVEInstance *instance, uint32_t index);
int32_t kve_fwTick(KVEInstance *instance);
int32_t kve_fwGetProfileValues(KVEInstance *instance, uint32_t unused, uint32_t *time, uint32_t *period);
int32_t kve_fwClearProfileValues(KVEInstance *instance, uint32_t layoutNumber);
void kve_fwInit_io_pins(KVEInstance *instance, uint32_t option);
int32_t BindIOToWire(KVEInstance *instance, uint32_t wireId, uint32_t pinId);
void kve_fwAudioInitIO(KVEInstance *instance);
void kve_fwPrePump(KVEInstance *instance);
uint32_t kve_fwAudioDMAComplete(KVEInstance *instance, uint32_t pinIndex, uint32_t frames);
uint32_t kve_fwEvalLayoutMask(KVEInstance *instance, uint32_t *dividers);
uint32_t kve_fwGetChannelCount(KVEInstance *instance, uint32_t *inputChannels, uint32_t *outputChannels);
void *kve_fwGetInputChannelPtr(KVEInstance *instance, uint32_t pinIndex, uint32_t channel, uint32_t *stride);
void *kve_fwGetOutputChannelPtr(KVEInstance *instance, uint32_t pinIndex, uint32_t channel, uint32_t *stride);
uint32_t kve_fwGetInputBlockSize(KVEInstance *instance, uint32_t pinIndex);
float kve_fwGetInputSampleRate(KVEInstance *instance, uint32_t pinIndex);
int32_t kve_fwGetFirstIO(KVEInstance *instance, IOPin **pin, uint32_t *classId, uint32_t *rateBits,
                         uint32_t *info1, uint32_t *info2, uint32_t *info3, uint32_t *name1, uint32_t *name2);
int32_t kve_fwGetNextIO(KVEInstance *instance, uint32_t pinId, IOPin **pin, uint32_t *classId, uint32_t *rateBits,
                        uint32_t *info1, uint32_t *info2, uint32_t *info3, uint32_t *name1, uint32_t *name2);
int32_t kve_fwGetPinType(KVEInstance *instance, uint32_t pinId, uint32_t *classId, uint32_t *wireId,
                         uint32_t *rateBits, uint32_t *info1, uint32_t *info2, uint32_t *info3, uint32_t *name1,
                         uint32_t *name2);
int32_t kve_fwGetWireType(KVEInstance *instance, uint32_t wireId, uint32_t *classId, uint32_t *rateBits,
                          uint32_t *info1, uint32_t *info2, uint32_t *info3);

/* ---- Module classes and construction ---- */
const ModClassDescriptor *LookupModuleClass(KVEInstance *instance, uint32_t classId);
ClassModule *BaseClassModule_Constructor(const ModClassDescriptor *classRecord, int32_t *status, uint32_t wireWord,
                                         GenericWire **wires, uint32_t argc, const uint32_t *args);
ClassModule *BaseClassModule_Constructor2(KVEInstance *instance, const ModClassDescriptor *classRecord,
                                          int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args);
/* The generic constructor for a class that owns its private variables: the first `arrays` of them are arrays whose
 * capacities (in 4-byte elements) the class stores in hidden words after the wire-pointer array, the rest are
 * modules it builds. No member address reaches the hidden words; hosts may read the private pointers but never aim
 * them, and reach no further into an array than its capacity. */
ClassModule *BaseClassModule_ConstructorHidden(const ModClassDescriptor *classRecord, int32_t *status,
                                               uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                               const uint32_t *args, uint32_t arrays);
/* The array capacities of a module built by BaseClassModule_ConstructorHidden (their count in the word before), or
 * null for any other module. */
uint32_t *kve_fwModuleHiddenWords(ClassModule *module);
ClassModule *ClassModule_Constructor(uint32_t classId, int32_t *status, uint32_t wireWord, GenericWire **wires,
                                     uint32_t argc, const uint32_t *args);
ClassModule *ClassModule_Constructor3(KVEInstance *instance, uint32_t classId, int32_t *status, uint32_t wireWord,
                                      GenericWire **wires, uint32_t argc, const uint32_t *args);
ClassModule *ClassModule_Constructor2(KVEInstance *instance, uint32_t classId, int32_t *status, uint32_t wireWord,
                                      const uint32_t *wireIds, uint32_t argc, const uint32_t *args);
int32_t ClassModule_Set(ClassModule *module, uint32_t mask);
int32_t kve_fwSetCall(ClassModule *module, uint32_t mask);
int32_t kve_fwGetCall(ClassModule *module, uint32_t mask);
int32_t kve_fwSetCall2(KVEInstance *instance, uint32_t objectId, uint32_t mask);
int32_t kve_fwGetCall2(KVEInstance *instance, uint32_t objectId, uint32_t mask);
int32_t kve_fwPumpModule(KVEInstance *instance, ClassModule *module);
uint32_t ClassModule_Execute(KVEInstance *instance, ClassModule *module);
uint32_t kve_fwGetClassCount(void);
uint32_t kve_fwGetCIModuleCount(KVEInstance *instance);
int32_t kve_fwGetCIModuleInfo(KVEInstance *instance, uint32_t index, uint32_t *classId, uint32_t *countWord);
uint32_t kve_fwGetSizeofInt(void);
/* Raises the module's deferred-Set request: the tick calls its Set with all bits outside the audio path. Modules
 * raise the request only through this call, which keeps the instance's count of waiting modules. */
void kve_fwRequestDeferredSet(ClassModule *module);

/* ---- Module states, generic process and bypass functions, search path ---- */
int32_t kve_fwSetModuleState(ClassModule *module, uint32_t state);
int32_t kve_fwGetModuleState(ClassModule *module);
void GenericModule_Mute(ClassModule *module);
void GenericModule_Inactive(ClassModule *module);
void IOMatchUpModule_Bypass(ClassModule *module);
void IOAcrossModule_Bypass(ClassModule *module);
void IOMatchModule_Bypass(ClassModule *module);
void IOAllOnesModule_Bypass(ClassModule *module);
int32_t kve_fwFindFileInPath(char *out, uint32_t outLength, const char *name);

/* ---- Member addresses and value access ---- */
void *kve_fwAddressOfMember(KVEInstance *instance, uint32_t address, int32_t *status);
void *kve_fwAddressOfMember2(KVEInstance *instance, uint32_t address, ClassModule **owner, int32_t *status);
uint32_t kve_fwFetchValue(KVEInstance *instance, uint32_t address, int32_t *status, uint32_t index);
uint32_t kve_fwGetCallFetchValue(KVEInstance *instance, uint32_t address, uint32_t mask, int32_t *status,
                                 uint32_t index);
int32_t kve_fwSetValue(KVEInstance *instance, uint32_t address, uint32_t value, uint32_t index, uint32_t unused);
int32_t kve_fwSetValueSetCall(KVEInstance *instance, uint32_t address, uint32_t value, uint32_t mask,
                              uint32_t index, uint32_t unused);
int32_t kve_fwFetchValues(KVEInstance *instance, uint32_t address, uint32_t offset, uint32_t count,
                          uint32_t *dest);
int32_t kve_fwGetCallFetchValues(KVEInstance *instance, uint32_t address, uint32_t offset, uint32_t mask,
                                 uint32_t count, uint32_t *dest, uint32_t unused);
int32_t kve_fwSetValues(KVEInstance *instance, uint32_t address, uint32_t offset, uint32_t count,
                        const uint32_t *src, uint32_t unused);
int32_t kve_fwSetValuesSetCall(KVEInstance *instance, uint32_t address, uint32_t offset, uint32_t mask,
                               uint32_t count, const uint32_t *src, uint32_t unused);
int32_t kve_fwSetPointer(KVEInstance *instance, uint32_t destAddress, uint32_t srcAddress, uint32_t offset);
uint32_t kve_fwDerefPointer(KVEInstance *instance, uint32_t address, int32_t *status);
/* Whether a module may read (forWrite 0) or write `words` words at p, a pointer the layout aimed: KVE_OK when the
 * range lies in the instance's heaps, for a write clear of the engine's records, and, when p lies in an array whose
 * capacity its class keeps, inside that array; KVE_E_BAD_ARGUMENT otherwise. The bounds of a host's access through
 * a pointer member. */
int32_t kve_fwCheckAimedRange(KVEInstance *instance, const void *p, uint32_t words, uint32_t forWrite);

#ifdef __cplusplus
}
#endif

#endif
