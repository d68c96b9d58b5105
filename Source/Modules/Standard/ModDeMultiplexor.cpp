// DeMultiplexor: the input wire goes to the one output `index` selects; every other output is silent.
#include "Modules/Standard/Routers.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct DeMultiplexorModule {
    ClassModule header;
    int32_t index;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(DeMultiplexorModule, index, Int),
};

ClassModule *deMultiplexorConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    return construct(kve_modDeMultiplexorClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void deMultiplexorProcess(ClassModule *m)
{
    const auto *d = reinterpret_cast<DeMultiplexorModule *>(m);
    const uint32_t outputs = KVE_PACKED_OUTPUTS(m->packed);
    const uint32_t selected = limited(d->index, outputs);
    for (uint32_t k = 0; k < outputs; ++k) {
        if (k == selected)
            copyWire(wire(m, 0), wire(m, 1 + k));
        else
            silenceWire(wire(m, 1 + k));
    }
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modDeMultiplexorClass =
    makeClass<1>(0xBEEF0FD8u, {deMultiplexorConstructor, deMultiplexorProcess}, kVariables);
