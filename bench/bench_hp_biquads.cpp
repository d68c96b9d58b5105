// The state-space biquad cascade module (8 sections) on blocks of 32 and 256 frames of 1, 2 and 8 interleaved
// channels, reported as ns per sample per section. Beside it, in turns within one loop: the direct-form cascade
// kernels as a module calls them on the same wires (channel pairs through the two-channel cascade, a last odd
// channel alone), reported as hp_over_direct_form, the module's time over the kernels'; and liquid-dsp's IIR filter
// of second-order sections where it is installed (one object per channel on its own contiguous block, as that
// library takes them), reported as hp_over_liquid.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "BenchModule.h"
#include "BenchReport.h"
#include "Modules/Advanced/HpBiquads.h"

#if defined(KVE_BENCH_LIQUID)
#include <complex>

#include <liquid/liquid.h>
#endif

namespace {

constexpr int32_t kSections = 8;

const ModClassDescriptor *const kTable[] = {&kve_modBiquadCascadeHPClass.record};

// Four stable sections b0 b1 b2 a1 a2, used twice: lowpass, resonance, highpass, poles towards half the rate.
constexpr float kBase[4][5] = {
    {0.0675f, 0.135f, 0.0675f, -1.143f, 0.4128f},
    {1.05f, -1.80f, 0.86f, -1.8151f, 0.9025f},
    {0.92f, -1.84f, 0.92f, -1.83f, 0.85f},
    {0.5f, 0.2f, -0.3f, 0.6f, 0.3f},
};

std::vector<float> directForm()
{
    std::vector<float> c;
    for (int32_t k = 0; k < kSections; ++k)
        c.insert(c.end(), kBase[k % 4], kBase[k % 4] + 5);
    return c;
}

std::vector<float> testSignal(size_t n)
{
    std::vector<float> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = static_cast<float>(static_cast<int>((i * 37) % 200) - 100) / 100.0f;
    return x;
}

// An 8-section BiquadCascadeHP on its own engine, its input holding the test signal.
class ModuleRun : public BenchModule {
public:
    ModuleRun(uint32_t channels, uint32_t frames) : BenchModule(kTable)
    {
        GenericWire *in = engine_.wire(channels, frames);
        module_ = engine_.module(kve::hp::kBiquadCascadeHPClassId, 0x101, {in, engine_.wire(channels, frames)},
                                 {static_cast<uint32_t>(kSections)});
        if (module_ == nullptr)
            return;
        const std::vector<float> c = directForm();
        std::copy(c.begin(), c.end(), reinterpret_cast<kve::hp::BiquadCascadeHPModule *>(module_)->coeffs);
        ClassModule_Set(module_, KVE_MASK_ALL);
        const std::vector<float> x = testSignal(size_t{channels} * frames);
        std::copy(x.begin(), x.end(), static_cast<float *>(in->buffer));
    }
};

// The direct-form cascade kernels on interleaved buffers of the same shape.
class DirectFormRun {
public:
    DirectFormRun(uint32_t channels, uint32_t frames)
        : channels_(static_cast<int32_t>(channels)), frames_(static_cast<int32_t>(frames)), coeffs_(directForm()),
          x_(testSignal(size_t{channels} * frames)), y_(x_.size()), state_(size_t{channels} * 2 * kSections)
    {
    }
    void run()
    {
        int32_t c = 0;
        for (; c + 2 <= channels_; c += 2)
            kve_vecBiquadCascade_2ch(x_.data() + c, channels_, y_.data() + c, channels_, coeffs_.data(),
                                     state_.data() + 2 * kSections * c, kSections, frames_);
        if (c < channels_)
            kve_vecBiquadCascade(x_.data() + c, channels_, y_.data() + c, channels_, coeffs_.data(),
                                 state_.data() + 2 * kSections * c, kSections, frames_);
    }

private:
    int32_t channels_, frames_;
    std::vector<float> coeffs_, x_, y_, state_;
};

#if defined(KVE_BENCH_LIQUID)
// liquid-dsp's IIR filter of the same sections, one object and one contiguous block per channel.
class LiquidRun {
public:
    LiquidRun(uint32_t channels, uint32_t frames) : frames_(frames), x_(testSignal(frames)), y_(frames)
    {
        std::vector<float> num, den;
        for (int32_t k = 0; k < kSections; ++k) {
            num.insert(num.end(), kBase[k % 4], kBase[k % 4] + 3);
            den.insert(den.end(), {1.0f, kBase[k % 4][3], kBase[k % 4][4]});
        }
        for (uint32_t c = 0; c < channels; ++c)
            filters_.push_back(iirfilt_rrrf_create_sos(num.data(), den.data(), kSections));
    }
    ~LiquidRun()
    {
        for (iirfilt_rrrf q : filters_)
            iirfilt_rrrf_destroy(q);
    }
    LiquidRun(const LiquidRun &) = delete;
    LiquidRun &operator=(const LiquidRun &) = delete;
    void run()
    {
        for (iirfilt_rrrf q : filters_)
            iirfilt_rrrf_execute_block(q, x_.data(), frames_, y_.data());
    }

private:
    unsigned frames_;
    std::vector<float> x_, y_;
    std::vector<iirfilt_rrrf> filters_;
};
#endif

// Counts samples times sections: the module's time per sample and section.
void reportPerSampleSection(benchmark::State &state, double seconds, int64_t samplesPerIteration)
{
    const double samples = static_cast<double>(state.iterations()) * static_cast<double>(samplesPerIteration);
    state.counters["hp_ns_per_sample_section"] = seconds * 1e9 / (samples * kSections);
    state.counters["realtime_x_48k"] = samples / 48000.0 / seconds;
}

// The module, the direct-form kernels and liquid-dsp in turns within one loop, each timed on its own: a shared
// machine's speed drifts by more than the margin the ratio is judged by, and turns this short see the same speed.
void BM_PairedBiquadCascadeHP(benchmark::State &state)
{
    using Clock = std::chrono::steady_clock;
    const auto channels = static_cast<uint32_t>(state.range(0));
    const auto frames = static_cast<uint32_t>(state.range(1));
    ModuleRun module(channels, frames);
    DirectFormRun direct(channels, frames);
    if (!module.built()) {
        state.SkipWithError("module not built");
        return;
    }
#if defined(KVE_BENCH_LIQUID)
    LiquidRun liquid(channels, frames);
    Clock::duration liquidTime{};
#endif
    Clock::duration moduleTime{}, directTime{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        module.run();
        benchmark::ClobberMemory();
        const auto t1 = Clock::now();
        direct.run();
        benchmark::ClobberMemory();
        const auto t2 = Clock::now();
        moduleTime += t1 - t0;
        directTime += t2 - t1;
#if defined(KVE_BENCH_LIQUID)
        liquid.run();
        benchmark::ClobberMemory();
        liquidTime += Clock::now() - t2;
#endif
    }
    const double moduleSeconds = std::chrono::duration<double>(moduleTime).count();
    reportPerSampleSection(state, moduleSeconds, int64_t{channels} * frames);
    state.counters["hp_over_direct_form"] = moduleSeconds / std::chrono::duration<double>(directTime).count();
#if defined(KVE_BENCH_LIQUID)
    state.counters["hp_over_liquid"] = moduleSeconds / std::chrono::duration<double>(liquidTime).count();
#endif
}

} // namespace

// channels x frames
BENCHMARK(BM_PairedBiquadCascadeHP)->ArgsProduct({{1, 2, 8}, {32, 256}});
