// Sample-type conversion kernels: float, Fract32, integer and 16-bit fraction samples, at their edge values and, for
// the four-lane conversions, over a spread of every bit pattern.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::bitsOf;
using kvetest::GuardedVector;

constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kMax = INT32_MAX;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

template <typename In, typename Out>
struct Conversion {
    In in;
    Out expected;
};

// Runs the cases through the kernel twice: as one vector, so the four-lane kernels take them in blocks, and one
// sample per call, so every case also passes through the scalar tail. Outputs are compared bit for bit.
template <typename In, typename Out, typename Kernel>
void expectConversions(Kernel kernel, const std::vector<Conversion<In, Out>> &cases)
{
    std::vector<In> in;
    for (const auto &c : cases)
        in.push_back(c.in);
    std::vector<Out> whole(cases.size());
    kernel(in.data(), 1, whole.data(), 1, static_cast<int32_t>(in.size()));
    for (size_t i = 0; i < cases.size(); ++i) {
        Out single{};
        kernel(&in[i], 1, &single, 1, 1);
        EXPECT_EQ(std::bit_cast<uint32_t>(whole[i]), std::bit_cast<uint32_t>(cases[i].expected))
            << "case " << i << " in a vector: " << cases[i].in << " gave " << whole[i];
        EXPECT_EQ(std::bit_cast<uint32_t>(single), std::bit_cast<uint32_t>(cases[i].expected))
            << "case " << i << " alone: " << cases[i].in << " gave " << single;
    }
}

TEST(FloatToFract32Kernel, TruncatesSaturatesAndMapsNaNToZero)
{
    expectConversions<float, int32_t>(kve_vecFloatToFract32, {
        {0.5f, 0x40000000}, {-0.5f, static_cast<int32_t>(0xC0000000)}, {1.0f, kMax}, {2.0f, kMax}, {kInf, kMax},
        {3e38f, kMax}, {-1.0f, kMin}, {-2.0f, kMin}, {-kInf, kMin}, {kNaN, 0}, {-kNaN, 0}, {-1e-12f, 0},
        {1e-12f, 0}, {0x1p-31f, 1}, {-0x1p-31f, -1}, {0x1.fffffep-1f, 0x7FFFFF80}, {-0x1.fffffep-1f, -0x7FFFFF80},
        {0.0f, 0}, {-0.0f, 0}, {0x1p-149f, 0}, {0.25f, 0x20000000},
    });
}

TEST(Fract32ToFloatKernel, FullScaleIsExactlyOneAndLowBitsRoundToNearestEven)
{
    expectConversions<int32_t, float>(kve_vecFract32ToFloat, {
        {kMax, 1.0f}, {kMin, -1.0f}, {1, 0x1p-31f}, {-1, -0x1p-31f}, {0, 0.0f}, {0x40000000, 0.5f},
        {0x7FFFFFC0, 1.0f}, {0x7FFFFF40, 0x1.fffffcp-1f}, {0x01000001, 0x1p-7f}, {0x01000003, 0x1.000004p-7f},
        {-0x7FFFFFC0, -1.0f},
    });
}

TEST(FloatToIntKernel, RoundsHalfAwayFromZeroAndSaturatesSymmetrically)
{
    expectConversions<float, int32_t>(kve_vecFloatToInt, {
        {2.5f, 3}, {-2.5f, -3}, {0.49999997f, 1}, {-0.5f, -1}, {kNaN, 0}, {3e9f, kMax}, {-3e9f, -kMax},
        {8388609.0f, 8388610}, {-kInf, -kMax}, {kInf, kMax}, {1.4999999f, 1}, {-1.4999999f, -1},
    });
}

TEST(IntToFloatKernel, RoundsToNearestEven)
{
    expectConversions<int32_t, float>(kve_vecIntToFloat, {
        {16777217, 16777216.0f}, {16777219, 16777220.0f}, {-16777217, -16777216.0f}, {kMax, 2147483648.0f},
        {kMin, -2147483648.0f}, {0, 0.0f}, {-1, -1.0f},
    });
}

TEST(IntFract32Kernels, KeepEveryBitPattern)
{
    const std::vector<Conversion<int32_t, int32_t>> same = {
        {kMin, kMin}, {kMax, kMax}, {0, 0}, {-1, -1}, {1, 1}, {0x12345678, 0x12345678},
    };
    expectConversions<int32_t, int32_t>(kve_vecIntToFract32, same);
    expectConversions<int32_t, int32_t>(kve_vecFract32ToInt, same);
}

TEST(FloatToFract16Kernel, RoundsHalfAwayFromZeroAndSaturates)
{
    const struct {
        float x;
        int16_t expected;
    } cases[] = {
        {0.99999f, 32767}, {1.0f, 32767}, {-1.0f, -32768}, {-1.5f, -32768}, {0.5f, 16384}, {-0.00001f, 0},
        {kNaN, 0}, {kInf, 32767}, {-kInf, -32768}, {0x1.fffep-1f, 32767}, // 1 - 2^-16 rounds to 32768, held
        {0x1p-16f, 1}, {-0x1p-16f, -1},                                    // half a step away from zero
        {0x1p-17f, 0}, {-0.25f, -8192}, {0.0f, 0},
    };
    for (const auto &c : cases) {
        int16_t out = 0x5A5A;
        kve_vecFloatToFract16(&c.x, 1, &out, 1, 1);
        EXPECT_EQ(out, c.expected) << c.x;
    }
}

TEST(FloatToFract16Kernel, OutputIncrementCountsSixteenBitSamples)
{
    const float src[3] = {0.5f, -0.5f, 0.25f};
    int16_t dst[7] = {9, 9, 9, 9, 9, 9, 9};
    kve_vecFloatToFract16(src, 1, dst, 2, 3);
    const int16_t expected[7] = {16384, 9, -16384, 9, 8192, 9, 9};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(dst[i], expected[i]) << "sample " << i;
}

// The four-lane conversions against exact models over every 65521st bit pattern, in one long contiguous vector
// (blocks of sixteen) and read with an increment of 2 (gathered blocks).
TEST(FourLaneConversions, MatchExactModelsAcrossTheBitPatterns)
{
    std::vector<uint32_t> patterns;
    for (uint64_t bits = 0; bits <= UINT32_MAX; bits += 65521)
        patterns.push_back(static_cast<uint32_t>(bits));
    const auto n = static_cast<int32_t>(patterns.size());

    std::vector<int32_t> fract(patterns.size());
    kve_vecFloatToFract32(reinterpret_cast<const float *>(patterns.data()), 1, fract.data(), 1, n);
    std::vector<float> floats(patterns.size());
    kve_vecFract32ToFloat(reinterpret_cast<const int32_t *>(patterns.data()), 1, floats.data(), 1, n);
    std::vector<int32_t> fractStrided(patterns.size() / 2);
    kve_vecFloatToFract32(reinterpret_cast<const float *>(patterns.data()), 2, fractStrided.data(), 1, n / 2);
    std::vector<float> floatsStrided(patterns.size() / 2);
    kve_vecFract32ToFloat(reinterpret_cast<const int32_t *>(patterns.data()), 2, floatsStrided.data(), 1, n / 2);

    for (size_t i = 0; i < patterns.size(); ++i) {
        const float x = std::bit_cast<float>(patterns[i]);
        const auto w = static_cast<int32_t>(patterns[i]);
        ASSERT_EQ(fract[i], kvetest::exactFloatToFract32(x)) << x;
        ASSERT_EQ(bitsOf(floats[i]), bitsOf(kvetest::exactFract32ToFloat(w))) << w;
        if (i % 2 == 0 && i / 2 < fractStrided.size()) {
            ASSERT_EQ(fractStrided[i / 2], fract[i]) << x;
            ASSERT_EQ(bitsOf(floatsStrided[i / 2]), bitsOf(floats[i])) << w;
        }
    }
}

// Around each boundary of the float to Fract32 conversion, every float in a small neighbourhood.
TEST(FourLaneConversions, FloatToFract32AgreesNextToFullScaleAndZero)
{
    std::vector<float> xs;
    for (float centre : {1.0f, -1.0f, 0x1p-31f, -0x1p-31f, 0.0f}) {
        float x = centre;
        for (int k = 0; k < 40; ++k)
            x = std::nextafter(x, -kInf);
        for (int k = 0; k < 80; ++k, x = std::nextafter(x, kInf))
            xs.push_back(x);
    }
    std::vector<int32_t> out(xs.size());
    kve_vecFloatToFract32(xs.data(), 1, out.data(), 1, static_cast<int32_t>(xs.size()));
    for (size_t i = 0; i < xs.size(); ++i)
        ASSERT_EQ(out[i], kvetest::exactFloatToFract32(xs[i])) << xs[i];
}

TEST(FourLaneConversions, WorkInPlace)
{
    for (int32_t inc : {1, 2, -1}) {
        for (int32_t n : {3, 4, 17, 37}) {
            GuardedVector v(n, inc);
            GuardedVector asFract32(n, inc);
            GuardedVector backToFloat(n, inc);
            for (int32_t i = 0; i < n; ++i) {
                const float x = static_cast<float>(i - 18) / 16.0f; // -1.125 to 1.125 in sixteenths
                v[i] = bitsOf(x);
                asFract32[i] = bitsOf(kvetest::exactFloatToFract32(x));
                backToFloat[i] = bitsOf(std::clamp(x, -1.0f, 1.0f));
            }
            kve_vecFloatToFract32(v.as<float>(), inc, v.as<int32_t>(), inc, n);
            ASSERT_EQ(v.words(), asFract32.words()) << "inc " << inc << " n " << n;
            kve_vecFract32ToFloat(v.as<int32_t>(), inc, v.as<float>(), inc, n);
            ASSERT_EQ(v.words(), backToFloat.words()) << "inc " << inc << " n " << n;
        }
    }
}

} // namespace
