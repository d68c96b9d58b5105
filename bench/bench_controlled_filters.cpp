// The control-steered filters' Process per block beside the bare kernels that do the same filtering, run in turns
// within one loop (the machine's speed drifts between runs by more than the margins judged): SOFControl with three
// unchanged control wires beside the direct-form section kernels (BM_PairedSOFControl), SOFControlHP beside the
// state-space kernels (BM_PairedSOFControlHP), and LPF1Control, whose pole glides per sample, beside one
// direct-form-I section (BM_PairedLPF1Control), on 1, 2 and 8 channels of 64-frame blocks; each reports
// module_over_kernel and the module's time per sample. BM_CoeffTableRowCopy times a coefficient table that copies a
// row every block among 10, 100 and 400 other modules: it checks the target against the instance's object list.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "BenchModule.h"
#include "BenchReport.h"
#include "Modules/Advanced/ControlledFilters.h"
#include "Modules/Advanced/Lookups.h"
#include "kve/kve_vec.h"
#include "support/TestEngine.h"

namespace {

constexpr uint32_t kSOFControl = 0xBEEF0D39u, kSOFControlHP = 0xBEEF0D33u, kLPF1Control = 0xBEEF0D0Eu;
constexpr uint32_t kCoeffTable = 0xBEEF0CCFu, kLookupIntFloat = 0xBEEF0D3Eu;
constexpr uint32_t kFrames = 64;
const ModClassDescriptor *const kTable[] = {&kve_modSOFControlClass.record, &kve_modSOFControlHPClass.record,
                                            &kve_modLPF1ControlClass.record, &kve_modCoeffTableClass.record,
                                            &kve_modTableLookupIntFloatClass.record};

uint32_t bits(float f) { return kvetest::bitsOf(f); }

// A peaking section at 1 kHz, +6 dB, Q 1 (b0 b1 b2 a1 a2), as the modules design it.
std::vector<float> peakingSection()
{
    std::vector<float> c(5);
    design_second_order_filter(12, c.data(), 48000.0f, 1000.0f, 6.0f, 1.0f);
    return c;
}

// One control-steered module on its own engine: three control wires (SOF classes) or one (LPF1), then the audio.
class ModuleRun : public BenchModule {
public:
    ModuleRun(uint32_t classId, uint32_t channels) : BenchModule(kTable)
    {
        GenericWire *in = engine_.wire(channels, kFrames);
        GenericWire *out = engine_.wire(channels, kFrames);
        const std::vector<float> x = whiteNoise(channels * kFrames, 7);
        std::copy(x.begin(), x.end(), static_cast<float *>(in->buffer));
        if (classId == kLPF1Control) {
            GenericWire *f = engine_.wire(1, 1);
            static_cast<float *>(f->buffer)[0] = 1000.0f;
            module_ = engine_.module(classId, 0x102, {f, in, out}, {bits(10.0f), 0, 0});
            return;
        }
        const float controls[] = {1000.0f, 6.0f, 1.0f};
        std::vector<GenericWire *> wires;
        for (float c : controls) {
            wires.push_back(engine_.wire(1, 1));
            static_cast<float *>(wires.back()->buffer)[0] = c;
        }
        std::vector<uint32_t> args = {12, bits(1000.0f), bits(6.0f), bits(1.0f), bits(10.0f)};
        args.insert(args.end(), classId == kSOFControl ? 12 : 2, 0);
        args.push_back(7);
        wires.push_back(in);
        wires.push_back(out);
        int32_t status = KVE_OK;
        module_ = ClassModule_Constructor3(engine_.get(), classId, &status, 0x104, wires.data(),
                                           static_cast<uint32_t>(args.size()), args.data());
    }
};

// The bare kernels on interleaved blocks of the same shape.
enum class Kernel { DirectForm, StateSpace, DirectFormI };
class KernelRun {
public:
    KernelRun(Kernel kernel, uint32_t channels)
        : kernel_(kernel), channels_(channels), x_(whiteNoise(channels * kFrames, 7)), y_(x_.size()),
          state_(4 * channels), coeffs_(peakingSection())
    {
        if (kernel == Kernel::StateSpace)
            design_sos2ss(coeffs_.data(), coeffs_.data());
    }
    void run()
    {
        const auto inc = static_cast<int32_t>(channels_);
        const auto n = static_cast<int32_t>(kFrames);
        uint32_t c = 0;
        if (kernel_ == Kernel::DirectFormI) {
            for (; c < channels_; ++c)
                kve_vecBiquad_DF1(&x_[c], inc, &y_[c], inc, coeffs_.data(), &state_[4 * c], n);
            return;
        }
        if (kernel_ == Kernel::StateSpace) {
            for (; c + 2 <= channels_; c += 2)
                kve_vecBiquadHP_2ch(&x_[c], inc, &y_[c], inc, coeffs_.data(), &state_[2 * c], n);
            if (c < channels_)
                kve_vecBiquadHP(&x_[c], inc, &y_[c], inc, coeffs_.data(), &state_[2 * c], n);
            return;
        }
        for (; c + 4 <= channels_; c += 4)
            kve_vecBiquad_4ch(&x_[c], inc, &y_[c], inc, coeffs_.data(), &state_[2 * c], n);
        if (c + 2 <= channels_) {
            kve_vecBiquad_2ch(&x_[c], inc, &y_[c], inc, coeffs_.data(), &state_[2 * c], n);
            c += 2;
        }
        if (c < channels_)
            kve_vecBiquad(&x_[c], inc, &y_[c], inc, coeffs_.data(), &state_[2 * c], n);
    }

private:
    Kernel kernel_;
    uint32_t channels_;
    std::vector<float> x_, y_, state_, coeffs_;
};

void pairedBench(benchmark::State &state, uint32_t classId, Kernel kernel)
{
    const auto channels = static_cast<uint32_t>(state.range(0));
    ModuleRun module(classId, channels);
    KernelRun bare(kernel, channels);
    if (!module.built()) {
        state.SkipWithError("module not built");
        return;
    }
    const auto [moduleTime, kernelTime] = timeInTurns(state, [&] { module.run(); }, [&] { bare.run(); });
    state.counters["module_over_kernel"] = moduleTime / kernelTime;
    state.counters["module_ns_per_sample"] =
        moduleTime * 1e9 / (static_cast<double>(state.iterations()) * channels * kFrames);
}

void BM_PairedSOFControl(benchmark::State &state) { pairedBench(state, kSOFControl, Kernel::DirectForm); }
void BM_PairedSOFControlHP(benchmark::State &state) { pairedBench(state, kSOFControlHP, Kernel::StateSpace); }
void BM_PairedLPF1Control(benchmark::State &state) { pairedBench(state, kLPF1Control, Kernel::DirectFormI); }

// A coefficient table copying a row of 16 into a lookup table every block, with `others` further modules in the
// instance's object list.
void BM_CoeffTableRowCopy(benchmark::State &state)
{
    const auto others = static_cast<uint32_t>(state.range(0));
    kvetest::TestEngine engine;
    engine->classTable = kTable;
    engine->classCount = std::size(kTable);
    GenericWire *a = engine.wire(1, 16);
    GenericWire *b = engine.wire(1, 16);
    for (uint32_t k = 0; k < others; ++k)
        engine.module(kLookupIntFloat, 0x101, {a, b}, {4});
    GenericWire *index = engine.wire(1, 1);
    ClassModule *table = engine.module(kCoeffTable, 0x001, {index}, {0, 16, 4, 0});
    ClassModule *target = engine.module(kLookupIntFloat, 0x101, {a, b}, {16});
    if (table == nullptr || target == nullptr ||
        kve_fwSetPointer(engine.get(), KVE_MEMBER_ADDRESS(table->objectId, 13), KVE_MEMBER_ADDRESS(target->objectId, 0),
                         0) != KVE_OK ||
        kve_fwSetPointer(engine.get(), KVE_MEMBER_ADDRESS(table->objectId, 14),
                         KVE_MEMBER_ADDRESS(target->objectId, 9) | KVE_MEMBER_DEREF, 0) != KVE_OK) {
        state.SkipWithError("coefficient table not aimed");
        return;
    }
    for (auto _ : state) {
        kve_fwPumpModule(engine.get(), table);
        benchmark::ClobberMemory();
    }
    state.counters["time_per_block"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void channelCounts(benchmark::internal::Benchmark *b)
{
    for (int64_t channels : {1, 2, 8})
        b->Arg(channels);
}

BENCHMARK(BM_PairedSOFControl)->Apply(channelCounts);
BENCHMARK(BM_PairedSOFControlHP)->Apply(channelCounts);
BENCHMARK(BM_PairedLPF1Control)->Apply(channelCounts);
BENCHMARK(BM_CoeffTableRowCopy)->Arg(10)->Arg(100)->Arg(400);

} // namespace
