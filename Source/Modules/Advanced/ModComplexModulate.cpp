// ComplexModulate: every channel of wire 0 (real or complex) multiplied sample by sample by a complex exponential
// that turns `frequency` times across the block, into the complex wire 1. Set fills the table the product reads.
#include <cmath>

#include "Modules/Advanced/ComplexModules.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ComplexModulateModule, frequency, Float),
    KVE_ARRAY(ComplexModulateModule, modTable, FloatArray, fixedLength(0)),
};

constexpr float kTwoPi = 6.2831855f;

// The table holds one complex value per word pair of the output's block; an input channel longer than that would
// need table values that were never built.
ClassModule *complexModulateConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const uint32_t out = KVE_PACKED_INPUTS(wireWord);
    if (wires != nullptr && wires[0] != nullptr && wires[out] != nullptr &&
        2 * samplesPerChannel(wires[0]) > blockSize(wires[out])) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    auto variables = kVariables;
    variables[1].length = perBlockOfWire(out);
    return construct(kve_modComplexModulateClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

// Samples of a channel the table serves: the input's, within the table built.
uint32_t tableSamples(ClassModule *m) { return std::min(samplesPerChannel(wire(m, 0)), capacity(m, 0) / 2); }

void complexModulateProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<ComplexModulateModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputs(m));
    const int32_t n = fewest({tableSamples(m), blockSize(out) / 2});
    const auto inStride = static_cast<int32_t>(channels(in) * (isComplex(in) ? 2 : 1));
    const auto outStride = static_cast<int32_t>(2 * channels(out));
    const uint32_t lanes = std::min(channels(in), channels(out));
    for (uint32_t c = 0; c < lanes; ++c) {
        float *y = samples(out) + 2 * c;
        if (isComplex(in))
            kve_vecMultiplyComplexByComplex(samples(in) + 2 * c, inStride, s->modTable, 2, y, outStride, n);
        else
            kve_vecMultiplyRealByComplex(samples(in) + c, inStride, s->modTable, 2, y, outStride, n);
    }
}

int32_t complexModulateSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ComplexModulateModule *>(m);
    const uint32_t n = tableSamples(m);
    const float perBlock = kTwoPi * s->frequency;
    for (uint32_t k = 0; k < n; ++k) {
        const float phase = perBlock * static_cast<float>(k) / static_cast<float>(n);
        s->modTable[2 * k] = std::cos(phase);
        s->modTable[2 * k + 1] = std::sin(phase);
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modComplexModulateClass = makeClass<2>(
    0xBEEF0CD5u,
    {complexModulateConstructor, complexModulateProcess, complexModulateProcess, complexModulateSet}, kVariables);
