// Extreme values and their positions: the largest, smallest, largest and smallest magnitude, against numpy's
// nanargmax / nanargmin (first position, NaN passed over) on noise with ties and NaN, in every form; the Fract32
// forms against a plain scan of signed words. Empty blocks read and write nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "Dsp/Fir/FirSignals.h"
#include "Dsp/Statistics/StatsReference.h"
#include "kve/kve_vec_stats.h"

namespace
{

using kvetest::BlockStats;

constexpr uint32_t kUntouched = 0xDEADBEEFu;

struct Found {
    float value;
    uint32_t at;
};

// Noise rounded to a coarse grid so values and magnitudes repeat (ties), with NaN mixed in when asked, the first
// sample among them.
std::vector<float> tiedNoise(size_t n, uint64_t seed, bool withNaN)
{
    std::vector<float> x = kvetest::firNoise(n, seed);
    for (size_t i = 0; i < n; ++i) {
        x[i] = std::round(x[i] * 8.0f) / 8.0f;
        if (withNaN && (i * 7 + seed) % 5 == 0)
            x[i] = std::nanf("");
    }
    return x;
}

TEST(ExtremeValues, MatchNumpyFirstPositionsInEveryForm)
{
    std::vector<std::vector<float>> blocks;
    std::vector<size_t> sizes = {1, 2, 3, 4, 5, 8, 17, 64, 100, 333};
    for (size_t n : sizes) {
        blocks.push_back(tiedNoise(n, 40u + n, false));
        blocks.push_back(tiedNoise(n + 1, 90u + n, true)); // at least one sample is a number
    }
    const std::vector<BlockStats> ref = kvetest::referenceStats(blocks);
    ASSERT_EQ(ref.size(), blocks.size());

    for (size_t k = 0; k < blocks.size(); ++k) {
        const std::vector<float> &x = blocks[k];
        const BlockStats &r = ref[k];
        const auto n = static_cast<int32_t>(x.size());
        const auto maxAt = static_cast<uint32_t>(r.maxAt);
        const auto minAt = static_cast<uint32_t>(r.minAt);
        const auto maxAbsAt = static_cast<uint32_t>(r.maxAbsAt);
        const auto minAbsAt = static_cast<uint32_t>(r.minAbsAt);
        for (int32_t inc : {1, 3, -2}) {
            const kvetest::StridedFloats s(x, inc);
            const float *p = s.first();
            struct Row {
                const char *kernel;
                Found got;
                double value;
                uint32_t at;
            };
            std::vector<Row> rows;
            uint32_t i = kUntouched;
            if (inc == 1) {
                rows.push_back({"Max", {kve_vecMax(p, n, &i), i}, r.max, maxAt});
                rows.push_back({"MaxIndex", {kve_vecMaxIndex(p, n, &i), i}, r.max, maxAt});
                rows.push_back({"Min", {kve_vecMin(p, n, &i), i}, r.min, minAt});
                rows.push_back({"MinIndex", {kve_vecMinIndex(p, n, &i), i}, r.min, minAt});
            }
            rows.push_back({"MaxIndexStride", {kve_vecMaxIndexStride(p, inc, n, &i), i}, r.max, maxAt});
            rows.push_back({"MinIndexStride", {kve_vecMinIndexStride(p, inc, n, &i), i}, r.min, minAt});
            rows.push_back({"MaxAbs", {kve_vecMaxAbs(p, inc, n, &i), i}, r.maxAbs, 0});
            rows.push_back({"MaxAbsIndex", {kve_vecMaxAbsIndex(p, inc, n, &i), i}, r.maxAbs, maxAbsAt});
            rows.push_back({"MinAbs", {kve_vecMinAbs(p, inc, n, &i), i}, r.minAbs, minAbsAt});
            for (const Row &row : rows) {
                EXPECT_EQ(row.got.value, static_cast<float>(row.value))
                    << row.kernel << ", block " << k << ", increment " << inc;
                EXPECT_EQ(row.got.at, row.at) << row.kernel << ", block " << k << ", increment " << inc;
            }
        }
    }
}

// count NaN values but for one number at position at.
std::vector<float> nanBut(size_t count, size_t at, float number)
{
    std::vector<float> x(count, std::nanf(""));
    if (at < count)
        x[at] = number;
    return x;
}

TEST(ExtremeValues, EdgeCases)
{
    const float nan = std::nanf("");
    const float inf = INFINITY;
    struct Case {
        const char *what;
        float (*kernel)(const float *, int32_t, int32_t, uint32_t *);
        std::vector<float> x;
        float value;
        uint32_t at;
    } cases[] = {
        {"a tie keeps the first largest", kve_vecMaxIndexStride, {1, 3, 3, 2}, 3, 1},
        {"a NaN first is passed over by the minimum", kve_vecMinIndexStride, {nan, 2, 1}, 1, 2},
        {"a NaN first is passed over by the maximum", kve_vecMaxIndexStride, {nan, 2, 1}, 2, 1},
        {"only NaN gives the first", kve_vecMaxIndexStride, {nan, nan}, nan, 0},
        {"the largest magnitude reports no position", kve_vecMaxAbs, {1, -4, 4}, 4, 0},
        {"a tie of magnitudes keeps the first", kve_vecMaxAbsIndex, {1, -4, 4}, 4, 1},
        {"the smallest magnitude", kve_vecMinAbs, {-3, 0.5f, -0.5f, 2}, 0.5f, 1},
        {"negative zero is the smallest magnitude", kve_vecMinAbs, {1, -0.0f, 2}, 0, 1},
        {"infinities are values", kve_vecMaxAbsIndex, {1, -inf, inf}, inf, 1},
        {"a NaN magnitude is passed over", kve_vecMaxAbsIndex, {nan, -2, 1}, 2, 1},
        {"one number deep among NaN is the largest", kve_vecMaxIndexStride, nanBut(45, 37, -3), -3, 37},
        {"one number deep among NaN is the smallest", kve_vecMinIndexStride, nanBut(45, 21, 5), 5, 21},
        {"one number deep among NaN has the largest magnitude", kve_vecMaxAbsIndex, nanBut(64, 63, -1), 1, 63},
        {"a long block of NaN gives the first", kve_vecMinAbs, nanBut(40, 40, 0), nan, 0},
        {"minus infinity alone among NaN is the largest", kve_vecMaxIndexStride, nanBut(40, 1, -inf), -inf, 1},
        {"a long block of minus infinity keeps the first", kve_vecMaxIndexStride, std::vector<float>(33, -inf), -inf,
         0},
        {"a long block of infinity keeps the first", kve_vecMinIndexStride, std::vector<float>(33, inf), inf, 0},
    };
    for (const Case &c : cases) {
        uint32_t at = kUntouched;
        const float got = c.kernel(c.x.data(), 1, static_cast<int32_t>(c.x.size()), &at);
        if (std::isnan(c.value))
            EXPECT_TRUE(std::isnan(got)) << c.what;
        else
            EXPECT_EQ(got, c.value) << c.what;
        EXPECT_EQ(at, c.at) << c.what;
    }
    uint32_t at = kUntouched;
    const float minFirstNaN[] = {nan, 2, 1};
    EXPECT_EQ(kve_vecMin(minFirstNaN, 3, &at), 1.0f);
    EXPECT_EQ(at, 2u);
    EXPECT_EQ(kve_vecMax(minFirstNaN, 3, &at), 2.0f);
    EXPECT_EQ(at, 1u);
}

TEST(ExtremeValues, StridedFormsWithoutAnIndexReturnTheValueOnly)
{
    const float x[] = {4, 9, -1, 9, -6};
    EXPECT_EQ(kve_vecMaxIndexStride(x, 1, 5, nullptr), 9.0f);
    EXPECT_EQ(kve_vecMinIndexStride(x, 2, 3, nullptr), -6.0f);
}

TEST(ExtremeValues, Fract32FormsCompareSignedWords)
{
    for (size_t n : {1u, 2u, 5u, 16u, 77u, 500u}) {
        std::vector<int32_t> x = kvetest::firNoiseWords(n, 700u + n);
        for (size_t i = 0; i < n; i += 3)
            x[i] = x[i / 2]; // repeated words: ties
        // A plain scan over the words, comparing in 64 bits.
        int64_t hi = x[0], lo = x[0], peak = std::llabs(x[0]);
        uint32_t hiAt = 0, loAt = 0, peakAt = 0;
        for (size_t i = 1; i < n; ++i) {
            const int64_t v = x[i];
            const int64_t mag = std::min<int64_t>(std::llabs(v), INT32_MAX);
            if (v > hi)
                hi = v, hiAt = static_cast<uint32_t>(i);
            if (v < lo)
                lo = v, loAt = static_cast<uint32_t>(i);
            if (mag > peak)
                peak = mag, peakAt = static_cast<uint32_t>(i);
        }
        peak = std::min<int64_t>(peak, INT32_MAX);
        const auto count = static_cast<int32_t>(n);
        uint32_t at = kUntouched;
        EXPECT_EQ(kve_vecMaxFract32(x.data(), count, &at), hi) << n;
        EXPECT_EQ(at, hiAt) << n;
        EXPECT_EQ(kve_vecMinFract32(x.data(), count, &at), lo) << n;
        EXPECT_EQ(at, loAt) << n;
        EXPECT_EQ(kve_vecMaxAbsFract32(x.data(), 1, count, &at), peak) << n;
        EXPECT_EQ(at, peakAt) << n;
    }
    const std::vector<int32_t> allMinusOne(40, INT32_MIN);
    const std::vector<int32_t> allFullScale(40, INT32_MAX);
    uint32_t first = kUntouched;
    EXPECT_EQ(kve_vecMaxFract32(allMinusOne.data(), 40, &first), INT32_MIN);
    EXPECT_EQ(first, 0u);
    first = kUntouched;
    EXPECT_EQ(kve_vecMinFract32(allFullScale.data(), 40, &first), INT32_MAX);
    EXPECT_EQ(first, 0u);
    const int32_t minusOneFirst[] = {INT32_MIN, 5};
    uint32_t at = kUntouched;
    EXPECT_EQ(kve_vecMaxAbsFract32(minusOneFirst, 1, 2, &at), INT32_MAX);
    EXPECT_EQ(at, 0u);
    const int32_t minusOneTied[] = {INT32_MAX, 3, INT32_MIN};
    EXPECT_EQ(kve_vecMaxAbsFract32(minusOneTied + 2, -1, 3, &at), INT32_MAX);
    EXPECT_EQ(at, 0u) << "the magnitude of -1 ties with full scale and comes first";
}

TEST(ExtremeValues, EmptyBlocksReadAndWriteNothing)
{
    for (int32_t n : {0, -1, INT32_MIN}) {
        uint32_t at = kUntouched;
        EXPECT_EQ(kve_vecMax(nullptr, n, &at), 0.0f);
        EXPECT_EQ(kve_vecMaxIndex(nullptr, n, &at), 0.0f);
        EXPECT_EQ(kve_vecMaxIndexStride(nullptr, 1, n, &at), 0.0f);
        EXPECT_EQ(kve_vecMaxFract32(nullptr, n, &at), 0);
        EXPECT_EQ(kve_vecMin(nullptr, n, &at), 0.0f);
        EXPECT_EQ(kve_vecMinIndex(nullptr, n, &at), 0.0f);
        EXPECT_EQ(kve_vecMinIndexStride(nullptr, 1, n, &at), 0.0f);
        EXPECT_EQ(kve_vecMinFract32(nullptr, n, &at), 0);
        EXPECT_EQ(kve_vecMaxAbs(nullptr, 1, n, &at), 0.0f);
        EXPECT_EQ(kve_vecMaxAbsIndex(nullptr, 1, n, &at), 0.0f);
        EXPECT_EQ(kve_vecMaxAbsFract32(nullptr, 1, n, &at), 0);
        EXPECT_EQ(kve_vecMinAbs(nullptr, 1, n, &at), 0.0f);
        EXPECT_EQ(at, kUntouched) << n;
    }
}

} // namespace
