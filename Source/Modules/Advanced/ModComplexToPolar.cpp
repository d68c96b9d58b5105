// ComplexToPolar: every complex sample of wire 0 as its angle (radians, by the fast arctangent) into the real wire
// 1 and its magnitude into the real wire 2. The fast arctangent keeps a numerator and a denominator per sample on
// the scratch wire, so that wire must hold two floats for every sample converted.
#include "Modules/Advanced/ComplexModules.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

// Samples converted per block: as many as the input holds and both outputs take.
uint32_t converted(GenericWire *const *wires, uint32_t inputCount)
{
    return static_cast<uint32_t>(fewest({complexIn(wires[0]), wireWords(wires[inputCount]),
                                         wireWords(wires[inputCount + 1])}));
}

ClassModule *complexToPolarConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 2))
        return nullptr;
    if (KVE_PACKED_SCRATCH(wireWord) < 1) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    const uint32_t in = KVE_PACKED_INPUTS(wireWord);
    const uint32_t scratch = in + KVE_PACKED_OUTPUTS(wireWord);
    const bool wired = wires != nullptr && wires[0] != nullptr && wires[in] != nullptr && wires[in + 1] != nullptr &&
                       wires[scratch] != nullptr;
    if (wired && wireWords(wires[scratch]) / 2 < converted(wires, in)) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    return construct(kve_modComplexToPolarClass, kVariables, 1, 2, status, wireWord, wires, argc, args);
}

void complexToPolarProcess(ClassModule *m)
{
    const uint32_t in = inputs(m);
    const GenericWire *scratch = wire(m, in + outputs(m));
    const int32_t n = fewest({converted(m->wires, in), wireWords(scratch) / 2});
    const float *x = samples(wire(m, 0));
    kve_vecFastAtan2(x + 1, 2, x, 2, samples(wire(m, in)), 1, samples(scratch), n);
    kve_vecMagnitude(x, 2, samples(wire(m, in + 1)), 1, n);
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modComplexToPolarClass = makeClass<0>(
    0xBEEF0CD7u, {complexToPolarConstructor, complexToPolarProcess, complexToPolarProcess}, kVariables);
