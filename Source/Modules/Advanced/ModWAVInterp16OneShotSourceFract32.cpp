// WAVInterp16OneShotSourceFract32: plays a 16-bit table once per trigger as Fract32, stepping a fixed-point
// position with 14 fraction bits and weighting neighbouring samples by 16-bit fractions.
#include "Modules/Advanced/OneShotKit.h"

using namespace kve::kit;
using namespace kve::filesinks;

namespace {

using Module = OneShotModule<uint32_t>;

ClassModule *oneShot16Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    return construct(kve_modWAVInterp16OneShotSourceFract32Class.record, nullptr, 0, 2, 1, status, wireWord, wires,
                     argc, args);
}

// The step in 1/16384 samples: the rate truncated, limited to what the position can hold (NaN steps nothing).
uint32_t stepOf(float rate)
{
    const float scaled = rate * 16384.0f;
    return scaled >= 1.0f ? (scaled < 4294967040.0f ? static_cast<uint32_t>(scaled) : 0xFFFFFF00u) : 0u;
}

void oneShot16Process(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    const GenericWire *out = outputOf(m);
    auto *y = static_cast<Fract32 *>(out->buffer);
    const uint32_t b = wireWords(out);
    const TableProvider *t = startBlock(s, y, b);
    if (t == nullptr)
        return;
    const uint32_t step = stepOf(s->smoothedRate);
    const auto *table = static_cast<const int16_t *>(t->samples);
    const uint32_t last = t->capacity - 1;
    for (uint32_t k = 0; k < b; ++k) {
        // Reads stay inside the table: past its end both neighbours are the last sample.
        const uint32_t i = std::min(s->position >> 14, last);
        const int64_t g = static_cast<int64_t>(s->position & 0x3FFFu) << 2;
        y[k] = static_cast<Fract32>(table[i] * (65536 - g) + table[std::min(i + 1, last)] * g);
        s->position += step;
    }
    if (uint64_t{s->position} >= uint64_t{static_cast<uint32_t>(std::max(s->tableLength, 0))} << 14)
        s->position = 0;
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modWAVInterp16OneShotSourceFract32Class = makeClass<8>(
    0xBEEF0D49u, {oneShot16Constructor, oneShot16Process, IOMatchUpModule_Bypass, oneShotSet<uint32_t>},
    oneShotVariables<uint32_t>(Type::UInt));
