// PeriodicStreaming: marks each block with the module's own id and mirrors variable 1 into variable 4; the host
// exchanges the streamed data through the two buffers by member address.
#include "Modules/Advanced/FileSinks.h"

using namespace kve::kit;
using namespace kve::filesinks;

namespace {

template <size_t... K> constexpr std::array<Variable, 15> variablesOf(std::index_sequence<K...>)
{
    return {Variable{static_cast<uint32_t>(offsetof(PeriodicStreamingModule, values) + 4 * K), Type::Int}...,
            KVE_ARRAY_IN(PeriodicStreamingModule, exchange, IntArray, perArgument(0, 1, 0), KVE_HEAPS_HOST_ARRAYS),
            KVE_ARRAY_IN(PeriodicStreamingModule, staging, IntArray, perArgument(1), KVE_HEAPS_HOST_ARRAYS)};
}
constexpr std::array<Variable, 15> kVariables = variablesOf(std::make_index_sequence<13>{});

ClassModule *periodicStreamingConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    // The exchange buffer holds variable 0 + variable 1 words: the sum the kit's single-argument length cannot say.
    auto variables = kVariables;
    if (args != nullptr && argc > 1 && !sizeArray(variables[13], uint64_t{args[0]} + args[1], status))
        return nullptr;
    return construct(kve_modPeriodicStreamingClass, variables, 0, 1, status, wireWord, wires, argc, args);
}

void periodicStreamingProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<PeriodicStreamingModule *>(m);
    s->values[4] = s->values[1];
    const GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    if (wireWords(out) != 0)
        *static_cast<uint32_t *>(out->buffer) = m->objectId;
}

} // namespace

extern "C" constinit const ClassRecord<15> kve_modPeriodicStreamingClass =
    makeClass<15>(0xBEEF0D55u, {periodicStreamingConstructor, periodicStreamingProcess}, kVariables);
