// Undb10Fract32: 10^(x/10) for a power in dB, input and output read with 23 fractional bits; values of 256.0 and
// more (from about 24.08 dB) saturate to 0x7FFFFFFF.
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::mathq;

constexpr std::array<Variable, 0> kVariables = {};

Fract32 undb10Q23(Fract32 x) { return pow2Q23(octavesOfDecibels(x, kLog2Of10Over10)); }

} // namespace

extern "C" constinit const ClassRecord<0> kve_modUndb10Fract32Class =
    makeClass<0>(0xBEEF08D4u, {wired<&kve_modUndb10Fract32Class, 1, 1>, oneToOne<mapWords<undb10Q23>>}, kVariables);
