// CorrelationFract32: one normalised correlation of two Fract32 blocks, as one Fract32 word: the sum of products
// over the sums of magnitudes (type 1) or over the root of the product of the energies (type 2). A result of 1.0 or
// more, or none at all (silent inputs), reads as the largest positive value.
#include <cmath>

#include "Modules/Advanced/Measurements.h"
#include "Modules/Standard/Shapes.h"

namespace {

using namespace kve::kit;
using namespace kve::measurements;
using kve::shapes::inputs;

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(CorrelationFract32Module, correlationType, Int),
};

// (a x b) >> 31, the one product beyond the Fract32 range (-1.0 times -1.0) held to 0x7FFFFFFF.
int64_t product(Fract32 a, Fract32 b)
{
    return std::min<int64_t>((static_cast<int64_t>(a) * b) >> 31, INT32_MAX);
}

int64_t magnitude(Fract32 a) { return a < 0 ? -static_cast<int64_t>(a) : a; }

// The Fract32 of a correlation: truncated toward zero below 1.0 and held at -1.0; 1.0, more, or NaN give 0x7FFFFFFF.
Fract32 fract32Of(float c)
{
    if (!(c < 1.0f))
        return INT32_MAX;
    const float scaled = c * 0x1p31f;
    return scaled <= -0x1p31f ? INT32_MIN : static_cast<Fract32>(scaled);
}

Fract32 correlation(int32_t type, const Fract32 *x, const Fract32 *y, uint32_t n)
{
    int64_t p = 0;
    int64_t a = 0;
    int64_t b = 0;
    for (uint32_t i = 0; i < n; ++i) {
        p += product(x[i], y[i]);
        a += type == 1 ? magnitude(x[i]) : product(x[i], x[i]);
        b += type == 1 ? magnitude(y[i]) : product(y[i], y[i]);
    }
    const auto pf = static_cast<float>(p);
    if (type == 1)
        return fract32Of(pf / (static_cast<float>(a) * static_cast<float>(b) * 0x1p-31f));
    return fract32Of(pf / std::sqrt(static_cast<float>(b) * static_cast<float>(a)));
}

void correlationFract32Process(ClassModule *m)
{
    const int32_t type = reinterpret_cast<CorrelationFract32Module *>(m)->correlationType;
    const GenericWire *x = wire(m, 0);
    const GenericWire *y = wire(m, 1);
    GenericWire *out = wire(m, inputs(m));
    if (wireWords(out) == 0)
        return;
    // The first block's worth of words, read only as far as both inputs reach.
    const uint32_t n = std::min({blockSize(x), wireWords(x), wireWords(y)});
    const bool served = type == 1 || type == 2;
    *static_cast<Fract32 *>(out->buffer) =
        served ? correlation(type, static_cast<const Fract32 *>(x->buffer), static_cast<const Fract32 *>(y->buffer), n)
               : 0;
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modCorrelationFract32Class = makeClass<1>(
    0xBEEF0CDDu, {kve::shapes::wired<&kve_modCorrelationFract32Class, 2, 1>, correlationFract32Process}, kVariables);
