// LMS filters on blocks of 256 samples at 16, 64 and 256 taps, reported as ns per sample per tap
// (time_per_sample_tap) beside ns per sample. Each tap of an adapting filter costs two multiply-adds per sample (one
// for the output, one for the weight step), so its bound is twice the ns per multiply-add of the reference beside
// them: independent four-lane multiply-adds over L1 data in the machine's own instructions. kve_vecLMS is meant to
// stay within 2.5x of that bound; the Fract32 forms are measured for the record.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <type_traits>
#include <vector>

#include "BenchReport.h"
#if defined(__aarch64__)
#include <arm_neon.h>
#else
#include <immintrin.h>
#endif
#include "kve/kve_vec.h"

namespace {

constexpr int32_t kBlock = 256;

// A signal in -1..1 made of two unrelated sawtooth-like sequences, different for each seed.
std::vector<float> signal(int64_t n, int seed)
{
    std::vector<float> x(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] =
            static_cast<float>((i * (29 + seed)) % 97 + (i * (53 + 3 * seed)) % 89 - 92) / 100.0f;
    return x;
}

// ---- The reference: independent multiply-adds ----

constexpr int kChains = 12;

// kChains accumulators, each fed one four-lane multiply-add per step over n floats (n a multiple of 4 x kChains),
// rounds times: more chains than the machine's multiply-add units can overlap, so the units never wait. Out of line,
// so that the benchmark loop does not push the accumulators out of registers.
#if defined(__aarch64__)
__attribute__((noinline)) float chainedMultiplyAdds(const float *x, size_t n, int rounds)
{
    float32x4_t acc[kChains];
    for (float32x4_t &a : acc)
        a = vdupq_n_f32(0.0f);
    const float32x4_t k = vdupq_n_f32(0.999f);
    for (int r = 0; r < rounds; ++r)
        for (size_t i = 0; i < n; i += 4 * kChains)
            for (int c = 0; c < kChains; ++c)
                acc[c] = vfmaq_f32(acc[c], vld1q_f32(x + i + 4 * c), k);
    float sum = 0.0f;
    for (float32x4_t a : acc)
        sum += vaddvq_f32(a);
    return sum;
}
#else
__attribute__((noinline)) float chainedMultiplyAdds(const float *x, size_t n, int rounds)
{
    __m128 acc[kChains];
    for (__m128 &a : acc)
        a = _mm_setzero_ps();
    const __m128 k = _mm_set1_ps(0.999f);
    for (int r = 0; r < rounds; ++r)
        for (size_t i = 0; i < n; i += 4 * kChains)
            for (int c = 0; c < kChains; ++c)
                acc[c] = _mm_fmadd_ps(_mm_loadu_ps(x + i + 4 * c), k, acc[c]);
    float sum = 0.0f;
    for (__m128 a : acc) {
        alignas(16) float lanes[4];
        _mm_store_ps(lanes, a);
        sum += lanes[0] + lanes[1] + lanes[2] + lanes[3];
    }
    return sum;
}
#endif

// 1536 floats (6 KB, in L1) sixteen times per iteration, counted per lane.
void BM_LmsMultiplyAddReference(benchmark::State &state)
{
    const std::vector<float> x = signal(1536, 1);
    const int rounds = 16;
    for (auto _ : state)
        benchmark::DoNotOptimize(chainedMultiplyAdds(x.data(), x.size(), rounds));
    const auto work = static_cast<double>(state.iterations()) * static_cast<double>(x.size()) * rounds;
    state.counters["time_per_multiply_add"] =
        benchmark::Counter(work, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// ---- LMS filters, one block per iteration, the weights adapting throughout ----

// The signals and state of one filter of range(0) taps, in float or Fract32 words; the weights start at 0, the
// linear history has room for a block.
template <typename T>
struct LmsData {
    explicit LmsData(const benchmark::State &state)
        : taps(static_cast<int32_t>(state.range(0))), x(convert(signal(kBlock, 2))), d(convert(signal(kBlock, 3))),
          out(kBlock), err(kBlock), w(static_cast<size_t>(taps)), ring(static_cast<size_t>(taps - 1 + kBlock))
    {
    }
    static std::vector<T> convert(const std::vector<float> &v)
    {
        std::vector<T> t;
        for (float s : v)
            t.push_back(std::is_same_v<T, float> ? static_cast<T>(s) : static_cast<T>(s * 536870912.0f));
        return t;
    }
    int32_t taps;
    std::vector<T> x, d, out, err, w, ring;
    int32_t index = 0;
};

// Runs one block per iteration and adds the time per sample per tap.
template <typename Block>
void measure(benchmark::State &state, Block block)
{
    for (auto _ : state) {
        block();
        benchmark::ClobberMemory();
    }
    reportPerSample(state, kBlock);
    const auto work = static_cast<double>(state.iterations()) * static_cast<double>(kBlock * state.range(0));
    state.counters["time_per_sample_tap"] =
        benchmark::Counter(work, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_LMS(benchmark::State &state)
{
    LmsData<float> s(state);
    measure(state, [&] {
        kve_vecLMS(s.d.data(), s.x.data(), s.out.data(), s.err.data(), s.w.data(), s.ring.data(), &s.index, kBlock,
                   0.01f, s.taps);
    });
}

void BM_LMSNorm(benchmark::State &state)
{
    LmsData<float> s(state);
    float energy = 0.0f;
    measure(state, [&] {
        kve_vecLMSNorm(s.x.data(), s.d.data(), s.out.data(), s.err.data(), s.w.data(), s.ring.data(), &s.index, kBlock,
                       s.taps, &energy);
    });
}

void BM_LMSFract32(benchmark::State &state)
{
    LmsData<Fract32> s(state);
    measure(state, [&] {
        kve_vecLMSFract32(s.x.data(), s.d.data(), s.out.data(), s.err.data(), s.w.data(), s.ring.data(), &s.index, 0,
                          kBlock, s.taps, 0x00400000);
    });
}

void BM_LMSNormFract32(benchmark::State &state)
{
    LmsData<Fract32> s(state);
    Fract32 energy = 0;
    Fract32 leaving = 0;
    measure(state, [&] {
        kve_vecLMSNormFract32(s.x.data(), s.d.data(), s.out.data(), s.err.data(), s.ring.data(), s.w.data(), &energy,
                              &leaving, kBlock, 1, s.taps, 0x00400000, 0);
    });
}

void tapCounts(benchmark::internal::Benchmark *b) { b->ArgName("taps")->Arg(16)->Arg(64)->Arg(256); }

} // namespace

BENCHMARK(BM_LmsMultiplyAddReference);
BENCHMARK(BM_LMS)->Apply(tapCounts);
BENCHMARK(BM_LMSNorm)->Apply(tapCounts);
BENCHMARK(BM_LMSFract32)->Apply(tapCounts);
BENCHMARK(BM_LMSNormFract32)->Apply(tapCounts);
