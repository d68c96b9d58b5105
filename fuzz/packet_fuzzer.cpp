// Each input is one command packet, run by the interpreter on a live engine that holds a small layout. The packet
// buffer registered for it is exactly the input's words, so a reply or an operand reaching past the packet is a
// read or write outside the buffer. Every input runs twice: as it stands (most fail the length or check-word test),
// and repaired, its length field brought inside the buffer and its check word made right, so that the opcodes run.
//
// The engine is built once; its layout is destroyed and loaded again before every input. What a packet leaves
// behind would otherwise decide what the next one does, and a fault would show only on replaying the whole run.
// Sequences of packets are still reached, through the embedded packet array of opcode 112 (and by array_fuzzer).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzEngine.h"
#include "kve/kve_packet.h"

namespace {

std::vector<uint32_t> wordsOf(const uint8_t *data, size_t size)
{
    std::vector<uint32_t> words(size / 4);
    if (!words.empty())
        std::memcpy(words.data(), data, words.size() * 4);
    return words;
}

// The packet's length field taken modulo one more than the buffer's words, and its check word made right. A length
// of 1 cannot carry a check word apart from word 0, so it becomes the whole buffer; a length of 0 is left, since
// the interpreter runs such a packet without the check.
void repair(std::vector<uint32_t> &p)
{
    const auto words = static_cast<uint32_t>(p.size());
    if (words == 0)
        return;
    uint32_t n = KVE_PACKET_LENGTH(p[0]) % (words + 1);
    if (n == 1)
        n = words;
    p[0] = (p[0] & 0xFFFFu) | (n << 16);
    if (n < 2)
        return;
    uint32_t check = 0;
    for (uint32_t i = 0; i + 1 < n; ++i)
        check ^= p[i];
    p[n - 1] = check;
}

void run(KVEInstance *engine, std::vector<uint32_t> &packet)
{
    kve_fwPacketInit(packet.data(), static_cast<uint32_t>(packet.size()));
    kve_fwPacketProcess(engine);
    kve_fwPacketInit(nullptr, 0);
    kvefuzz::checkObjectList(engine);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static kvefuzz::FuzzEngine engine;
    engine.reload();

    std::vector<uint32_t> asItStands = wordsOf(data, size);
    run(engine.get(), asItStands);

    std::vector<uint32_t> repaired = wordsOf(data, size);
    repair(repaired);
    run(engine.get(), repaired);
    return 0;
}
