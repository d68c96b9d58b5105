// DelayStateWriter and DelayStateWriter16: each block of the input goes into a line other modules read, found by
// the object id the writer puts in the first word of its output every block. The 32-bit line holds L words (2L for
// a complex input) with a spare word past its end; the 16-bit line holds L rounded 16-bit samples.
#include <algorithm>

#include "Modules/Advanced/DelayLines.h"
#include "kve/kve_vec_generators.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;

struct WriterModule {
    ClassModule header;
    int32_t unused;
    int32_t lineLength;
    int32_t writeIndex;
    int32_t heap;
    int32_t *line;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(WriterModule, unused, Int),
    KVE_VARIABLE(WriterModule, lineLength, Int),
    KVE_VARIABLE(WriterModule, writeIndex, Int),
    KVE_VARIABLE(WriterModule, heap, Int),
    KVE_ARRAY(WriterModule, line, IntArray, fixedLength(0)),
};

uint64_t lineLength(ClassModule *m) { return heldDelay(reinterpret_cast<WriterModule *>(m)->lineLength, INT32_MAX); }

ArraySize lineSize32(ClassModule *m, uint32_t)
{
    const uint64_t words = (lineLength(m) + 1) * (isComplex(wire(m, 0)) ? 2 : 1);
    return {words, static_cast<uint32_t>(reinterpret_cast<WriterModule *>(m)->heap)};
}

ArraySize lineSize16(ClassModule *m, uint32_t)
{
    return {(lineLength(m) + 1) / 2, static_cast<uint32_t>(reinterpret_cast<WriterModule *>(m)->heap)};
}

void ownId(ClassModule *m)
{
    const GenericWire *out = wire(m, inputs(m));
    if (wireWords(out) != 0)
        static_cast<uint32_t *>(out->buffer)[0] = m->objectId;
}

void writer32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<WriterModule *>(m);
    // The line's words, held to what was built for it, the spare word (two for a complex line) apart.
    const uint32_t perSample = isComplex(wire(m, 0)) ? 2 : 1;
    const uint64_t built = capacity(m, 0);
    const uint64_t room = built > perSample ? built - perSample : 0;
    const auto len = static_cast<int32_t>(std::min<uint64_t>({lineLength(m) * perSample, room, INT32_MAX}));
    if (len > 0) {
        s->writeIndex = ringIndex(s->writeIndex, len);
        kve_vecCircWrite(s->line, len, &s->writeIndex, 1, wire(m, 0)->buffer, 1,
                         static_cast<int32_t>(wireWords(wire(m, 0))));
    }
    ownId(m);
}

void writer16Process(ClassModule *m)
{
    auto *s = reinterpret_cast<WriterModule *>(m);
    const auto len = static_cast<int32_t>(std::min<uint64_t>({lineLength(m), uint64_t{capacity(m, 0)} * 2,
                                                              INT32_MAX}));
    if (len > 0) {
        s->writeIndex = ringIndex(s->writeIndex, len);
        kve_vecCircWrite16(reinterpret_cast<int16_t *>(s->line), len, &s->writeIndex, 1,
                           static_cast<const Fract32 *>(wire(m, 0)->buffer), 1,
                           static_cast<int32_t>(wireWords(wire(m, 0))));
    }
    ownId(m);
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modDelayStateWriterClass = makeClass<5>(
    0xBEEF0CE4u, {withArrays<&kve_modDelayStateWriterClass, 1, 1, 1, lineSize32>, writer32Process}, kVariables);

extern "C" constinit const ClassRecord<5> kve_modDelayStateWriter16Class = makeClass<5>(
    0xBEEF0CE5u, {withArrays<&kve_modDelayStateWriter16Class, 1, 1, 1, lineSize16>, writer16Process}, kVariables);
