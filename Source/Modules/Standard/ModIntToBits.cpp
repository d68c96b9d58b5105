// IntToBits: unpacks the first word of wire 0 into the first word of every output, bit 0 into output 0.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

void intToBitsProcess(ClassModule *m)
{
    // Unsigned, so the shift brings in zeros: a negative word gives its bits, not copies of its sign.
    auto v = static_cast<uint32_t>(readFirstWord(wire(m, 0)));
    for (uint32_t j = 0; j < outputs(m); ++j, v >>= 1)
        writeFirstWord(wire(m, inputs(m) + j), static_cast<int32_t>(v & 1u));
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modIntToBitsClass =
    makeClass<0>(0xBEEF0822u, {wired<&kve_modIntToBitsClass, 1, 1>, intToBitsProcess}, kNoVariables);
