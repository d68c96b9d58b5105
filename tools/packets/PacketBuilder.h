// Building command packets and stored layout streams, for tests, tools and the example layouts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace kvepackets {

// XOR of the words: the check word that makes a whole packet XOR to zero.
uint32_t checkWord(const uint32_t *words, size_t count);

// One complete packet: word 0, the operands and the check word.
std::vector<uint32_t> packet(uint32_t opcode, const std::vector<uint32_t> &operands);

// A float's bit pattern, as packets carry it.
uint32_t bits(float value);

// Pin ids: input pin k is 2k + 1, output pin k is 2k + 2.
constexpr uint32_t inputPin(uint32_t k) { return 2 * k + 1; }
constexpr uint32_t outputPin(uint32_t k) { return 2 * k + 2; }

// Wire info word 1 for 32-bit samples.
constexpr uint32_t wireInfo1(uint32_t channels, bool complex = false)
{
    return (4u << 28) | (complex ? 1u << 27 : 0u) | (channels & 0x3FFu);
}

// A stored layout stream: packets without their check words, back to back. The builder numbers objects as the
// engine will (1, 2, 3, ... in creation order), so the ids it returns can be used in later packets.
class LayoutStream {
public:
    // Appends a stored packet of the given opcode and operands.
    LayoutStream &add(uint32_t opcode, const std::vector<uint32_t> &operands);

    LayoutStream &lookupTable(uint32_t size);
    uint32_t wire(uint32_t channels, uint32_t blockSize, float sampleRate = 48000.0f, uint32_t info1Extra = 0);
    // A composite class builds `innerModules` modules of its own right after itself; they take the ids that follow.
    uint32_t module(uint32_t classId, uint32_t wireWord, const std::vector<uint32_t> &wireIds,
                    const std::vector<uint32_t> &args = {}, uint32_t innerModules = 0);
    uint32_t layout(uint32_t capacity, uint32_t clockDivider = 1);
    LayoutStream &place(uint32_t layoutId, uint32_t firstSlot, const std::vector<uint32_t> &moduleIds);
    LayoutStream &bind(uint32_t wireId, uint32_t pinId);
    LayoutStream &setValue(uint32_t address, uint32_t value, uint32_t index = 0);
    LayoutStream &start();

    const std::vector<uint32_t> &words() const { return words_; }
    uint32_t lastId() const { return lastId_; }

private:
    std::vector<uint32_t> words_;
    uint32_t lastId_ = 0;
};

// The enciphered form of a plain stream under a key string: magic, header block (check value and the stream's own
// key mask), then the body in 64-word blocks, the last one filled with zero words.
std::vector<uint32_t> encipher(const std::vector<uint32_t> &plain, const char *key, uint32_t mask0 = 0,
                               uint32_t mask1 = 0);

} // namespace kvepackets
