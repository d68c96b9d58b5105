// PDF: a smoothed estimate of each channel's probability density over `numBins` bins spanning `minValue` ..
// `maxValue`: every block not held, a channel's share of samples in each bin is blended into its estimate with the
// forgetting factor of `smoothingTime`. A reset request (a variable, or the first word of a third input when
// `resetInput` is 1) restarts every estimate as a uniform density.
#include <cmath>

#include "Modules/Advanced/Measurements.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::measurements;
using kve::shapes::channels;
using kve::shapes::inputs;

constexpr std::array<Variable, 11> kVariables = {
    KVE_VARIABLE(PDFModule, numBins, Int),
    KVE_VARIABLE(PDFModule, resetInput, Int),
    KVE_VARIABLE(PDFModule, minValue, Float),
    KVE_VARIABLE(PDFModule, maxValue, Float),
    KVE_VARIABLE(PDFModule, smoothingTime, Float),
    KVE_VARIABLE(PDFModule, forgetFactor, Float),
    KVE_VARIABLE(PDFModule, binWidth, Float),
    KVE_VARIABLE(PDFModule, reset, Int),
    KVE_ARRAY(PDFModule, binArray, FloatArray, fixedLength(0)),
    KVE_ARRAY(PDFModule, pdf, FloatArray, fixedLength(0)),
    KVE_ARRAY(PDFModule, binCounts, IntArray, fixedLength(0)),
};

// Wires: data, hold control and, when `resetInput` is 1, the reset request; one output. A negative bin count is
// refused (-67).
ClassModule *pdfConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                            const uint32_t *args)
{
    const bool resetWired = argc >= 2 && args != nullptr && static_cast<int32_t>(args[1]) == 1;
    if (!requireWires(status, wireWord, resetWired ? 3 : 2, 1))
        return nullptr;
    const auto bins = argc >= 1 && args != nullptr ? static_cast<int32_t>(args[0]) : 0;
    if (bins < 0) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    const auto built = static_cast<uint32_t>(bins);
    auto variables = kVariables;
    variables[8].length = fixedLength(built);
    variables[9].length = perChannelOfWire(0, built);
    variables[10].length = fixedLength(built);
    return construct(kve_modPDFClass, variables, resetWired ? 3 : 2, 1, status, wireWord, wires, argc, args);
}

uint32_t binsOf(ClassModule *m) { return heldCount(reinterpret_cast<PDFModule *>(m)->numBins, capacity(m, 2)); }

int32_t pdfSet(ClassModule *m, uint32_t)
{
    auto *p = reinterpret_cast<PDFModule *>(m);
    const GenericWire *in = wire(m, 0);
    p->forgetFactor =
        1.0f - design_smoother(static_cast<int32_t>(blockSize(in)), p->smoothingTime, in->sampleRate);
    p->binWidth = (p->maxValue - p->minValue) / static_cast<float>(binsOf(m));
    return 0;
}

// The bin of x: bin k holds minValue + k x binWidth < x <= minValue + (k + 1) x binWidth, and bin 0 also holds
// minValue itself. Returns `bins` (no bin) for samples outside the range and for NaN.
uint32_t binOf(const PDFModule *p, float x, float perBin, uint32_t bins)
{
    if (x == p->minValue)
        return 0;
    const float k = std::ceil((x - p->minValue) * perBin - 1.0f);
    return k >= 0.0f && k < static_cast<float>(bins) ? static_cast<uint32_t>(k) : bins;
}

// Blends one block of every channel into the estimates.
void update(PDFModule *p, const GenericWire *in, uint32_t bins, uint32_t served)
{
    const auto *x = static_cast<const float *>(in->buffer);
    const uint32_t stride = channels(in);
    const uint32_t frames = blockSize(in);
    const float perBin = 1.0f / p->binWidth;
    const float keep = p->forgetFactor;
    const float perSample = (1.0f - keep) / static_cast<float>(frames);
    for (uint32_t c = 0; c < served; ++c) {
        kve_vecFillFract32(reinterpret_cast<Fract32 *>(p->binCounts), 1, 0, static_cast<int32_t>(bins));
        for (uint32_t n = 0; n < frames; ++n) {
            const uint32_t k = binOf(p, x[n * stride + c], perBin, bins);
            if (k < bins)
                ++p->binCounts[k];
        }
        for (uint32_t k = 0; k < bins; ++k) {
            float &d = p->pdf[k * served + c];
            d = keep * d + perSample * static_cast<float>(p->binCounts[k]);
        }
    }
}

void pdfProcess(ClassModule *m)
{
    auto *p = reinterpret_cast<PDFModule *>(m);
    const GenericWire *in = wire(m, 0);
    const uint32_t bins = binsOf(m);
    // Channels whose rows the estimate was built with.
    const uint32_t served = bins == 0 ? 0 : std::min(channels(in), capacity(m, 1) / bins);
    const auto words = static_cast<int32_t>(bins * served);
    if (p->resetInput == 1 && inputs(m) >= 3 && wireWords(wire(m, 2)) != 0)
        p->reset = *static_cast<const int32_t *>(wire(m, 2)->buffer);
    if (p->reset != 0) {
        kve_vecFill(p->pdf, 1, 1.0f / static_cast<float>(bins), words);
        p->reset = 0;
    }
    const GenericWire *hold = wire(m, 1);
    if (blockSize(in) != 0 && wireWords(hold) != 0 && *static_cast<const int32_t *>(hold->buffer) == 0)
        update(p, in, bins, served);
    GenericWire *out = wire(m, inputs(m));
    kve_vecCopy32(p->pdf, 1, out->buffer, 1, std::min(words, static_cast<int32_t>(wireWords(out))));
}

} // namespace

extern "C" constinit const ClassRecord<11> kve_modPDFClass =
    makeClass<11>(0xBEEF0D5Au, {pdfConstructor, pdfProcess, IOMatchUpModule_Bypass, pdfSet}, kVariables);
