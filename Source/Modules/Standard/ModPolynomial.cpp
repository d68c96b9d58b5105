// Polynomial: every sample of wire 0 through the polynomial of `coeffs` (highest power first, Horner's rule with
// fused steps) into wire 1. `numCoeffs` sizes the array at construction; a count a host writes later is held to it.
#include "Modules/Standard/Arithmetic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct PolynomialModule {
    ClassModule header;
    int32_t numCoeffs;
    float *coeffs;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(PolynomialModule, numCoeffs, Int),
    KVE_ARRAY_IN(PolynomialModule, coeffs, FloatArray, perArgument(0), 0x231),
};

ClassModule *polynomialConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    return construct(kve_modPolynomialClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void polynomial(ClassModule *m, const float *x, float *y, int32_t n)
{
    const auto *s = reinterpret_cast<const PolynomialModule *>(m);
    const auto count = static_cast<int32_t>(std::min<int64_t>(std::max(s->numCoeffs, 0), capacity(m, 0)));
    kve_vecPolynomial(x, 1, y, 1, count, s->coeffs, n);
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modPolynomialClass =
    makeClass<2>(0xBEEF084Fu, {polynomialConstructor, oneToOne<polynomial>}, kVariables);
