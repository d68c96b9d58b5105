// The one-shot players' shared Set and the checks both make before reading their table.
#pragma once

#include <algorithm>

#include "Modules/Advanced/FileSinks.h"
#include "kve/kve_design.h"

namespace kve::filesinks {

template <class Position> constexpr std::array<kit::Variable, 8> oneShotVariables(kit::Type position)
{
    using M = OneShotModule<Position>;
    return {kit::Variable{offsetof(M, smoothingTime), kit::Type::Float},
            kit::Variable{offsetof(M, tableLength), kit::Type::Int},
            kit::Variable{offsetof(M, reserved), kit::Type::Int},
            kit::Variable{offsetof(M, smoothedRate), kit::Type::Float},
            kit::Variable{offsetof(M, smoothingCoeff), kit::Type::Float},
            kit::Variable{offsetof(M, position), position},
            kit::Variable{offsetof(M, tableId), kit::Type::Int},
            kit::Variable{offsetof(M, table), kit::Type::Pointer}};
}

// The output: the first wire after the inputs, however many inputs the layout gave.
inline GenericWire *outputOf(ClassModule *m) { return kit::wire(m, KVE_PACKED_INPUTS(m->packed)); }

// Bit 8 + k of the mask says variable k changed: the smoothing time (0) and the table id (6).
template <class Position> int32_t oneShotSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<OneShotModule<Position> *>(m);
    const GenericWire *out = outputOf(m);
    if ((mask & (1u << 8)) != 0)
        s->smoothingCoeff =
            design_smoother(static_cast<int32_t>(kit::blockSize(out)), s->smoothingTime, out->sampleRate);
    if ((mask & (1u << 14)) != 0)
        s->table = findTableProvider(s->tableId);
    return KVE_OK;
}

// Starts a block: the table to play, with the rate smoothed and a trigger restarting playback; or null, with the
// output block silenced, when there is no table, it is not ready, holds no table yet, or the player is idle.
template <class Sample, class Position>
const TableProvider *startBlock(OneShotModule<Position> *s, Sample *y, uint32_t b)
{
    const int32_t trigger = *static_cast<const int32_t *>(kit::wire(&s->header, 0)->buffer);
    const TableProvider *t = s->table;
    if (t == nullptr || t->ready != 0 || static_cast<uint32_t>(t->count) - 4u <= 1u || t->samples == nullptr ||
        t->capacity == 0 || (trigger == 0 && s->position == 0)) {
        std::fill_n(y, b, Sample{});
        return nullptr;
    }
    const float rate = *static_cast<const float *>(kit::wire(&s->header, 1)->buffer);
    s->smoothedRate = (1.0f - s->smoothingCoeff) * s->smoothedRate + s->smoothingCoeff * rate;
    if (trigger != 0)
        s->position = 0;
    return t;
}

} // namespace kve::filesinks
