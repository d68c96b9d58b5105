// Reading a minute of 16 kHz speech from a WAVE file: riffReadWave beside libsndfile's sf_read_short of the same
// file, in turns. Each side opens the file, reads every sample into a block it has just allocated (the recording a
// caller is handed) and closes it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "BenchReport.h"
#include "kve/kve_recognizer.h"
#include "kve/kve_recognizer_runtime.h"

#ifdef KVE_BENCH_SNDFILE
#include <sndfile.h>

namespace {

constexpr uint32_t kRate = 16000;
constexpr uint32_t kCount = 60 * kRate;

void BM_ReadMinuteOfPcm(benchmark::State &state)
{
    const std::string path = "/tmp/kve_bench_wave_" + std::to_string(getpid()) + ".wav";
    const std::vector<float> noise = whiteNoise(kCount, 7);
    std::vector<int16_t> x(kCount);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = int16_t(noise[i] * 20000.0f);
    gsResult *result = GS_NewResult();
    if (riffWriteWave(result, path.c_str(), x.data(), kCount, kRate, 1, 0) != 0) {
        state.SkipWithError(result->text);
        GS_FreeResult(result);
        return;
    }
    bool failed = false;
    const auto [ourTime, sndfileTime] = timeInTurns(
        state,
        [&] {
            FILE *file = fopen(path.c_str(), "rb");
            int16_t *samples = nullptr;
            uint32_t rate = 0, count = 0;
            failed |= file == nullptr ||
                      riffReadWave(result, file, &samples, &rate, &count, 0, nullptr, -1.0, -1.0) != 0 ||
                      count != kCount;
            benchmark::DoNotOptimize(samples);
            dbFree(samples);
            if (file != nullptr)
                fclose(file);
        },
        [&] {
            SF_INFO info{};
            SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
            auto *theirs = static_cast<int16_t *>(std::malloc(sizeof(int16_t) * size_t(info.frames)));
            failed |= file == nullptr || theirs == nullptr || sf_read_short(file, theirs, info.frames) != kCount;
            benchmark::DoNotOptimize(theirs);
            std::free(theirs);
            sf_close(file);
        });
    GS_FreeResult(result);
    std::remove(path.c_str());
    if (failed)
        state.SkipWithError("reading failed");
    state.counters["ours_over_sndfile"] = ourTime / sndfileTime;
    reportPerSample(state, kCount);
}
BENCHMARK(BM_ReadMinuteOfPcm)->Unit(benchmark::kMillisecond);

} // namespace
#endif
