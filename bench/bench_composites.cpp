// What a composite adds to the inner module that does its work: the composite's Process beside the same inner
// class built on its own with the same coefficients, run in turns within one loop (a shared machine's speed drifts
// by far more than what the composite adds). BM_PairedButterworthHP: an 8th-order state-space Butterworth lowpass
// beside a 4-section BiquadCascadeHP; BM_PairedFIRLoading: 64 active taps of 128 beside a 64-tap FIR. Both on 1, 2
// and 8 channels of 64 frames; composite_over_inner is the composite's time over the inner module's, and
// composite_ns_per_sample the composite's time per sample and channel.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "BenchReport.h"
#include "Modules/Advanced/Composites.h"
#include "Modules/Advanced/HpBiquads.h"
#include "support/TestEngine.h"

namespace {

constexpr uint32_t kButterworthFilterHP = 0xBEEF0CCCu, kBiquadCascadeHP = 0xBEEF0CC1u;
constexpr uint32_t kFIRLoading = 0xBEEF0CFCu, kFIR = 0xBEEF080Fu;
constexpr uint32_t kBlock = 64;

const ModClassDescriptor *const kTable[] = {
    &kve_modButterworthFilterHPClass.record,
    &kve_modBiquadCascadeHPClass.record,
    &kve_modFIRLoadingClass.record,
    &kve_modFIRClass.record,
};

// A tone that fills every sample, its level well clear of denormals.
std::vector<float> testSignal(size_t count)
{
    std::vector<float> x(count);
    for (size_t i = 0; i < count; ++i)
        x[i] = 0.5f * std::sin(0.37f * static_cast<float>(i));
    return x;
}

// A composite and the inner class it builds, each on its own wires of `channels` channels filled with a tone. The
// standalone inner module takes over the composite's inner coefficients word for word through `copy`.
class Pair {
public:
    template <class Copy>
    Pair(uint32_t channels, uint32_t compositeId, std::initializer_list<uint32_t> compositeArgs, uint32_t innerId,
         std::initializer_list<uint32_t> innerArgs, Copy copy)
    {
        engine_->classTable = kTable;
        engine_->classCount = std::size(kTable);
        composite_ = engine_.module(compositeId, 0x101, {filled(channels), engine_.wire(channels, kBlock)},
                                    compositeArgs);
        inner_ = engine_.module(innerId, 0x101, {filled(channels), engine_.wire(channels, kBlock)}, innerArgs);
        if (built()) {
            copy(kve::composites::innerModule(composite_, 0), inner_);
            ClassModule_Set(inner_, KVE_MASK_ALL);
        }
    }
    ~Pair() { kve_fwDestroy(engine_.get()); }
    Pair(const Pair &) = delete;
    Pair &operator=(const Pair &) = delete;

    bool built() const { return composite_ != nullptr && inner_ != nullptr; }

    void run(benchmark::State &state, uint32_t channels)
    {
        using Clock = std::chrono::steady_clock;
        if (!built()) {
            state.SkipWithError("module not built");
            return;
        }
        Clock::duration compositeTime{}, innerTime{};
        for (auto _ : state) {
            const auto t0 = Clock::now();
            composite_->classRecord->process(composite_);
            benchmark::ClobberMemory();
            const auto t1 = Clock::now();
            inner_->classRecord->process(inner_);
            benchmark::ClobberMemory();
            const auto t2 = Clock::now();
            compositeTime += t1 - t0;
            innerTime += t2 - t1;
        }
        const double composite = std::chrono::duration<double>(compositeTime).count();
        state.counters["composite_over_inner"] = composite / std::chrono::duration<double>(innerTime).count();
        const double samples = static_cast<double>(state.iterations()) * kBlock * channels;
        state.counters["composite_ns_per_sample"] = composite * 1e9 / samples;
    }

private:
    GenericWire *filled(uint32_t channels)
    {
        GenericWire *w = engine_.wire(channels, kBlock);
        const std::vector<float> x = testSignal(size_t{channels} * kBlock);
        std::copy(x.begin(), x.end(), static_cast<float *>(w->buffer));
        return w;
    }

    kvetest::TestEngine engine_;
    ClassModule *composite_ = nullptr;
    ClassModule *inner_ = nullptr;
};

// The words of private array k (variable k) of one module copied into the same array of another.
void copyArray(ClassModule *from, ClassModule *to, uint32_t variable, uint32_t words)
{
    const float *src = kve::composites::innerArray<float>(from, variable);
    std::copy_n(src, words, kve::composites::innerArray<float>(to, variable));
}

void BM_PairedButterworthHP(benchmark::State &state)
{
    const auto channels = static_cast<uint32_t>(state.range(0));
    Pair pair(channels, kButterworthFilterHP, {0, 8, kvetest::bitsOf(2000.0f)}, kBiquadCascadeHP, {4},
              [](ClassModule *from, ClassModule *to) { copyArray(from, to, 1, 20); });
    pair.run(state, channels);
}

void BM_PairedFIRLoading(benchmark::State &state)
{
    const auto channels = static_cast<uint32_t>(state.range(0));
    Pair pair(channels, kFIRLoading, {128, 64}, kFIR, {64, 0}, [](ClassModule *from, ClassModule *to) {
        std::vector<float> taps = testSignal(64);
        std::copy(taps.begin(), taps.end(), kve::composites::innerArray<float>(from, 2));
        ClassModule_Set(from, KVE_MASK_ALL);
        copyArray(from, to, 2, 64);
    });
    pair.run(state, channels);
}

BENCHMARK(BM_PairedButterworthHP)->Arg(1)->Arg(2)->Arg(8);
BENCHMARK(BM_PairedFIRLoading)->Arg(1)->Arg(2)->Arg(8);

} // namespace
