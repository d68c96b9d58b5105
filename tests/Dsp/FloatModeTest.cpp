// The floating-point mode the library sets: flush-to-zero, round to nearest and no trapped exceptions, on the
// loading thread at load and on any thread that asks for it.
#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <fenv.h>
#include <cstdint>
#include <limits>
#include <thread>

#include "kve/kve_engine.h"

namespace {

// 1e-20 x 1e-20 lies below the smallest normal float.
float tinyProduct()
{
    volatile float a = 1e-20f;
    volatile float b = 1e-20f;
    return a * b;
}

// The smallest denormal scaled far into the normal range: zero only when denormal inputs are read as zero.
float scaledDenormal()
{
    volatile float d = std::bit_cast<float>(uint32_t{1});
    volatile float scale = 0x1p100f;
    return d * scale;
}

// 1 + 2^-30 is exactly representable only between floats: 1.0 when rounding to nearest.
float onePlusTiny()
{
    volatile float one = 1.0f;
    volatile float tiny = 0x1p-30f;
    return one + tiny;
}

float quotientByZero()
{
    volatile float one = 1.0f;
    volatile float zero = 0.0f;
    return one / zero;
}

TEST(FloatMode, TheLoadingThreadFlushesDenormalsToZero)
{
    EXPECT_EQ(tinyProduct(), 0.0f);
    EXPECT_EQ(scaledDenormal(), 0.0f);
    EXPECT_EQ(onePlusTiny(), 1.0f);
}

TEST(FloatMode, SettingItOnAnotherThreadFlushesMasksAndRoundsToNearest)
{
    std::thread worker([] {
        std::fesetenv(FE_DFL_ENV);
        std::fesetround(FE_UPWARD);
        feenableexcept(FE_DIVBYZERO); // a trap, where the processor has them
        ASSERT_NE(tinyProduct(), 0.0f) << "the default mode keeps denormals";
        ASSERT_GT(onePlusTiny(), 1.0f) << "rounding upward";

        kve_fwSetFloatMode();
        EXPECT_EQ(tinyProduct(), 0.0f);
        EXPECT_EQ(scaledDenormal(), 0.0f);
        EXPECT_EQ(onePlusTiny(), 1.0f) << "rounds to nearest";
        EXPECT_EQ(quotientByZero(), std::numeric_limits<float>::infinity()) << "a division by zero does not trap";
    });
    worker.join();
}

} // namespace
