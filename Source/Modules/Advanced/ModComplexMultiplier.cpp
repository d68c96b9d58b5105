// ComplexMultiplier: the product of two or more real or complex inputs into one complex output, each input's
// complex flag choosing the kernel. `multiplyMode` 0 multiplies the inputs sample by sample; any other value
// multiplies every channel of every input into one complex output channel.
#include "Modules/Advanced/ComplexModules.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(ComplexMultiplierModule, multiplyMode, Int),
};

ClassModule *complexMultiplierConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    return construct(kve_modComplexMultiplierClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

bool sampleBySample(ClassModule *m) { return reinterpret_cast<ComplexMultiplierModule *>(m)->multiplyMode == 0; }

// The complex output y multiplied in place by n samples of x, read `stride` samples apart (real or complex as x's
// wire says).
void multiplyInto(float *y, const GenericWire *x, const float *first, uint32_t stride, int32_t n)
{
    if (isComplex(x))
        kve_vecMultiplyComplexByComplex(first, static_cast<int32_t>(2 * stride), y, 2, y, 2, n);
    else
        kve_vecMultiplyRealByComplex(first, static_cast<int32_t>(stride), y, 2, y, 2, n);
}

// n samples of x, `stride` samples apart, as complex samples of y: a real x gets imaginary parts of 0.
void copyAsComplex(float *y, const GenericWire *x, const float *first, uint32_t stride, int32_t n)
{
    if (isComplex(x)) {
        kve_vecCopy32(first, static_cast<int32_t>(2 * stride), y, 2, n);
        kve_vecCopy32(first + 1, static_cast<int32_t>(2 * stride), y + 1, 2, n);
    } else {
        kve_vecCopy32(first, static_cast<int32_t>(stride), y, 2, n);
        kve_vecFill(y + 1, 2, 0.0f, n);
    }
}

// Sample by sample: the output's complex samples, as far as each of the first `read` inputs holds samples.
int32_t elementwiseSamples(ClassModule *m, uint32_t read)
{
    uint32_t n = complexIn(wire(m, inputs(m)));
    for (uint32_t k = 0; k < read; ++k)
        n = std::min(n, samplesIn(wire(m, k)));
    return static_cast<int32_t>(n);
}

// One channel: half the output's block, as far as each channel of the first `read` inputs holds samples.
int32_t channelSamples(ClassModule *m, uint32_t read)
{
    const GenericWire *out = wire(m, inputs(m));
    uint32_t n = channels(out) == 0 ? 0 : blockSize(out) / 2;
    for (uint32_t k = 0; k < read; ++k)
        n = std::min(n, samplesPerChannel(wire(m, k)));
    return static_cast<int32_t>(n);
}

void multiplyElementwise(ClassModule *m)
{
    const uint32_t count = inputs(m);
    const int32_t n = elementwiseSamples(m, count);
    float *y = samples(wire(m, count));
    const GenericWire *a = wire(m, 0);
    if (count < 2) {
        copyAsComplex(y, a, samples(a), 1, n);
        return;
    }
    const GenericWire *b = wire(m, 1);
    if (isComplex(a) && isComplex(b)) {
        kve_vecMultiplyComplexByComplex(samples(a), 2, samples(b), 2, y, 2, n);
    } else if (isComplex(a) || isComplex(b)) {
        const GenericWire *real = isComplex(a) ? b : a;
        kve_vecMultiplyRealByComplex(samples(real), 1, samples(real == a ? b : a), 2, y, 2, n);
    } else {
        kve_vecMultiply2x1(samples(a), 1, samples(b), 1, y, 2, n);
        kve_vecFill(y + 1, 2, 0.0f, n);
    }
    for (uint32_t k = 2; k < count; ++k)
        multiplyInto(y, wire(m, k), samples(wire(m, k)), 1, n);
}

void multiplyChannels(ClassModule *m)
{
    const int32_t n = channelSamples(m, inputs(m));
    float *y = samples(wire(m, inputs(m)));
    kve_vecFill(y, 2, 1.0f, n);
    kve_vecFill(y + 1, 2, 0.0f, n);
    for (uint32_t k = 0; k < inputs(m); ++k) {
        const GenericWire *x = wire(m, k);
        const uint32_t lanes = channels(x);
        for (uint32_t c = 0; c < lanes; ++c)
            multiplyInto(y, x, samples(x) + c * (isComplex(x) ? 2 : 1), lanes, n);
    }
}

void complexMultiplierProcess(ClassModule *m)
{
    if (sampleBySample(m))
        multiplyElementwise(m);
    else
        multiplyChannels(m);
}

// Bypassed, input 0 passes: whole, sample by sample, or its channel 0 as the one output channel.
void complexMultiplierBypass(ClassModule *m)
{
    const GenericWire *x = wire(m, 0);
    float *y = samples(wire(m, inputs(m)));
    if (sampleBySample(m))
        copyAsComplex(y, x, samples(x), 1, elementwiseSamples(m, 1));
    else
        copyAsComplex(y, x, samples(x), channels(x), channelSamples(m, 1));
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modComplexMultiplierClass = makeClass<1>(
    0xBEEF0CD6u, {complexMultiplierConstructor, complexMultiplierProcess, complexMultiplierBypass}, kVariables);
