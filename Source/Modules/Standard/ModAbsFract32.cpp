// AbsFract32: the magnitude of every Fract32 sample of wire 0 into wire 1 (-1.0 gives 0x7FFFFFFF).
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modAbsFract32Class = makeClass<0>(
    0xBEEF0880u, {wired<&kve_modAbsFract32Class, 1, 1>, oneToOne<kernel<kve_vecAbsFract32>>}, kVariables);
