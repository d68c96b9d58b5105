// The WAVE codecs beside a second telephone coder in the same run: G.721 encoding and decoding of 4 s of 8 kHz
// voice-like signal, and its mu-law compression.
#include <cmath>
#include <cstdint>
#include <vector>

#include "BenchReport.h"
#include "kve/kve_recognizer.h"
#include "kve/kve_recognizer_runtime.h"

#ifdef KVE_BENCH_SPANDSP
#define G711_ULAW_ZEROTRAP
#include <spandsp/telephony.h>
#include <spandsp/bit_operations.h>
#include <spandsp/g711.h>
#include <spandsp/g726.h>

namespace {

constexpr uint32_t kSamples = 4 * 8000;

// Two drifting tones over noise at a speaking level, so that the coder adapts all the time.
std::vector<int16_t> voiceLike()
{
    const std::vector<float> noise = whiteNoise(kSamples, 11);
    std::vector<int16_t> x(kSamples);
    for (uint32_t i = 0; i < kSamples; ++i) {
        const double t = i / 8000.0;
        const double v = 6000 * std::sin(2 * M_PI * (300 + 200 * std::sin(t)) * t) +
                         3000 * std::sin(2 * M_PI * 1700 * t) * std::sin(3 * t) + 800 * noise[i];
        x[i] = static_cast<int16_t>(v);
    }
    return x;
}

void BM_G721EncodeFourSeconds(benchmark::State &state)
{
    const std::vector<int16_t> x = voiceLike();
    std::vector<uint8_t> peerCodes(kSamples / 2);
    g726_state_t *peer = g726_init(nullptr, 32000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
    const auto [oursTime, peerTime] = timeInTurns(
        state,
        [&] {
            uint32_t bytes = 0;
            uint8_t *codes = g721Encode(x.data(), kSamples, &bytes);
            benchmark::DoNotOptimize(codes);
            dbFree(codes);
        },
        [&] {
            g726_init(peer, 32000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
            benchmark::DoNotOptimize(g726_encode(peer, peerCodes.data(), x.data(), static_cast<int>(kSamples)));
        });
    g726_free(peer);
    state.counters["ours_over_spandsp"] = oursTime / peerTime;
    state.counters["realtime_x"] = kSamples / 8000.0 * static_cast<double>(state.iterations()) / oursTime;
}
BENCHMARK(BM_G721EncodeFourSeconds)->Unit(benchmark::kMillisecond);

void BM_G721DecodeFourSeconds(benchmark::State &state)
{
    const std::vector<int16_t> x = voiceLike();
    uint32_t byteCount = 0;
    uint8_t *codes = g721Encode(x.data(), kSamples, &byteCount);
    std::vector<int16_t> peerSamples(kSamples);
    g726_state_t *peer = g726_init(nullptr, 32000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
    const auto [oursTime, peerTime] = timeInTurns(
        state,
        [&] {
            uint32_t count = 0;
            int16_t *samples = g721Decode(codes, byteCount, &count);
            benchmark::DoNotOptimize(samples);
            dbFree(samples);
        },
        [&] {
            g726_init(peer, 32000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
            benchmark::DoNotOptimize(
                g726_decode(peer, peerSamples.data(), codes, static_cast<int>(byteCount)));
        });
    dbFree(codes);
    g726_free(peer);
    state.counters["ours_over_spandsp"] = oursTime / peerTime;
    state.counters["realtime_x"] = kSamples / 8000.0 * static_cast<double>(state.iterations()) / oursTime;
}
BENCHMARK(BM_G721DecodeFourSeconds)->Unit(benchmark::kMillisecond);

void BM_UlawEncodeFourSeconds(benchmark::State &state)
{
    const std::vector<int16_t> x = voiceLike();
    std::vector<uint8_t> codes(x.size());
    const auto [oursTime, peerTime] = timeInTurns(
        state,
        [&] {
            for (size_t i = 0; i < x.size(); ++i)
                codes[i] = ulawEncode(x[i]);
            benchmark::DoNotOptimize(codes.data());
        },
        [&] {
            for (size_t i = 0; i < x.size(); ++i)
                codes[i] = linear_to_ulaw(x[i]);
            benchmark::DoNotOptimize(codes.data());
        });
    state.counters["ours_over_spandsp"] = oursTime / peerTime;
    state.counters["ours_ns_per_sample"] =
        oursTime * 1e9 / (static_cast<double>(state.iterations()) * static_cast<double>(x.size()));
}
BENCHMARK(BM_UlawEncodeFourSeconds)->Unit(benchmark::kMicrosecond);

} // namespace

#endif
