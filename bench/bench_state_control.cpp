// The time-out's Process after its time-out with action 1 (the inputs scaled by a smoothed gain), block 32 on one
// and eight channels, beside the bare smoothed-gain kernel on the same block: BM_PairedTimeOutGain runs both in turns
// and reports module_over_kernel, meant to stay within 1.2x. The gain keeps moving (a long smoothing time toward a
// far target, reset each run) so both sides do the ramp's work.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "BenchModule.h"
#include "BenchReport.h"
#include "Modules/Advanced/StateControl.h"
#include "kve/kve_design.h"
#include "kve/kve_vec_smooth.h"

namespace {

constexpr uint32_t kTimeOut = 0xBEEF0D42u;
constexpr uint32_t kBlock = 32;
const ModClassDescriptor *const kTable[] = {&kve_modTimeOutClass.record};

uint32_t bits(float f) { return kvetest::bitsOf(f); }

class TimeOutRun : public BenchModule {
public:
    explicit TimeOutRun(uint32_t channels) : BenchModule(kTable)
    {
        GenericWire *in = engine_.wire(channels, kBlock);
        GenericWire *out = engine_.wire(channels, kBlock);
        module_ = engine_.module(kTimeOut, 0x101u, {in, out},
                                 {0, 1, bits(-40.0f), bits(1.0f), 0, 0, 0, 0, 0, 0, bits(500.0f), 0});
        if (module_ != nullptr)
            module_->classRecord->set(module_, KVE_MASK_ALL);
        const std::vector<float> x = whiteNoise(kve::kit::wireWords(in), 1);
        std::copy(x.begin(), x.end(), static_cast<float *>(in->buffer));
        state_ = reinterpret_cast<kve::statecontrol::TimeOutModule *>(module_);
    }
    void run()
    {
        state_->currentGain = 1.0f;
        BenchModule::run();
    }

private:
    kve::statecontrol::TimeOutModule *state_ = nullptr;
};

// The kernel alone on the same shape and gain ramp.
class KernelRun {
public:
    explicit KernelRun(uint32_t channels)
        : channels_(static_cast<int32_t>(channels)), in_(whiteNoise(channels * kBlock, 1)), out_(in_.size()),
          coeff_(design_smoother(1, 500.0f, 48000.0f)), target_(std::exp(-40.0f * 0.115129255f))
    {
    }
    void run()
    {
        float gain = 1.0f;
        kve_vecScaleSmooth_Nch(in_.data(), out_.data(), channels_, &gain, target_, coeff_, kBlock);
        benchmark::DoNotOptimize(out_.data());
        benchmark::DoNotOptimize(gain);
    }

private:
    int32_t channels_;
    std::vector<float> in_, out_;
    float coeff_, target_;
};

void BM_PairedTimeOutGain(benchmark::State &state)
{
    const auto channels = static_cast<uint32_t>(state.range(0));
    TimeOutRun module(channels);
    KernelRun kernel(channels);
    if (!module.built()) {
        state.SkipWithError("module not built");
        return;
    }
    const auto [moduleTime, kernelTime] = timeInTurns(state, [&] { module.run(); }, [&] { kernel.run(); });
    state.counters["module_over_kernel"] = moduleTime / kernelTime;
}

BENCHMARK(BM_PairedTimeOutGain)->Arg(1)->Arg(8);

} // namespace
