// The engine's clocks: the real-time clock in 100-ns ticks, the source tests may install in its place, and the
// counter clock that times layout runs, calibrated against the system's clocks.
#include <atomic>
#include <ctime>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

#include "Engine/Clock.h"
#include "kve/kve_engine.h"

namespace {

constexpr uint64_t kTicksPerSecond = 10000000;

uint32_t systemClock()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * kTicksPerSecond +
                                 static_cast<uint64_t>(ts.tv_nsec) / 100u);
}

// An installed clock source; null while the system clock is in use.
std::atomic<uint32_t (*)(void)> s_clockSource{nullptr};

uint64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

// The counter, the monotonic clock and the real-time clock read together. A reading stretched by a preemption is
// taken again, so that the counter is placed on the monotonic clock to within a microsecond.
struct Reading {
    uint64_t counter = 0;
    uint64_t monotonicNs = 0;
    uint32_t realTicks = 0;
};

Reading readTogether()
{
    Reading r;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const uint64_t before = monotonicNs();
        r.counter = kve::readCounter();
        const uint64_t after = monotonicNs();
        r.monotonicNs = before + (after - before) / 2;
        if (after - before < 1000)
            break;
    }
    r.realTicks = systemClock();
    return r;
}

// Counts per second as the processor states them; 0 where only a measurement tells the rate.
uint64_t statedRate()
{
    uint64_t hz = 0;
#if defined(__aarch64__)
    __asm__ volatile("mrs %0, cntfrq_el0" : "=r"(hz));
#endif
    return hz;
}

// Whether the counter keeps one rate whatever the core's clock speed or sleep state (on x86-64: an invariant
// time-stamp counter).
bool counterIsSteady()
{
#if defined(__x86_64__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(0x80000007u, &a, &b, &c, &d) != 0 && (d & (1u << 8)) != 0;
#elif defined(__aarch64__)
    return true;
#else
    return false;
#endif
}

// How long a counter of unstated rate is measured against the monotonic clock before its rate is trusted: with
// both ends placed to a microsecond, 20 ms gives the rate to 1 part in 10^4.
constexpr uint64_t kCalibrationNs = 20000000;

enum Calibration : int { kWaiting, kCalibrating, kReady, kUnusable };
std::atomic<int> s_calibration{kWaiting};
kve::CounterScale s_scale;
Reading s_loadReading;

__attribute__((constructor)) void readClocksAtLoad()
{
    s_loadReading = readTogether();
}

// The state a calibration leaves: ready with the scale filled in, waiting while too little time has passed since
// the library was loaded to measure the rate, or unusable.
int calibrate()
{
    if (!counterIsSteady())
        return kUnusable;
    uint64_t rate = statedRate();
    if (rate == 0) {
        const Reading now = readTogether();
        const uint64_t elapsed = now.monotonicNs - s_loadReading.monotonicNs;
        if (elapsed < kCalibrationNs)
            return kWaiting;
        rate = static_cast<uint64_t>(static_cast<unsigned __int128>(now.counter - s_loadReading.counter) *
                                     1000000000u / elapsed);
    }
    // The scale is a fraction below one tick per count; a counter past 100 GHz is a misreading.
    if (rate <= kTicksPerSecond || rate > 100000000000u)
        return kUnusable;
    s_scale.origin = s_loadReading.counter;
    s_scale.ticksPerCount = static_cast<uint64_t>((static_cast<unsigned __int128>(kTicksPerSecond) << 64) / rate);
    s_scale.base = s_loadReading.realTicks;
    return kReady;
}

} // namespace

namespace kve {

const CounterScale *counterScale()
{
    int state = s_calibration.load(std::memory_order_acquire);
    if (state == kReady)
        return &s_scale;
    // One caller measures; a run that starts meanwhile on another thread keeps the real-time clock.
    if (state != kWaiting ||
        !s_calibration.compare_exchange_strong(state, kCalibrating, std::memory_order_acquire))
        return nullptr;
    state = calibrate();
    s_calibration.store(state, std::memory_order_release);
    return state == kReady ? &s_scale : nullptr;
}

ProfileClock::ProfileClock() : source_(s_clockSource.load(std::memory_order_relaxed))
{
    if (source_ != nullptr)
        return;
    if (const CounterScale *scale = counterScale())
        scale_ = *scale;
    else
        source_ = systemClock;
}

} // namespace kve

extern "C" {

uint32_t kve_fwReadClock(void)
{
    uint32_t (*source)(void) = s_clockSource.load(std::memory_order_relaxed);
    return source != nullptr ? source() : systemClock();
}

void kve_fwSetClockSource(uint32_t (*source)(void)) { s_clockSource.store(source, std::memory_order_relaxed); }

} // extern "C"
