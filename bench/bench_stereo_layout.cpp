// A representative stereo layout at block size 32, pumped through the library interface as a host drives it:
// smoothed gain -> 4-section biquad cascade -> 2x2 dense mixer -> channel-swapping router. Reported in ns per sample
// and multiples of real time for one 48 kHz stereo stream, with the share of the pump spent outside the kernels
// (dispatch, pin copies, the interface): the same kernel calls on the same buffers, run bare, are timed beside it.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <vector>

#include "Engine/LibraryHost.h"
#include "kve/kve_design.h"
#include "kve/kve_engine.h"
#include "kve/kve_vec.h"

namespace {

constexpr uint32_t kBlock = 32;
constexpr uint32_t kChannels = 2;
constexpr uint32_t kWords = kBlock * kChannels;
constexpr uint32_t kStages = 4;
constexpr float kRate = 48000.0f;
constexpr float kGain = 0.5f;
constexpr float kSmoothingMs = 10.0f;

constexpr uint32_t kScalerSmoothedClassId = 0xBEEF0FF7u;
constexpr uint32_t kBiquadCascadeClassId = 0xBEEF080Bu;
constexpr uint32_t kMixerDenseClassId = 0xBEEF0FE5u;
constexpr uint32_t kRouterClassId = 0xBEEF0864u;

// Output-major 2x2 mix and the routing words that swap the two channels of input wire 0.
constexpr std::array<float, 4> kMix = {0.8f, 0.2f, 0.2f, 0.8f};
constexpr std::array<uint32_t, 2> kRouting = {0x00000001u, 0x00000000u};

std::array<float, 5 * kStages> lowpassSections()
{
    std::array<float, 5 * kStages> c{};
    design_butterworth(2 * kStages, 0, c.data(), 5000.0f, kRate);
    return c;
}

struct StereoLayout {
    kvepackets::LayoutStream stream;
    uint32_t inputWire = 0;
    uint32_t outputWire = 0;
};

StereoLayout stereoLayout()
{
    using kvepackets::bits;
    StereoLayout l;
    kvepackets::LayoutStream &s = l.stream;
    s.lookupTable(16);
    std::array<uint32_t, 5> w{};
    for (uint32_t &id : w)
        id = s.wire(kChannels, kBlock, kRate);
    const uint32_t gain =
        s.module(kScalerSmoothedClassId, 0x101, {w[0], w[1]}, {bits(kGain), bits(kSmoothingMs), bits(kGain), 0});
    const uint32_t cascade = s.module(kBiquadCascadeClassId, 0x101, {w[1], w[2]}, {kStages});
    const uint32_t mixer = s.module(kMixerDenseClassId, 0x101, {w[2], w[3]});
    const uint32_t router = s.module(kRouterClassId, 0x101, {w[3], w[4]});
    const auto sections = lowpassSections();
    for (uint32_t i = 0; i < sections.size(); ++i)
        s.setValue(KVE_MEMBER_ADDRESS(cascade, 9) | KVE_MEMBER_DEREF, bits(sections[i]), i);
    for (uint32_t i = 0; i < kMix.size(); ++i)
        s.setValue(KVE_MEMBER_ADDRESS(mixer, 8) | KVE_MEMBER_DEREF, bits(kMix[i]), i);
    for (uint32_t i = 0; i < kRouting.size(); ++i)
        s.setValue(KVE_MEMBER_ADDRESS(router, 8) | KVE_MEMBER_DEREF, kRouting[i], i);
    const uint32_t layout = s.layout(4);
    s.place(layout, 0, {gain, cascade, mixer, router});
    s.bind(w.front(), kvepackets::inputPin(0)).bind(w.back(), kvepackets::outputPin(0));
    s.start();
    l.inputWire = w.front();
    l.outputWire = w.back();
    return l;
}

// The kernel calls the layout's four modules make for one block, on buffers of the same shape.
struct BareKernels {
    std::array<float, kWords> in{}, scaled{}, filtered{}, mixed{}, out{};
    std::array<float, 2 * kStages * kChannels> state{};
    std::array<float, 5 * kStages> sections = lowpassSections();
    float gain = kGain;
    float coeff = design_smoother(1, kSmoothingMs, kRate);

    void block()
    {
        kve_vecScaleSmooth_Nch(in.data(), scaled.data(), kChannels, &gain, kGain, coeff, kBlock);
        kve_vecBiquadCascade_2ch(scaled.data(), kChannels, filtered.data(), kChannels, sections.data(), state.data(),
                                 kStages, kBlock);
        kve_vecFill(mixed.data(), 1, 0.0f, kWords);
        for (uint32_t o = 0; o < kChannels; ++o)
            for (uint32_t i = 0; i < kChannels; ++i)
                kve_vecScaleAdd(filtered.data() + i, kChannels, mixed.data() + o, kChannels, kMix[o * kChannels + i],
                                kBlock);
        for (uint32_t o = 0; o < kChannels; ++o)
            kve_vecCopy32(mixed.data() + kRouting[o], kChannels, out.data() + o, kChannels, kBlock);
    }
};

template <class Fn> double secondsPerCall(Fn &&fn, int calls)
{
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < calls; ++k)
        fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / calls;
}

void PumpStereoLayout(benchmark::State &state)
{
    kvehost::Library lib = kvehost::makeLibrary();
    const StereoLayout layout = stereoLayout();
    if (lib->Create("bench", 0.0f, 0.0f) != 0 || kvehost::sendStream(*lib, layout.stream.words()) != 0) {
        state.SkipWithError("the layout cannot be built");
        return;
    }
    lib->SetLayoutAddresses(layout.inputWire, layout.outputWire, 0);
    std::vector<_Sample> in(kWords), out(kWords);
    BareKernels bare;
    for (uint32_t i = 0; i < kWords; ++i) {
        in[i].f = static_cast<float>(i % 17) / 17.0f - 0.5f;
        bare.in[i] = in[i].f;
    }
    const auto pump = [&] {
        lib->PumpAudio(in.data(), out.data(), kWords, kWords);
        benchmark::ClobberMemory();
    };
    for (auto _ : state) {
        if (lib->PumpAudio(in.data(), out.data(), kWords, kWords) != 0) {
            state.SkipWithError("the pump failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    constexpr int kCalls = 200000;
    const double kernels = secondsPerCall([&] { bare.block(); benchmark::ClobberMemory(); }, kCalls);
    const double pumped = secondsPerCall(pump, kCalls);
    const auto frames = static_cast<double>(state.iterations()) * kBlock;
    state.SetItemsProcessed(static_cast<int64_t>(frames * kChannels));
    state.counters["time_per_sample"] =
        benchmark::Counter(frames * kChannels, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // Audio seconds per wall-clock second for the stereo stream (the console labels every rate "/s").
    state.counters["realtime_x_48k"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
    state.counters["share_outside_kernels"] = pumped > 0.0 ? 1.0 - kernels / pumped : 0.0;
    state.counters["bare_kernels_ns_per_block"] = kernels * 1e9;
}
BENCHMARK(PumpStereoLayout);

} // namespace
