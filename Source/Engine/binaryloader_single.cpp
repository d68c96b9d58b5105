// Running a layout file, plain or enciphered, packet by packet on an engine instance.
#include <cstdio>

#include "Engine/StreamReader.h"
#include "kve/kve_packet.h"

namespace {

// The process-wide file reader of the exported stream calls.
kve::FileStreamReader &processReader()
{
    static kve::FileStreamReader reader(nullptr, nullptr);
    return reader;
}

long fileWords(FILE *f)
{
    if (std::fseek(f, 0, SEEK_END) != 0)
        return 0;
    const long bytes = std::ftell(f);
    std::rewind(f);
    return bytes > 0 ? bytes / 4 : 0;
}

} // namespace

extern "C" {

void init_read(void) { processReader().reset(); }

int32_t sGetNextCommand(uint32_t *packet, uint32_t *consumed, FILE *file, int32_t enciphered)
{
    kve::FileStreamReader &reader = processReader();
    reader.setFile(file);
    reader.setCipher(enciphered != 0 ? &kve::processCipher() : nullptr);
    uint32_t n = 0;
    const int32_t status = reader.readPacket(packet, KVE_LOADER_BUFFER_WORDS, &n);
    if (status == kve::kStreamEnd)
        return KVE_E_END_OF_STREAM;
    if (status != 0)
        return status;
    *consumed = n - 1;
    return KVE_OK;
}

int32_t BinaryLoadSinglePrivate(KVEInstance *instance, const char *path, uint32_t *errorOffset, const char *key)
{
    uint32_t unusedOffset = 0;
    uint32_t &offsetOut = errorOffset != nullptr ? *errorOffset : unusedOffset;
    FILE *f = path != nullptr ? std::fopen(path, "rb") : nullptr;
    std::fprintf(stderr, "BinaryLoadSingle %s: enter\n", path != nullptr ? path : "");
    if (f == nullptr) {
        std::fprintf(stderr, "BinaryLoadSingle %s: no such file\n", path != nullptr ? path : "");
        offsetOut = 0;
        return KVE_E_FILE_OPEN;
    }
    const long words = fileWords(f);
    kve::LayoutCipher cipher;
    if (key != nullptr)
        cipher.setKey(key);
    kve::FileStreamReader reader(f, key != nullptr ? &cipher : nullptr);
    uint32_t buffer[KVE_LOADER_BUFFER_WORDS];
    kve::PacketBufferScope registration(buffer, KVE_LOADER_BUFFER_WORDS);

    uint32_t failedAt = 0;
    const int32_t status = kve::runPackets(
        reader, buffer, KVE_LOADER_BUFFER_WORDS, static_cast<uint64_t>(words),
        [instance] { return kve_fwPacketProcess(instance); }, &failedAt);
    if (status != KVE_OK) {
        std::fprintf(stderr, "BinaryLoadSingle %s: error %d at offset %d\n", path, status, static_cast<int>(failedAt));
        offsetOut = failedAt;
    }
    std::fclose(f);
    std::fprintf(stderr, "BinaryLoadSingle %s: leave success\n", path);
    if (status == KVE_OK)
        offsetOut = 0;
    return status;
}

int32_t BinaryLoadSingle(KVEInstance *instance, const char *path, uint32_t *errorOffset)
{
    return BinaryLoadSinglePrivate(instance, path, errorOffset, nullptr);
}

} // extern "C"
