// The advanced pack's float to Fract32 conversion: saturation at both ends, rounding half away from zero, tiny values
// and NaN.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Modules/Advanced/AdvancedKit.h"

namespace {

TEST(AdvancedFract32, RoundsHalfAwayFromZeroAndSaturatesAtBothEnds)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float lsb = std::ldexp(1.0f, -31);
    const struct {
        const char *what;
        float in;
        Fract32 out;
    } cases[] = {
        {"-1.0 is representable", -1.0f, INT32_MIN},
        {"just below -1.0", -1.0000001f, INT32_MIN},
        {"far below -1.0", -3.5f, INT32_MIN},
        {"minus infinity", -inf, INT32_MIN},
        {"1.0 saturates", 1.0f, INT32_MAX},
        {"above 1.0", 1.5f, INT32_MAX},
        {"plus infinity", inf, INT32_MAX},
        {"largest float below 1.0", std::nextafter(1.0f, 0.0f), 0x7FFFFF80},
        {"one half", 0.5f, 0x40000000},
        {"minus one half", -0.5f, -0x40000000},
        {"half a step up", 0.5f * lsb, 1},
        {"half a step down", -0.5f * lsb, -1},
        {"two and a half steps", 2.5f * lsb, 3},
        {"minus two and a half steps", -2.5f * lsb, -3},
        {"just under half a step", 0.4999f * lsb, 0},
        {"a quarter step", 0.25f * lsb, 0},
        {"tiny", 1e-20f, 0},
        {"minus zero", -0.0f, 0},
        {"NaN", nan, 0},
        {"negative NaN", -nan, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(kve_advFloatToFract32(c.in), c.out) << c.what;
}

} // namespace
