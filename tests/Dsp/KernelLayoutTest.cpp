// How the conversion, fill, copy, interleave and bit kernels walk memory: every length from 0 to 40 (so the blocks of
// sixteen and four and the tails of the four-lane kernels all run), increments 1, 2, 0 and -1 on every vector, and
// counts of 0 and below that must leave the output untouched. The expected output is the kernel's definition
// applied one sample at a time in index order, into a copy of the same guard-filled buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "Dsp/Fract32.h"
#include "ExactModels.h"
#include "GuardedVector.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::bitsOf;
using kvetest::floatOf;
using kvetest::GuardedVector;
using kvetest::intOf;

const int32_t kIncrements[] = {1, 2, 0, -1};

std::vector<int32_t> counts()
{
    std::vector<int32_t> c = {-16, -1};
    for (int32_t n = 0; n <= 40; ++n)
        c.push_back(n);
    return c;
}

// Source sample i: edge values of every conversion, interleaved with ordinary ones.
uint32_t sampleWord(int32_t i)
{
    static const uint32_t pool[] = {
        bitsOf(0.0f), bitsOf(-0.0f), bitsOf(0.5f), bitsOf(-0.5f), bitsOf(1.0f), bitsOf(-1.0f),
        bitsOf(2.5f), bitsOf(-2.5f), 0x7FC00000u, 0x7FFFFFFFu, bitsOf(std::numeric_limits<float>::infinity()),
        bitsOf(-std::numeric_limits<float>::infinity()), bitsOf(3e9f), bitsOf(-3e9f), bitsOf(-1e-12f),
        bitsOf(0x1p-31f), bitsOf(0.49999997f), bitsOf(0.3f), bitsOf(-0.7f), 1u, 16777217u, 0xFFFFFFFFu,
        bitsOf(0x1.fffffep-1f), bitsOf(123.456f), bitsOf(-0.1f), 0x80000001u, bitsOf(0.9999f), 42u, bitsOf(-8.0f),
    };
    return pool[static_cast<size_t>(i) % (sizeof pool / sizeof pool[0])];
}

// Names the call in a failure message.
std::string where(const char *kernel, int32_t n, std::initializer_list<int32_t> incs)
{
    std::ostringstream s;
    s << kernel << " n=" << n << " increments";
    for (int32_t inc : incs)
        s << ' ' << inc;
    return s.str();
}

struct UnaryKernel {
    const char *name;
    void (*run)(uint32_t *src, int32_t srcInc, uint32_t *dst, int32_t dstInc, int32_t n);
    uint32_t (*model)(uint32_t x);
};

const UnaryKernel kUnaryKernels[] = {
    {"float to Fract32",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, int32_t n) {
         kve_vecFloatToFract32(reinterpret_cast<float *>(s), si, reinterpret_cast<int32_t *>(d), di, n);
     },
     [](uint32_t x) { return bitsOf(kvetest::exactFloatToFract32(floatOf(x))); }},
    {"Fract32 to float",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, int32_t n) {
         kve_vecFract32ToFloat(reinterpret_cast<int32_t *>(s), si, reinterpret_cast<float *>(d), di, n);
     },
     [](uint32_t x) { return bitsOf(kvetest::exactFract32ToFloat(intOf(x))); }},
    {"float to integer",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, int32_t n) {
         kve_vecFloatToInt(reinterpret_cast<float *>(s), si, reinterpret_cast<int32_t *>(d), di, n);
     },
     [](uint32_t x) { return bitsOf(kve_floatToInt(floatOf(x))); }},
    {"integer to float",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, int32_t n) {
         kve_vecIntToFloat(reinterpret_cast<int32_t *>(s), si, reinterpret_cast<float *>(d), di, n);
     },
     [](uint32_t x) { return bitsOf(kvetest::exactIntToFloat(intOf(x))); }},
    {"integer to Fract32",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, int32_t n) {
         kve_vecIntToFract32(reinterpret_cast<int32_t *>(s), si, reinterpret_cast<int32_t *>(d), di, n);
     },
     [](uint32_t x) { return x; }},
    {"Fract32 to integer",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, int32_t n) {
         kve_vecFract32ToInt(reinterpret_cast<int32_t *>(s), si, reinterpret_cast<int32_t *>(d), di, n);
     },
     [](uint32_t x) { return x; }},
    {"copy of 32-bit words",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, int32_t n) { kve_vecCopy32(s, si, d, di, n); },
     [](uint32_t x) { return x; }},
    {"logical not",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, int32_t n) {
         kve_vecNot1x1(reinterpret_cast<int32_t *>(s), si, reinterpret_cast<int32_t *>(d), di, n);
     },
     [](uint32_t x) { return x == 0 ? 1u : 0u; }},
};

TEST(KernelLayout, OneInputKernelsFollowEveryIncrementAndTouchNothingElse)
{
    for (const UnaryKernel &k : kUnaryKernels)
        for (int32_t srcInc : kIncrements)
            for (int32_t dstInc : kIncrements)
                for (int32_t n : counts()) {
                    GuardedVector src(n, srcInc);
                    for (int32_t i = 0; i < n; ++i)
                        src[i] = sampleWord(i);
                    const std::vector<uint32_t> srcBefore = src.words();
                    GuardedVector dst(n, dstInc);
                    GuardedVector expected(n, dstInc);
                    for (int32_t i = 0; i < n; ++i)
                        expected[i] = k.model(src[i]);
                    k.run(src.data(), srcInc, dst.data(), dstInc, n);
                    ASSERT_EQ(dst.words(), expected.words()) << where(k.name, n, {srcInc, dstInc});
                    ASSERT_EQ(src.words(), srcBefore) << where(k.name, n, {srcInc, dstInc});
                }
}

TEST(KernelLayout, OneInputKernelsWorkInPlace)
{
    for (const UnaryKernel &k : kUnaryKernels)
        for (int32_t inc : {1, 2, -1})
            for (int32_t n : counts()) {
                GuardedVector v(n, inc);
                GuardedVector expected(n, inc);
                for (int32_t i = 0; i < n; ++i) {
                    v[i] = sampleWord(i);
                    expected[i] = k.model(sampleWord(i));
                }
                k.run(v.data(), inc, v.data(), inc, n);
                ASSERT_EQ(v.words(), expected.words()) << where(k.name, n, {inc});
            }
}

TEST(KernelLayout, ContiguousCopyMatchesTheSourceAndWorksInPlace)
{
    for (int32_t n : counts()) {
        GuardedVector src(n, 1);
        for (int32_t i = 0; i < n; ++i)
            src[i] = sampleWord(i);
        GuardedVector dst(n, 1);
        GuardedVector expected(n, 1);
        for (int32_t i = 0; i < n; ++i)
            expected[i] = src[i];
        kve_vecCopy_SIMD4(src.data(), dst.data(), n);
        ASSERT_EQ(dst.words(), expected.words()) << where("contiguous copy", n, {});
        kve_vecCopy_SIMD4(src.data(), src.data(), n);
        ASSERT_EQ(src.words(), expected.words()) << where("contiguous copy in place", n, {});
    }
}

TEST(KernelLayout, FillsWriteTheValueAtEachSampleOnly)
{
    const uint32_t value = bitsOf(-3.25f);
    const struct {
        const char *name;
        void (*run)(uint32_t *dst, int32_t inc, int32_t n);
        bool strided;
    } fills[] = {
        {"float fill",
         [](uint32_t *d, int32_t inc, int32_t n) { kve_vecFill(reinterpret_cast<float *>(d), inc, -3.25f, n); },
         true},
        {"Fract32 fill",
         [](uint32_t *d, int32_t inc, int32_t n) {
             kve_vecFillFract32(reinterpret_cast<int32_t *>(d), inc, intOf(bitsOf(-3.25f)), n);
         },
         true},
        {"integer fill",
         [](uint32_t *d, int32_t inc, int32_t n) {
             kve_vecFillInt32(reinterpret_cast<int32_t *>(d), inc, intOf(bitsOf(-3.25f)), n);
         },
         true},
        {"contiguous integer fill",
         [](uint32_t *d, int32_t, int32_t n) {
             kve_vecFillInt32_SIMD4(reinterpret_cast<int32_t *>(d), intOf(bitsOf(-3.25f)), n);
         },
         false},
    };
    for (const auto &f : fills)
        for (int32_t inc : kIncrements) {
            if (!f.strided && inc != 1)
                continue;
            for (int32_t n : counts()) {
                GuardedVector dst(n, inc);
                GuardedVector expected(n, inc);
                for (int32_t i = 0; i < n; ++i)
                    expected[i] = value;
                f.run(dst.data(), inc, n);
                ASSERT_EQ(dst.words(), expected.words()) << where(f.name, n, {inc});
            }
        }
}

TEST(KernelLayout, BitwiseKernelsFollowEveryIncrement)
{
    const struct {
        const char *name;
        void (*run)(const int32_t *, int32_t, const int32_t *, int32_t, int32_t *, int32_t, int32_t);
        uint32_t (*model)(uint32_t, uint32_t);
    } kernels[] = {
        {"and", kve_vecAnd2x1, [](uint32_t a, uint32_t b) { return a & b; }},
        {"or", kve_vecOr2x1, [](uint32_t a, uint32_t b) { return a | b; }},
        {"xor", kve_vecXor2x1, [](uint32_t a, uint32_t b) { return a ^ b; }},
    };
    for (const auto &k : kernels)
        for (int32_t aInc : kIncrements)
            for (int32_t bInc : kIncrements)
                for (int32_t dstInc : kIncrements)
                    for (int32_t n : counts()) {
                        GuardedVector a(n, aInc);
                        GuardedVector b(n, bInc);
                        for (int32_t i = 0; i < n; ++i) {
                            a[i] = sampleWord(i);
                            b[i] = sampleWord(i + 11) ^ 0x0F0F0F0Fu;
                        }
                        GuardedVector dst(n, dstInc);
                        GuardedVector expected(n, dstInc);
                        for (int32_t i = 0; i < n; ++i)
                            expected[i] = k.model(a[i], b[i]);
                        k.run(a.as<int32_t>(), aInc, b.as<int32_t>(), bInc, dst.as<int32_t>(), dstInc, n);
                        ASSERT_EQ(dst.words(), expected.words()) << where(k.name, n, {aInc, bInc, dstInc});
                    }
}

TEST(KernelLayout, ConstantMaskClearsTheLowHalfOfEveryWordAndNothingElse)
{
    for (int32_t n : counts()) {
        GuardedVector src(n, 1);
        for (int32_t i = 0; i < n; ++i)
            src[i] = sampleWord(i);
        GuardedVector dst(n, 1);
        GuardedVector expected(n, 1);
        for (int32_t i = 0; i < n; ++i)
            expected[i] = src[i] >> 16 << 16;
        kve_vecAndConstInt32(src.as<int32_t>(), dst.as<int32_t>(), intOf(0xFFFF0000u), n);
        ASSERT_EQ(dst.words(), expected.words()) << where("mask", n, {});
        kve_vecAndConstInt32(src.as<int32_t>(), src.as<int32_t>(), intOf(0xFFFF0000u), n);
        ASSERT_EQ(src.words(), expected.words()) << where("mask in place", n, {});
    }
}

TEST(KernelLayout, InterleaveWritesTwoWordsPerFrameAndNoMore)
{
    for (int32_t n : counts()) {
        GuardedVector left(n, 1);
        GuardedVector right(n, 1);
        for (int32_t i = 0; i < n; ++i) {
            left[i] = 0x10000u + static_cast<uint32_t>(i);
            right[i] = 0x20000u + static_cast<uint32_t>(i);
        }
        GuardedVector dst(2 * n, 1);
        GuardedVector expected(2 * n, 1);
        for (int32_t i = 0; i < n; ++i) {
            expected[2 * i] = 0x10000u + static_cast<uint32_t>(i);
            expected[2 * i + 1] = 0x20000u + static_cast<uint32_t>(i);
        }
        kve_vecInterleave(left.data(), right.data(), dst.data(), n);
        ASSERT_EQ(dst.words(), expected.words()) << where("interleave", n, {});
    }
}

} // namespace
