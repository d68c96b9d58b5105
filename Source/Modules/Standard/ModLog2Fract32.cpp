// Log2Fract32: log2 |x|, input and output read with 23 fractional bits; 0 gives 0x80000000.
#include "Dsp/Math/Log2Fract32.h"
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::mathq;

constexpr std::array<Variable, 0> kVariables = {};

Fract32 log2Q23(Fract32 x) { return x == 0 ? INT32_MIN : static_cast<Fract32>(kve_log2Fract32Q26(x) >> 3); }

} // namespace

extern "C" constinit const ClassRecord<0> kve_modLog2Fract32Class =
    makeClass<0>(0xBEEF0899u, {wired<&kve_modLog2Fract32Class, 1, 1>, oneToOne<mapWords<log2Q23>>}, kVariables);
