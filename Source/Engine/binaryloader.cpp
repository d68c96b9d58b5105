// Reading a layout file and handing each packet to the platform's packet hook instead of an engine.
#include <cstdio>

#include "Engine/StreamReader.h"
#include "kve/kve_packet.h"

extern "C" {

int32_t BinaryLoadPrivate(const char *path, uint32_t *errorOffset, const char *key)
{
    uint32_t unusedOffset = 0;
    uint32_t &offsetOut = errorOffset != nullptr ? *errorOffset : unusedOffset;
    offsetOut = 0;
    FILE *f = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (f == nullptr)
        return KVE_E_FILE_OPEN;
    kve::LayoutCipher cipher;
    if (key != nullptr)
        cipher.setKey(key);
    kve::FileStreamReader reader(f, key != nullptr ? &cipher : nullptr);
    uint32_t buffer[KVE_LOADER_BUFFER_WORDS];
    kve::PacketBufferScope registration(buffer, KVE_LOADER_BUFFER_WORDS);

    const int32_t status = kve::runPackets(
        reader, buffer, KVE_LOADER_BUFFER_WORDS, UINT64_MAX, [] { return kve_pltPacketProcess(); }, &offsetOut);
    std::fclose(f);
    return status;
}

int32_t BinaryLoad(const char *path, uint32_t *errorOffset) { return BinaryLoadPrivate(path, errorOffset, nullptr); }

} // extern "C"
