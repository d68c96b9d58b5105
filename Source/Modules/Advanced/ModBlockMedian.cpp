// BlockMedian: the median of each channel's block, one output sample per channel, sorted on the scratch wire.
#include "Modules/Advanced/Statistics.h"

namespace {

using namespace kve::kit;
using namespace kve::statistics;

constexpr std::array<Variable, 0> kVariables = {};

// Samples per channel of the input.
uint32_t framesOf(const GenericWire *in)
{
    const uint32_t ch = KVE_WIRE_CHANNELS(in->info1);
    return ch == 0 ? 0 : wireWords(in) / ch;
}

// Refuses a missing scratch wire or one shorter than a channel's block (-67): every channel is sorted there.
ClassModule *kve_modBlockMedianConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                           const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const uint32_t scratch = KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord);
    if (wires != nullptr && wires[0] != nullptr &&
        (KVE_PACKED_SCRATCH(wireWord) < 1 || wires[scratch] == nullptr ||
         wireWords(wires[scratch]) < framesOf(wires[0]))) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    return construct(kve_modBlockMedianClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void kve_modBlockMedianProcess(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputCount(m));
    const GenericWire *scratch = wire(m, inputCount(m) + outputCount(m));
    const uint32_t channels = KVE_WIRE_CHANNELS(in->info1);
    const auto n = static_cast<int32_t>(std::min(framesOf(in), wireWords(scratch)));
    float *sorted = wordsOf<float>(scratch);
    const uint32_t served = std::min(channels, wireWords(out));
    for (uint32_t c = 0; c < served; ++c) {
        float median = 0.0f;
        if (n > 0) {
            kve_vecCopy32(wordsOf<float>(in) + c, static_cast<int32_t>(channels), sorted, 1, n);
            kve_vecSort(sorted, n);
            // Halves added, so two large samples of one sign never overflow to infinity.
            median = n % 2 == 1 ? sorted[(n - 1) / 2] : 0.5f * sorted[n / 2 - 1] + 0.5f * sorted[n / 2];
        }
        wordsOf<float>(out)[c] = median;
    }
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modBlockMedianClass = makeClass<0>(
    0xBEEF0CC9u, {kve_modBlockMedianConstructor, kve_modBlockMedianProcess}, kVariables);
