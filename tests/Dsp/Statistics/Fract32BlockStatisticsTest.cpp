// Fract32 block statistics against exact integer models written with 128-bit arithmetic: 64-bit sums of samples and
// of squares, means and energies truncated toward zero, the variance about the truncated mean, sums saturated to
// 32 bits. The square roots are the library's Q31 square root of the modelled value, which is also checked against
// the true root.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/Fir/FirSignals.h"
#include "kve/kve_vec_math.h"
#include "kve/kve_vec_stats.h"

namespace
{

using kvetest::clampTo32;
using kvetest::floorDivPow2;

struct Model {
    __int128 sum = 0;
    __int128 sumSquares = 0; // of the Fract32 squares, each rounded down and held at 0x7FFFFFFF
    __int128 mean = 0;
    __int128 energy = 0;
    __int128 variance = 0;
};

// Division truncating toward zero, as the C operator does, written out.
__int128 quotientTowardZero(__int128 a, __int128 b)
{
    const __int128 q = (a < 0 ? -a : a) / b;
    return a < 0 ? -q : q;
}

Model modelOf(const std::vector<int32_t> &x)
{
    Model m;
    const auto n = static_cast<__int128>(x.size());
    for (int32_t v : x) {
        m.sum += v;
        m.sumSquares += clampTo32(floorDivPow2(static_cast<__int128>(v) * v, 31));
    }
    if (x.empty())
        return m;
    m.mean = quotientTowardZero(m.sum, n);
    m.energy = quotientTowardZero(m.sumSquares, n);
    __int128 deviations = 0;
    for (int32_t v : x)
        deviations += floorDivPow2((v - m.mean) * (v - m.mean), 31);
    m.variance = deviations / n;
    if (m.variance > INT32_MAX)
        m.variance = INT32_MAX;
    return m;
}

Fract32 librarySqrt(__int128 x)
{
    const auto word = static_cast<Fract32>(x);
    Fract32 root = 0;
    kve_vecSqrtFract32(&word, 1, &root, 1, 1);
    return root;
}

void expectModel(const std::vector<int32_t> &x, const char *what)
{
    const Model m = modelOf(x);
    const auto n = static_cast<int32_t>(x.size());
    const int32_t *p = x.data();
    EXPECT_EQ(kve_vecMeanFract32(p, n), static_cast<int64_t>(m.mean)) << what;
    EXPECT_EQ(kve_vecAvgEnergyFract32(p, n), static_cast<int64_t>(m.energy)) << what;
    EXPECT_EQ(kve_vecSumSquaredFract32(p, n), static_cast<int64_t>(m.sumSquares)) << what;
    EXPECT_EQ(kve_vecSumFract32(p, n), clampTo32(m.sum)) << what;
    EXPECT_EQ(kve_vecVarianceFract32(p, n), static_cast<int32_t>(m.variance)) << what;
    EXPECT_EQ(kve_vecRMSFract32(p, n), librarySqrt(m.energy)) << what;
    EXPECT_EQ(kve_vecSDFract32(p, n), librarySqrt(m.variance)) << what;
    // The roots are the true Q31 roots to the square root's own accuracy (about 5 x 10^-6 near full scale).
    const double rms = std::sqrt(static_cast<double>(m.energy) * 2147483648.0);
    const double sd = std::sqrt(static_cast<double>(m.variance) * 2147483648.0);
    EXPECT_NEAR(kve_vecRMSFract32(p, n), rms, 1e-5 * rms + 4.0) << what;
    EXPECT_NEAR(kve_vecSDFract32(p, n), sd, 1e-5 * sd + 4.0) << what;
}

TEST(Fract32BlockStatistics, MatchTheExactModelOnFullRangeWords)
{
    for (int32_t n : {1, 2, 3, 4, 5, 7, 8, 9, 16, 33, 100, 257, 1000}) {
        const std::vector<int32_t> x = kvetest::firNoiseWords(static_cast<size_t>(n), 500u + static_cast<uint64_t>(n));
        expectModel(x, "full-range words");
        std::vector<int32_t> quiet(x);
        for (int32_t &v : quiet)
            v /= 4096; // no sum overflows: the saturating sum equals the plain one
        expectModel(quiet, "quiet words");
    }
}

TEST(Fract32BlockStatistics, EdgeBlocks)
{
    struct Case {
        const char *what;
        std::vector<int32_t> x;
    } cases[] = {
        {"two full-scale samples", {INT32_MAX, INT32_MAX}},
        {"two minus-one samples", {INT32_MIN, INT32_MIN}},
        {"-1 squared is held at 0x7FFFFFFF", {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN}},
        {"a negative mean truncates toward zero", {-3, -4, 0}},
        {"a positive mean truncates toward zero", {3, 4, 0}},
        {"one sample", {123456789}},
        {"the widest spread", {INT32_MAX, INT32_MIN}},
        {"full-scale square wave", {INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX}},
        {"silence", {0, 0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases)
        expectModel(c.x, c.what);
}

TEST(Fract32BlockStatistics, SumsSaturateRatherThanWrap)
{
    const int32_t up[] = {INT32_MAX, INT32_MAX};
    const int32_t down[] = {INT32_MIN, -1};
    const int32_t back[] = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, 5};
    EXPECT_EQ(kve_vecSumFract32(up, 2), INT32_MAX);
    EXPECT_EQ(kve_vecSumFract32(down, 2), INT32_MIN);
    // Only the total is held, not the running sum: an excursion that comes back in range is exact.
    EXPECT_EQ(kve_vecSumFract32(back, 5), 3);
}

TEST(Fract32BlockStatistics, VarianceOfALoneFullScaleSampleAmongMinusOnes)
{
    // The difference from the mean comes close to 2^32, whose square does not fit a signed 64-bit word.
    for (int32_t n : {2, 3, 64, 4096, 1 << 16}) {
        std::vector<int32_t> x(static_cast<size_t>(n), INT32_MIN);
        x[static_cast<size_t>(n / 2)] = INT32_MAX;
        const Model m = modelOf(x);
        EXPECT_EQ(kve_vecVarianceFract32(x.data(), n), static_cast<int32_t>(m.variance)) << n;
        EXPECT_GT(kve_vecVarianceFract32(x.data(), n), 0) << n;
    }
}

TEST(Fract32BlockStatistics, EmptyBlocksGiveZero)
{
    const int32_t x[] = {INT32_MAX};
    for (int32_t n : {0, -1, INT32_MIN}) {
        EXPECT_EQ(kve_vecMeanFract32(x, n), 0) << n;
        EXPECT_EQ(kve_vecAvgEnergyFract32(x, n), 0) << n;
        EXPECT_EQ(kve_vecRMSFract32(x, n), 0) << n;
        EXPECT_EQ(kve_vecVarianceFract32(x, n), 0) << n;
        EXPECT_EQ(kve_vecSDFract32(x, n), 0) << n;
        EXPECT_EQ(kve_vecSumFract32(x, n), 0) << n;
        EXPECT_EQ(kve_vecSumSquaredFract32(x, n), 0) << n;
    }
}

} // namespace
