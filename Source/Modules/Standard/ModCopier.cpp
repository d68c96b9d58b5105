// Copier: copies input wire 0 to output wire 1.
#include <algorithm>

#include "Modules/ModuleKit.h"
#include "Modules/Standard/StandardClasses.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;

struct CopierModule {
    ClassModule header;
};

constexpr std::array<Variable, 0> kVariables = {};

ClassModule *copierConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    return construct(kve_modCopierClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void copierProcess(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    // The shorter of the two wires: an output smaller than the input is filled, never overrun.
    const uint32_t n = std::min(wireWords(in), wireWords(out));
    kve_vecCopy32(in->buffer, 1, out->buffer, 1, static_cast<int32_t>(n));
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modCopierClass =
    makeClass<0>(0xBEEF0860u, {copierConstructor, copierProcess}, kVariables);
