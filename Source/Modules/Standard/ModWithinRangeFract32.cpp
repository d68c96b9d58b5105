// WithinRangeFract32: whether every Fract32 sample of wire 0 lies within [`lowerBound`, `upperBound`] (signed), into
// `allInRange`; with one output and `outputMode` 1 or 2, also the block flag or one flag per sample.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

struct WithinRangeFract32Module {
    ClassModule header;
    Fract32 lowerBound;
    Fract32 upperBound;
    int32_t allInRange;
    int32_t outputMode;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(WithinRangeFract32Module, lowerBound, Fract32),
    KVE_VARIABLE(WithinRangeFract32Module, upperBound, Fract32),
    KVE_VARIABLE(WithinRangeFract32Module, allInRange, Int),
    KVE_VARIABLE(WithinRangeFract32Module, outputMode, Int),
};

} // namespace

extern "C" constinit const ClassRecord<4> kve_modWithinRangeFract32Class =
    makeClass<4>(0xBEEF08D8u,
                 {wired<&kve_modWithinRangeFract32Class, 1, 0>,
                  withinRange<WithinRangeFract32Module, Fract32, kve_vecWithinRangeFract32>, withinRangeBypass},
                 kVariables);
