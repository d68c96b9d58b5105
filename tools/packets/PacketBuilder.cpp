#include "packets/PacketBuilder.h"

#include <algorithm>
#include <cstring>

#include "Engine/LayoutCipher.h"
#include "kve/kve_packet.h"

namespace kvepackets {

uint32_t checkWord(const uint32_t *words, size_t count)
{
    uint32_t x = 0;
    for (size_t i = 0; i < count; ++i)
        x ^= words[i];
    return x;
}

std::vector<uint32_t> packet(uint32_t opcode, const std::vector<uint32_t> &operands)
{
    std::vector<uint32_t> p;
    p.reserve(operands.size() + 2);
    p.push_back(KVE_PACKET_WORD0(opcode, operands.size() + 2));
    p.insert(p.end(), operands.begin(), operands.end());
    p.push_back(checkWord(p.data(), p.size()));
    return p;
}

uint32_t bits(float value)
{
    uint32_t u;
    std::memcpy(&u, &value, sizeof u);
    return u;
}

LayoutStream &LayoutStream::add(uint32_t opcode, const std::vector<uint32_t> &operands)
{
    words_.push_back(KVE_PACKET_WORD0(opcode, operands.size() + 2));
    words_.insert(words_.end(), operands.begin(), operands.end());
    return *this;
}

LayoutStream &LayoutStream::lookupTable(uint32_t size) { return add(81, {size}); }

uint32_t LayoutStream::wire(uint32_t channels, uint32_t blockSize, float sampleRate, uint32_t info1Extra)
{
    add(6, {bits(sampleRate), wireInfo1(channels) | info1Extra, blockSize, 0});
    return ++lastId_;
}

uint32_t LayoutStream::module(uint32_t classId, uint32_t wireWord, const std::vector<uint32_t> &wireIds,
                              const std::vector<uint32_t> &args, uint32_t innerModules)
{
    std::vector<uint32_t> operands{classId, wireWord, static_cast<uint32_t>(args.size())};
    operands.insert(operands.end(), wireIds.begin(), wireIds.end());
    operands.insert(operands.end(), args.begin(), args.end());
    add(15, operands);
    const uint32_t id = ++lastId_;
    lastId_ += innerModules;
    return id;
}

uint32_t LayoutStream::layout(uint32_t capacity, uint32_t clockDivider)
{
    add(16, {capacity, clockDivider});
    return ++lastId_;
}

LayoutStream &LayoutStream::place(uint32_t layoutId, uint32_t firstSlot, const std::vector<uint32_t> &moduleIds)
{
    std::vector<uint32_t> operands{layoutId, firstSlot};
    operands.insert(operands.end(), moduleIds.begin(), moduleIds.end());
    return add(47, operands);
}

LayoutStream &LayoutStream::bind(uint32_t wireId, uint32_t pinId) { return add(7, {wireId, pinId}); }

LayoutStream &LayoutStream::setValue(uint32_t address, uint32_t value, uint32_t index)
{
    return add(9, {address, value, index});
}

LayoutStream &LayoutStream::start() { return add(27, {}); }

std::vector<uint32_t> encipher(const std::vector<uint32_t> &plain, const char *key, uint32_t mask0, uint32_t mask1)
{
    kve::LayoutCipher cipher;
    cipher.setKey(key);
    std::vector<uint32_t> out{KVE_CIPHER_MAGIC};
    std::vector<uint32_t> header(KVE_CIPHER_BLOCK_WORDS, 0);
    header[0] = kve::kHeaderCheck;
    header[2] = mask0;
    header[3] = mask1;
    cipher.crypt(header.data(), static_cast<int32_t>(header.size()));
    cipher.applyMask(mask0, mask1);
    out.insert(out.end(), header.begin(), header.end());
    for (size_t at = 0; at < plain.size(); at += KVE_CIPHER_BLOCK_WORDS) {
        std::vector<uint32_t> block(KVE_CIPHER_BLOCK_WORDS, 0);
        const size_t n = std::min<size_t>(KVE_CIPHER_BLOCK_WORDS, plain.size() - at);
        std::copy(plain.begin() + static_cast<std::ptrdiff_t>(at),
                  plain.begin() + static_cast<std::ptrdiff_t>(at + n), block.begin());
        cipher.crypt(block.data(), static_cast<int32_t>(block.size()));
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

} // namespace kvepackets
