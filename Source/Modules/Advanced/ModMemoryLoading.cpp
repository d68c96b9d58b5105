// MemoryLoading: loads the memory system on purpose, filling a buffer in a chosen heap a set number of times per
// block, for load tests.
#include "Modules/Advanced/FileSinks.h"
#include "kve/kve_vec_conversion.h"

using namespace kve::kit;
using namespace kve::filesinks;

namespace {

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MemoryLoadingModule, repetitions, Int),
    KVE_VARIABLE(MemoryLoadingModule, words, Int),
    KVE_VARIABLE(MemoryLoadingModule, heaps, Int),
    KVE_VARIABLE(MemoryLoadingModule, counter, Int),
    KVE_ARRAY(MemoryLoadingModule, buffer, IntArray, perArgument(1)),
};

ClassModule *memoryLoadingConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    // The buffer lives in the heaps variable 2 names.
    auto variables = kVariables;
    if (args != nullptr && argc > 2)
        variables[4].heaps = args[2];
    return construct(kve_modMemoryLoadingClass, variables, 0, 0, status, wireWord, wires, argc, args);
}

void memoryLoadingProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<MemoryLoadingModule *>(m);
    const auto words = static_cast<int32_t>(std::min(static_cast<uint32_t>(std::max(s->words, 0)), capacity(m, 0)));
    for (int32_t r = 0; r < s->repetitions; ++r)
        kve_vecFillInt32(s->buffer, 1, s->counter, words);
    s->counter = static_cast<int32_t>(static_cast<uint32_t>(s->counter) + 1u);
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMemoryLoadingClass =
    makeClass<5>(0xBEEF0D62u, {memoryLoadingConstructor, memoryLoadingProcess}, kVariables);
