// Each input is a stored layout stream, run by the layout-array loader on an engine whose layout is destroyed after
// every run. The stream runs three ways: plain; as it stands under the library's key string (nearly always refused
// at the header); and enciphered under that key, so that the loader gets past the header and deciphers the body
// block by block. An input of an odd number of words loses the end of its enciphered form, so that the loader also
// meets a stream that stops inside a body block.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Engine/LayoutCipher.h"
#include "FuzzEngine.h"
#include "kve/kve_packet.h"
#include "packets/PacketBuilder.h"

namespace {

// Words an odd-length input's enciphered form loses: a quarter of its last body block.
constexpr size_t kCutWords = 16;

// A packet buffer smaller than the loaders' own, held in a vector of exactly its size, for the loads that use the
// registered buffer: a stored packet that does not fit it must be refused, not read past its end.
constexpr size_t kSmallBufferWords = 40;

void load(KVEInstance *engine, const std::vector<uint32_t> &stream, const char *key, std::vector<uint32_t> *buffer)
{
    kve_fwPacketInit(buffer != nullptr ? buffer->data() : nullptr,
                     buffer != nullptr ? static_cast<uint32_t>(buffer->size()) : 0);
    uint32_t offset = 0;
    kve_fwPacketExecuteArrayPrivate(engine, stream.data(), static_cast<uint32_t>(stream.size()), &offset, key);
    kve_fwPacketInit(nullptr, 0);
    kvefuzz::checkObjectList(engine);
    kve_fwDestroy(engine);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static kvefuzz::FuzzEngine engine;
    std::vector<uint32_t> words(size / 4);
    if (!words.empty())
        std::memcpy(words.data(), data, words.size() * 4);
    std::vector<uint32_t> small(kSmallBufferWords);

    load(engine.get(), words, nullptr, nullptr);
    load(engine.get(), words, kve::kLibraryLayoutKey, &small);

    std::vector<uint32_t> enciphered = kvepackets::encipher(words, kve::kLibraryLayoutKey);
    if (words.size() % 2 == 1)
        enciphered.resize(enciphered.size() - kCutWords);
    load(engine.get(), enciphered, kve::kLibraryLayoutKey, &small);
    return 0;
}
