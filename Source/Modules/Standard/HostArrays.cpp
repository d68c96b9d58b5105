// What the sources and sinks share: their construction and the move of a block between a host array and a wire.
#include "Modules/Standard/Sources.h"

namespace kve::sources {

using namespace kve::kit;
using namespace kve::shapes;

ClassModule *constructSource(const ModClassDescriptor &record, const Variable *variables, size_t count,
                             uint32_t minInputs, uint32_t maxInputs, int32_t *status, uint32_t wireWord,
                             GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    if (*status != KVE_OK)
        return nullptr;
    if (KVE_PACKED_INPUTS(wireWord) > maxInputs) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    return kit::construct(record, variables, count, minInputs, 1, status, wireWord, wires, argc, args);
}

void exchange(void *array, uint32_t capacity, GenericWire *w, bool complexAware, Way way)
{
    const uint32_t ch = channels(w);
    const uint32_t block = blockSize(w);
    if (ch == 0 || block == 0)
        return;
    const uint32_t whole = std::min(ch, capacity / block);
    if (way == Way::ArrayToWire && whole < ch)
        kve_vecFillInt32(static_cast<int32_t *>(w->buffer), 1, 0, static_cast<int32_t>(wireWords(w)));
    const uint32_t parts = complexAware && isComplex(w) ? 2 : 1;
    const auto n = static_cast<int32_t>(block / parts);
    const auto stride = static_cast<int32_t>(parts * ch);
    auto *a = static_cast<uint32_t *>(array);
    auto *x = static_cast<uint32_t *>(w->buffer);
    for (uint32_t c = 0; c < whole; ++c) {
        for (uint32_t part = 0; part < parts; ++part) {
            uint32_t *host = a + static_cast<size_t>(c) * block + part;
            uint32_t *wire = x + static_cast<size_t>(parts) * c + part;
            if (way == Way::ArrayToWire)
                kve_vecCopy32(host, static_cast<int32_t>(parts), wire, stride, n);
            else
                kve_vecCopy32(wire, stride, host, static_cast<int32_t>(parts), n);
        }
    }
}

} // namespace kve::sources
