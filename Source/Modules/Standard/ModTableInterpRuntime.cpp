// TableInterpRuntime: every sample of wire 0 through a curve through the host's points, computed by Set: straight
// segments (interpolationType 2) or a cubic spline whose tangents lean toward keeping the curve monotone (any other
// type): flat at a peak or a valley, the mean of the neighbouring slopes' angles elsewhere. Samples outside the
// points give the end points' values.
#include "Modules/Standard/Delays.h"
#include "kve/kve_vec_math.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::delays;

struct TableInterpRuntimeModule {
    ClassModule header;
    uint32_t numPoints;
    uint32_t numUsed;
    uint32_t interpolationType;
    float *points;
    float *coeffs;
};

// One more segment of coefficients than the points make: the kit sizes arrays by a multiple of an argument.
constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(TableInterpRuntimeModule, numPoints, UInt),
    KVE_VARIABLE(TableInterpRuntimeModule, numUsed, UInt),
    KVE_VARIABLE(TableInterpRuntimeModule, interpolationType, UInt),
    KVE_ARRAY_IN(TableInterpRuntimeModule, points, FloatArray, perArgument(0, 2), 0x231),
    KVE_ARRAY_IN(TableInterpRuntimeModule, coeffs, FloatArray, perArgument(0, 3), 0x231),
};

constexpr uint32_t kLinear = 2;

ClassModule *runtimeConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    return construct(kve_modTableInterpRuntimeClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

float slopeOf(const float *p, int32_t i)
{
    const float h = p[2 * i + 2] - p[2 * i];
    return h != 0.0f ? (p[2 * i + 3] - p[2 * i + 1]) / h : 0.0f;
}

// The tangent at an inner point from the slopes before (a) and after (b) it.
float innerTangent(float a, float b)
{
    if (a * b < 0.0f)
        return 0.0f;
    if (a == b)
        return a;
    if (a == 0.0f || b == 0.0f)
        return 0.0f;
    return std::tan((std::atan(a) + std::atan(b)) * 0.5f);
}

int32_t runtimeSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<TableInterpRuntimeModule *>(m);
    const int32_t n = pointsInUse<TableInterpRuntimeModule, 3>(m);
    if (n < 2)
        return KVE_OK; // no segment
    const float *p = s->points;
    float *c = s->coeffs;
    if (s->interpolationType == kLinear) {
        for (int32_t i = 0; i + 1 < n; ++i) {
            c[3 * i] = 0.0f;
            c[3 * i + 1] = 0.0f;
            c[3 * i + 2] = slopeOf(p, i);
        }
        return KVE_OK;
    }
    // Tangent at point i; with two points the one segment's slope at both ends, a straight line.
    auto inner = [&](int32_t i) { return innerTangent(slopeOf(p, i - 1), slopeOf(p, i)); };
    auto tangent = [&](int32_t i) {
        if (n == 2)
            return slopeOf(p, 0);
        if (i == 0)
            return 2.0f * slopeOf(p, 0) - inner(1);
        if (i == n - 1)
            return 2.0f * slopeOf(p, n - 2) - inner(n - 2);
        return inner(i);
    };
    float mi = tangent(0);
    for (int32_t i = 0; i + 1 < n; ++i) {
        const float mj = tangent(i + 1);
        const float h = p[2 * i + 2] - p[2 * i];
        if (h != 0.0f) { // a segment of no width keeps its previous coefficients
            const float dy = p[2 * i + 3] - p[2 * i + 1];
            c[3 * i] = (2.0f * (p[2 * i + 1] - p[2 * i + 3]) / h + mi + mj) / (h * h);
            c[3 * i + 1] = (3.0f * dy / h - 2.0f * mi - mj) / h;
            c[3 * i + 2] = mi;
        }
        mi = mj;
    }
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modTableInterpRuntimeClass = makeClass<5>(
    0xBEEF0FFCu,
    {runtimeConstructor, oneToOne<tableBody<TableInterpRuntimeModule, 3, kve_vecTableInterpRuntime, float>>,
     IOMatchUpModule_Bypass, runtimeSet},
    kVariables);
