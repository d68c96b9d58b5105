// SbSmooth: every bin of a real frequency-domain block replaced by the average of a window of bins around it, of
// constant width or of constant width in octaves, from `startFreq` up; Set places the windows and Process averages
// through a running sum, so each bin costs one subtraction whatever its window's width.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "Modules/Advanced/SbBlocks.h"
#include "Modules/Standard/Scalers.h"

namespace {

using namespace kve::kit;
using kve::scalers::samples;

struct SbSmoothModule {
    ClassModule header;
    int32_t windowMode;
    float startFreq;
    float windowWidth; // half-width in the unit of the wire's rate (constant width) or in octaves
    int32_t *windowLow;
    int32_t *windowHigh;
    float *windowNorm;
    float *cumSum;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(SbSmoothModule, windowMode, Int),
    KVE_VARIABLE(SbSmoothModule, startFreq, Float),
    KVE_VARIABLE(SbSmoothModule, windowWidth, Float),
    KVE_ARRAY(SbSmoothModule, windowLow, IntArray, perWordOfWire(0)),
    KVE_ARRAY(SbSmoothModule, windowHigh, IntArray, perWordOfWire(0)),
    KVE_ARRAY(SbSmoothModule, windowNorm, FloatArray, perWordOfWire(0)),
    // The running sum has one entry more than the block: entry i sums the words before word i.
    Variable{offsetof(SbSmoothModule, cumSum), Type::FloatArray, Length{Length::From::WireWords, 0, 1, 1}},
};
enum Array : uint32_t { kLow, kHigh, kNorm, kCumSum };
enum Mode : int32_t { kConstantWidth = 0, kConstantOctaves = 1 };

ClassModule *kve_modSbSmoothConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    return construct(kve_modSbSmoothClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

// Words every window array and the running sum hold.
uint32_t windowCount(ClassModule *m)
{
    return std::min({capacity(m, kLow), capacity(m, kHigh), capacity(m, kNorm), capacity(m, kCumSum) - 1});
}

void kve_modSbSmoothProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SbSmoothModule *>(m);
    const float *in = samples(wire(m, 0));
    float *out = samples(wire(m, 1));
    const uint32_t n = std::min({wireWords(wire(m, 0)), wireWords(wire(m, 1)), windowCount(m)});
    s->cumSum[0] = 0.0f;
    for (uint32_t i = 0; i < n; ++i)
        s->cumSum[i + 1] = s->cumSum[i] + in[i];
    // Edges a host wrote stay inside the running sum.
    const auto last = static_cast<int32_t>(n);
    for (uint32_t i = 0; i < n; ++i) {
        const int32_t low = std::clamp(s->windowLow[i], 0, last);
        const int32_t high = std::clamp(s->windowHigh[i], 0, last);
        out[i] = (s->cumSum[high] - s->cumSum[low]) * s->windowNorm[i];
    }
}

// A window of words low .. high - 1 for bin i of n: an upper edge at or past the end is held to n - 1, as the
// window of the top bins is, and an empty window (an upper edge at or below the lower one) is the bin alone.
void placeWindow(SbSmoothModule *s, uint32_t i, int64_t low, int64_t high, uint32_t n)
{
    const auto end = static_cast<int64_t>(n);
    high = high >= end ? end - 1 : high;
    low = std::clamp<int64_t>(low, 0, end);
    if (high <= low) {
        low = i;
        high = i + 1;
    }
    s->windowLow[i] = static_cast<int32_t>(low);
    s->windowHigh[i] = static_cast<int32_t>(high);
    s->windowNorm[i] = 1.0f / static_cast<float>(high - low);
}

int32_t kve_modSbSmoothSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SbSmoothModule *>(m);
    const uint32_t n = std::min(blockSize(wire(m, 0)), windowCount(m));
    const float half = 0.5f * wire(m, 0)->sampleRate;
    const auto start =
        static_cast<uint32_t>(std::clamp<int64_t>(kve_truncateToInt32(s->startFreq / half + 0.5f), 0, n));
    for (uint32_t i = 0; i < start; ++i)
        placeWindow(s, i, i, i + 1, n);
    const int64_t d = kve_truncateToInt32(s->windowWidth / half + 0.5f);
    const float below = std::exp2(-s->windowWidth);
    const float above = std::exp2(s->windowWidth);
    for (uint32_t i = start; i < n; ++i) {
        const auto bin = static_cast<float>(i);
        if (s->windowMode == kConstantWidth)
            placeWindow(s, i, i - d, i + d + 1, n);
        else if (s->windowMode == kConstantOctaves)
            placeWindow(s, i, kve_truncateToInt32(below * bin + 0.5f),
                        static_cast<int64_t>(kve_truncateToInt32(above * bin + 0.5f)) + 1, n);
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modSbSmoothClass = makeClass<7>(
    0xBEEF0D2Fu, {kve_modSbSmoothConstructor, kve_modSbSmoothProcess, IOMatchUpModule_Bypass, kve_modSbSmoothSet},
    kVariables);
