// The subband filter blocks per block of 129 and 257 subbands: SbComplexFIRvl beside one bare call of its kernel
// over every subband (BM_PairedSbComplexFIRvl, module_over_kernel), SbComplexFIR beside its bare kernel
// (BM_PairedSbComplexFIR), and SbNLMS per subband and tap (BM_SbNLMS, ns_per_tap). Each pair runs in turns within one
// loop, as a shared machine's speed drifts between runs. What a module adds to its kernel: the variable-length one a
// pass over the tap counts to see that they fit its arrays, the fixed one the moves between the interleaved wires
// and its state planes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <vector>

#include "Modules/Advanced/SbBlocks.h"
#include "kve/kve_vec.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace {

constexpr uint32_t kNLMS = 0xBEEF0D2Du, kComplexFIR = 0xBEEF0D2Au, kComplexFIRvl = 0xBEEF0D2Bu;
const ModClassDescriptor *const kTable[] = {&kve_modSbNLMSClass.record, &kve_modSbComplexFIRClass.record,
                                            &kve_modSbComplexFIRvlClass.record};

// Noise in -1..1 from the library's own source: every subband and tap carries energy.
std::vector<float> noise(size_t count)
{
    std::vector<float> x(count);
    kve_vecWhiteNoise(x.data(), 1, static_cast<int32_t>(count), 1.0f);
    return x;
}

// A subband module on its own engine, every subband wire holding noise.
class SubbandRun {
public:
    SubbandRun(uint32_t classId, uint32_t wireWord, uint32_t subbands, std::initializer_list<uint32_t> args)
        : engine_(kvetest::EngineOptions{.heapWords = 1u << 18})
    {
        engine_->classTable = kTable;
        engine_->classCount = std::size(kTable);
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord); ++k) {
            GenericWire *w = engine_.wire(1, 2 * subbands);
            w->info1 |= 1u << 27;
            w->sampleRate = 125.0f;
            const std::vector<float> x = noise(2 * subbands);
            std::copy(x.begin(), x.end(), static_cast<float *>(w->buffer));
            wires.push_back(w);
        }
        int32_t status = KVE_OK;
        std::vector<uint32_t> a(args);
        module_ = ClassModule_Constructor3(engine_.get(), classId, &status, wireWord, wires.data(),
                                           static_cast<uint32_t>(a.size()), a.data());
    }
    ~SubbandRun() { kve_fwDestroy(engine_.get()); }
    SubbandRun(const SubbandRun &) = delete;
    SubbandRun &operator=(const SubbandRun &) = delete;

    ClassModule *module() const { return module_; }
    void run() { module_->classRecord->process(module_); }

private:
    kvetest::TestEngine engine_;
    ClassModule *module_ = nullptr;
};

// Runs `a` and `b` in turns, each timed on its own, and reports a's time over b's as `counter`.
template <class A, class B> void inTurns(benchmark::State &state, const char *counter, A a, B b)
{
    using Clock = std::chrono::steady_clock;
    Clock::duration aTime{}, bTime{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        a();
        benchmark::ClobberMemory();
        const auto t1 = Clock::now();
        b();
        benchmark::ClobberMemory();
        const auto t2 = Clock::now();
        aTime += t1 - t0;
        bTime += t2 - t1;
    }
    state.counters[counter] =
        std::chrono::duration<double>(aTime).count() / std::chrono::duration<double>(bTime).count();
}

// range(0) subbands of range(1) taps each.
void BM_PairedSbComplexFIRvl(benchmark::State &state)
{
    const auto subbands = static_cast<uint32_t>(state.range(0));
    const auto taps = static_cast<int32_t>(state.range(1));
    const uint32_t total = 2 * subbands * static_cast<uint32_t>(taps);
    SubbandRun run(kComplexFIRvl, 0x101, subbands, {total / 2});
    if (run.module() == nullptr) {
        state.SkipWithError("module not built");
        return;
    }
    std::fill_n(kvetest::privateArray<int32_t>(run.module(), 2), subbands, taps);
    const std::vector<float> coeffs = noise(total);
    std::copy(coeffs.begin(), coeffs.end(), kvetest::privateArray<float>(run.module(), 4));
    const std::vector<float> x = noise(2 * subbands);
    std::vector<float> y(2 * subbands), ring(total);
    std::vector<int32_t> counts(subbands, taps), indices(subbands, 0);
    inTurns(state, "module_over_kernel", [&] { run.run(); },
            [&] {
                kve_vecComplexFIRvl(x.data(), y.data(), ring.data(), coeffs.data(), counts.data(), indices.data(),
                                    static_cast<int32_t>(subbands));
            });
}

void BM_PairedSbComplexFIR(benchmark::State &state)
{
    const auto subbands = static_cast<uint32_t>(state.range(0));
    const auto taps = static_cast<uint32_t>(state.range(1));
    SubbandRun run(kComplexFIR, 0x101, subbands, {taps, 0});
    if (run.module() == nullptr) {
        state.SkipWithError("module not built");
        return;
    }
    const std::vector<float> coeffs = noise(2 * subbands * taps);
    std::copy(coeffs.begin(), coeffs.end(), kvetest::privateArray<float>(run.module(), 3));
    const std::vector<float> ring = noise(2 * subbands * taps);
    std::vector<float> y(2 * subbands);
    const auto plane = static_cast<ptrdiff_t>(subbands * taps);
    inTurns(state, "module_over_kernel", [&] { run.run(); },
            [&] {
                kve_vecComplexFIR(ring.data(), ring.data() + plane, coeffs.data(), coeffs.data() + plane, y.data(),
                                  y.data() + subbands, static_cast<int32_t>(plane), static_cast<int32_t>(taps), 0,
                                  static_cast<int32_t>(subbands));
            });
}

void BM_SbNLMS(benchmark::State &state)
{
    const auto subbands = static_cast<uint32_t>(state.range(0));
    const auto taps = static_cast<uint32_t>(state.range(1));
    SubbandRun run(kNLMS, 0x202, subbands,
                   {taps, taps, std::bit_cast<uint32_t>(0.1f), std::bit_cast<uint32_t>(1e-3f), 0});
    if (run.module() == nullptr) {
        state.SkipWithError("module not built");
        return;
    }
    for (auto _ : state) {
        run.run();
        benchmark::ClobberMemory();
    }
    const double tapSteps = static_cast<double>(state.iterations()) * subbands * taps;
    state.counters["ns_per_tap"] = benchmark::Counter(tapSteps * 1e-9, benchmark::Counter::kIsRate |
                                                                          benchmark::Counter::kInvert);
}

void subbandsAndTaps(benchmark::internal::Benchmark *b)
{
    for (int64_t subbands : {129, 257})
        for (int64_t taps : {4, 8})
            b->Args({subbands, taps});
}

BENCHMARK(BM_PairedSbComplexFIRvl)->Apply(subbandsAndTaps);
BENCHMARK(BM_PairedSbComplexFIR)->Apply(subbandsAndTaps);
BENCHMARK(BM_SbNLMS)->Apply(subbandsAndTaps);

} // namespace
