// ZeroSource: silence on every word of its output; its Process is its Bypass too.
#include "Modules/Standard/Sources.h"

namespace {

using namespace kve::kit;
using namespace kve::sources;

void zero(ClassModule *m)
{
    GenericWire *out = output(m);
    kve_vecFillFract32(static_cast<Fract32 *>(out->buffer), 1, 0, static_cast<int32_t>(wireWords(out)));
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modZeroSourceClass =
    makeClass<0>(0xBEEF0874u, {source<&kve_modZeroSourceClass, &kNoVariables>, zero, zero}, kNoVariables);
