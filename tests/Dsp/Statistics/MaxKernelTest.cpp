// The largest value of a vector and its first position: ties keep the first, NaN elements are passed over, and an
// empty vector reads nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kve/kve_vec_stats.h"

namespace {

TEST(MaxKernel, FindsTheLargestValueAndItsFirstPosition)
{
    const float nan = std::nanf("");
    struct Case {
        const char *what;
        std::vector<float> values;
        float largest;
        uint32_t index;
    } cases[] = {
        {"a tie keeps the first position", {1, 3, 3, 2}, 3, 1},
        {"a single element", {-7}, -7, 0},
        {"all negative", {-4, -2, -9}, -2, 1},
        {"the largest at the end", {0, 1, 2, 5}, 5, 3},
        {"a NaN inside is passed over", {1, nan, 4, 2}, 4, 2},
    };
    for (const Case &c : cases) {
        uint32_t index = 99;
        EXPECT_EQ(kve_vecMax(c.values.data(), static_cast<int32_t>(c.values.size()), &index), c.largest) << c.what;
        EXPECT_EQ(index, c.index) << c.what;
    }
}

TEST(MaxKernel, AnEmptyVectorReadsAndWritesNothing)
{
    uint32_t index = 99;
    EXPECT_EQ(kve_vecMax(nullptr, 0, &index), 0.0f);
    EXPECT_EQ(kve_vecMax(nullptr, -3, &index), 0.0f);
    EXPECT_EQ(index, 99u);
}

} // namespace
