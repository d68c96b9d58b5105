// InterleavedSink: every block is kept as it stands on the wire, for a host to read by member address.
#include <cstring>

#include "Modules/Advanced/FileSinks.h"

using namespace kve::kit;
using namespace kve::filesinks;

namespace {

constexpr std::array<Variable, 1> kVariables = {
    KVE_ARRAY_IN(InterleavedSinkModule, buffer, IntArray, perWordOfWire(0), KVE_HEAPS_HOST_ARRAYS),
};

ClassModule *interleavedSinkConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    return construct(kve_modInterleavedSinkClass, kVariables, 1, 0, status, wireWord, wires, argc, args);
}

void interleavedSinkProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<InterleavedSinkModule *>(m);
    const GenericWire *in = wire(m, 0);
    std::memcpy(s->buffer, in->buffer, size_t{wireWords(in)} * 4);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modInterleavedSinkClass =
    makeClass<1>(0xBEEF0D54u, {interleavedSinkConstructor, interleavedSinkProcess}, kVariables);
