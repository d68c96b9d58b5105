// SinkInt: every block, wire 0's words land channel-major in `value` (channel c's block at c x block size), word for
// word. The array of a complex wire is built twice as long.
#include "Modules/Standard/Sources.h"

namespace {

using namespace kve::kit;
using namespace kve::sources;

using Module = HostArrayModule<int32_t>;
constexpr const auto &kVariables = kHostArray<Module, Type::IntArray>;

ClassModule *sinkIntConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 0))
        return nullptr;
    const auto &variables = kve::shapes::isComplex(wires[0])
                                ? kHostArray<Module, Type::IntArray, KVE_HEAPS_HOST_ARRAYS, 2>
                                : kVariables;
    return construct(kve_modSinkIntClass, variables, 1, 0, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modSinkIntClass =
    makeClass<1>(0xBEEF086Eu, {sinkIntConstructor, keep<Module, false>}, kVariables);
