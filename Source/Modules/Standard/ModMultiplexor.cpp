// Multiplexor: passes the input wire `index` selects, or, with `useControlPin`, the one the first word of the last
// input wire selects (that word is kept in `index`).
#include "Modules/Standard/Routers.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct MultiplexorModule {
    ClassModule header;
    int32_t useControlPin;
    int32_t index;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(MultiplexorModule, useControlPin, Int),
    KVE_VARIABLE(MultiplexorModule, index, Int),
};

ClassModule *multiplexorConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                    const uint32_t *args)
{
    return construct(kve_modMultiplexorClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void multiplexorProcess(ClassModule *m)
{
    auto *x = reinterpret_cast<MultiplexorModule *>(m);
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    GenericWire *out = wire(m, inputs);
    uint32_t audioInputs = inputs;
    if (x->useControlPin != 0) {
        audioInputs = inputs - 1;
        const GenericWire *control = wire(m, inputs - 1);
        if (wireWords(control) != 0) // a pin without samples leaves the selection as it stands
            x->index = static_cast<const int32_t *>(control->buffer)[0];
    }
    if (audioInputs == 0) {
        silenceWire(out);
        return;
    }
    copyWire(wire(m, limited(x->index, audioInputs)), out);
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modMultiplexorClass =
    makeClass<2>(0xBEEF0867u, {multiplexorConstructor, multiplexorProcess}, kVariables);
