// How the comparison and larger-of-two kernels walk memory: every length from 0 to 40 (so the blocks of sixteen and
// four and the one-by-one tails of the four-lane forms all run) and counts below 0, inputs starting one to three
// samples past an aligned address, and guard words around every output that must stay untouched. The four-lane
// forms must write the very words of the plain kernels; the strided kernels must give what the contiguous call gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "Dsp/Compare/CompareKernels.h"
#include "Dsp/GuardedVector.h"

namespace {

using kvetest::bitsOf;
using kvetest::floatOf;
using kvetest::GuardedVector;
using kvetest::kRelationNames;

// Sample i of operand k: NaN, signed zeros, infinities and ties with the other operand among ordinary values.
float sample(int32_t i, int k)
{
    static const float pool[] = {0.5f, -0.0f, 0.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f, -1.0f, 0.25f,
                                 std::numeric_limits<float>::infinity(), -2.0f, 0.5f, 3.0f, -0.25f, 1.0f};
    constexpr auto size = static_cast<int32_t>(std::size(pool));
    return pool[(i * (k + 1) + 3 * k) % size];
}

std::string where(const char *family, int r, int32_t n, int32_t offset)
{
    std::ostringstream s;
    s << family << " " << kRelationNames[r] << ", n = " << n << ", inputs " << offset << " samples past alignment";
    return s.str();
}

TEST(CompareLayout, FourLaneFormsWriteThePlainKernelsWordsAndNothingElse)
{
    for (int32_t n = -2; n <= 40; ++n) {
        for (int32_t offset = 0; offset < 4; ++offset) {
            alignas(16) float a[48];
            alignas(16) float b[48];
            for (int32_t i = 0; i < 48; ++i) {
                a[i] = sample(i, 0);
                b[i] = sample(i, 1);
            }
            const float constant = sample(n, 2);
            for (int r = 0; r < 6; ++r) {
                const auto rel = static_cast<size_t>(r);
                GuardedVector plain(n, 1);
                GuardedVector fourLane(n, 1);
                kvetest::kFloatPairs.kernels[rel](a + offset, b + offset, plain.as<int32_t>(), n);
                kvetest::kFloatPairsFourLane.kernels[rel](a + offset, b + offset, fourLane.as<int32_t>(), n);
                ASSERT_EQ(fourLane.words(), plain.words()) << where("LogicCompare_SIMD4", r, n, offset);

                GuardedVector plainConst(n, 1);
                GuardedVector fourLaneConst(n, 1);
                kvetest::kFloatConsts.kernels[rel](a + offset, constant, plainConst.as<int32_t>(), n);
                kvetest::kFloatConstsFourLane.kernels[rel](a + offset, constant, fourLaneConst.as<int32_t>(), n);
                ASSERT_EQ(fourLaneConst.words(), plainConst.words()) << where("LogicCompareConst_SIMD4", r, n, offset);

                // The plain kernels themselves write exactly n logic words: one per sample, the guards kept.
                for (int32_t i = 0; i < n; ++i) {
                    ASSERT_LE(plain[i], 1u) << where("LogicCompare", r, n, offset);
                    ASSERT_LE(plainConst[i], 1u) << where("LogicCompareConst", r, n, offset);
                }
                GuardedVector untouched(n, 1);
                for (int32_t i = 0; i < n; ++i) {
                    plain[i] = kvetest::kGuardWord;
                    plainConst[i] = kvetest::kGuardWord;
                }
                ASSERT_EQ(plain.words(), untouched.words()) << where("LogicCompare", r, n, offset);
                ASSERT_EQ(plainConst.words(), untouched.words()) << where("LogicCompareConst", r, n, offset);
            }
        }
    }
}

TEST(CompareLayout, WordComparisonsWriteExactlyTheirSamples)
{
    for (int32_t n = -2; n <= 40; ++n) {
        std::vector<int32_t> a;
        std::vector<int32_t> b;
        for (int32_t i = 0; i < 41; ++i) {
            a.push_back(static_cast<int32_t>(0x9E3779B9u * static_cast<uint32_t>(i)) >> (i % 3 * 15));
            b.push_back(i % 5 == 0 ? a.back() : -a.back());
        }
        const int32_t constant = a[static_cast<size_t>(n < 0 ? 0 : n) % 7];
        for (int r = 0; r < 6; ++r) {
            const auto rel = static_cast<size_t>(r);
            for (size_t f = 0; f < 2; ++f) {
                GuardedVector pairs(n, 1);
                GuardedVector consts(n, 1);
                kvetest::kWordPairs[f].kernels[rel](a.data(), b.data(), pairs.as<int32_t>(), n);
                kvetest::kWordConsts[f].kernels[rel](a.data(), constant, consts.as<int32_t>(), n);
                GuardedVector expectedPairs(n, 1);
                GuardedVector expectedConsts(n, 1);
                for (int32_t i = 0; i < n; ++i) {
                    // Each sample alone, through the same kernel: a vectorised body must agree with it.
                    int32_t alone = 7;
                    kvetest::kWordPairs[f].kernels[rel](&a[size_t(i)], &b[size_t(i)], &alone, 1);
                    expectedPairs[i] = bitsOf(alone);
                    kvetest::kWordConsts[f].kernels[rel](&a[size_t(i)], constant, &alone, 1);
                    expectedConsts[i] = bitsOf(alone);
                }
                ASSERT_EQ(pairs.words(), expectedPairs.words()) << where(kvetest::kWordPairs[f].name, r, n, 0);
                ASSERT_EQ(consts.words(), expectedConsts.words()) << where(kvetest::kWordConsts[f].name, r, n, 0);
            }
        }
    }
}

// The larger-of-two kernels on interleaved, repeated and reversed vectors: each sample must be the one the
// contiguous call gives for the same pair, every word outside the output's samples untouched.
TEST(CompareLayout, LargerOfTwoFollowsEveryIncrement)
{
    const int32_t increments[] = {1, 2, 0, -1};
    for (int32_t n : {-1, 0, 1, 3, 4, 5, 17, 23}) {
        for (const int32_t aInc : increments) {
            for (const int32_t bInc : increments) {
                for (const int32_t dInc : increments) {
                    GuardedVector a(n, aInc);
                    GuardedVector b(n, bInc);
                    for (int32_t i = 0; i < n; ++i) {
                        a[i] = bitsOf(sample(i, 0));
                        b[i] = bitsOf(sample(i, 1));
                    }
                    GuardedVector dst(n, dInc);
                    GuardedVector dstWords(n, dInc);
                    GuardedVector expected(n, dInc);
                    GuardedVector expectedWords(n, dInc);
                    kve_GreaterSW(a.as<float>(), aInc, b.as<float>(), bInc, dst.as<float>(), dInc, n);
                    kve_GreaterSWFract32(a.as<int32_t>(), aInc, b.as<int32_t>(), bInc, dstWords.as<int32_t>(), dInc,
                                         n);
                    // Each pair as the kernel reads it: with a zero increment, the one word the vector holds.
                    for (int32_t i = 0; i < n; ++i) {
                        float x = floatOf(a[i]);
                        float y = floatOf(b[i]);
                        float larger = 0.0f;
                        kve_GreaterSW(&x, 1, &y, 1, &larger, 1, 1);
                        expected[i] = bitsOf(larger);
                        int32_t wx = kvetest::intOf(a[i]);
                        int32_t wy = kvetest::intOf(b[i]);
                        int32_t largerWord = 0;
                        kve_GreaterSWFract32(&wx, 1, &wy, 1, &largerWord, 1, 1);
                        expectedWords[i] = bitsOf(largerWord);
                    }
                    std::ostringstream s;
                    s << "n = " << n << ", increments " << aInc << ", " << bInc << ", " << dInc;
                    ASSERT_EQ(dst.words(), expected.words()) << "GreaterSW, " << s.str();
                    ASSERT_EQ(dstWords.words(), expectedWords.words()) << "GreaterSWFract32, " << s.str();
                }
            }
        }
    }
}

} // namespace
