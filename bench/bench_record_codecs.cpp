// Loading a stored record: decoding a "wave" record of several MB of 16-bit samples and float parameters beside a
// bare byte-swapping copy of the same bytes into blocks of their own (what loading a model costs at the least).
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchReport.h"
#include "kve/kve_recognizer.h"
#include "kve/kve_recognizer_runtime.h"

namespace {

constexpr uint32_t sampleCount = 1u << 20;
constexpr uint32_t paramCount = 1u << 19;

void putWord(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(v >> shift));
}

// sample count, the samples, parameter count, the parameters: 4 MiB in all.
std::vector<uint8_t> storedWave()
{
    std::vector<uint8_t> bytes;
    bytes.reserve(8 + 2 * sampleCount + 4 * paramCount);
    putWord(bytes, sampleCount);
    for (uint32_t i = 0; i < sampleCount; ++i) {
        bytes.push_back(uint8_t(i >> 3));
        bytes.push_back(uint8_t(i * 7));
    }
    putWord(bytes, paramCount);
    for (uint32_t i = 0; i < paramCount; ++i)
        putWord(bytes, i * 2654435761u);
    return bytes;
}

// The peer: the two arrays swapped from big-endian into fresh blocks.
void swapCopy(const uint8_t* in, int16_t** samples, float** params)
{
    *samples = static_cast<int16_t*>(std::malloc(2 * size_t(sampleCount)));
    *params = static_cast<float*>(std::malloc(4 * size_t(paramCount)));
    const uint8_t* s = in + 4;
    for (uint32_t i = 0; i < sampleCount; ++i) {
        uint16_t v;
        std::memcpy(&v, s + 2 * i, 2);
        v = __builtin_bswap16(v);
        std::memcpy(*samples + i, &v, 2);
    }
    const uint8_t* p = s + 2 * size_t(sampleCount) + 4;
    for (uint32_t i = 0; i < paramCount; ++i) {
        uint32_t v;
        std::memcpy(&v, p + 4 * i, 4);
        v = __builtin_bswap32(v);
        std::memcpy(*params + i, &v, 4);
    }
}

void BM_DecodeWaveRecordOfFourMiB(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = storedWave();
    const containerDescriptor* type = nullptr;
    alignas(16) char session[1024] = {};
    qhvSession_t* s = reinterpret_cast<qhvSession_t*>(session);
    if (containerFind(s, "wave", &type) != 0) {
        state.SkipWithError("no wave type");
        return;
    }
    bool failed = false;
    const auto [decodeTime, copyTime] = timeInTurns(
        state,
        [&] {
            int64_t position = 0;
            void* record = containerDecode(s, type, nullptr, bytes.data(), int64_t(bytes.size()), &position);
            failed |= record == nullptr || position != int64_t(bytes.size());
            benchmark::DoNotOptimize(record);
            containerFree(s, type, record);
            dbFree(record);
        },
        [&] {
            int16_t* samples;
            float* params;
            swapCopy(bytes.data(), &samples, &params);
            benchmark::DoNotOptimize(samples);
            benchmark::DoNotOptimize(params);
            std::free(samples);
            std::free(params);
        });
    if (failed)
        state.SkipWithError("decoding failed");
    state.counters["decode_over_swap_copy"] = decodeTime / copyTime;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_DecodeWaveRecordOfFourMiB)->Unit(benchmark::kMillisecond);

} // namespace
