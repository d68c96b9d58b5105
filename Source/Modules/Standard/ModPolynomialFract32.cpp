// PolynomialFract32: a polynomial of every Q1.31 sample (coefficients highest power first). Set scales the float
// coefficients by the power of two of the largest, so each fits a Fract32 word, and keeps that power as the
// post-shift that Process applies to the sum.
#include <algorithm>
#include <cmath>

#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct PolynomialFract32Module {
    ClassModule header;
    int32_t numCoeffs;
    int32_t postShift;
    float *coeffs;
    Fract32 *coeffsFract32;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(PolynomialFract32Module, numCoeffs, Int),
    KVE_VARIABLE(PolynomialFract32Module, postShift, Int),
    KVE_ARRAY_IN(PolynomialFract32Module, coeffs, FloatArray, perArgument(0), KVE_HEAPS_DEFAULT),
    KVE_ARRAY_IN(PolynomialFract32Module, coeffsFract32, Fract32Array, perArgument(0), KVE_HEAPS_DEFAULT),
};

// The lowest exponent Set gives: a polynomial of no coefficients, or of tiny ones, is shifted no further right.
constexpr int32_t kShiftFloor = -32;

ClassModule *polynomialConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    return construct(kve_modPolynomialFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

// The coefficients a host's numCoeffs names, never more than both arrays hold.
int32_t coefficientCount(ClassModule *m)
{
    const auto *s = reinterpret_cast<const PolynomialFract32Module *>(m);
    return static_cast<int32_t>(std::min<int64_t>(std::max(s->numCoeffs, 0), capacity(m, 0)));
}

void polynomial(ClassModule *m, const Fract32 *x, Fract32 *y, int32_t n)
{
    const auto *s = reinterpret_cast<const PolynomialFract32Module *>(m);
    kve_vecPolynomialFract32(x, 1, y, 1, coefficientCount(m), s->coeffsFract32, s->postShift, n);
}

// Exponents come from frexp (a mantissa in [0.5, 1)); zero and coefficients without an exponent (infinite, not a
// number) count as exponent 0.
int32_t polynomialSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<PolynomialFract32Module *>(m);
    const int32_t count = coefficientCount(m);
    int32_t shift = kShiftFloor;
    for (int32_t k = 0; k < count; ++k) {
        int exponent = 0;
        if (std::isfinite(s->coeffs[k]))
            std::frexp(s->coeffs[k], &exponent);
        shift = std::max(shift, static_cast<int32_t>(exponent));
    }
    s->postShift = shift;
    for (int32_t k = 0; k < count; ++k)
        s->coeffsFract32[k] = kve_rounded(std::ldexp(s->coeffs[k], -shift));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modPolynomialFract32Class = makeClass<4>(
    0xBEEF08A8u, {polynomialConstructor, oneToOne<polynomial>, IOMatchUpModule_Bypass, polynomialSet}, kVariables);
