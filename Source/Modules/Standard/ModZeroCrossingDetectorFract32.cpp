// ZeroCrossingDetectorFract32: full scale where a channel of wire 0 crosses zero, else 0: both directions for
// `crossingType` 0, rising only above 0, falling only below. Each channel keeps the sign of its last sample across
// blocks; the first sample after construction counts as a crossing in both-direction mode.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::logic;

struct ZeroCrossingDetectorFract32Module {
    ClassModule header;
    int32_t crossingType;
    int32_t *prevSign;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ZeroCrossingDetectorFract32Module, crossingType, Int),
    KVE_ARRAY_IN(ZeroCrossingDetectorFract32Module, prevSign, IntArray, perChannelOfWire(0), 0x231),
};

} // namespace

extern "C" constinit const ClassRecord<2> kve_modZeroCrossingDetectorFract32Class =
    makeClass<2>(0xBEEF08D9u,
                 {withArrays<&kve_modZeroCrossingDetectorFract32Class, &kVariables, 1, 1>,
                  detectCrossings<ZeroCrossingDetectorFract32Module, Fract32, kve_vecZeroCrossingDetectorFract32>,
                  bypassWithFalse},
                 kVariables);
