// TableInterp2d: a square table over x and y in -1..1, read between the four points around (x, y).
#include <algorithm>
#include <cmath>

#include "Modules/Advanced/Lookups.h"
#include "Modules/Standard/Filters.h"
#include "Modules/Standard/Shapes.h"

namespace {

using namespace kve::kit;

struct TableInterp2dModule {
    ClassModule header;
    int32_t tableSize;
    int32_t pad;
    float *table; // row-major, tableSize x tableSize
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(TableInterp2dModule, tableSize, Int),
    KVE_ARRAY(TableInterp2dModule, table, FloatArray, fixedLength(0)),
};

ClassModule *tableInterp2dConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    const auto n = static_cast<uint64_t>(std::max(kve::filters::sizeArgument(argc, args, 1, 0), 0));
    const uint64_t entries = n * n;
    if (*status == KVE_OK && entries > UINT32_MAX / 4) {
        *status = KVE_E_HEAPS_FULL;
        return nullptr;
    }
    std::array<Variable, 2> v = kVariables;
    v[1].length = fixedLength(static_cast<uint32_t>(entries));
    return construct(kve_modTableInterp2dClass, v, 2, 1, status, wireWord, wires, argc, args);
}

// A table side a host wrote, held to the side the table was built with.
uint32_t side(ClassModule *m)
{
    const int32_t written = reinterpret_cast<const TableInterp2dModule *>(m)->tableSize;
    const auto built = static_cast<uint32_t>(std::sqrt(static_cast<double>(capacity(m, 0))));
    return written <= 0 ? 0u : std::min(static_cast<uint32_t>(written), built);
}

// The grid position of a coordinate in -1..1 on a side of n points, and its cell, whose next point is inside the
// grid; NaN gives the first cell.
void cellOf(float x, uint32_t n, uint32_t &cell, float &fraction)
{
    const auto last = static_cast<float>(n - 1);
    const float u = std::fmin(std::fmax((x + 1.0f) * last / 2.0f, 0.0f), last * 0.9999f);
    cell = std::min(static_cast<uint32_t>(std::floor(u)), n - 2);
    fraction = u - static_cast<float>(cell);
}

void tableInterp2dBody(ClassModule *m, const float *x, const float *y, float *out, int32_t count)
{
    const float *t = reinterpret_cast<const TableInterp2dModule *>(m)->table;
    const uint32_t n = side(m);
    for (int32_t k = 0; k < count; ++k) {
        if (n < 2) {
            out[k] = n == 1 ? t[0] : 0.0f;
            continue;
        }
        uint32_t i = 0, j = 0;
        float a = 0.0f, b = 0.0f;
        cellOf(x[k], n, i, a);
        cellOf(y[k], n, j, b);
        const float *row = t + static_cast<size_t>(i) * n + j;
        const float *next = row + n;
        out[k] = (row[0] * (1.0f - a) + a * next[0]) * (1.0f - b) + (row[1] * (1.0f - a) + a * next[1]) * b;
    }
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modTableInterp2dClass = makeClass<2>(
    0xBEEF0D3Du, {tableInterp2dConstructor, kve::shapes::twoToOne<tableInterp2dBody>}, kVariables);
