// SbSplitter: one spectrum wire (complex subbands or real bins) into `numBands` band-limited copies, by masks that
// Set fills with a half-cosine over each transition, so that the bands on both sides of a transition sum to 1.
#include "Modules/Advanced/SbSplitter.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::splitter;
using kve::filters::elementFactor;
using kve::filters::sizeArgument;
using kve::scalers::channels;
using kve::scalers::frames;
using kve::scalers::isComplex;
using kve::scalers::samples;

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(SbSplitterModule, numBands, Int),
    KVE_ARRAY_IN(SbSplitterModule, crossoverFreqs, FloatArray, fixedLength(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY_IN(SbSplitterModule, crossoverWidths, FloatArray, fixedLength(0), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY_IN(SbSplitterModule, bandMasks, FloatArray, fixedLength(0), KVE_HEAPS_HOST_ARRAYS),
};

constexpr float kPi = 3.1415927f;
// Edges beyond any wire's bins; keeps a host's extreme crossover an integer the mask fills can compare.
constexpr float kFarBin = 16777216.0f;

// Bins per channel of a spectrum wire: complex subbands count two words each.
uint32_t binsOf(const GenericWire *w) { return isComplex(w) ? blockSize(w) / 2 : blockSize(w); }

ClassModule *kve_modSbSplitterConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 0))
        return nullptr;
    const int32_t bands = sizeArgument(argc, args, 1, 0);
    if (argc == 1 && bands < 2) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    const uint32_t built = bands < 2 ? 0u : static_cast<uint32_t>(bands);
    const uint32_t bins = wires != nullptr && wires[0] != nullptr ? binsOf(wires[0]) : 0;
    auto variables = kVariables;
    variables[1].length = fixedLength(built == 0 ? 0 : built - 1);
    variables[2].length = fixedLength(built == 0 ? 0 : built - 1);
    variables[3].length = fixedLength(elementFactor(built, bins));
    return construct(kve_modSbSplitterClass, variables, 1, built, status, wireWord, wires, argc, args);
}

// The bands built, and the host's `numBands` held to 2 .. that.
uint32_t builtBands(ClassModule *m) { return capacity(m, 0) + 1; }
uint32_t bandCount(ClassModule *m)
{
    const int32_t written = reinterpret_cast<SbSplitterModule *>(m)->numBands;
    return written < 2 ? 2u : std::min(static_cast<uint32_t>(written), builtBands(m));
}
// Bins of every mask row: the input's, within the rows built.
uint32_t maskBins(ClassModule *m) { return std::min(binsOf(wire(m, 0)), capacity(m, 2) / builtBands(m)); }

// The bin of a frequency already scaled to bins: rounded down after adding a half. NaN names no bin and gives 0.
int32_t binOf(float scaled)
{
    const float b = std::floor(scaled + 0.5f);
    if (std::isnan(b))
        return 0;
    return static_cast<int32_t>(std::clamp(b, -kFarBin, kFarBin));
}

// A transition spans bins lo .. hi - 1; an upper edge at or beyond the last bin ends the transition there, so the
// last bin belongs wholly to the band above.
struct Transition {
    int32_t lo, hi;
};

Transition transitionOf(const SbSplitterModule *s, uint32_t k, float binsPerUnit, uint32_t bins)
{
    const float f = s->crossoverFreqs[k];
    const float halfWidth = 0.5f * s->crossoverWidths[k];
    const int32_t hi = binOf((f + halfWidth) * binsPerUnit);
    const auto end = static_cast<int32_t>(bins);
    return {binOf((f - halfWidth) * binsPerUnit), hi >= end ? end - 1 : hi};
}

// Writes value into bins from .. to - 1 of a row, clipped to the row.
void fillBins(float *row, uint32_t bins, int32_t from, int32_t to, float value)
{
    const int32_t first = std::max(from, 0);
    const int32_t end = std::min(to, static_cast<int32_t>(bins));
    if (end > first)
        kve_vecFill(row + first, 1, value, end - first);
}

// The half-cosine over a transition, rising into the band above it or falling out of the band below; the phase
// counts from the transition's lower edge even where that lies below bin 0.
void fillTransition(float *row, uint32_t bins, Transition t, bool rising)
{
    const int32_t end = std::min(t.hi, static_cast<int32_t>(bins));
    for (int32_t j = std::max(t.lo, 0); j < end; ++j) {
        const float c = std::cos(kPi * static_cast<float>(j - t.lo) / static_cast<float>(t.hi - t.lo));
        row[j] = rising ? (1.0f - c) / 2.0f : (1.0f + c) / 2.0f;
    }
}

void kve_modSbSplitterProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<SbSplitterModule *>(m);
    const GenericWire *in = wire(m, 0);
    const uint32_t parts = isComplex(in) ? 2 : 1;
    const uint32_t stride = channels(in) * parts;
    const uint32_t bins = maskBins(m);
    const uint32_t bands = bandCount(m);
    for (uint32_t b = 0; b < bands; ++b) {
        const GenericWire *out = wire(m, 1 + b);
        const auto n = static_cast<int32_t>(std::min<uint32_t>(bins, static_cast<uint32_t>(frames(in, out)) / parts));
        const float *mask = s->bandMasks + b * bins;
        for (uint32_t w = 0; w < stride; ++w)
            kve_vecMultiply2x1(samples(in) + w, static_cast<int32_t>(stride), mask, 1, samples(out) + w,
                               static_cast<int32_t>(stride), n);
    }
}

int32_t kve_modSbSplitterSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SbSplitterModule *>(m);
    const float binsPerUnit = 1.0f / (0.5f * wire(m, 0)->sampleRate);
    const uint32_t bins = maskBins(m);
    const uint32_t bands = bandCount(m);
    for (uint32_t b = 0; b < bands; ++b) {
        float *row = s->bandMasks + b * bins;
        kve_vecFill(row, 1, 0.0f, static_cast<int32_t>(bins));
        const bool lowest = b == 0;
        const bool highest = b + 1 == bands;
        const Transition below = lowest ? Transition{0, 0} : transitionOf(s, b - 1, binsPerUnit, bins);
        const Transition above = highest ? Transition{0, 0} : transitionOf(s, b, binsPerUnit, bins);
        // The pass region starts where the transition below ends, or at its lower edge when that lies above the
        // end (a transition past the last bin, or one of negative width), so the band below never overlaps it.
        fillBins(row, bins, lowest ? 0 : std::max(below.lo, below.hi), highest ? INT32_MAX : above.lo, 1.0f);
        if (!lowest)
            fillTransition(row, bins, below, true);
        if (!highest)
            fillTransition(row, bins, above, false);
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modSbSplitterClass =
    makeClass<4>(0xBEEF0D31u,
                 {kve_modSbSplitterConstructor, kve_modSbSplitterProcess, IOMatchUpModule_Bypass,
                  kve_modSbSplitterSet},
                 kVariables);
