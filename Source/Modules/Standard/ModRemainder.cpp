// Remainder: the floored remainder of every sample of wire 0 by a divisor d, x - floor(x / d) d, which takes the
// sign of d (-1 by 3 gives 2). With one input d is the variable `divisor`; with two, the second input is a mono
// divisor wire whose frame i divides frame i of every channel, or whose one sample divides the whole block. The
// output is the wire after the inputs. A divisor of 0 passes the sample through.
#include <cstring>

#include "Modules/Standard/Math.h"

using namespace kve::kit;
using namespace kve::math;

namespace {

struct RemainderModule {
    ClassModule header;
    float divisor;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(RemainderModule, divisor, Float),
};

// One divisor for many samples: its reciprocal once, then one fused multiply-add per sample.
void byOne(const float *x, float *y, int32_t n, float d)
{
    if (d == 0.0f) {
        std::memmove(y, x, static_cast<size_t>(n) * sizeof(float));
        return;
    }
    const float r = 1.0f / d;
    for (int32_t i = 0; i < n; ++i)
        y[i] = std::fma(-std::floor(x[i] * r), d, x[i]);
}

// A divisor per frame, from the divisor wire's first channel. Frames past the divisor wire's own block have no
// divisor there and pass through, as a divisor of 0 does.
void byFrame(const float *x, float *y, int32_t n, uint32_t perFrame, const GenericWire *divisors)
{
    const float *d = static_cast<const float *>(divisors->buffer);
    const uint32_t stride = channels(divisors);
    const uint32_t frames = stride != 0 ? blockSize(divisors) : 0;
    int32_t i = 0;
    for (uint32_t f = 0; i < n; ++f) {
        const float v = f < frames ? d[f * stride] : 0.0f;
        for (uint32_t c = 0; c < perFrame && i < n; ++c, ++i)
            y[i] = v != 0.0f ? x[i] - std::floor(x[i] / v) * v : x[i];
    }
}

void remainderProcess(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputs(m));
    const float *x = words(in);
    float *y = words(out);
    const int32_t n = held({in, out});
    if (inputs(m) < 2) {
        byOne(x, y, n, reinterpret_cast<const RemainderModule *>(m)->divisor);
        return;
    }
    const GenericWire *divisors = wire(m, 1);
    if (blockSize(divisors) == 1) {
        // An empty divisor wire has no first sample: it divides by nothing, as 0 does.
        byOne(x, y, n, wireWords(divisors) != 0 ? static_cast<const float *>(divisors->buffer)[0] : 0.0f);
        return;
    }
    byFrame(x, y, n, std::max(channels(in), 1u), divisors);
}

ClassModule *remainderConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    return construct(kve_modRemainderClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modRemainderClass =
    makeClass<1>(0xBEEF08B0u, {remainderConstructor, remainderProcess}, kVariables);
