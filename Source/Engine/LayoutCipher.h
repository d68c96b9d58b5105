// The layout cipher: XXTEA over 64-word blocks under a 128-bit key that advances after every block.
// The key string of the library interface and the whitening constants are defined here once.
#pragma once

#include <cstdint>

namespace kve {

// The key string under which the library interface reads enciphered layouts.
inline constexpr char kLibraryLayoutKey[] = "QuillNorthStairs";

// Mixed into the key words when a key string is set, so that a key string alone does not give the cipher key.
inline constexpr uint32_t kKeyWhitening[4] = {0x5A17C3E9u, 0x0B6D42F1u, 0xC4E8A615u, 0x93F0275Du};

// Check value of a deciphered header block.
inline constexpr uint32_t kHeaderCheck = 0xDEADBEEFu;

class LayoutCipher {
public:
    // A cipher with a key of its own.
    LayoutCipher() = default;
    // A cipher whose key lives in `key` (four words), such as the process-wide key of the stream calls.
    explicit LayoutCipher(uint32_t *key) : key_(key) {}
    LayoutCipher(const LayoutCipher &) = delete;
    LayoutCipher &operator=(const LayoutCipher &) = delete;

    // Sets the key from the first 16 bytes of a key string (zero-filled when shorter), whitened.
    void setKey(const char *key);
    // XXTEA on n words: n > 1 enciphers, n < -1 deciphers -n words; then the key advances, whatever n.
    void crypt(uint32_t *words, int32_t n);
    // XORs a stream's own key mask (header words 2 and 3) into key words 0 and 1.
    void applyMask(uint32_t mask0, uint32_t mask1);

private:
    void advance();
    uint32_t own_[4] = {};
    uint32_t *key_ = own_;
};

} // namespace kve
