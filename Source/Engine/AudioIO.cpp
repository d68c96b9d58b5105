// Wires and the engine I/O pins: construction, binding with ping-pong buffers, per-frame transfer and queries.
#include <cstring>
#include <utility>

#include "Engine/EngineInternal.h"
#include "kve/kve_ipc.h"

extern "C" {

const ModClassDescriptor ClassInputPin = {nullptr, KVE_CLASS_INPUT_PIN, nullptr, nullptr, nullptr,
                                          nullptr, nullptr,             0,       0,       0};
const ModClassDescriptor ClassOutputPin = {nullptr, KVE_CLASS_OUTPUT_PIN, nullptr, nullptr, nullptr,
                                           nullptr, nullptr,              0,       0,       0};
const ModClassDescriptor WireClass_Descriptor = {
    reinterpret_cast<KVEModuleConstructorFn>(reinterpret_cast<void (*)()>(ClassWire_Constructor)),
    KVE_CLASS_WIRE, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, 0};

} // extern "C"

namespace kve {

IOPin *pinById(KVEInstance *instance, uint32_t pinId)
{
    if (pinId == 0)
        return nullptr;
    const uint32_t index = (pinId - 1) / 2;
    if (pinId % 2 == 1)
        return instance->inputPins != nullptr && index < inputPinCount(instance) ? &instance->inputPins[index]
                                                                                 : nullptr;
    return instance->outputPins != nullptr && index < outputPinCount(instance) ? &instance->outputPins[index]
                                                                               : nullptr;
}

} // namespace kve

namespace {

IOPin *inputPin(KVEInstance *in, uint32_t k)
{
    return in->inputPins != nullptr && k < kve::inputPinCount(in) ? &in->inputPins[k] : nullptr;
}

IOPin *outputPin(KVEInstance *in, uint32_t k)
{
    return in->outputPins != nullptr && k < kve::outputPinCount(in) ? &in->outputPins[k] : nullptr;
}

GenericWire *firstBoundWire(const IOPin *pin)
{
    return pin != nullptr && pin->bindingCount > 0 ? pin->bindings[0].wire : nullptr;
}

uint32_t floatBits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

void initPin(IOPin *pin, IOPin *next, const ModClassDescriptor *cls, uint32_t id, uint32_t blockSize)
{
    pin->next = next;
    pin->classRecord = cls;
    pin->pinId = id;
    pin->bufferA = nullptr;
    pin->bufferB = nullptr;
    pin->samplesDone = 0;
    pin->bindingCount = 0;
    std::memset(pin->bindings, 0, sizeof pin->bindings);
    pin->info2 = blockSize;
}

void describePin(const IOPin *pin, uint32_t *classId, uint32_t *rateBits, uint32_t *info1, uint32_t *info2,
                 uint32_t *info3, uint32_t *name1, uint32_t *name2)
{
    *classId = pin->classRecord != nullptr ? pin->classRecord->classId : 0;
    *rateBits = floatBits(pin->sampleRate);
    *info1 = pin->info1;
    *info2 = pin->info2;
    *info3 = pin->info3;
    *name1 = pin->name[0];
    *name2 = pin->name[1];
}

void *channelPointer(const IOPin *pin, uint32_t samplesDone, uint32_t channel, uint32_t *stride)
{
    const GenericWire *w = firstBoundWire(pin);
    if (w == nullptr)
        return nullptr;
    const uint32_t ch = kve::wireChannels(w);
    *stride = ch;
    return static_cast<uint32_t *>(pin->bufferB) + (static_cast<size_t>(ch) * samplesDone + channel);
}

// A pin's first binding gives it its ping-pong buffers; an input pin takes one wire, an output pin up to 16.
int32_t addBinding(KVEInstance *instance, IOPin *pin, GenericWire *wire)
{
    if (pin->bindingCount == 0) {
        int32_t status = KVE_OK;
        const uint64_t bytes = static_cast<uint64_t>(kve::wireWords(wire)) * 4u;
        void *b = kve_fwMalloc2(instance, static_cast<uint32_t>(bytes), 4, KVE_HEAPS_DEFAULT, &status);
        if (b == nullptr)
            return status;
        pin->bufferB = b;
        pin->bindings[0] = {instance->instanceTag, wire};
        pin->bindingCount = 1;
        pin->bufferA = wire->buffer;
        pin->samplesDone = 0;
        pin->info2 = (pin->info2 & ~0x1FFFFu) | kve::wireBlockSize(wire);
        pin->sampleRate = wire->sampleRate;
        return KVE_OK;
    }
    if (pin->pinId % 2 == 1)
        return KVE_E_PIN_BOUND;
    if (pin->bindingCount >= KVE_MAX_PIN_BINDINGS)
        return KVE_E_TOO_MANY_BINDINGS;
    pin->bindings[pin->bindingCount++] = {instance->instanceTag, wire};
    return KVE_OK;
}

} // namespace

extern "C" {

GenericWire *GenericWire_Constructor(KVEInstance *instance, int32_t *status, uint32_t info1, uint32_t info2,
                                     uint32_t info3, const ModClassDescriptor *classRecord, float sampleRate)
{
    if (*status != KVE_OK)
        return nullptr;
    // Room for 32-bit words whatever bytes per sample the info word names: every module moves words.
    const uint32_t bps = KVE_WIRE_BYTES_PER_SAMPLE(info1) > 4 ? KVE_WIRE_BYTES_PER_SAMPLE(info1) : 4;
    const uint64_t bufferBytes =
        static_cast<uint64_t>(bps) * KVE_WIRE_CHANNELS(info1) * KVE_WIRE_BLOCK_SIZE(info2);
    const uint64_t bytes = KVE_WIRE_HEADER_SIZE + bufferBytes;
    void *p = bytes <= UINT32_MAX ? kve_fwMalloc2(instance, static_cast<uint32_t>(bytes), 16, KVE_HEAPS_DEFAULT, status)
                                  : nullptr;
    if (p == nullptr) {
        *status = KVE_E_HEAPS_FULL;
        return nullptr;
    }
    auto *w = static_cast<GenericWire *>(p);
    w->classRecord = classRecord;
    kve::issueId(instance, kve::asObject(w));
    w->buffer = reinterpret_cast<char *>(w) + KVE_WIRE_HEADER_SIZE;
    w->sampleRate = sampleRate;
    w->info1 = info1;
    w->info2 = info2;
    w->info3 = info3;
    w->guard = KVE_GUARD_WORD;
    w->capacityWords = static_cast<uint32_t>(bufferBytes / 4);
    kve::appendObject(instance, kve::asObject(w));
    return w;
}

GenericWire *ClassWire_Constructor(KVEInstance *instance, int32_t *status, uint32_t sampleRateBits, uint32_t info1,
                                   uint32_t info2, uint32_t info3)
{
    float rate;
    std::memcpy(&rate, &sampleRateBits, sizeof rate);
    return GenericWire_Constructor(instance, status, info1, info2, info3, &WireClass_Descriptor, rate);
}

void kve_fwInit_io_pins(KVEInstance *instance, uint32_t option)
{
    const uint32_t nIn = kve::inputPinCount(instance);
    const uint32_t nOut = kve::outputPinCount(instance);
    const uint32_t blockSize = instance->targetInfo[2] & 0xFFFu;
    const uint32_t inChannels = (instance->targetInfo[3] >> 8) & 0xFFu;
    const uint32_t outChannels = (instance->targetInfo[3] >> 16) & 0xFFu;
    if (option != 0)
        instance->targetInfo[2] = (instance->targetInfo[2] & ~0xF0000u) | ((option & 0xFu) << 16);

    for (uint32_t k = 0; instance->inputPins != nullptr && k < nIn; ++k) {
        IOPin *pin = &instance->inputPins[k];
        IOPin *next = k + 1 < nIn ? &instance->inputPins[k + 1] : instance->outputPins;
        initPin(pin, next, &ClassInputPin, 2 * k + 1, blockSize);
        pin->ipcContext = nullptr;
        pin->info1 = k == 0 ? 0x40040000u | inChannels : 0x40040002u;
        pin->info3 = option != 0 ? 0x200000u : (k == 0 ? 0x400000u : 0x100000u);
        if (option != 0)
            pin->sampleRate = 48000.0f;
    }
    for (uint32_t k = 0; instance->outputPins != nullptr && k < nOut; ++k) {
        IOPin *pin = &instance->outputPins[k];
        initPin(pin, k + 1 < nOut ? &instance->outputPins[k + 1] : nullptr, &ClassOutputPin, 2 * k + 2, blockSize);
        pin->info1 = k == 0 ? 0x40040000u | outChannels : 0x40040002u;
        pin->info3 = option != 0 ? 0x200000u : (k == 0 ? 0u : 0x100000u);
        pin->sampleRate = 48000.0f;
    }
    instance->firstIOPin = instance->inputPins;
}

int32_t BindIOToWire(KVEInstance *instance, uint32_t wireId, uint32_t pinId)
{
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    if (kve_fwGetObjectByID(instance, wireId, &o, &cls) != KVE_OK)
        return KVE_E_ID_NOT_FOUND;
    if (!kve::isWireClass(cls))
        return KVE_E_NOT_A_WIRE;
    GenericWire *wire = kve::asWire(o);
    if (wire->pin != nullptr)
        return KVE_E_WIRE_BOUND;
    IOPin *pin = kve::pinById(instance, pinId);
    if (pin == nullptr)
        return KVE_E_BAD_BINDING_PIN;
    if (KVE_WIRE_BYTES_PER_SAMPLE(pin->info1) != KVE_WIRE_BYTES_PER_SAMPLE(wire->info1))
        return KVE_E_SAMPLE_SIZE;

    const int32_t status = addBinding(instance, pin, wire);
    if (status == KVE_OK) {
        wire->nextIOWire = instance->ioWireList;
        instance->ioWireList = wire;
        wire->pin = pin;
    }
    // An attached inter-instance pin hears of every attempt that reached the pin, refused or not.
    if (pin->ipcContext != nullptr)
        IpcPinNotify(static_cast<IpcPin *>(pin->ipcContext), pin, IPC_PIN_BOUND);
    return status;
}

void kve_fwAudioInitIO(KVEInstance *instance)
{
    for (IOPin *pin = instance->firstIOPin; pin != nullptr; pin = pin->next) {
        if (GenericWire *w = firstBoundWire(pin); w != nullptr)
            w->buffer = pin->bufferB;
    }
}

void kve_fwPrePump(KVEInstance *instance)
{
    for (GenericWire *w = instance->ioWireList; w != nullptr; w = w->nextIOWire) {
        if (w->pin != nullptr)
            w->buffer = w->pin->bufferA;
    }
}

uint32_t kve_fwAudioDMAComplete(KVEInstance *instance, uint32_t pinIndex, uint32_t frames)
{
    IOPin *in = inputPin(instance, pinIndex);
    GenericWire *wire = firstBoundWire(in);
    if (wire == nullptr)
        return 0;
    if (static_cast<uint64_t>(in->samplesDone) + frames != kve::wireBlockSize(wire)) {
        in->samplesDone += frames;
        return 0;
    }
    in->samplesDone = 0;
    wire->buffer = in->bufferB;
    std::swap(in->bufferA, in->bufferB);
    IOPin *out = outputPin(instance, pinIndex);
    if (GenericWire *ow = firstBoundWire(out); ow != nullptr) {
        ow->buffer = out->bufferB;
        std::swap(out->bufferA, out->bufferB);
    }
    return kve_fwEvalLayoutMask(instance, nullptr);
}

uint32_t kve_fwGetChannelCount(KVEInstance *instance, uint32_t *inputChannels, uint32_t *outputChannels)
{
    const GenericWire *in = firstBoundWire(inputPin(instance, 0));
    const GenericWire *out = firstBoundWire(outputPin(instance, 0));
    *inputChannels = in != nullptr ? kve::wireChannels(in) : 0;
    *outputChannels = out != nullptr ? kve::wireChannels(out) : 0;
    return *outputChannels;
}

void *kve_fwGetInputChannelPtr(KVEInstance *instance, uint32_t pinIndex, uint32_t channel, uint32_t *stride)
{
    const IOPin *pin = inputPin(instance, pinIndex);
    return pin != nullptr ? channelPointer(pin, pin->samplesDone, channel, stride) : nullptr;
}

void *kve_fwGetOutputChannelPtr(KVEInstance *instance, uint32_t pinIndex, uint32_t channel, uint32_t *stride)
{
    const IOPin *pin = outputPin(instance, pinIndex);
    const IOPin *in = inputPin(instance, pinIndex);
    return pin != nullptr ? channelPointer(pin, in != nullptr ? in->samplesDone : 0, channel, stride) : nullptr;
}

uint32_t kve_fwGetInputBlockSize(KVEInstance *instance, uint32_t pinIndex)
{
    const GenericWire *w = firstBoundWire(inputPin(instance, pinIndex));
    return w != nullptr ? kve::wireBlockSize(w) : 0;
}

float kve_fwGetInputSampleRate(KVEInstance *instance, uint32_t pinIndex)
{
    const GenericWire *w = firstBoundWire(inputPin(instance, pinIndex));
    return w != nullptr ? w->sampleRate : 0.0f;
}

int32_t kve_fwGetFirstIO(KVEInstance *instance, IOPin **pin, uint32_t *classId, uint32_t *rateBits,
                         uint32_t *info1, uint32_t *info2, uint32_t *info3, uint32_t *name1, uint32_t *name2)
{
    IOPin *p = instance->firstIOPin;
    *pin = p;
    if (p == nullptr)
        return KVE_E_NO_MORE_PINS;
    describePin(p, classId, rateBits, info1, info2, info3, name1, name2);
    return KVE_OK;
}

int32_t kve_fwGetNextIO(KVEInstance *instance, uint32_t pinId, IOPin **pin, uint32_t *classId, uint32_t *rateBits,
                        uint32_t *info1, uint32_t *info2, uint32_t *info3, uint32_t *name1, uint32_t *name2)
{
    const IOPin *current = kve::pinById(instance, pinId);
    if (current == nullptr || current->classRecord == nullptr ||
        (current->classRecord->classId & 0xFFFF0000u) != 0xBEEF0000u)
        return KVE_E_NOT_AN_OBJECT;
    IOPin *p = current->next;
    *pin = p;
    if (p == nullptr)
        return KVE_E_NO_MORE_PINS;
    describePin(p, classId, rateBits, info1, info2, info3, name1, name2);
    return KVE_OK;
}

int32_t kve_fwGetPinType(KVEInstance *instance, uint32_t pinId, uint32_t *classId, uint32_t *wireId,
                         uint32_t *rateBits, uint32_t *info1, uint32_t *info2, uint32_t *info3, uint32_t *name1,
                         uint32_t *name2)
{
    const IOPin *pin = kve::pinById(instance, pinId);
    if (pin == nullptr)
        return KVE_E_NOT_AN_OBJECT;
    const GenericWire *w = firstBoundWire(pin);
    *wireId = w != nullptr ? w->objectId : 0;
    describePin(pin, classId, rateBits, info1, info2, info3, name1, name2);
    return KVE_OK;
}

int32_t kve_fwGetWireType(KVEInstance *instance, uint32_t wireId, uint32_t *classId, uint32_t *rateBits,
                          uint32_t *info1, uint32_t *info2, uint32_t *info3)
{
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    if (kve_fwGetObjectByID(instance, wireId, &o, &cls) != KVE_OK)
        return KVE_E_ID_NOT_FOUND;
    if (!kve::isWireClass(cls))
        return KVE_E_NOT_A_WIRE;
    const GenericWire *w = kve::asWire(o);
    *classId = cls;
    *rateBits = floatBits(w->sampleRate);
    *info1 = w->info1;
    *info2 = w->info2;
    *info3 = w->info3;
    return KVE_OK;
}

} // extern "C"
