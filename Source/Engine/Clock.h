// The clock that times layout runs and their modules: 100-ns ticks truncated to 32 bits, as kve_fwReadClock counts
// them, read from the processor's own counter so that timing every module of a long layout stays cheap.
#pragma once

#include <cstdint>

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

namespace kve {

// The processor's free-running counter: the time-stamp counter on x86-64, the virtual count on AArch64; 0 on other
// processors, where the counter clock is never used.
inline uint64_t readCounter()
{
#if defined(__x86_64__)
    return __rdtsc();
#elif defined(__aarch64__)
    uint64_t count;
    __asm__ volatile("mrs %0, cntvct_el0" : "=r"(count));
    return count;
#else
    return 0;
#endif
}

// Counter readings to ticks: `base` (the real-time tick when the counter read `origin`) plus the counts since, times
// 10^7 / counter rate held as a 0.64 fixed-point fraction (every usable counter runs faster than 10 MHz).
struct CounterScale {
    uint64_t origin = 0;
    uint64_t ticksPerCount = 0;
    uint32_t base = 0;
};

// The counter's scale once it is known, or null: before the counter is calibrated, or where it cannot be used.
const CounterScale *counterScale();

// The clock of one layout run, chosen when the run starts: a clock source installed with kve_fwSetClockSource
// (tests check the statistics exactly with one), else the counter once it is calibrated, else the real-time clock.
class ProfileClock {
public:
    ProfileClock();

    uint32_t now() const
    {
        if (source_ != nullptr)
            return source_();
        const unsigned __int128 product =
            static_cast<unsigned __int128>(readCounter() - scale_.origin) * scale_.ticksPerCount;
        return scale_.base + static_cast<uint32_t>(product >> 64);
    }

private:
    uint32_t (*source_)(void) = nullptr;
    CounterScale scale_;
};

} // namespace kve
