// TwoPieceInterpV2: a curve of two straight lines through (knee, knee), joined over knee +- kneeWidth by the
// quadratic that meets both lines with their slopes, so neither the curve nor its slope jumps. The slopes are given
// directly or as ratios (slope = 1 / ratio), as a compressor's static curve is.
#include <cmath>

#include "Modules/Advanced/Lookups.h"
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;

struct TwoPieceInterpV2Module {
    ClassModule header;
    float knee;
    int32_t useRatios;
    float slopeLow;
    float slopeHigh;
    float ratioLow;
    float ratioHigh;
    float kneeWidth;
    float *kneePoly; // c0, c1, c2, 0 of (c2 x + c1) x + c0
};

constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(TwoPieceInterpV2Module, knee, Float),
    KVE_VARIABLE(TwoPieceInterpV2Module, useRatios, Int),
    KVE_VARIABLE(TwoPieceInterpV2Module, slopeLow, Float),
    KVE_VARIABLE(TwoPieceInterpV2Module, slopeHigh, Float),
    KVE_VARIABLE(TwoPieceInterpV2Module, ratioLow, Float),
    KVE_VARIABLE(TwoPieceInterpV2Module, ratioHigh, Float),
    KVE_VARIABLE(TwoPieceInterpV2Module, kneeWidth, Float),
    KVE_ARRAY(TwoPieceInterpV2Module, kneePoly, FloatArray, fixedLength(4)),
};

// The knee spans knee +- the width's magnitude: a negative width would put the lower line's end above the upper
// line's start and make the curve jump there.
float halfWidth(const TwoPieceInterpV2Module *s) { return std::fabs(s->kneeWidth); }

// A ratio of 0 stands for a vertical line: the steepest slope the curve keeps finite.
float slopeOfRatio(float ratio) { return ratio == 0.0f ? 1000000.0f : 1.0f / ratio; }

void twoPieceInterpV2Body(ClassModule *m, const float *x, float *y, int32_t n)
{
    const auto *s = reinterpret_cast<const TwoPieceInterpV2Module *>(m);
    const float k = s->knee;
    const float w = halfWidth(s);
    const float c0 = s->kneePoly[0];
    const float c1 = s->kneePoly[1];
    const float c2 = s->kneePoly[2];
    for (int32_t i = 0; i < n; ++i) {
        const float v = x[i];
        if (v <= k - w)
            y[i] = k + (v - k) * s->slopeLow;
        else if (v >= k + w)
            y[i] = k + (v - k) * s->slopeHigh;
        else
            y[i] = (c2 * v + c1) * v + c0;
    }
}

int32_t twoPieceInterpV2Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<TwoPieceInterpV2Module *>(m);
    if (s->useRatios != 0) {
        s->slopeLow = slopeOfRatio(s->ratioLow);
        s->slopeHigh = slopeOfRatio(s->ratioHigh);
    }
    const float w = halfWidth(s);
    float *poly = s->kneePoly;
    if (w == 0.0f) {
        poly[0] = poly[1] = poly[2] = poly[3] = 0.0f;
        return 0;
    }
    const float k = s->knee;
    const float c2 = (s->slopeHigh - s->slopeLow) / (4.0f * w);
    poly[2] = c2;
    poly[1] = s->slopeHigh + (k + w) / w * (s->slopeLow - s->slopeHigh) / 2.0f;
    poly[0] = (1.0f - s->slopeHigh) * k + (k + w) * (k + w) * c2;
    poly[3] = 0.0f;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modTwoPieceInterpV2Class = makeClass<8>(
    0xBEEF0D44u,
    {kve::control::withArrays<&kve_modTwoPieceInterpV2Class, &kVariables, 1, 1>,
     kve::shapes::oneToOne<twoPieceInterpV2Body>, IOMatchUpModule_Bypass, twoPieceInterpV2Set},
    kVariables);
