// WithinRange: whether every float sample of wire 0 lies within [`lowerBound`, `upperBound`], into `allInRange`;
// with one output and `outputMode` 1 or 2, also the block flag or one flag per sample.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

struct WithinRangeModule {
    ClassModule header;
    float lowerBound;
    float upperBound;
    int32_t allInRange;
    int32_t outputMode;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(WithinRangeModule, lowerBound, Float),
    KVE_VARIABLE(WithinRangeModule, upperBound, Float),
    KVE_VARIABLE(WithinRangeModule, allInRange, Int),
    KVE_VARIABLE(WithinRangeModule, outputMode, Int),
};

} // namespace

extern "C" constinit const ClassRecord<4> kve_modWithinRangeClass =
    makeClass<4>(0xBEEF0829u,
                 {wired<&kve_modWithinRangeClass, 1, 0>, withinRange<WithinRangeModule, float, kve_vecWithinRange>,
                  withinRangeBypass},
                 kVariables);
