// A vector of 32-bit samples laid out for one kernel call: n samples `inc` apart, with guard words on both sides of
// the span. A kernel that writes outside its n samples changes a guard word; one that reaches past the guards
// touches memory the sanitizer watches.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace kvetest {

inline constexpr uint32_t kGuardWord = 0xA5A5A5A5u;

class GuardedVector {
public:
    static constexpr ptrdiff_t kGuards = 4;

    // Every word, samples included, starts as the guard word.
    GuardedVector(int32_t n, int32_t inc) : inc_(inc)
    {
        const ptrdiff_t count = n > 0 ? n : 8; // a vector of no samples still has words a kernel could spoil
        const ptrdiff_t span = (count - 1) * std::abs(static_cast<ptrdiff_t>(inc)) + 1;
        words_.assign(static_cast<size_t>(span + 2 * kGuards), kGuardWord);
        first_ = inc < 0 ? kGuards + span - 1 : kGuards;
    }

    int32_t inc() const { return inc_; }
    uint32_t *data() { return words_.data() + first_; }
    const std::vector<uint32_t> &words() const { return words_; }

    // Sample i as the kernel sees it.
    uint32_t &operator[](ptrdiff_t i) { return words_[static_cast<size_t>(first_ + i * inc_)]; }

    template <typename T>
    T *as()
    {
        return reinterpret_cast<T *>(data());
    }

private:
    int32_t inc_;
    ptrdiff_t first_ = 0;
    std::vector<uint32_t> words_;
};

inline uint32_t bitsOf(float x) { return std::bit_cast<uint32_t>(x); }
inline uint32_t bitsOf(int32_t x) { return static_cast<uint32_t>(x); }
inline float floatOf(uint32_t w) { return std::bit_cast<float>(w); }
inline int32_t intOf(uint32_t w) { return static_cast<int32_t>(w); }

} // namespace kvetest
