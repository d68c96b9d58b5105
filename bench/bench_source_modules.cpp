// The signal generators in layouts pumped through the library interface, stereo, blocks of 32 and 256: ten modules
// of one class, each writing its own output wire, each iteration timing one pump beside the kernels the class runs,
// called bare on the same buffers:
// - SineGen beside the rotating-phasor kernel;
// - WhiteNoise (its three inner modules: random words, conversion to float, scaling) beside the three kernels.
// Figures are ns per module per sample (frame) and the pump's multiple of the bare work.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "LayoutBench.h"
#include "kve/kve_vec.h"

namespace {

using kvebench::Layout;
using kvepackets::bits;

constexpr uint32_t kChannels = 2;
constexpr uint32_t kFanOut = 10;

constexpr uint32_t kSineGen = 0xBEEF0FFBu;
constexpr uint32_t kWhiteNoise = 0xBEEF087Cu;
constexpr uint32_t kWhiteNoiseInner = 3;

// The generators' wire word: no input, one output, and `scratch` scratch wires.
constexpr uint32_t sourceWiring(uint32_t scratch) { return (scratch << 16) | 0x100u; }

// Ten generators, each on its own output wire (and scratch wire): wires input (pinned, unused), then per module its
// output and scratch wire. The last output is pinned.
Layout generators(uint32_t classId, uint32_t scratch, uint32_t inner, uint32_t block, const std::vector<uint32_t> &args)
{
    Layout l;
    l.stream.lookupTable((2 + inner) * kFanOut + 16);
    l.input = l.stream.wire(kChannels, block);
    l.wires.push_back(l.input);
    std::vector<uint32_t> modules;
    for (uint32_t k = 0; k < kFanOut; ++k) {
        std::vector<uint32_t> wired = {l.stream.wire(kChannels, block)};
        if (scratch != 0)
            wired.push_back(l.stream.wire(kChannels, block));
        modules.push_back(l.stream.module(classId, sourceWiring(scratch), wired, args, inner));
        l.wires.insert(l.wires.end(), wired.begin(), wired.end());
        l.output = wired.front();
    }
    kvebench::finish(l, modules);
    return l;
}

void silence(_Sample *s, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i)
        s[i].f = 0.0f;
}

void SineGenBesideKernel(benchmark::State &state)
{
    // 1 kHz at 48 kHz from the phasor (1, 0); the bare kernel turns its own phasor by the same angle.
    const auto block = static_cast<uint32_t>(state.range(0));
    const float w = 6.2831855f * 1000.0f / 48000.0f;
    const float c = std::cos(w), s = std::sin(w);
    Layout l = generators(kSineGen, 0, 0, block, {bits(1000.0f), 0, bits(1.0f), 0, bits(c), bits(s)});
    std::vector<float> a(kFanOut, 1.0f), b(kFanOut, 0.0f);
    kvebench::run(state, l, block, silence, [&](const std::vector<void *> &wires, int32_t words) {
        for (uint32_t k = 0; k < kFanOut; ++k)
            kve_vecSineGen(static_cast<float *>(wires[1 + k]), &a[k], &b[k], kChannels, words / kChannels, c, s);
    });
}
BENCHMARK(SineGenBesideKernel)->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

void WhiteNoiseBesideKernels(benchmark::State &state)
{
    // Amplitude 0.5: random words into the scratch wire, converted to float there, scaled into the output.
    const auto block = static_cast<uint32_t>(state.range(0));
    Layout l = generators(kWhiteNoise, 1, kWhiteNoiseInner, block, {bits(0.5f)});
    std::vector<uint32_t> seeds(kFanOut, 0);
    kvebench::run(state, l, block, silence, [&](const std::vector<void *> &wires, int32_t words) {
        for (uint32_t k = 0; k < kFanOut; ++k) {
            auto *out = static_cast<float *>(wires[1 + 2 * k]);
            auto *scratch = static_cast<int32_t *>(wires[2 + 2 * k]);
            kve_vecRand(scratch, &seeds[k], words);
            kve_vecIntToFloat(scratch, 1, reinterpret_cast<float *>(scratch), 1, words);
            kve_vecScale(reinterpret_cast<float *>(scratch), 1, out, 1, 0.5f * 4.656613e-10f, words);
        }
    });
}
BENCHMARK(WhiteNoiseBesideKernels)
    ->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
