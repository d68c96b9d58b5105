// BooleanSink: every block, wire 0's logic words land channel-major in `value`, word for word. Its array comes from
// the default heap list, not the host arrays' own heap.
#include "Modules/Standard/Sources.h"

namespace {

using namespace kve::kit;
using namespace kve::sources;

using Module = HostArrayModule<int32_t>;
constexpr const auto &kVariables = kHostArray<Module, Type::IntArray, KVE_HEAPS_DEFAULT>;

} // namespace

extern "C" constinit const ClassRecord<1> kve_modBooleanSinkClass =
    makeClass<1>(0xBEEF0869u, {sink<&kve_modBooleanSinkClass, &kVariables>, keep<Module, false>}, kVariables);
