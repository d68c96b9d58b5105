// TwoPieceInterp: a curve of two straight lines through (knee, knee), slope1 below and slope2 above, joined over
// knee - width .. knee + width by a quadratic that meets both lines with their slopes, so the curve has no corner.
// Set computes the quadratic; a width of 0 leaves it all zero and the lines meet at the knee.
#include "Modules/Standard/Delays.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct TwoPieceInterpModule {
    ClassModule header;
    float knee;
    float slope1;
    float slope2;
    float width;
    float *coeffs;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(TwoPieceInterpModule, knee, Float),
    KVE_VARIABLE(TwoPieceInterpModule, slope1, Float),
    KVE_VARIABLE(TwoPieceInterpModule, slope2, Float),
    KVE_VARIABLE(TwoPieceInterpModule, width, Float),
    KVE_ARRAY_IN(TwoPieceInterpModule, coeffs, FloatArray, fixedLength(4), 0x231),
};

ClassModule *twoPieceConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                 const uint32_t *args)
{
    return construct(kve_modTwoPieceInterpClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

int32_t twoPieceSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<TwoPieceInterpModule *>(m);
    float *c = s->coeffs;
    const float w = s->width;
    if (w == 0.0f) {
        c[0] = c[1] = c[2] = c[3] = 0.0f;
        return KVE_OK;
    }
    const float k = s->knee;
    c[2] = (s->slope2 - s->slope1) * 0.25f / w;
    c[1] = s->slope2 + ((k + w) / w) * (s->slope1 - s->slope2) * 0.5f;
    c[0] = (1.0f - s->slope2) * k + (k + w) * (k + w) * c[2];
    c[3] = 0.0f;
    return KVE_OK;
}

void twoPiece(ClassModule *m, const float *x, float *y, int32_t n)
{
    const auto *s = reinterpret_cast<const TwoPieceInterpModule *>(m);
    const float *c = s->coeffs;
    const float k = s->knee;
    const float w = s->width;
    for (int32_t i = 0; i < n; ++i) {
        const float v = x[i];
        if (v <= k - w)
            y[i] = k + (v - k) * s->slope1;
        else if (v >= k + w)
            y[i] = k + (v - k) * s->slope2;
        else
            y[i] = c[0] + (c[1] + c[2] * v) * v;
    }
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modTwoPieceInterpClass =
    makeClass<5>(0xBEEF0FFDu, {twoPieceConstructor, oneToOne<twoPiece>, IOMatchUpModule_Bypass, twoPieceSet},
                 kVariables);
