// How the elementwise arithmetic kernels walk memory: every length from 0 to 40 (so the blocks of sixteen and four
// and the tails of the four-lane kernels all run), increments 1, 2, 0 and -1 on every vector of the strided kernels,
// counts of 0 and below that must leave every output untouched, and calls in place. The expected output is the
// kernel's definition applied one sample at a time in index order, into a copy of the same guard-filled buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "Dsp/Arithmetic/ArithmeticModels.h"
#include "Dsp/ExactModels.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::bitsOf;
using kvetest::clampTo32;
using kvetest::exactFract32Product;
using kvetest::floatOf;
using kvetest::GuardedVector;
using kvetest::intOf;
using kvetest::scaleByPow2;

const int32_t kIncrements[] = {1, 2, 0, -1};

std::vector<int32_t> counts()
{
    std::vector<int32_t> c = {-16, -1};
    for (int32_t n = 0; n <= 40; ++n)
        c.push_back(n);
    return c;
}

enum class Sample { Float, Word };

// Sample i of operand k: edge values interleaved with ordinary ones, a different sequence for each operand.
uint32_t sampleWord(Sample type, int32_t i, int k)
{
    static const float floats[] = {
        0.0f, -0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 2.5f, -2.5f, std::numeric_limits<float>::quiet_NaN(),
        std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(), 3e38f, -3e38f, 1e-30f,
        0.3f, -0.7f, 0x1.000002p0f, 123.456f, -0.1f, 0.9999f, -8.0f, 1e-40f, 0.25f, 7.0f, -0x1.fffffep-1f,
        0x1.001p0f, 1e20f, -1e-20f, 0.6f, -0.8f, 0.75f,
    };
    static const uint32_t words[] = {
        0u, 1u, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0x40000000u, 0xC0000000u, 0x3FFFFFFFu, 0x12345678u,
        0xFEDCBA98u, 0x00010000u, 0xFFFFFFFDu, 3u, 0x7FFFFFFEu, 0x80000001u, 0x55555555u, 0xAAAAAAAAu, 0x0FFFFFFFu,
        0xF0000000u, 0x5A827999u, 0xA57D8667u, 0x00000100u, 0xFFFF0000u,
    };
    const auto pick = [i, k](size_t size) { return static_cast<size_t>(i * (2 * k + 1) + 5 * k) % size; };
    if (type == Sample::Float)
        return bitsOf(floats[pick(std::size(floats))]);
    return words[pick(std::size(words))];
}

// Float outputs may carry any NaN where a NaN is expected; every other word must match exactly.
bool sameWords(const std::vector<uint32_t> &got, const std::vector<uint32_t> &want, Sample type)
{
    if (got.size() != want.size())
        return false;
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i] == want[i])
            continue;
        if (type == Sample::Float && std::isnan(floatOf(got[i])) && std::isnan(floatOf(want[i])))
            continue;
        return false;
    }
    return true;
}

std::string where(const char *kernel, int32_t n, const std::vector<int32_t> &incs)
{
    std::ostringstream s;
    s << kernel << " n=" << n << " increments";
    for (int32_t inc : incs)
        s << ' ' << inc;
    return s.str();
}

float f(uint32_t w) { return floatOf(w); }
int32_t q(uint32_t w) { return intOf(w); }
uint32_t w(float x) { return bitsOf(x); }
uint32_t w(int32_t x) { return bitsOf(x); }

int32_t saturatingSum(int32_t a, int32_t b) { return clampTo32(static_cast<__int128>(a) + b); }

// The Fract32 product scaled by 2^shift as exactly as the scaling can be done, then saturated.
int32_t scaledProduct(int32_t x, int32_t gain, int32_t shift)
{
    return clampTo32(scaleByPow2(exactFract32Product(x, gain), shift));
}

int32_t wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v & 0xFFFFFFFF)); }

// ---- Strided kernels ----

using Run = void (*)(uint32_t *const *in, const int32_t *inc, uint32_t *dst, int32_t dstInc, int32_t n);
// x holds the samples read from the inputs, d the output sample before the call (read by the accumulating kernels).
using Model = uint32_t (*)(const uint32_t *x, uint32_t d);

struct StridedKernel {
    const char *name;
    int inputs;
    bool accumulates;
    Sample type;
    Run run;
    Model model;
};

template <typename T>
T *as(uint32_t *p)
{
    return reinterpret_cast<T *>(p);
}

const StridedKernel kStrided[] = {
    {"add", 2, false, Sample::Float,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecAdd2x1(as<float>(in[0]), inc[0], as<float>(in[1]), inc[1], as<float>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) { return w(f(x[0]) + f(x[1])); }},
    {"Fract32 add", 2, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecAdd2x1Fract32(as<int32_t>(in[0]), inc[0], as<int32_t>(in[1]), inc[1], as<int32_t>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) { return w(saturatingSum(q(x[0]), q(x[1]))); }},
    {"integer add", 2, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecAdd2x1Int32(as<int32_t>(in[0]), inc[0], as<int32_t>(in[1]), inc[1], as<int32_t>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) { return w(wrap(int64_t{q(x[0])} + q(x[1]))); }},
    {"subtract", 2, false, Sample::Float,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecSubtract2x1(as<float>(in[0]), inc[0], as<float>(in[1]), inc[1], as<float>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) { return w(f(x[0]) - f(x[1])); }},
    {"Fract32 subtract", 2, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecSubtract2x1Fract32(as<int32_t>(in[0]), inc[0], as<int32_t>(in[1]), inc[1], as<int32_t>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) { return w(clampTo32(static_cast<__int128>(q(x[0])) - q(x[1]))); }},
    {"multiply", 2, false, Sample::Float,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecMultiply2x1(as<float>(in[0]), inc[0], as<float>(in[1]), inc[1], as<float>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) { return w(f(x[0]) * f(x[1])); }},
    {"Fract32 multiply", 2, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecMultiply2x1Fract32(as<int32_t>(in[0]), inc[0], as<int32_t>(in[1]), inc[1], as<int32_t>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) { return w(exactFract32Product(q(x[0]), q(x[1]))); }},
    {"multiply-add", 3, false, Sample::Float,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecMultiplyAdd(as<float>(in[0]), inc[0], as<float>(in[1]), inc[1], as<float>(in[2]), inc[2],
                            as<float>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) { return w(std::fma(f(x[0]), f(x[1]), f(x[2]))); }},
    {"Fract32 multiply-add", 3, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecMultiplyAddFract32(as<int32_t>(in[0]), inc[0], as<int32_t>(in[1]), inc[1], as<int32_t>(in[2]),
                                   inc[2], as<int32_t>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) { return w(saturatingSum(q(x[2]), exactFract32Product(q(x[0]), q(x[1])))); }},
    {"scale", 1, false, Sample::Float,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecScale(as<float>(in[0]), inc[0], as<float>(d), di, 1.1f, n);
     },
     [](const uint32_t *x, uint32_t) { return w(f(x[0]) * 1.1f); }},
    {"Fract32 scale, shift 1", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecScaleFract32(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, 0x5A827999, 1, n);
     },
     [](const uint32_t *x, uint32_t) { return w(scaledProduct(q(x[0]), 0x5A827999, 1)); }},
    {"Fract32 scale, shift -3", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecScaleFract32(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, -0x5A827999, -3, n);
     },
     [](const uint32_t *x, uint32_t) { return w(scaledProduct(q(x[0]), -0x5A827999, -3)); }},
    {"integer scale", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecIntegerScale(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, -77777, n);
     },
     [](const uint32_t *x, uint32_t) { return w(wrap(int64_t{q(x[0])} * -77777)); }},
    {"offset", 1, false, Sample::Float,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecOffset(as<float>(in[0]), inc[0], as<float>(d), di, 0.3f, n);
     },
     [](const uint32_t *x, uint32_t) { return w(f(x[0]) + 0.3f); }},
    {"scale and offset", 1, false, Sample::Float,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecScaleOffset(as<float>(in[0]), inc[0], as<float>(d), di, 1.1f, -0.3f, n);
     },
     [](const uint32_t *x, uint32_t) { return w(std::fma(f(x[0]), 1.1f, -0.3f)); }},
    {"Fract32 scale and offset", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecScaleOffsetFract32(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, 0x5A827999, 2, INT32_MIN, n);
     },
     [](const uint32_t *x, uint32_t) {
         return w(clampTo32(scaleByPow2(exactFract32Product(q(x[0]), 0x5A827999), 2) + INT32_MIN));
     }},
    {"integer scale and offset", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecScaleOffsetInt32(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, 65537, INT32_MAX, n);
     },
     [](const uint32_t *x, uint32_t) { return w(wrap(int64_t{q(x[0])} * 65537 + INT32_MAX)); }},
    {"scale-add", 1, true, Sample::Float,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecScaleAdd(as<float>(in[0]), inc[0], as<float>(d), di, 1.1f, n);
     },
     [](const uint32_t *x, uint32_t d) { return w(std::fma(f(x[0]), 1.1f, f(d))); }},
    {"Fract32 scale-add", 1, true, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecScaleAddFract32(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, 0x5A827999, 1, n);
     },
     [](const uint32_t *x, uint32_t d) { return w(saturatingSum(q(d), scaledProduct(q(x[0]), 0x5A827999, 1))); }},
    {"square-add", 1, true, Sample::Float,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecSquareAdd(as<float>(in[0]), inc[0], as<float>(d), di, n);
     },
     [](const uint32_t *x, uint32_t d) { return w(std::fma(f(x[0]), f(x[0]), f(d))); }},
    {"Fract32 square-add", 1, true, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecSquareAddFract32(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, n);
     },
     [](const uint32_t *x, uint32_t d) { return w(saturatingSum(q(d), exactFract32Product(q(x[0]), q(x[0])))); }},
    {"abs", 1, false, Sample::Float,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecAbs(as<float>(in[0]), inc[0], as<float>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) { return x[0] & 0x7FFFFFFFu; }},
    {"Fract32 abs", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecAbsFract32(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) {
         const __int128 v = q(x[0]);
         return w(clampTo32(v < 0 ? -v : v));
     }},
    {"integer abs", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecAbsInt(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, n);
     },
     [](const uint32_t *x, uint32_t) { return w(wrap(std::abs(int64_t{q(x[0])}))); }},
    {"saturating shift 3", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecShift(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, 3, n);
     },
     [](const uint32_t *x, uint32_t) {
         const int32_t v = q(x[0]);
         return w(v > (INT32_MAX >> 3) ? INT32_MAX : (v <= (INT32_MIN >> 3) ? INT32_MIN : v * 8));
     }},
    {"saturating shift -5", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecShift(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, -5, n);
     },
     [](const uint32_t *x, uint32_t) { return w(static_cast<int32_t>(kvetest::floorDivPow2(q(x[0]), 5))); }},
    {"shift without saturation 4", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecShiftNoSat(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, 4, n);
     },
     [](const uint32_t *x, uint32_t) { return w(wrap(int64_t{q(x[0])} * 16)); }},
    {"shift without saturation -4", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecShiftNoSat(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, -4, n);
     },
     [](const uint32_t *x, uint32_t) { return w(static_cast<int32_t>(kvetest::floorDivPow2(q(x[0]), 4))); }},
    {"logical shift 9", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecLShift(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, 9, n);
     },
     [](const uint32_t *x, uint32_t) { return static_cast<uint32_t>(uint64_t{x[0]} * 512); }},
    {"logical shift -7", 1, false, Sample::Word,
     [](uint32_t *const *in, const int32_t *inc, uint32_t *d, int32_t di, int32_t n) {
         kve_vecLShift(as<int32_t>(in[0]), inc[0], as<int32_t>(d), di, -7, n);
     },
     [](const uint32_t *x, uint32_t) { return x[0] / 128; }},
};

// Fills the inputs and, for an accumulating kernel, the output; returns the expected output buffer.
GuardedVector expectedOutput(const StridedKernel &k, std::vector<GuardedVector> &in, GuardedVector &dst, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        for (int v = 0; v < k.inputs; ++v)
            in[static_cast<size_t>(v)][i] = sampleWord(k.type, i, v);
        if (k.accumulates)
            dst[i] = sampleWord(k.type, i, 3);
    }
    GuardedVector expected = dst;
    for (int32_t i = 0; i < n; ++i) {
        uint32_t x[3] = {};
        for (int v = 0; v < k.inputs; ++v)
            x[v] = in[static_cast<size_t>(v)][i];
        expected[i] = k.model(x, expected[i]);
    }
    return expected;
}

TEST(ArithmeticLayout, StridedKernelsFollowEveryIncrementAndTouchNothingElse)
{
    for (const StridedKernel &k : kStrided) {
        // Every combination of increments over the inputs and the output.
        const int vectors = k.inputs + 1;
        int combinations = 1;
        for (int v = 0; v < vectors; ++v)
            combinations *= 4;
        for (int c = 0; c < combinations; ++c) {
            std::vector<int32_t> incs;
            for (int v = 0, rest = c; v < vectors; ++v, rest /= 4)
                incs.push_back(kIncrements[rest % 4]);
            for (int32_t n : counts()) {
                std::vector<GuardedVector> in;
                for (int v = 0; v < k.inputs; ++v)
                    in.emplace_back(n, incs[static_cast<size_t>(v)]);
                GuardedVector dst(n, incs.back());
                const GuardedVector expected = expectedOutput(k, in, dst, n);
                std::vector<std::vector<uint32_t>> inBefore;
                uint32_t *ptrs[3] = {};
                for (int v = 0; v < k.inputs; ++v) {
                    inBefore.push_back(in[static_cast<size_t>(v)].words());
                    ptrs[v] = in[static_cast<size_t>(v)].data();
                }
                k.run(ptrs, incs.data(), dst.data(), incs.back(), n);
                ASSERT_TRUE(sameWords(dst.words(), expected.words(), k.type)) << where(k.name, n, incs);
                for (int v = 0; v < k.inputs; ++v)
                    ASSERT_EQ(in[static_cast<size_t>(v)].words(), inBefore[static_cast<size_t>(v)])
                        << where(k.name, n, incs);
            }
        }
    }
}

// The output on one input (same pointer and increment, 0 included): each sample reads what the samples before it
// wrote, as the definition applied in index order does.
TEST(ArithmeticLayout, StridedKernelsWorkInPlaceOnEachInput)
{
    for (const StridedKernel &k : kStrided)
        for (int target = 0; target < k.inputs; ++target)
            for (int32_t inc : {1, 2, 0, -1})
                for (int32_t n : counts()) {
                    std::vector<GuardedVector> in;
                    for (int v = 0; v < k.inputs; ++v)
                        in.emplace_back(n, inc);
                    for (int32_t i = 0; i < n; ++i)
                        for (int v = 0; v < k.inputs; ++v)
                            in[static_cast<size_t>(v)][i] = sampleWord(k.type, i, v);
                    GuardedVector &out = in[static_cast<size_t>(target)];
                    std::vector<GuardedVector> sequential = in;
                    for (int32_t i = 0; i < n; ++i) {
                        uint32_t x[3] = {};
                        for (int v = 0; v < k.inputs; ++v)
                            x[v] = sequential[static_cast<size_t>(v)][i];
                        sequential[static_cast<size_t>(target)][i] = k.model(x, x[target]);
                    }
                    const GuardedVector &expected = sequential[static_cast<size_t>(target)];
                    uint32_t *ptrs[3] = {};
                    int32_t incs[3] = {inc, inc, inc};
                    for (int v = 0; v < k.inputs; ++v)
                        ptrs[v] = in[static_cast<size_t>(v)].data();
                    k.run(ptrs, incs, out.data(), inc, n);
                    ASSERT_TRUE(sameWords(out.words(), expected.words(), k.type))
                        << where(k.name, n, {inc}) << " output on input " << target;
                }
}

// ---- Contiguous kernels ----

using ContiguousRun = void (*)(uint32_t *const *in, uint32_t *dst, int32_t n);
// inBlock: the sample falls in the four-lane blocks (the first 4 floor(n / 4)) rather than the one-by-one tail.
using ContiguousModel = uint32_t (*)(const uint32_t *x, uint32_t d, bool inBlock);

struct ContiguousKernel {
    const char *name;
    int inputs;
    bool accumulates;
    Sample type;
    ContiguousRun run;
    ContiguousModel model;
};

const ContiguousKernel kContiguous[] = {
    {"integer subtract", 2, false, Sample::Word,
     [](uint32_t *const *in, uint32_t *d, int32_t n) {
         kve_vecSubtract2x1Int32(as<int32_t>(in[0]), as<int32_t>(in[1]), as<int32_t>(d), n);
     },
     [](const uint32_t *x, uint32_t, bool) { return x[0] - x[1]; }},
    {"four-lane scale and offset", 1, false, Sample::Float,
     [](uint32_t *const *in, uint32_t *d, int32_t n) {
         kve_vecScaleOffset_SIMD4(as<float>(in[0]), as<float>(d), 1.1f, -0.3f, n);
     },
     [](const uint32_t *x, uint32_t, bool inBlock) {
         return w(inBlock ? f(x[0]) * 1.1f + -0.3f : std::fma(f(x[0]), 1.1f, -0.3f));
     }},
    {"four-lane scale-add", 1, true, Sample::Float,
     [](uint32_t *const *in, uint32_t *d, int32_t n) {
         kve_vecScaleAdd_SIMD4(as<float>(in[0]), as<float>(d), 1.1f, n);
     },
     [](const uint32_t *x, uint32_t d, bool inBlock) {
         return w(inBlock ? f(d) + f(x[0]) * 1.1f : std::fma(f(x[0]), 1.1f, f(d)));
     }},
    {"four-lane square-add", 1, true, Sample::Float,
     [](uint32_t *const *in, uint32_t *d, int32_t n) { kve_vecSquareAdd_SIMD4(as<float>(in[0]), as<float>(d), n); },
     [](const uint32_t *x, uint32_t d, bool) { return w(std::fma(f(x[0]), f(x[0]), f(d))); }},
    {"two-gain scale", 2, false, Sample::Float,
     [](uint32_t *const *in, uint32_t *d, int32_t n) {
         kve_vecScale2x1(as<float>(in[0]), as<float>(in[1]), as<float>(d), 1.1f, -0.7f, n);
     },
     [](const uint32_t *x, uint32_t, bool) { return w(std::fma(f(x[0]), 1.1f, -0.7f * f(x[1]))); }},
    {"weighted add", 2, false, Sample::Float,
     [](uint32_t *const *in, uint32_t *d, int32_t n) {
         kve_vecWeightedAdd(as<float>(in[0]), as<float>(in[1]), as<float>(d), 0.3f, 0.7f, n);
     },
     [](const uint32_t *x, uint32_t, bool) { return w(std::fma(f(x[0]), 0.3f, 0.7f * f(x[1]))); }},
    {"asymmetric clip", 1, false, Sample::Float,
     [](uint32_t *const *in, uint32_t *d, int32_t n) {
         kve_vecClipAsym(as<float>(in[0]), as<float>(d), -0.6f, 0.8f, n);
     },
     [](const uint32_t *x, uint32_t, bool) { return w(std::min(std::max(f(x[0]), -0.6f), 0.8f)); }},
    {"Fract32 asymmetric clip", 1, false, Sample::Word,
     [](uint32_t *const *in, uint32_t *d, int32_t n) {
         kve_vecClipAsymFract32(as<int32_t>(in[0]), as<int32_t>(d), -0x30000000, 0x50000000, n);
     },
     [](const uint32_t *x, uint32_t, bool) { return w(std::min(std::max(q(x[0]), -0x30000000), 0x50000000)); }},
    {"soft clip", 1, false, Sample::Float,
     [](uint32_t *const *in, uint32_t *d, int32_t n) {
         kve_vecSoftClip(as<float>(in[0]), as<float>(d), 0.5f, 0.9f, n);
     },
     [](const uint32_t *x, uint32_t, bool) {
         const float v = f(x[0]);
         if (std::fabs(v) < 0.5f)
             return x[0];
         const float qt = (std::fabs(v) - 0.5f) / (std::fma(-0.5f, 2.0f, 0.9f) + std::fabs(v));
         const float y = std::fma(qt, 0.9f - 0.5f, 0.5f);
         return w(v < 0.0f ? -y : y);
     }},
    {"Fract32 soft clip", 1, false, Sample::Word,
     [](uint32_t *const *in, uint32_t *d, int32_t n) {
         kve_vecSoftClipFract32(as<int32_t>(in[0]), 0x40000000, 0x73333333, as<int32_t>(d), n);
     },
     [](const uint32_t *x, uint32_t, bool) {
         return w(kvetest::modelSoftClipFract32(q(x[0]), 0x40000000, 0x73333333));
     }},
    {"divide", 2, false, Sample::Float,
     [](uint32_t *const *in, uint32_t *d, int32_t n) {
         kve_vecDivide2x1(as<float>(in[0]), as<float>(in[1]), as<float>(d), n);
     },
     [](const uint32_t *x, uint32_t, bool inBlock) {
         if (f(x[1]) == 0.0f)
             return w(0.0f);
         return w(inBlock ? kvetest::modelBlockQuotient(f(x[0]), f(x[1]), true) : f(x[0]) / f(x[1]));
     }},
};

TEST(ArithmeticLayout, ContiguousKernelsTouchOnlyTheirSamples)
{
    for (const ContiguousKernel &k : kContiguous)
        for (int32_t n : counts()) {
            std::vector<GuardedVector> in;
            for (int v = 0; v < k.inputs; ++v)
                in.emplace_back(n, 1);
            GuardedVector dst(n, 1);
            for (int32_t i = 0; i < n; ++i) {
                for (int v = 0; v < k.inputs; ++v)
                    in[static_cast<size_t>(v)][i] = sampleWord(k.type, i, v);
                if (k.accumulates)
                    dst[i] = sampleWord(k.type, i, 3);
            }
            GuardedVector expected = dst;
            for (int32_t i = 0; i < n; ++i) {
                uint32_t x[2] = {};
                for (int v = 0; v < k.inputs; ++v)
                    x[v] = in[static_cast<size_t>(v)][i];
                expected[i] = k.model(x, expected[i], i < n / 4 * 4);
            }
            std::vector<std::vector<uint32_t>> inBefore;
            uint32_t *ptrs[2] = {};
            for (int v = 0; v < k.inputs; ++v) {
                inBefore.push_back(in[static_cast<size_t>(v)].words());
                ptrs[v] = in[static_cast<size_t>(v)].data();
            }
            k.run(ptrs, dst.data(), n);
            ASSERT_TRUE(sameWords(dst.words(), expected.words(), k.type)) << where(k.name, n, {});
            for (int v = 0; v < k.inputs; ++v)
                ASSERT_EQ(in[static_cast<size_t>(v)].words(), inBefore[static_cast<size_t>(v)]) << where(k.name, n, {});
        }
}

TEST(ArithmeticLayout, ContiguousKernelsWorkInPlaceOnEachInput)
{
    for (const ContiguousKernel &k : kContiguous)
        for (int target = 0; target < k.inputs; ++target)
            for (int32_t n : counts()) {
                std::vector<GuardedVector> in;
                for (int v = 0; v < k.inputs; ++v)
                    in.emplace_back(n, 1);
                for (int32_t i = 0; i < n; ++i)
                    for (int v = 0; v < k.inputs; ++v)
                        in[static_cast<size_t>(v)][i] = sampleWord(k.type, i, v);
                GuardedVector &out = in[static_cast<size_t>(target)];
                GuardedVector expected = out;
                for (int32_t i = 0; i < n; ++i) {
                    uint32_t x[2] = {};
                    for (int v = 0; v < k.inputs; ++v)
                        x[v] = in[static_cast<size_t>(v)][i];
                    expected[i] = k.model(x, x[target], i < n / 4 * 4);
                }
                uint32_t *ptrs[2] = {};
                for (int v = 0; v < k.inputs; ++v)
                    ptrs[v] = in[static_cast<size_t>(v)].data();
                k.run(ptrs, out.data(), n);
                ASSERT_TRUE(sameWords(out.words(), expected.words(), k.type))
                    << where(k.name, n, {}) << " output on input " << target;
            }
}

// ---- Half sums and differences: two outputs ----

struct PairKernel {
    const char *name;
    Sample type;
    void (*run)(uint32_t *a, uint32_t *b, uint32_t *sum, uint32_t *diff, int32_t n);
    void (*model)(uint32_t a, uint32_t b, uint32_t &sum, uint32_t &diff);
};

const PairKernel kPairs[] = {
    {"half sum and difference", Sample::Float,
     [](uint32_t *a, uint32_t *b, uint32_t *s, uint32_t *d, int32_t n) {
         kve_vecScaleSumDiff(as<float>(a), as<float>(b), as<float>(s), as<float>(d), n);
     },
     [](uint32_t a, uint32_t b, uint32_t &s, uint32_t &d) {
         s = w((f(a) + f(b)) * 0.5f);
         d = w((f(a) - f(b)) * 0.5f);
     }},
    {"four-lane scaled sum and difference", Sample::Float,
     [](uint32_t *a, uint32_t *b, uint32_t *s, uint32_t *d, int32_t n) {
         kve_vecScaleSumDiff_SIMD4(as<float>(a), as<float>(b), as<float>(s), as<float>(d), 0.7071f, n);
     },
     [](uint32_t a, uint32_t b, uint32_t &s, uint32_t &d) {
         s = w((f(a) + f(b)) * 0.7071f);
         d = w((f(a) - f(b)) * 0.7071f);
     }},
    {"Fract32 half sum and difference", Sample::Word,
     [](uint32_t *a, uint32_t *b, uint32_t *s, uint32_t *d, int32_t n) {
         kve_vecScaleSumDiffFract32(as<int32_t>(a), as<int32_t>(b), as<int32_t>(s), as<int32_t>(d), n);
     },
     [](uint32_t a, uint32_t b, uint32_t &s, uint32_t &d) {
         s = w(static_cast<int32_t>(kvetest::floorDivPow2(q(a), 1) + kvetest::floorDivPow2(q(b), 1)));
         d = w(static_cast<int32_t>(kvetest::floorDivPow2(q(a), 1) - kvetest::floorDivPow2(q(b), 1)));
     }},
    {"integer half sum and difference", Sample::Word,
     [](uint32_t *a, uint32_t *b, uint32_t *s, uint32_t *d, int32_t n) {
         kve_vecScaleSumDiffInt32(as<int32_t>(a), as<int32_t>(b), as<int32_t>(s), as<int32_t>(d), n);
     },
     [](uint32_t a, uint32_t b, uint32_t &s, uint32_t &d) {
         s = w(wrap(int64_t{q(a)} + q(b)) / 2);
         d = w(wrap(int64_t{q(a)} - q(b)) / 2);
     }},
};

TEST(ArithmeticLayout, SumAndDifferenceKernelsWriteBothOutputsOnly)
{
    for (const PairKernel &k : kPairs)
        for (int32_t n : counts()) {
            GuardedVector a(n, 1);
            GuardedVector b(n, 1);
            for (int32_t i = 0; i < n; ++i) {
                a[i] = sampleWord(k.type, i, 0);
                b[i] = sampleWord(k.type, i, 1);
            }
            GuardedVector sum(n, 1);
            GuardedVector diff(n, 1);
            GuardedVector expectedSum = sum;
            GuardedVector expectedDiff = diff;
            for (int32_t i = 0; i < n; ++i)
                k.model(a[i], b[i], expectedSum[i], expectedDiff[i]);
            const std::vector<uint32_t> aBefore = a.words();
            const std::vector<uint32_t> bBefore = b.words();
            k.run(a.data(), b.data(), sum.data(), diff.data(), n);
            ASSERT_TRUE(sameWords(sum.words(), expectedSum.words(), k.type)) << where(k.name, n, {});
            ASSERT_TRUE(sameWords(diff.words(), expectedDiff.words(), k.type)) << where(k.name, n, {});
            ASSERT_EQ(a.words(), aBefore) << where(k.name, n, {});
            ASSERT_EQ(b.words(), bBefore) << where(k.name, n, {});
        }
}

// Both inputs of a sample are read before either output is written, so the outputs may take the input buffers in
// either order.
TEST(ArithmeticLayout, SumAndDifferenceOutputsMayBeEitherInputBuffer)
{
    for (const PairKernel &k : kPairs)
        for (bool sumOnA : {true, false})
            for (int32_t n : {1, 3, 4, 7, 16, 37}) {
                GuardedVector a(n, 1);
                GuardedVector b(n, 1);
                for (int32_t i = 0; i < n; ++i) {
                    a[i] = sampleWord(k.type, i, 0);
                    b[i] = sampleWord(k.type, i, 1);
                }
                GuardedVector expectedA = a;
                GuardedVector expectedB = b;
                for (int32_t i = 0; i < n; ++i) {
                    uint32_t s;
                    uint32_t d;
                    k.model(a[i], b[i], s, d);
                    expectedA[i] = sumOnA ? s : d;
                    expectedB[i] = sumOnA ? d : s;
                }
                if (sumOnA)
                    k.run(a.data(), b.data(), a.data(), b.data(), n);
                else
                    k.run(a.data(), b.data(), b.data(), a.data(), n);
                ASSERT_TRUE(sameWords(a.words(), expectedA.words(), k.type)) << where(k.name, n, {}) << sumOnA;
                ASSERT_TRUE(sameWords(b.words(), expectedB.words(), k.type)) << where(k.name, n, {}) << sumOnA;
            }
}

} // namespace
