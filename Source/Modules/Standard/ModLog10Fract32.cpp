// Log10Fract32: log10 |x|, input and output read with 23 fractional bits; 0 gives 0x80000000.
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modLog10Fract32Class = makeClass<0>(
    0xBEEF0898u, {wired<&kve_modLog10Fract32Class, 1, 1>, oneToOne<kernel<kve_vecLog10Fract32>>}, kVariables);
