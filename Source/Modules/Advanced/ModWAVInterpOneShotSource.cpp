// WAVInterpOneShotSource: plays a float table once per trigger at a smoothed rate, interpolating linearly between
// neighbouring samples.
#include <cmath>
#include <cstring>

#include "Modules/Advanced/OneShotKit.h"

using namespace kve::kit;
using namespace kve::filesinks;

namespace {

using Module = OneShotModule<float>;

ClassModule *oneShotConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    return construct(kve_modWAVInterpOneShotSourceClass.record, nullptr, 0, 2, 1, status, wireWord, wires, argc, args);
}

void oneShotProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    const GenericWire *out = outputOf(m);
    auto *y = static_cast<float *>(out->buffer);
    const uint32_t b = wireWords(out);
    const TableProvider *t = startBlock(s, y, b);
    if (t == nullptr)
        return;
    const auto *table = static_cast<const float *>(t->samples);
    const uint32_t last = t->capacity - 1;
    for (uint32_t k = 0; k < b; ++k) {
        // Reads stay inside the table: a position past it (or not a number) reads the last sample.
        const float p = s->position;
        const bool inside = p >= 0.0f && p < static_cast<float>(last);
        const uint32_t i = inside ? static_cast<uint32_t>(p) : (p >= 0.0f ? last : 0);
        const float f = inside ? p - static_cast<float>(i) : 0.0f;
        y[k] = (1.0f - f) * table[i] + f * table[std::min(i + 1, last)];
        s->position += s->smoothedRate;
    }
    if (!(s->position < static_cast<float>(s->tableLength)))
        s->position = 0.0f;
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modWAVInterpOneShotSourceClass = makeClass<8>(
    0xBEEF0D64u, {oneShotConstructor, oneShotProcess, IOMatchUpModule_Bypass, oneShotSet<float>},
    oneShotVariables<float>(Type::Float));
