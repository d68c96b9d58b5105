// The delay, meter, RMS and gain-computer modules in layouts pumped through the library interface, stereo, blocks of
// 32 and 256: ten modules of one class fed from one input wire, each iteration timing one pump beside the same work
// run bare on the same wire buffers:
// - Delay beside an L1 copy of the block (a delay moves each sample twice: into its ring and out of it), and Copier
//   (one copy per module) beside the same copy;
// - Meter (per sample), RMS, AGCLimiterCore and AGCCore beside the kernels they call, called bare.
// Figures are ns per module per sample (frame) and the pump's multiple of the bare work.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "LayoutBench.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using kvebench::Layout;
using kvepackets::bits;

constexpr uint32_t kChannels = 2;
constexpr uint32_t kFanOut = 10;
constexpr float kSampleRate = 48000.0f;

constexpr uint32_t kDelay = 0xBEEF0800u;
constexpr uint32_t kCopier = 0xBEEF0860u;
constexpr uint32_t kMeter = 0xBEEF086Bu;
constexpr uint32_t kRMS = 0xBEEF087Fu;
constexpr uint32_t kAGCLimiterCore = 0xBEEF0804u;
constexpr uint32_t kAGCCore = 0xBEEF0802u;

// Ten modules on the stereo input wire, each writing its own output wire of `outChannels` channels. Wires: the input,
// then the ten outputs; the last output is pinned.
Layout fanOut(uint32_t classId, uint32_t outChannels, uint32_t block, const std::vector<uint32_t> &args)
{
    Layout l;
    l.stream.lookupTable(2 * kFanOut + 16);
    l.input = l.stream.wire(kChannels, block);
    l.wires.push_back(l.input);
    std::vector<uint32_t> modules;
    for (uint32_t k = 0; k < kFanOut; ++k) {
        const uint32_t out = l.stream.wire(outChannels, block);
        modules.push_back(l.stream.module(classId, 0x101, {l.input, out}, args));
        l.wires.push_back(out);
    }
    l.output = l.wires.back();
    l.outputChannels = outChannels;
    kvebench::finish(l, modules);
    return l;
}

// A decaying 1 kHz tone over -0.9..0.9, so the gain computers both limit and release.
void tone(_Sample *s, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i) {
        const float t = static_cast<float>(i / kChannels);
        s[i].f = 0.9f * std::exp(-t / 200.0f) * std::sin(6.2831855f * 1000.0f * t / kSampleRate);
    }
}

void run(benchmark::State &state, uint32_t classId, uint32_t outChannels, const std::vector<uint32_t> &args,
         const std::function<void(const float *in, void *out, int32_t frames)> &bare)
{
    const auto block = static_cast<uint32_t>(state.range(0));
    Layout l = fanOut(classId, outChannels, block, args);
    kvebench::run(state, l, block, tone, [&bare](const std::vector<void *> &w, int32_t words) {
        for (uint32_t k = 0; k < kFanOut; ++k)
            bare(static_cast<const float *>(w[0]), w[1 + k], words / static_cast<int32_t>(kChannels));
    });
}

void DelayBesideCopy(benchmark::State &state)
{
    // maxDelay 480 (10 ms), currentDelay 100, stateIndex 0, the default heaps.
    run(state, kDelay, kChannels, {100, 50, 0, KVE_HEAPS_DEFAULT}, [](const float *in, void *out, int32_t frames) {
        std::memcpy(out, in, sizeof(float) * kChannels * static_cast<uint32_t>(frames));
    });
}
BENCHMARK(DelayBesideCopy)->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

// The same copy made by Copier modules, one copy per module: what the pump adds to a block's copy, for the delay's
// figures to be read against.
void CopierBesideCopy(benchmark::State &state)
{
    run(state, kCopier, kChannels, {}, [](const float *in, void *out, int32_t frames) {
        std::memcpy(out, in, sizeof(float) * kChannels * static_cast<uint32_t>(frames));
    });
}
BENCHMARK(CopierBesideCopy)->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

void MeterBesideKernel(benchmark::State &state)
{
    // Meter type 1 (per sample, standard ballistics) into a mono work wire; the bare work follows both channels with
    // the same envelope kernel and coefficients.
    const float attack = design_smoother(1, 4.34f, kSampleRate);
    const float release = design_smoother(1, 1450.0f * 0.434f, kSampleRate);
    std::vector<float> envelope(kChannels, 0.0f);
    run(state, kMeter, 1, {1, bits(10.0f), bits(1450.0f), bits(attack), bits(release)},
        [&](const float *in, void *out, int32_t frames) {
            for (uint32_t c = 0; c < kChannels; ++c)
                kve_vecAttackRelease(in + c, kChannels, static_cast<float *>(out), 1, &envelope[c], attack, release,
                                     frames);
        });
}
BENCHMARK(MeterBesideKernel)->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

void RMSBesideKernel(benchmark::State &state)
{
    // averagingTime 100 ms (Set designs the averager); the bare work is the block's sum of squares and the averager,
    // with the block's and the running RMS.
    float average = 0.0f, previous = 0.0f, blockRms = 0.0f;
    run(state, kRMS, 1, {bits(100.0f), 0, 0, 0, 0, 0, 0, 0}, [&](const float *in, void *out, int32_t frames) {
        const int32_t words = frames * static_cast<int32_t>(kChannels);
        const float meanSquare = kve_vecSumSquared(in, words) / static_cast<float>(words);
        average = 0.05f * meanSquare + 0.0f * previous + 0.95f * average;
        previous = meanSquare;
        blockRms = std::sqrt(meanSquare);
        static_cast<float *>(out)[0] = std::sqrt(average);
        benchmark::DoNotOptimize(blockRms);
    });
}
BENCHMARK(RMSBesideKernel)->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

void AGCLimiterCoreBesideKernel(benchmark::State &state)
{
    // threshold -6 dB, no make-up gain, ratio 10 with a 6 dB knee, attack 1 ms, decay 100 ms, unity gain to start;
    // Set designs the rest.
    const float attack = design_smoother(1, 1.0f, kSampleRate);
    const float decay = design_smoother(1, 100.0f, kSampleRate);
    const float slope = 1.0f - 1.0f / 10.0f;
    float envelope = 0.0f;
    run(state, kAGCLimiterCore, 1,
        {bits(-6.0f), bits(0.0f), bits(slope), bits(6.0f), bits(10.0f), bits(1.0f), bits(100.0f), bits(1.0f), 0, 0, 0, 0},
        [&](const float *in, void *out, int32_t frames) {
            kve_vecAGCLimiterCore(in, static_cast<float *>(out), frames, &envelope, attack, decay, -6.0f, 6.0f, slope,
                                  1.0f / 6.0f, 0.0f);
        });
}
BENCHMARK(AGCLimiterCoreBesideKernel)
    ->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

void AGCCoreBesideKernel(benchmark::State &state)
{
    // targetLevel -20 dB, 20 dB either way, ratio 4, active above -60 dB, 10 ms smoothing, recovery 6 dB/s. The bare
    // work: the block's mean square, the gain law and the per-sample smoother.
    const float smoother = design_smoother(1, 10.0f, kSampleRate);
    float smoothed = 0.0f, gain = 1.0f;
    run(state, kAGCCore, 1,
        {bits(-20.0f), bits(20.0f), bits(20.0f), bits(4.0f), bits(-60.0f), bits(10.0f), 1, bits(6.0f), bits(1.0f), 0, 0, 0, 0,
         0, bits(1.0f), 0, 0},
        [&](const float *in, void *out, int32_t frames) {
            const int32_t words = frames * static_cast<int32_t>(kChannels);
            const float e = kve_vecSumSquared(in, words) / static_cast<float>(words);
            smoothed = 0.1f * e + 0.9f * smoothed;
            const float g = std::clamp((-20.0f - 4.3429446f * std::log(smoothed)) * 0.75f, -20.0f, 20.0f);
            kve_vecFirstOrderSmoother(static_cast<float *>(out), &gain, std::pow(10.0f, g / 20.0f), smoother, frames);
        });
}
BENCHMARK(AGCCoreBesideKernel)->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
