// How the four-lane math kernels walk memory: every length from 0 to 40, so that the blocks of sixteen and of four
// and the one-by-one tails all run, each sample compared with the same kernel called on that sample alone, and
// guard words on both sides of the output that must stay untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::bitsOf;
using kvetest::GuardedVector;

using Contiguous = std::function<void(const float *, float *, int32_t)>;

const std::vector<float> kPolynomial = {0.02f, -0.3f, 1.1f, 0.5f, -2.0f};
const std::vector<float> kPoints = {-1.0f, 0.5f, 0.0f, 0.25f, 1.0f, 2.0f};
const std::vector<float> kSegments = {0.1f, 0.2f, -0.25f, 0.5f, -0.3f, 0.4f, 1.5f, 0.25f};

TEST(MathFourLaneKernels, EveryLengthWritesExactlyItsSamples)
{
    const struct {
        const char *name;
        Contiguous kernel;
        float offset; // inputs are offset + k / 8 for sample k
    } kernels[] = {
        {"Db20_Approx", kve_vecDb20_Approx, -2.4f},
        {"UnDb20_Approx", kve_vecUnDb20_Approx, 0.1f}, // positive exponents: blocks and tail take the same split
        {"Polynomial_SIMD4",
         [](const float *s, float *d, int32_t n) { kve_vecPolynomial_SIMD4(s, d, 5, kPolynomial.data(), n); }, -2.5f},
        {"TableInterp",
         [](const float *s, float *d, int32_t n) { kve_vecTableInterp(s, kPoints.data(), 3, kSegments.data(), d, n); },
         -1.3f},
    };
    for (const auto &k : kernels) {
        for (int32_t n = -2; n <= 40; ++n) {
            std::vector<float> src;
            for (int32_t i = 0; i < std::max(n, 0); ++i)
                src.push_back(k.offset + 0.1271f * static_cast<float>(i));
            GuardedVector dst(n, 1);
            k.kernel(src.data(), dst.as<float>(), n);
            GuardedVector expected(n, 1);
            for (int32_t i = 0; i < n; ++i) {
                float alone = 0.0f;
                k.kernel(&src[static_cast<size_t>(i)], &alone, 1);
                expected[i] = bitsOf(alone);
            }
            ASSERT_EQ(dst.words(), expected.words()) << k.name << ", n = " << n;
        }
    }
}

} // namespace
