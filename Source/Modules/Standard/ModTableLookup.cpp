// TableLookup: every sample of wire 0 read from a table spread evenly over minX .. maxX, the nearest entry
// (interpolationType 0) or the line between the two entries around it (any other type); samples at or past either
// end give that end's entry. Set keeps `divisor`, entries per unit of x, in step with minX and maxX.
#include "Modules/Standard/Delays.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct TableLookupModule {
    ClassModule header;
    uint32_t tableSize;
    uint32_t interpolationType;
    float minX;
    float maxX;
    float divisor;
    float *table;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(TableLookupModule, tableSize, UInt),  KVE_VARIABLE(TableLookupModule, interpolationType, UInt),
    KVE_VARIABLE(TableLookupModule, minX, Float),      KVE_VARIABLE(TableLookupModule, maxX, Float),
    KVE_VARIABLE(TableLookupModule, divisor, Float),
    KVE_ARRAY_IN(TableLookupModule, table, FloatArray, perArgument(0), 0x231),
};

ClassModule *lookupConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    return construct(kve_modTableLookupClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

// Entries the table holds: what the host says, never more than was built.
uint32_t entries(ClassModule *m)
{
    return std::min(reinterpret_cast<const TableLookupModule *>(m)->tableSize, capacity(m, 0));
}

int32_t lookupSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<TableLookupModule *>(m);
    if ((mask & (3u << 10)) != 0)
        s->divisor = static_cast<float>(static_cast<int32_t>(s->tableSize) - 1) / (s->maxX - s->minX);
    return KVE_OK;
}

void lookup(ClassModule *m, const float *x, float *y, int32_t n)
{
    const auto *s = reinterpret_cast<const TableLookupModule *>(m);
    const uint32_t size = entries(m);
    if (size == 0) {
        for (int32_t i = 0; i < n; ++i)
            y[i] = 0.0f;
        return;
    }
    const float *t = s->table;
    const float last = static_cast<float>(size - 1);
    for (int32_t i = 0; i < n; ++i) {
        const float v = x[i];
        if (v <= s->minX) {
            y[i] = t[0];
        } else if (v >= s->maxX) {
            y[i] = t[size - 1];
        } else {
            // NaN reads entry 0; rounding that reaches past the last entry reads the last.
            const float u = (v - s->minX) * s->divisor;
            if (s->interpolationType == 0) {
                const float r = std::floor(std::fma(1.0f, u, 0.5f));
                y[i] = t[r >= 0.0f && r <= last ? static_cast<uint32_t>(r) : (r > last ? size - 1 : 0)];
            } else {
                const float f = std::floor(u);
                if (!(f >= 0.0f)) {
                    y[i] = t[0];
                } else if (f >= last) {
                    y[i] = t[size - 1];
                } else {
                    const auto k = static_cast<uint32_t>(f);
                    const float g = u - f;
                    y[i] = t[k] * (1.0f - g) + g * t[k + 1];
                }
            }
        }
    }
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modTableLookupClass =
    makeClass<6>(0xBEEF08D1u, {lookupConstructor, oneToOne<lookup>, IOMatchUpModule_Bypass, lookupSet}, kVariables);
