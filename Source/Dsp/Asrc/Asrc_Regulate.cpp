#include <cmath>

#include "Dsp/Asrc/Asrc.h"

namespace {

// x converted toward zero, saturated to the signed 64-bit range; NaN gives 0.
int64_t truncateToInt64(float x)
{
    if (std::isnan(x)) {
        return 0;
    }
    if (x >= 9223372036854775808.0f) {
        return INT64_MAX;
    }
    if (x <= -9223372036854775808.0f) {
        return INT64_MIN;
    }
    return static_cast<int64_t>(x);
}

// a0 x b0 + a1 x b1 + a2 x b2 + a3 x b3, summed left to right, each product after the first fused with the sum.
float fusedSum(float a0, float b0, float a1, float b1, float a2, float b2, float a3, float b3)
{
    return std::fma(a3, b3, std::fma(a2, b2, std::fma(a1, b1, a0 * b0)));
}

} // namespace

// The loop filter: the fill level's distance from half the ring, per frame to be read, drives a two-state filter
// with an error integral whose output is the read step in samples; the step follows the writer's real rate. Runs in
// single precision on the converter's own state. Fewer than one frame leaves step and filter as they are.
extern "C" int64_t qirn_asrc_regulate_fstep(qirn_asrc_state *state, int32_t n)
{
    if (state == nullptr) {
        return 0;
    }
    qirn_asrc_state &s = *state;
    if (n < 1 || !kve_asrcRingUsable(state) || s.regA == nullptr || s.regB == nullptr || s.regC == nullptr ||
        s.regD == nullptr) {
        return s.step;
    }
    const float length = static_cast<float>(s.length);
    const float slots = static_cast<float>(qirn_asrc_input_avail(state));
    const float e = (0.5f * length - (length - slots)) / static_cast<float>(n);
    s.integral += e;
    const float *a = s.regA;
    const float *b = s.regB;
    const float x0 = fusedSum(a[0], s.loopState[0], a[1], s.loopState[1], b[0], e, b[1], s.integral);
    const float x1 = fusedSum(a[2], x0, a[3], s.loopState[1], b[2], e, b[3], s.integral);
    const float y = fusedSum(s.regC[0], x0, s.regC[1], x1, s.regD[0], e, s.regD[1], s.integral);
    s.loopState[0] = x0;
    s.loopState[1] = x1;
    s.step = truncateToInt64(y * std::ldexp(1.0f, static_cast<int>(kve_asrcIndexShift(state))));
    return s.step;
}
