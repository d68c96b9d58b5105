// The loudest-stretch search over a minute of 16 kHz audio (4000 frames, some eight million candidate stretches),
// reported as a multiple of real time.
#include "BenchReport.h"

#include "Recognizer/Runtime/ContainerTypes.h"

#include <kve/kve_recognizer_runtime.h>

#include <cmath>

namespace {

void BM_WaveAnalyzeLevelsMinute(benchmark::State &state)
{
    constexpr float kRate = 16000.0f;
    constexpr double kSeconds = 60.0;
    // Quiet noise with twenty loud stretches of half a second to a second, as an enrollment session might hold.
    const std::vector<float> noise = whiteNoise(static_cast<size_t>(kRate * kSeconds), 7);
    std::vector<int16_t> x(noise.size());
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / kRate;
        const double phrase = std::fmod(t, 3.0);
        const double level = phrase > 1.0 && phrase < 1.5 + std::fmod(t / 3.0, 1.0) * 0.5 ? 12000.0 : 300.0;
        x[i] = static_cast<int16_t>(std::lround(noise[i] * level));
    }
    float params[2] = {kRate, 0.0f};
    const wave recording{static_cast<uint32_t>(x.size()), x.data(), 2, params};
    int32_t start = 0, end = 0;
    for (auto _ : state) {
        waveAnalyzeLevels(&recording, &start, &end, 500.0f, 18.0f, 10.0f);
        benchmark::DoNotOptimize(end);
    }
    state.counters["realtime_x"] = benchmark::Counter(kSeconds * static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WaveAnalyzeLevelsMinute)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
