// Ring positions by modular arithmetic: sample k of a walk from idx with step sits at (idx + k x step) mod len,
// taken as a mathematician takes it (0..len-1 for any sign), in 128 bits so no product overflows. Shares nothing
// with the kernels' one-correction-per-sample walk.
#pragma once

#include <cstdint>
#include <vector>

namespace kvetest {

inline int64_t ringPosition(int64_t idx, int64_t step, int64_t k, int64_t len)
{
    const __int128 p = static_cast<__int128>(idx) + static_cast<__int128>(step) * k;
    const __int128 r = p % len;
    return static_cast<int64_t>(r < 0 ? r + len : r);
}

// A ring of len 32-bit words with guard words on both sides, for checking that a kernel stays inside it.
class GuardedRing {
public:
    static constexpr uint32_t kGuard = 0x5A5A5A5Au;
    static constexpr int64_t kGuards = 8;

    explicit GuardedRing(int64_t len) : words_(static_cast<size_t>(len + 2 * kGuards), kGuard), len_(len)
    {
        for (int64_t i = 0; i < len; ++i)
            at(i) = 0x10000u + static_cast<uint32_t>(i);
    }
    uint32_t *data() { return words_.data() + kGuards; }
    uint32_t &at(int64_t i) { return words_[static_cast<size_t>(kGuards + i)]; }
    std::vector<uint32_t> contents() const
    {
        return {words_.begin() + kGuards, words_.begin() + kGuards + len_};
    }
    bool guardsIntact() const
    {
        for (size_t i = 0; i < kGuards; ++i)
            if (words_[i] != kGuard || words_[words_.size() - 1 - i] != kGuard)
                return false;
        return true;
    }

private:
    std::vector<uint32_t> words_;
    int64_t len_;
};

} // namespace kvetest
