// FifoIn: the writing end of a circular buffer that a FifoOut in another layout drains, so that layouts running
// at different clock dividers or block sizes can pass samples on.
#include "Modules/Advanced/Rebuffering.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::rebuffering;
using kve::filters::elementFactor;
using kve::filters::sizeArgument;

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(FifoInModule, capacity, Int),
    KVE_VARIABLE(FifoInModule, writeCount, Int),
    KVE_VARIABLE(FifoInModule, readCount, Int),
    KVE_VARIABLE(FifoInModule, writeIndex, Int),
    KVE_VARIABLE(FifoInModule, readIndex, Int),
    KVE_ARRAY(FifoInModule, buffer, FloatArray, fixedLength(0)),
};

ClassModule *kve_modFifoInConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const int32_t frames = sizeArgument(argc, args, 5, 0);
    if (frames < 0) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    auto variables = kVariables;
    // `capacity` frames of the input's channels, and one word more.
    const uint32_t ring = elementFactor(KVE_WIRE_CHANNELS(wires[0]->info1), static_cast<uint32_t>(frames));
    variables[5].length = fixedLength(ring == UINT32_MAX ? ring : ring + 1);
    return construct(kve_modFifoInClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

void kve_modFifoInProcess(ClassModule *m)
{
    auto *f = reinterpret_cast<FifoInModule *>(m);
    const GenericWire *in = wire(m, 0);
    f->writeCount = nextCount(f->writeCount);
    kve_vecCircWrite(f->buffer, static_cast<int32_t>(fifoRingWords(m)), &f->writeIndex, 1, in->buffer, 1,
                     static_cast<int32_t>(wireWords(in)));
    // The block also goes on along the writer's layout, as it does while the module is bypassed.
    IOMatchUpModule_Bypass(m);
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modFifoInClass =
    makeClass<6>(0xBEEF0D52u, {kve_modFifoInConstructor, kve_modFifoInProcess, IOMatchUpModule_Bypass}, kVariables);
