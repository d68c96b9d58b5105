// Class records and instance records of the curve and table lookup modules: the two-segment curve with a soft knee,
// the integer-index, logarithmic-axis and two-dimensional table lookups, and the coefficient table that copies its
// rows into another module.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<8> kve_modTwoPieceInterpV2Class;
extern const kve::kit::ClassRecord<2> kve_modTableLookupIntFloatClass;
extern const kve::kit::ClassRecord<2> kve_modTableLookupIntIntClass;
extern const kve::kit::ClassRecord<10> kve_modTableLookupLogXClass;
extern const kve::kit::ClassRecord<2> kve_modTableInterp2dClass;
extern const kve::kit::ClassRecord<7> kve_modCoeffTableClass;
}

namespace kve::lookups {

// The integer-index lookups: entry `index` of `table` (float or int32), the first entry for a negative index and
// the last for one past the end.
template <class T> struct IntLookupModule {
    ClassModule header;
    int32_t numPoints;
    int32_t pad;
    T *table;
};

template <class T> constexpr std::array<kit::Variable, 2> intLookupVariables()
{
    constexpr kit::Type table = std::is_same_v<T, float> ? kit::Type::FloatArray : kit::Type::IntArray;
    return {KVE_VARIABLE(IntLookupModule<T>, numPoints, Int),
            kit::Variable{offsetof(IntLookupModule<T>, table), table, kit::perArgument(0)}};
}

// Per sample, the entry its int32 index names in the first `numPoints` entries the table was built with; 0 from
// an empty table.
template <class T> void lookUpIndices(ClassModule *m, const int32_t *index, T *out, int32_t n)
{
    auto *s = reinterpret_cast<IntLookupModule<T> *>(m);
    const int32_t written = s->numPoints;
    const uint32_t points = written <= 0 ? 0u : std::min(static_cast<uint32_t>(written), kit::capacity(m, 0));
    for (int32_t i = 0; i < n; ++i) {
        const int32_t k = index[i];
        out[i] = points == 0 ? T{} : s->table[k < 0 ? 0u : std::min(static_cast<uint32_t>(k), points - 1)];
    }
}

} // namespace kve::lookups
