// How the kernel benchmarks report: ns per sample and multiples of real time.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

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
