// Db20Fract32: 20 log10 |x|, input and output read with 23 fractional bits; 0 gives 0x80000000.
#include "Dsp/Math/Log2Fract32.h"
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::mathq;

constexpr std::array<Variable, 0> kVariables = {};

// The decibels per octave over 8 (6.0206/8 x 2^31): the base-2 logarithm's 26 fractional bits become 23.
constexpr int64_t kDecibelsPerOctaveOver8 = 1616142483;

Fract32 db20Q23(Fract32 x)
{
    return x == 0 ? INT32_MIN : static_cast<Fract32>((kve_log2Fract32Q26(x) * kDecibelsPerOctaveOver8) >> 31);
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modDb20Fract32Class =
    makeClass<0>(0xBEEF088Du, {wired<&kve_modDb20Fract32Class, 1, 1>, oneToOne<mapWords<db20Q23>>}, kVariables);
