// TableLookupLogX: a table of equally spaced points on a logarithmic (dB of the magnitude), exponential (2^|x|) or
// linear axis between minX and maxX, read at the nearest point or between the two around the input.
#include <algorithm>
#include <cmath>

#include "Modules/Advanced/Lookups.h"
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;

struct TableLookupLogXModule {
    ClassModule header;
    int32_t numPoints;
    int32_t xScale;
    int32_t interpolation;
    float minX;
    float maxX;
    float lowRef;
    float highRef;
    float logStep;
    float indexScale;
    float *table;
};

constexpr std::array<Variable, 10> kVariables = {
    KVE_VARIABLE(TableLookupLogXModule, numPoints, Int),
    KVE_VARIABLE(TableLookupLogXModule, xScale, Int),
    KVE_VARIABLE(TableLookupLogXModule, interpolation, Int),
    KVE_VARIABLE(TableLookupLogXModule, minX, Float),
    KVE_VARIABLE(TableLookupLogXModule, maxX, Float),
    KVE_VARIABLE(TableLookupLogXModule, lowRef, Float),
    KVE_VARIABLE(TableLookupLogXModule, highRef, Float),
    KVE_VARIABLE(TableLookupLogXModule, logStep, Float),
    KVE_VARIABLE(TableLookupLogXModule, indexScale, Float),
    KVE_ARRAY(TableLookupLogXModule, table, FloatArray, perArgument(0)),
};

// Set bits of the variables the axis is derived from: `xScale`, `minX`, `maxX`.
constexpr uint32_t kAxisBits = (1u << 9) | (1u << 11) | (1u << 12);

uint32_t points(ClassModule *m)
{
    const int32_t written = reinterpret_cast<const TableLookupLogXModule *>(m)->numPoints;
    return written <= 0 ? 0u : std::min(static_cast<uint32_t>(written), capacity(m, 0));
}

// The entry at position p of `count` entries: the nearest one, or the line between the two around p. Positions
// outside the table (a host may write any scale) read its ends, and NaN reads entry 0.
float entryAt(const float *t, uint32_t count, float p, bool interpolate)
{
    if (!(p > 0.0f))
        return t[0];
    const auto last = static_cast<float>(count - 1);
    if (!interpolate)
        return t[static_cast<uint32_t>(std::floor(std::min(p + 0.5f, last)))];
    if (count < 2)
        return t[0];
    const auto i = static_cast<uint32_t>(std::floor(std::min(p, last - 1.0f)));
    const float f = std::min(p - static_cast<float>(i), 1.0f);
    return t[i] * (1.0f - f) + t[i + 1] * f;
}

void tableLookupLogXBody(ClassModule *m, const float *x, float *y, int32_t n)
{
    const auto *s = reinterpret_cast<const TableLookupLogXModule *>(m);
    const uint32_t count = points(m);
    const bool interpolate = s->interpolation != 0;
    for (int32_t i = 0; i < n; ++i) {
        if (count == 0) {
            y[i] = 0.0f;
            continue;
        }
        float v = x[i];
        float low = s->minX;
        float high = s->maxX;
        float p;
        if (s->xScale == 0) {
            v = 20.0f * std::log10(std::fabs(v));
            low = s->lowRef;
            high = s->highRef;
            p = (v - s->lowRef) * s->indexScale;
        } else if (s->xScale == 1) {
            v = std::fabs(v);
            p = (std::exp2(v) - s->lowRef) * s->indexScale;
        } else {
            p = (v - s->minX) * s->indexScale;
        }
        if (v <= low)
            y[i] = s->table[0];
        else if (v >= high)
            y[i] = s->table[count - 1];
        else
            y[i] = entryAt(s->table, count, p, interpolate);
    }
}

int32_t tableLookupLogXSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<TableLookupLogXModule *>(m);
    if ((mask & kAxisBits) == 0)
        return 0;
    const uint32_t count = points(m);
    const float steps = count > 0 ? static_cast<float>(count - 1) : 0.0f;
    if (s->xScale == 0) {
        s->lowRef = 20.0f * std::log10(s->minX);
        s->highRef = 20.0f * std::log10(s->maxX);
        s->logStep = (std::log10(s->maxX) - std::log10(s->minX)) / steps;
        s->indexScale = steps / (s->highRef - s->lowRef);
    } else if (s->xScale == 1) {
        s->lowRef = std::exp2(s->minX);
        s->highRef = std::exp2(s->maxX);
        s->indexScale = steps / (s->highRef - s->lowRef);
    } else {
        s->indexScale = steps / (s->maxX - s->minX);
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<10> kve_modTableLookupLogXClass = makeClass<10>(
    0xBEEF0D40u,
    {kve::control::withArrays<&kve_modTableLookupLogXClass, &kVariables, 1, 1>,
     kve::shapes::oneToOne<tableLookupLogXBody>, IOMatchUpModule_Bypass, tableLookupLogXSet},
    kVariables);
