// How the kernel benchmarks report: ns per sample and multiples of real time.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

// Counts the samples and adds two counters: the time per sample and the multiple of real time for one 48 kHz
// channel (a plain ratio, though the console labels every rate "/s").
inline void reportPerSample(benchmark::State &state, int64_t samplesPerIteration)
{
    const auto samples = static_cast<double>(state.iterations()) * static_cast<double>(samplesPerIteration);
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    state.counters["time_per_sample"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x_48k"] = benchmark::Counter(samples / 48000.0, benchmark::Counter::kIsRate);
}

// Runs `first` and `second` in turns within the benchmark loop, each timed on its own, and returns their total
// times in seconds: a shared machine's speed drifts by more than the margins a ratio is judged by, and turns this
// short see the same speed. Each turn runs its side `reps` times between two clock readings, so that work of a few
// nanoseconds is not swamped by the readings themselves (about 30 ns each here, on both sides alike).
template <class First, class Second>
std::pair<double, double> timeInTurns(benchmark::State &state, First &&first, Second &&second, int reps = 1)
{
    using Clock = std::chrono::steady_clock;
    Clock::duration firstTime{}, secondTime{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        for (int r = 0; r < reps; ++r) {
            first();
            benchmark::ClobberMemory();
        }
        const auto t1 = Clock::now();
        for (int r = 0; r < reps; ++r) {
            second();
            benchmark::ClobberMemory();
        }
        const auto t2 = Clock::now();
        firstTime += t1 - t0;
        secondTime += t2 - t1;
    }
    return {std::chrono::duration<double>(firstTime).count(), std::chrono::duration<double>(secondTime).count()};
}

// White noise in -1..1 of `count` words: every frequency carries energy.
inline std::vector<float> whiteNoise(size_t count, unsigned seed)
{
    std::minstd_rand generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> x(count);
    for (float &v : x)
        v = uniform(generator);
    return x;
}
