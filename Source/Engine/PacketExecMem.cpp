// Running a layout array, plain or enciphered, packet by packet on an engine instance.
#include "Engine/StreamReader.h"
#include "kve/kve_packet.h"

extern "C" {

int32_t kve_fwPacketExecuteArrayPrivate(KVEInstance *instance, const uint32_t *array, uint32_t words,
                                        uint32_t *errorOffset, const char *key)
{
    if (words == 0)
        return KVE_OK;
    if (array == nullptr)
        return KVE_E_BAD_ARGUMENT;
    uint32_t *registered = nullptr;
    uint32_t capacity = 0;
    kve_fwGetPacketInfo(&registered, &capacity);
    // Without a registered buffer the load brings its own, and gives the registration back when it ends.
    uint32_t own[KVE_LOADER_BUFFER_WORDS];
    uint32_t *buffer = registered != nullptr ? registered : own;
    const uint32_t bufferWords = registered != nullptr ? capacity : KVE_LOADER_BUFFER_WORDS;
    kve::PacketBufferScope registration(buffer, bufferWords);

    kve::LayoutCipher cipher;
    if (key != nullptr)
        cipher.setKey(key);
    kve::ArrayStreamReader reader(array, words, key != nullptr ? &cipher : nullptr);
    uint32_t failedAt = 0;
    const int32_t status = kve::runPackets(
        reader, buffer, bufferWords, words, [instance] { return kve_fwPacketProcess(instance); }, &failedAt);
    if (status != KVE_OK && errorOffset != nullptr)
        *errorOffset = failedAt;
    return status;
}

int32_t kve_fwPacketExecuteArray(KVEInstance *instance, const uint32_t *array, uint32_t words,
                                 uint32_t *errorOffset)
{
    return kve_fwPacketExecuteArrayPrivate(instance, array, words, errorOffset, nullptr);
}

} // extern "C"
