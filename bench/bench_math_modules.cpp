// The math, logic and conversion modules in layouts pumped through the library interface, each iteration timing one
// pump beside the same work run bare on the same wire buffers (same caches, same clock speed):
// - a chain of 100 elementwise classes (Abs, ScaleOffset, Adder 2->1, TypeConversion, LogicCompare), stereo, beside
//   the kernels those classes call;
// - ten modules of one class fed from one wire (Sin, Exp, Pow), beside a plain loop over the same math function;
// - ten fixed-point decibel modules beside the kernel or function of their float twin.
// Figures are ns per module per sample (frame) and the pump's multiple of the bare work.
#include <benchmark/benchmark.h>

#include <cmath>
#include <functional>
#include <vector>

#include "Engine/LibraryHost.h"
#include "LayoutBench.h"
#include "kve/kve_engine.h"
#include "kve/kve_vec.h"

namespace {

using kvebench::finish;
using kvebench::Layout;
using kvebench::run;
using kvebench::spread;
using kvepackets::bits;

constexpr uint32_t kChannels = 2;

constexpr uint32_t kAbs = 0xBEEF082Bu;
constexpr uint32_t kScaleOffset = 0xBEEF0817u;
constexpr uint32_t kAdder = 0xBEEF082Cu;
constexpr uint32_t kTypeConversion = 0xBEEF0866u;
constexpr uint32_t kLogicCompare = 0xBEEF0826u;
constexpr uint32_t kSin = 0xBEEF0857u;
constexpr uint32_t kExp = 0xBEEF0830u;
constexpr uint32_t kPow = 0xBEEF083Au;
constexpr uint32_t kDb20Fract32 = 0xBEEF088Du;
constexpr uint32_t kUndb20Fract32 = 0xBEEF08D5u;
constexpr uint32_t kUndb10Fract32 = 0xBEEF08D4u;

constexpr float kGain = 0.5f;
constexpr float kOffset = 0.1f;
constexpr uint32_t kLessThan = 2;

// Twenty groups of five: x -> Abs -> b -> ScaleOffset -> c; Adder(c, x) -> the next group's x; TypeConversion of
// that sum to Fract32; LogicCompare(c, sum). Wires of group g: x, b, c, q (Fract32), flags; the last x is the output.
constexpr uint32_t kGroups = 20;
constexpr uint32_t kWiresPerGroup = 5;

Layout elementwiseChain(uint32_t block)
{
    Layout l;
    l.stream.lookupTable(kGroups * 10 + 16);
    uint32_t x = l.stream.wire(kChannels, block);
    l.input = x;
    std::vector<uint32_t> modules;
    for (uint32_t g = 0; g < kGroups; ++g) {
        const uint32_t b = l.stream.wire(kChannels, block);
        const uint32_t c = l.stream.wire(kChannels, block);
        const uint32_t q = l.stream.wire(kChannels, block);
        const uint32_t flags = l.stream.wire(kChannels, block);
        const uint32_t sum = l.stream.wire(kChannels, block);
        l.wires.insert(l.wires.end(), {x, b, c, q, flags});
        modules.push_back(l.stream.module(kAbs, 0x101, {x, b}));
        modules.push_back(l.stream.module(kScaleOffset, 0x101, {b, c}, {bits(kGain), bits(kOffset)}));
        modules.push_back(l.stream.module(kAdder, 0x102, {c, x, sum}, {0}));
        modules.push_back(l.stream.module(kTypeConversion, 0x101, {sum, q}, {0, 1}));
        modules.push_back(l.stream.module(kLogicCompare, 0x102, {c, sum, flags}, {kLessThan}));
        x = sum;
    }
    l.wires.push_back(x);
    l.output = x;
    finish(l, modules);
    return l;
}

// The kernels the chain's classes call, group by group, on the chain's own buffers.
void elementwiseBare(const std::vector<void *> &w, int32_t n)
{
    for (uint32_t g = 0; g < kGroups; ++g) {
        void *const *p = &w[g * kWiresPerGroup];
        auto *x = static_cast<float *>(p[0]);
        auto *b = static_cast<float *>(p[1]);
        auto *c = static_cast<float *>(p[2]);
        auto *q = static_cast<Fract32 *>(p[3]);
        auto *flags = static_cast<int32_t *>(p[4]);
        auto *sum = static_cast<float *>(p[kWiresPerGroup]);
        kve_vecAbs(x, 1, b, 1, n);
        kve_vecScaleOffset(b, 1, c, 1, kGain, kOffset, n);
        kve_vecAdd2x1(c, 1, x, 1, sum, 1, n);
        kve_vecFloatToFract32(sum, 1, q, 1, n);
        kve_vecFillInt32(flags, 1, 0, n);
        kve_vecLogicCompareLessThan(c, sum, flags, n);
    }
}

// Ten modules of one class on one input wire (and, for two-input classes, one second wire), each into its own
// output. Wires: input, second (two-input classes only), then the ten outputs; the last output is pinned.
constexpr uint32_t kFanOut = 10;

Layout fanOut(uint32_t classId, uint32_t inputs, uint32_t block)
{
    Layout l;
    l.stream.lookupTable(2 * kFanOut + 16);
    l.input = l.stream.wire(kChannels, block);
    l.wires.push_back(l.input);
    if (inputs == 2)
        l.wires.push_back(l.stream.wire(kChannels, block));
    std::vector<uint32_t> modules;
    for (uint32_t k = 0; k < kFanOut; ++k) {
        const uint32_t out = l.stream.wire(kChannels, block);
        std::vector<uint32_t> wired(l.wires.begin(), l.wires.begin() + inputs);
        wired.push_back(out);
        modules.push_back(l.stream.module(classId, (1u << 8) | inputs, wired));
        l.wires.push_back(out);
    }
    l.output = l.wires.back();
    finish(l, modules);
    return l;
}

// The bare work of one module of a fan-out: reads the input wire(s), writes one output.
using Bare = std::function<void(void *const *inputs, void *out, int32_t n)>;

// Fixed-point words with 23 fractional bits, of float values spread over lo..hi.
void spreadQ23(_Sample *s, uint32_t n, float lo, float hi)
{
    for (uint32_t i = 0; i < n; ++i)
        s[i].i = static_cast<int32_t>(std::lround((lo + (hi - lo) * static_cast<float>(i % 29) / 28.0f) * 8388608.0f));
}

void ElementwiseChain(benchmark::State &state)
{
    const auto block = static_cast<uint32_t>(state.range(0));
    Layout l = elementwiseChain(block);
    run(state, l, block, [](_Sample *s, uint32_t n) { spread(s, n, 1.0f); }, elementwiseBare);
}
BENCHMARK(ElementwiseChain)->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

// Runs `bare` once per module of a fan-out, as the modules do.
std::function<void(const std::vector<void *> &, int32_t)> perModule(uint32_t inputs, Bare bare)
{
    return [inputs, bare](const std::vector<void *> &w, int32_t n) {
        for (uint32_t k = 0; k < kFanOut; ++k)
            bare(w.data(), w[inputs + k], n);
    };
}

// A one-input class beside a loop over the function it is built on.
void UnaryBesideLoop(benchmark::State &state, uint32_t classId, float (*f)(float), float range)
{
    const auto block = static_cast<uint32_t>(state.range(0));
    Layout l = fanOut(classId, 1, block);
    run(state, l, block, [range](_Sample *s, uint32_t n) { spread(s, n, range); },
        perModule(1, [f](void *const *in, void *out, int32_t n) {
            const auto *x = static_cast<const float *>(in[0]);
            auto *y = static_cast<float *>(out);
            for (int32_t i = 0; i < n; ++i)
                y[i] = f(x[i]);
        }));
}
BENCHMARK_CAPTURE(UnaryBesideLoop, Sin, kSin, sinf, 3.0f)
    ->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(UnaryBesideLoop, Exp, kExp, expf, 5.0f)
    ->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

void PowBesideLoop(benchmark::State &state)
{
    const auto block = static_cast<uint32_t>(state.range(0));
    Layout l = fanOut(kPow, 2, block);
    run(
        state, l, block, [](_Sample *s, uint32_t n) { spread(s, n, 2.0f); },
        perModule(2,
                  [](void *const *in, void *out, int32_t n) {
                      const auto *a = static_cast<const float *>(in[0]);
                      const auto *b = static_cast<const float *>(in[1]);
                      auto *y = static_cast<float *>(out);
                      for (int32_t i = 0; i < n; ++i)
                          y[i] = powf(std::fabs(a[i]), b[i]);
                  }),
        [](void *p, uint32_t n) { spread(static_cast<_Sample *>(p), n, 2.0f); });
}
BENCHMARK(PowBesideLoop)->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

// 10^(x/10) as the float Undb10 class computes it.
void undb10(const float *x, float *y, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        y[i] = expf(x[i] * 0.230258509516716f);
}

// A fixed-point decibel class (input words with 23 fractional bits over lo..hi) beside the kernel or loop of its float
// twin on float input `twinInput` (pump_over_bare is then fixed over float).
void FixedBesideFloat(benchmark::State &state, uint32_t classId, float lo, float hi, float twinInput,
                      void (*twin)(const float *, float *, int32_t))
{
    const auto block = static_cast<uint32_t>(state.range(0));
    Layout l = fanOut(classId, 1, block);
    std::vector<float> x(block * kChannels, twinInput);
    run(state, l, block, [lo, hi](_Sample *s, uint32_t n) { spreadQ23(s, n, lo, hi); },
        perModule(1, [&x, twin](void *const *, void *out, int32_t n) { twin(x.data(), static_cast<float *>(out), n); }));
}
BENCHMARK_CAPTURE(FixedBesideFloat, Db20Fract32, kDb20Fract32, 0.001f, 4.0f, 0.5f, kve_vecDb20)
    ->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FixedBesideFloat, Undb20Fract32, kUndb20Fract32, -60.0f, 20.0f, -12.0f, kve_vecUnDb20)
    ->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FixedBesideFloat, Undb10Fract32, kUndb10Fract32, -60.0f, 20.0f, -12.0f, undb10)
    ->Arg(32)->Arg(256)->ArgName("block")->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
