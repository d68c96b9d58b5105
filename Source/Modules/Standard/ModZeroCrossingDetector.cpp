// ZeroCrossingDetector: 1.0 where a channel of float wire 0 crosses zero, else 0.0: both directions for
// `crossingType` 0, rising only above 0, falling only below. A sample below zero has the sign -1, any other (0, -0.0
// and NaN included) +1. Each channel keeps the sign of its last sample across blocks; the first sample after
// construction counts as a crossing in both-direction mode.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::logic;

struct ZeroCrossingDetectorModule {
    ClassModule header;
    int32_t crossingType;
    int32_t *prevSign;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ZeroCrossingDetectorModule, crossingType, Int),
    KVE_ARRAY_IN(ZeroCrossingDetectorModule, prevSign, IntArray, perChannelOfWire(0), 0x231),
};

// One channel: *state holds the sign of the sample before, 0 before the first.
void detectFloat(const float *x, int32_t xInc, float *y, int32_t yInc, int32_t mode, int32_t *state, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        const int32_t sign = x[i * xInc] < 0.0f ? -1 : 1;
        const int32_t before = *state;
        const bool rising = sign == 1 && before == -1;
        const bool falling = sign == -1 && before == 1;
        const bool crossing = mode > 0 ? rising : mode < 0 ? falling : sign != before;
        y[i * yInc] = crossing ? 1.0f : 0.0f;
        *state = sign;
    }
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modZeroCrossingDetectorClass =
    makeClass<2>(0xBEEF082Au,
                 {withArrays<&kve_modZeroCrossingDetectorClass, &kVariables, 1, 1>,
                  detectCrossings<ZeroCrossingDetectorModule, float, detectFloat>, bypassWithFalse},
                 kVariables);
