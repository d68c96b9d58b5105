// The engine instance: target information, the instance at work and layout teardown.
#include <algorithm>
#include <cstring>

#include "Engine/EngineInternal.h"
#include "kve/kve_ipc.h"

extern "C" {

KVEInstance *g_pKVE_instance = nullptr;

void kve_SetPackedName(uint32_t *dest, const char *text)
{
    dest[0] = 0;
    dest[1] = 0;
    if (text == nullptr)
        return;
    for (uint32_t i = 0; i < 8 && text[i] != '\0'; ++i)
        dest[i / 4] |= static_cast<uint32_t>(static_cast<uint8_t>(text[i])) << (8 * (i % 4));
}

static uint32_t floatBits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

void kve_fwInitTargetInfo(KVEInstance *instance, uint32_t coreId, const char *name, uint32_t number7,
                          uint32_t flag20, uint32_t flag10, uint32_t inputPins, uint32_t outputPins,
                          uint32_t option1, uint32_t number4, uint32_t inputChannels, uint32_t outputChannels,
                          uint32_t byte2, uint32_t byte1, uint32_t byte0, uint32_t blockSize, uint32_t number13,
                          float f1, float f2, float sampleRate)
{
    uint32_t *t = instance->targetInfo;
    t[0] = floatBits(sampleRate);
    t[1] = floatBits(f2);
    t[2] = (blockSize & 0xFFFu) | ((number4 & 0xFu) << 12);
    t[3] = 0x44u | ((flag10 & 1u) << 4) | ((flag20 & 1u) << 5) | ((inputChannels & 0xFFu) << 8) |
           ((outputChannels & 0xFFu) << 16) | ((number7 & 0x7Fu) << 24);
    t[4] = (byte0 & 0xFFu) | ((byte1 & 0xFFu) << 8) | ((byte2 & 0xFFu) << 16) | (6u << 24);
    t[5] = ((number13 - 1) & 0x1FFFu) | ((option1 & 1u) << 19) | (((inputPins - 1) & 0x3Fu) << 20) |
           (((outputPins - 1) & 0x3Fu) << 26);
    kve_SetPackedName(&t[6], name);
    t[8] = floatBits(f1);
    t[9] = coreId;
    t[10] = KVE_TARGET_MAGIC;
    t[11] = 0;
    instance->self = instance;
    instance->reserved = 0;
}

int32_t kve_fwGetTargetInfo(KVEInstance *instance, uint32_t *words)
{
    if (words == nullptr)
        return KVE_E_NOT_A_LAYOUT;
    std::memcpy(words, instance->targetInfo, sizeof instance->targetInfo);
    return KVE_OK;
}

void kve_fwSetBlockSize(KVEInstance *instance, uint32_t size)
{
    instance->targetInfo[2] = (instance->targetInfo[2] & 0xF000u) | (size & 0xFFFu);
}

// Bindings are removed one at a time, later ones shifting down, so an attached inter-instance pin hears of each.
static void removeOwnedBindings(KVEInstance *instance, IOPin *pin)
{
    uint32_t i = 0;
    while (i < pin->bindingCount && i < KVE_MAX_PIN_BINDINGS) {
        if (pin->bindings[i].owner != instance->instanceTag) {
            ++i;
            continue;
        }
        const uint32_t count = std::min<uint32_t>(pin->bindingCount, KVE_MAX_PIN_BINDINGS);
        std::copy(pin->bindings + i + 1, pin->bindings + count, pin->bindings + i);
        pin->bindings[count - 1] = IOPinBinding{};
        pin->bindingCount = count - 1;
        if (pin->ipcContext != nullptr)
            IpcPinNotify(static_cast<IpcPin *>(pin->ipcContext), pin, IPC_PIN_UNBOUND);
    }
}

void kve_fwDestroy(KVEInstance *instance)
{
    g_pKVE_instance = instance;
    instance->lookupSize = 0;
    instance->lookupTable = nullptr;

    for (KVEObject *o = instance->firstObject; o != nullptr; o = o->next) {
        if (kve::isModule(o))
            ClassModule_Set(kve::asModule(o), KVE_MASK_TEARDOWN);
    }

    struct Heap {
        uint32_t *base;
        uint32_t size;
        uint32_t *used;
    } heaps[] = {{instance->heap1Base, instance->heap1Size, &instance->heap1Used},
                 {instance->heap2Base, instance->heap2Size, &instance->heap2Used},
                 {instance->heap3Base, instance->heap3Size, &instance->heap3Used}};
    for (Heap &h : heaps) {
        if (h.base == nullptr)
            continue;
        std::memset(h.base, 0, static_cast<size_t>(h.size) * 4u);
        h.base[0] = KVE_GUARD_WORD;
        *h.used = 1;
    }

    instance->lastObjectId = 0;
    instance->firstObject = nullptr;
    instance->lastObject = nullptr;
    instance->firstLayout = nullptr;
    instance->lastLayout = nullptr;
    instance->tickCursor = nullptr;
    instance->ioWireList = nullptr;
    instance->pendingSets = 0;

    for (uint32_t k = 0; instance->inputPins != nullptr && k < kve::inputPinCount(instance); ++k)
        removeOwnedBindings(instance, &instance->inputPins[k]);
    for (uint32_t k = 0; instance->outputPins != nullptr && k < kve::outputPinCount(instance); ++k)
        removeOwnedBindings(instance, &instance->outputPins[k]);
}

} // extern "C"
