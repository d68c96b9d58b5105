// BitsToInt: packs the first word of every input into one integer, input 0 as bit 0, into the output's first word.
// The words are OR-ed in whole, so inputs are expected to carry 0 or 1.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

void bitsToIntProcess(ClassModule *m)
{
    uint32_t v = 0;
    for (uint32_t k = inputs(m); k-- > 0;)
        v = (v << 1) | static_cast<uint32_t>(readFirstWord(wire(m, k)));
    writeFirstWord(firstOutput(m), static_cast<int32_t>(v));
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modBitsToIntClass =
    makeClass<0>(0xBEEF081Fu, {wired<&kve_modBitsToIntClass, 1, 1>, bitsToIntProcess}, kNoVariables);
