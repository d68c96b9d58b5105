// The layout cipher and the process-wide key of the exported stream calls.
#include <cstring>

#include "Engine/LayoutCipher.h"
#include "Engine/StreamReader.h"
#include "kve/kve_packet.h"

namespace kve {

void LayoutCipher::setKey(const char *key)
{
    uint8_t bytes[16] = {};
    if (key != nullptr)
        std::memcpy(bytes, key, strnlen(key, sizeof bytes));
    for (int i = 0; i < 4; ++i) {
        key_[i] = static_cast<uint32_t>(bytes[4 * i]) | static_cast<uint32_t>(bytes[4 * i + 1]) << 8 |
                  static_cast<uint32_t>(bytes[4 * i + 2]) << 16 | static_cast<uint32_t>(bytes[4 * i + 3]) << 24;
        key_[i] ^= kKeyWhitening[i];
    }
}

void LayoutCipher::applyMask(uint32_t mask0, uint32_t mask1)
{
    key_[0] ^= mask0;
    key_[1] ^= mask1;
}

// Add one to word 0, then rotate the 128-bit key (word 0 least significant) left by one bit.
void LayoutCipher::advance()
{
    key_[0] += 1;
    const uint32_t top = key_[3] >> 31;
    for (int i = 3; i > 0; --i)
        key_[i] = (key_[i] << 1) | (key_[i - 1] >> 31);
    key_[0] = (key_[0] << 1) | top;
}

void LayoutCipher::crypt(uint32_t *v, int32_t n)
{
    constexpr uint32_t delta = 0x9E3779B9u;
    const uint32_t *k = key_;
    auto mx = [k](uint32_t y, uint32_t z, uint32_t sum, uint32_t p, uint32_t e) {
        return (((z >> 5) ^ (y << 2)) + ((y >> 3) ^ (z << 4))) ^ ((sum ^ y) + (k[(p & 3) ^ e] ^ z));
    };
    if (n > 1) {
        const auto len = static_cast<uint32_t>(n);
        uint32_t rounds = 6 + 52 / len, sum = 0, z = v[len - 1], y;
        do {
            sum += delta;
            const uint32_t e = (sum >> 2) & 3;
            uint32_t p;
            for (p = 0; p < len - 1; p++) {
                y = v[p + 1];
                z = v[p] += mx(y, z, sum, p, e);
            }
            y = v[0];
            z = v[len - 1] += mx(y, z, sum, p, e);
        } while (--rounds);
    } else if (n < -1) {
        const auto len = static_cast<uint32_t>(-static_cast<int64_t>(n));
        uint32_t rounds = 6 + 52 / len, sum = rounds * delta, y = v[0], z;
        do {
            const uint32_t e = (sum >> 2) & 3;
            uint32_t p;
            for (p = len - 1; p > 0; p--) {
                z = v[p - 1];
                y = v[p] -= mx(y, z, sum, p, e);
            }
            z = v[len - 1];
            y = v[0] -= mx(y, z, sum, p, e);
            sum -= delta;
        } while (--rounds);
    }
    advance();
}

} // namespace kve

extern "C" {

uint32_t g_key[4] = {};

void init_key(const char *key)
{
    kve::processCipher().setKey(key);
    init_read();
}

void xxteaex(uint32_t *words, int32_t n) { kve::processCipher().crypt(words, n); }

} // extern "C"
