// The in-place sort against numpy.sort on noise, sorted, reversed, constant, few-distinct and sawtooth blocks of
// many lengths; blocks of 2^18 sorted, reversed or constant values, which a sort that peels one value per
// split would not finish, nor keep within its fixed stack; and blocks with NaN, which must come back a permutation.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Dsp/Fir/FirSignals.h"
#include "Dsp/Statistics/StatsReference.h"
#include "kve/kve_vec_stats.h"

namespace
{

struct Pattern {
    const char *name;
    std::vector<float> (*make)(size_t n, uint64_t seed);
};

const Pattern kPatterns[] = {
    {"noise", [](size_t n, uint64_t seed) { return kvetest::firNoise(n, seed); }},
    {"sorted",
     [](size_t n, uint64_t seed) {
         std::vector<float> x = kvetest::firNoise(n, seed);
         std::sort(x.begin(), x.end());
         return x;
     }},
    {"reversed",
     [](size_t n, uint64_t seed) {
         std::vector<float> x = kvetest::firNoise(n, seed);
         std::sort(x.begin(), x.end(), [](float a, float b) { return a > b; });
         return x;
     }},
    {"constant", [](size_t n, uint64_t) { return std::vector<float>(n, 0.25f); }},
    {"few distinct",
     [](size_t n, uint64_t seed) {
         std::vector<float> x = kvetest::firNoise(n, seed);
         for (float &v : x)
             v = std::round(v * 2.0f);
         return x;
     }},
    {"organ pipe",
     [](size_t n, uint64_t) {
         std::vector<float> x(n);
         for (size_t i = 0; i < n; ++i)
             x[i] = static_cast<float>(std::min(i, n - 1 - i));
         return x;
     }},
    {"sawtooth",
     [](size_t n, uint64_t) {
         std::vector<float> x(n);
         for (size_t i = 0; i < n; ++i)
             x[i] = static_cast<float>(i % 17) - 8.0f;
         return x;
     }},
};

TEST(Sort, MatchesNumpySortOnEveryPattern)
{
    const size_t sizes[] = {2, 3, 4, 5, 15, 16, 17, 18, 31, 33, 64, 100, 257, 1000, 1024};
    for (const Pattern &p : kPatterns) {
        std::vector<std::vector<float>> blocks;
        for (size_t n : sizes)
            blocks.push_back(p.make(n, 31u * n));
        const std::vector<std::vector<double>> ref = kvetest::referenceSort(blocks);
        ASSERT_EQ(ref.size(), blocks.size()) << p.name;
        for (size_t k = 0; k < blocks.size(); ++k) {
            const size_t n = blocks[k].size();
            std::vector<float> x = blocks[k];
            x.push_back(-7.0f); // a sample past the end, which must stay where it is
            kve_vecSort(x.data(), static_cast<int32_t>(n));
            EXPECT_EQ(x.back(), -7.0f) << p.name << ", n = " << n;
            x.pop_back();
            const std::vector<float> expected(ref[k].begin(), ref[k].end());
            EXPECT_EQ(x, expected) << p.name << ", n = " << n;
        }
    }
}

TEST(Sort, LongOrderedOrEqualBlocksSortWithinTheFixedStack)
{
    // Silence fed into a median and already ordered blocks: each of these would take about 3 x 10^10 steps in a
    // sort whose splits peel one value at a time.
    const size_t n = size_t{1} << 18;
    for (const Pattern &p : kPatterns) {
        std::vector<float> x = p.make(n, 77);
        std::vector<float> expected = x;
        std::sort(expected.begin(), expected.end());
        kve_vecSort(x.data(), static_cast<int32_t>(n));
        EXPECT_EQ(x, expected) << p.name;
    }
}

TEST(Sort, BlocksWithNaNComeBackAsAPermutation)
{
    const float nan = std::nanf("");
    for (size_t n : {3u, 17u, 100u, 5000u}) {
        for (int every : {1, 2, 7}) {
            std::vector<float> x = kvetest::firNoise(n, n + static_cast<size_t>(every));
            for (size_t i = 0; i < n; i += static_cast<size_t>(every))
                x[i] = nan;
            std::vector<uint32_t> before(n), after(n);
            std::transform(x.begin(), x.end(), before.begin(), [](float v) { return std::bit_cast<uint32_t>(v); });
            kve_vecSort(x.data(), static_cast<int32_t>(n));
            std::transform(x.begin(), x.end(), after.begin(), [](float v) { return std::bit_cast<uint32_t>(v); });
            std::sort(before.begin(), before.end());
            std::sort(after.begin(), after.end());
            EXPECT_EQ(after, before) << n << " values, every " << every << " a NaN";
        }
    }
}

TEST(Sort, ShortBlocksAreLeftAlone)
{
    float x[2] = {3, 1};
    kve_vecSort(x, 1);
    kve_vecSort(x, 0);
    kve_vecSort(x, -5);
    kve_vecSort(nullptr, 0);
    EXPECT_EQ(x[0], 3.0f);
    EXPECT_EQ(x[1], 1.0f);
}

} // namespace
