// What the comparison kernels and the larger-of-two kernels decide: IEEE rules for floats (a NaN operand compares
// false except under not-equal, -0.0 equals +0.0, the larger of a NaN and a number is the number, +0.0 is larger than
// -0.0) and signed order for Fract32 and integer words, whose extremes an unsigned compare would get wrong.
// Every case fills whole vectors, so the vectorised body of each kernel decides it as well as the one-by-one tail.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "Dsp/Compare/CompareKernels.h"
#include "Dsp/GuardedVector.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::bitsOf;
using kvetest::ConstFamily;
using kvetest::kRelationNames;
using kvetest::PairFamily;

constexpr int32_t kLength = 23; // one block of sixteen, one of four and three alone

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// The relations in kernel order: equal, not equal, less, less or equal, greater, greater or equal.
using Flags = std::array<int32_t, 6>;

template <typename T>
struct RelationCase {
    const char *what;
    T x;
    T y;
    Flags holds;
    T larger;
};

// Runs every kernel of the families on kLength copies of (x, y) and checks each word against the expected flag.
template <typename T>
void expectRelations(const RelationCase<T> &c, const std::vector<const PairFamily<T> *> &pairs,
                     const std::vector<const ConstFamily<T> *> &consts)
{
    const std::vector<T> x(kLength, c.x);
    const std::vector<T> y(kLength, c.y);
    for (int r = 0; r < 6; ++r) {
        const std::vector<int32_t> expected(kLength, c.holds[static_cast<size_t>(r)]);
        for (const PairFamily<T> *f : pairs) {
            std::vector<int32_t> dst(kLength, 7);
            f->kernels[static_cast<size_t>(r)](x.data(), y.data(), dst.data(), kLength);
            EXPECT_EQ(dst, expected) << c.what << ": " << f->name << " " << kRelationNames[r];
        }
        for (const ConstFamily<T> *f : consts) {
            std::vector<int32_t> dst(kLength, 7);
            f->kernels[static_cast<size_t>(r)](x.data(), c.y, dst.data(), kLength);
            EXPECT_EQ(dst, expected) << c.what << ": " << f->name << " " << kRelationNames[r];
        }
    }
}

TEST(CompareKernels, FloatsFollowIeeeForNaNAndSignedZeros)
{
    const RelationCase<float> cases[] = {
        {"NaN and NaN", kNaN, kNaN, {0, 1, 0, 0, 0, 0}, kNaN},
        {"NaN and a number", kNaN, 2.0f, {0, 1, 0, 0, 0, 0}, 2.0f},
        {"a number and NaN", 2.0f, kNaN, {0, 1, 0, 0, 0, 0}, 2.0f},
        {"a negative NaN and minus infinity", -kNaN, -kInf, {0, 1, 0, 0, 0, 0}, -kInf},
        {"+0 and -0", 0.0f, -0.0f, {1, 0, 0, 1, 0, 1}, 0.0f},
        {"-0 and +0", -0.0f, 0.0f, {1, 0, 0, 1, 0, 1}, 0.0f},
        {"-0 and -0", -0.0f, -0.0f, {1, 0, 0, 1, 0, 1}, -0.0f},
        {"smaller first", 1.0f, 2.0f, {0, 1, 1, 1, 0, 0}, 2.0f},
        {"larger first", 2.0f, 1.0f, {0, 1, 0, 0, 1, 1}, 2.0f},
        {"equal negatives", -1.5f, -1.5f, {1, 0, 0, 1, 0, 1}, -1.5f},
        {"the infinities", -kInf, kInf, {0, 1, 1, 1, 0, 0}, kInf},
        {"neighbouring floats", 1.0f, 0x1.000002p0f, {0, 1, 1, 1, 0, 0}, 0x1.000002p0f},
    };
    for (const auto &c : cases) {
        expectRelations<float>(c, {&kvetest::kFloatPairs, &kvetest::kFloatPairsFourLane},
                               {&kvetest::kFloatConsts, &kvetest::kFloatConstsFourLane});

        const std::vector<float> x(kLength, c.x);
        const std::vector<float> y(kLength, c.y);
        for (const bool swapped : {false, true}) {
            std::vector<float> dst(kLength, 7.0f);
            kve_GreaterSW(swapped ? y.data() : x.data(), 1, swapped ? x.data() : y.data(), 1, dst.data(), 1,
                          kLength);
            for (const float v : dst) {
                if (std::isnan(c.larger))
                    EXPECT_TRUE(std::isnan(v)) << c.what;
                else
                    EXPECT_EQ(bitsOf(v), bitsOf(c.larger)) << c.what << (swapped ? ", operands swapped" : "");
            }
        }
    }
}

TEST(CompareKernels, WordsCompareAsSignedValues)
{
    const RelationCase<int32_t> cases[] = {
        {"most negative and most positive", INT32_MIN, INT32_MAX, {0, 1, 1, 1, 0, 0}, INT32_MAX},
        {"most positive and most negative", INT32_MAX, INT32_MIN, {0, 1, 0, 0, 1, 1}, INT32_MAX},
        {"most negative and zero", INT32_MIN, 0, {0, 1, 1, 1, 0, 0}, 0},
        {"minus one and zero", -1, 0, {0, 1, 1, 1, 0, 0}, 0},
        {"the two most negative", INT32_MIN + 1, INT32_MIN, {0, 1, 0, 0, 1, 1}, INT32_MIN + 1},
        {"most negative with itself", INT32_MIN, INT32_MIN, {1, 0, 0, 1, 0, 1}, INT32_MIN},
        {"four against five", 4, 5, {0, 1, 1, 1, 0, 0}, 5},
        {"five against five", 5, 5, {1, 0, 0, 1, 0, 1}, 5},
        {"six against five", 6, 5, {0, 1, 0, 0, 1, 1}, 6},
    };
    for (const auto &c : cases) {
        expectRelations<int32_t>(c, {&kvetest::kWordPairs[0], &kvetest::kWordPairs[1]},
                                 {&kvetest::kWordConsts[0], &kvetest::kWordConsts[1]});

        const std::vector<int32_t> x(kLength, c.x);
        const std::vector<int32_t> y(kLength, c.y);
        std::vector<int32_t> dst(kLength, 7);
        kve_GreaterSWFract32(x.data(), 1, y.data(), 1, dst.data(), 1, kLength);
        EXPECT_EQ(dst, std::vector<int32_t>(kLength, c.larger)) << c.what;
    }
}

// Every ordered pair of a set of edge values, against numpy's float32 compares.
TEST(CompareKernels, FloatRelationsMatchNumpyOverEdgeValues)
{
    const std::vector<float> pool = {kNaN, -kNaN, -kInf, -3e38f, -1.0f, -1e-30f, -0.0f, 0.0f, 1e-30f, 0.5f,
                                     1.0f, 0x1.000002p0f, 3e38f, kInf};
    std::vector<float> x;
    std::vector<float> y;
    std::vector<std::string> args;
    for (const float a : pool) {
        for (const float b : pool) {
            x.push_back(a);
            y.push_back(b);
            args.push_back(kvetest::oracleArg(a));
            args.push_back(kvetest::oracleArg(b));
        }
    }
    const auto n = static_cast<int32_t>(x.size());
    const std::vector<double> oracle = kvetest::runOracle("compare_relations.py", args);
    ASSERT_EQ(oracle.size(), 6 * x.size());

    for (int r = 0; r < 6; ++r) {
        std::vector<int32_t> expected;
        for (size_t i = 0; i < x.size(); ++i)
            expected.push_back(static_cast<int32_t>(oracle[6 * i + static_cast<size_t>(r)]));
        for (const PairFamily<float> *f : {&kvetest::kFloatPairs, &kvetest::kFloatPairsFourLane}) {
            std::vector<int32_t> dst(x.size(), 7);
            f->kernels[static_cast<size_t>(r)](x.data(), y.data(), dst.data(), n);
            EXPECT_EQ(dst, expected) << f->name << " " << kRelationNames[r];
        }
        // The constant forms take one row of the table at a time: every x against one y.
        for (const ConstFamily<float> *f : {&kvetest::kFloatConsts, &kvetest::kFloatConstsFourLane}) {
            const auto rows = static_cast<int32_t>(pool.size());
            for (int32_t row = 0; row < rows; ++row) {
                std::vector<int32_t> dst(pool.size(), 7);
                std::vector<int32_t> column;
                for (int32_t k = 0; k < rows; ++k)
                    column.push_back(expected[static_cast<size_t>(k * rows + row)]);
                f->kernels[static_cast<size_t>(r)](pool.data(), pool[static_cast<size_t>(row)], dst.data(), rows);
                EXPECT_EQ(dst, column) << f->name << " " << kRelationNames[r] << ", constant " << pool[size_t(row)];
            }
        }
    }
}

} // namespace
