// SetWireProperties: passes the input's words to an output wire that declares other properties (rate, complex
// flag) for the same words.
#include <algorithm>

#include "Modules/Advanced/RateModules.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec_conversion.h"

using namespace kve::kit;

namespace {

void setWirePropertiesProcess(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    // An output of fewer words takes only what it holds.
    const uint32_t n = std::min(wireWords(in), wireWords(out));
    kve_vecCopy32(in->buffer, 1, out->buffer, 1, static_cast<int32_t>(n));
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modSetWirePropertiesClass = makeClass<0>(
    0xBEEF0D35u,
    {kve::shapes::wired<&kve_modSetWirePropertiesClass, 1, 1>, setWirePropertiesProcess, setWirePropertiesProcess},
    std::array<Variable, 0>{});
