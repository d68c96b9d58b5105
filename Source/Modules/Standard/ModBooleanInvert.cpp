// BooleanInvert: the logical NOT of every word of wire 0 into wire 1: 1 where the word is 0, else 0.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

} // namespace

extern "C" constinit const ClassRecord<0> kve_modBooleanInvertClass = makeClass<0>(
    0xBEEF0820u, {wired<&kve_modBooleanInvertClass, 1, 1>, oneToOne<kernel<kve_vecNot1x1>>}, kNoVariables);
