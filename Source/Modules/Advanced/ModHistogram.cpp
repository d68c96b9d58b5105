// Histogram: counts every sample of the input into `numBins` bins of width `binWidth` centred on `binStart` +
// k x `binWidth`, with the samples below the first bin and beyond the last in counters of their own. A NaN names no
// bin and is counted nowhere (not even in `totalCount`), so the bins and the two outer counters always add up to
// `totalCount`; an infinity counts as below or beyond.
#include <cmath>

#include "Modules/Advanced/Measurements.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::measurements;
using kve::shapes::inputs;
using kve::shapes::outputs;

constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(HistogramModule, numBins, Int),
    KVE_VARIABLE(HistogramModule, binStart, Float),
    KVE_VARIABLE(HistogramModule, binWidth, Float),
    KVE_VARIABLE(HistogramModule, reset, Int),
    KVE_VARIABLE(HistogramModule, totalCount, Int),
    KVE_VARIABLE(HistogramModule, underCount, Int),
    KVE_VARIABLE(HistogramModule, overCount, Int),
    KVE_ARRAY(HistogramModule, histogram, IntArray, fixedLength(0)),
};

// A negative bin count is refused (-67).
ClassModule *histogramConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 0))
        return nullptr;
    const auto bins = argc >= 1 && args != nullptr ? static_cast<int32_t>(args[0]) : 0;
    if (bins < 0) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    auto variables = kVariables;
    variables[7].length = fixedLength(static_cast<uint32_t>(bins));
    return construct(kve_modHistogramClass, variables, 1, 0, status, wireWord, wires, argc, args);
}

void histogramProcess(ClassModule *m)
{
    auto *h = reinterpret_cast<HistogramModule *>(m);
    const uint32_t bins = heldCount(h->numBins, capacity(m, 0));
    if (h->reset != 0) {
        kve_vecFillFract32(reinterpret_cast<Fract32 *>(h->histogram), 1, 0, static_cast<int32_t>(capacity(m, 0)));
        h->reset = 0;
    }
    const GenericWire *in = wire(m, 0);
    const auto *x = static_cast<const float *>(in->buffer);
    const float perBin = 1.0f / h->binWidth;
    const auto lastEdge = static_cast<float>(bins);
    uint32_t seen = 0;
    uint32_t under = 0;
    uint32_t over = 0;
    for (uint32_t i = 0; i < wireWords(in); ++i) {
        const float k = std::floor((x[i] - h->binStart) * perBin + 0.5f);
        if (std::isnan(k))
            continue;
        ++seen;
        if (k < 0.0f)
            ++under;
        else if (k >= lastEdge)
            ++over;
        else
            ++h->histogram[static_cast<uint32_t>(k)];
    }
    h->totalCount = counted(h->totalCount, seen);
    h->underCount = counted(h->underCount, under);
    h->overCount = counted(h->overCount, over);
    if (outputs(m) >= 1) {
        GenericWire *out = wire(m, inputs(m));
        kve_vecCopy32(h->histogram, 1, out->buffer, 1, static_cast<int32_t>(std::min(bins, wireWords(out))));
    }
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modHistogramClass =
    makeClass<8>(0xBEEF0D06u, {histogramConstructor, histogramProcess, histogramProcess}, kVariables);
