// FFT plans: every transform of every plan size against numpy.fft, with the output apart from the input, on top of
// it and overlapping it; the sizes no plan is made for; a plan that outlives the holder that made it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Dsp/Fft/FftPlan.h"
#include "Dsp/GuardedVector.h"
#include "support/OracleValues.h"

namespace {

using kve::fft::ComplexFftPlan;
using kve::fft::FftComplex;
using kve::fft::FftPlan;
using kve::fft::RealFftPlan;
using kvetest::bitsOf;

const float kGuardValue = kvetest::floatOf(kvetest::kGuardWord);
constexpr size_t kGuards = 4;

std::vector<int32_t> planSizes()
{
    std::vector<int32_t> sizes;
    for (int32_t n = kve::fft::kFftMinSize; n <= kve::fft::kFftMaxSize; n *= 2)
        sizes.push_back(n);
    return sizes;
}

// The numbers tests/oracles/fft_plan.py prints for one transform kind and the sizes given, read in order.
kvetest::OracleValues planReference(const std::string &kind, const std::vector<int32_t> &sizes)
{
    std::vector<std::string> args = {kind};
    for (int32_t n : sizes)
        args.push_back(std::to_string(n));
    return kvetest::OracleValues("fft_plan.py", args);
}

// Where a transform writes its output relative to its input.
enum class Placement { Apart, Same, Shifted };

const Placement kPlacements[] = {Placement::Apart, Placement::Same, Placement::Shifted};

const char *placementName(Placement p)
{
    switch (p) {
    case Placement::Apart:
        return "output apart from the input";
    case Placement::Same:
        return "output on the input";
    case Placement::Shifted:
        return "output one complex value past the input";
    }
    return "";
}

// Lays the input and an output of `outWords` floats out in one buffer with guard words around both, runs the
// transform on them and returns the output. Every word outside the output must keep its value: the guards, and the
// whole input when the output lies apart from it.
std::vector<float> runPlaced(Placement placement, const std::vector<float> &input, size_t outWords,
                             const std::function<void(const float *, float *)> &transform)
{
    const size_t outOffset = placement == Placement::Apart ? input.size() + kGuards
                             : placement == Placement::Same ? 0
                                                             : 2;
    const size_t span = std::max(input.size(), outOffset + outWords);
    std::vector<float> buffer(span + 2 * kGuards, kGuardValue);
    std::copy(input.begin(), input.end(), buffer.begin() + kGuards);
    const std::vector<float> before = buffer;

    transform(buffer.data() + kGuards, buffer.data() + kGuards + outOffset);

    for (size_t w = 0; w < buffer.size(); ++w) {
        const bool inOutput = w >= kGuards + outOffset && w < kGuards + outOffset + outWords;
        const bool inInput = w >= kGuards && w < kGuards + input.size();
        if (!inOutput && (placement == Placement::Apart || !inInput)) {
            EXPECT_EQ(bitsOf(buffer[w]), bitsOf(before[w])) << "word " << w << " outside the output changed";
        }
    }
    return std::vector<float>(buffer.begin() + static_cast<ptrdiff_t>(kGuards + outOffset),
                              buffer.begin() + static_cast<ptrdiff_t>(kGuards + outOffset + outWords));
}

// A float FFT of N points is within about log2(N) roundings of the largest output.
::testing::AssertionResult closeToReference(const std::vector<float> &actual, const std::vector<double> &expected,
                                            double peak, int32_t n)
{
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << actual.size() << " words, expected " << expected.size();
    const double tol = 1e-6 * std::log2(static_cast<double>(n)) * peak;
    for (size_t i = 0; i < actual.size(); ++i) {
        if (!(std::fabs(actual[i] - expected[i]) <= tol))
            return ::testing::AssertionFailure()
                   << "word " << i << " is " << actual[i] << ", numpy gives " << expected[i] << " (tolerance " << tol
                   << ")";
    }
    return ::testing::AssertionSuccess();
}

TEST(FftPlan, RealForwardGivesTheBinsOfNumpyRfftWithRealEndBins)
{
    kvetest::OracleValues reference = planReference("r2c", planSizes());
    ASSERT_FALSE(reference.empty());
    for (int32_t n : planSizes()) {
        const size_t samples = static_cast<size_t>(n);
        const std::vector<float> x = reference.takeFloats(samples);
        const std::vector<double> bins = reference.take(samples + 2);
        const double peak = reference.takeOne();
        RealFftPlan *plan = RealFftPlan::create(n);
        ASSERT_NE(plan, nullptr) << n;
        ASSERT_EQ(plan->size(), n);
        for (Placement placement : kPlacements) {
            SCOPED_TRACE(testing::Message() << "N = " << n << ", " << placementName(placement));
            const std::vector<float> out = runPlaced(placement, x, samples + 2, [&](const float *in, float *o) {
                plan->forward(in, reinterpret_cast<FftComplex *>(o));
            });
            EXPECT_TRUE(closeToReference(out, bins, peak, n));
            EXPECT_EQ(out[1], 0.0f) << "imaginary part of bin 0";
            EXPECT_EQ(out[samples + 1], 0.0f) << "imaginary part of bin N/2";
        }
        FftPlan::release(plan);
    }
}

TEST(FftPlan, RealInverseGivesNumpyIrfftAndIgnoresTheImaginaryPartsOfTheEndBins)
{
    kvetest::OracleValues reference = planReference("c2r", planSizes());
    ASSERT_FALSE(reference.empty());
    for (int32_t n : planSizes()) {
        const size_t samples = static_cast<size_t>(n);
        const std::vector<float> bins = reference.takeFloats(samples + 2);
        const std::vector<double> x = reference.take(samples);
        const double peak = reference.takeOne();
        RealFftPlan *plan = RealFftPlan::create(n);
        ASSERT_NE(plan, nullptr) << n;
        for (Placement placement : kPlacements) {
            SCOPED_TRACE(testing::Message() << "N = " << n << ", " << placementName(placement));
            const std::vector<float> out = runPlaced(placement, bins, samples, [&](const float *in, float *o) {
                plan->inverse(reinterpret_cast<const FftComplex *>(in), o);
            });
            EXPECT_TRUE(closeToReference(out, x, peak, n));
        }
        FftPlan::release(plan);
    }
}

TEST(FftPlan, ComplexPlanRunsNumpyFftForwardAndIfftInverse)
{
    kvetest::OracleValues reference = planReference("c2c", planSizes());
    ASSERT_FALSE(reference.empty());
    for (int32_t n : planSizes()) {
        const size_t words = 2 * static_cast<size_t>(n);
        const std::vector<float> z = reference.takeFloats(words);
        const std::vector<double> forward = reference.take(words);
        const double forwardPeak = reference.takeOne();
        const std::vector<double> inverse = reference.take(words);
        const double inversePeak = reference.takeOne();
        ComplexFftPlan *plan = ComplexFftPlan::create(n);
        ASSERT_NE(plan, nullptr) << n;
        ASSERT_EQ(plan->size(), n);
        for (Placement placement : kPlacements) {
            SCOPED_TRACE(testing::Message() << "N = " << n << ", " << placementName(placement));
            const std::vector<float> bins = runPlaced(placement, z, words, [&](const float *in, float *o) {
                plan->forward(reinterpret_cast<const FftComplex *>(in), reinterpret_cast<FftComplex *>(o));
            });
            EXPECT_TRUE(closeToReference(bins, forward, forwardPeak, n)) << "forward";
            const std::vector<float> values = runPlaced(placement, z, words, [&](const float *in, float *o) {
                plan->inverse(reinterpret_cast<const FftComplex *>(in), reinterpret_cast<FftComplex *>(o));
            });
            EXPECT_TRUE(closeToReference(values, inverse, inversePeak, n)) << "inverse";
        }
        FftPlan::release(plan);
    }
}

TEST(FftPlan, IsNotMadeForSizesOtherThanPowersOfTwoFrom4To16384)
{
    for (int32_t n : {INT32_MIN, -16, -4, -1, 0, 1, 2, 3, 5, 6, 12, 100, 1000, 4095, 4097, 16383, 16385, 32768,
                      1 << 30, INT32_MAX}) {
        EXPECT_EQ(RealFftPlan::create(n), nullptr) << "real plan of " << n << " points";
        EXPECT_EQ(ComplexFftPlan::create(n), nullptr) << "complex plan of " << n << " points";
    }
}

// A cache slot makes a plan and a module instance takes a reference; the cache lets go first (a teardown), and the
// instance's plan must still transform. With the sanitizer, a freed plan is caught on its first use.
TEST(FftPlan, OutlivesTheHolderThatMadeIt)
{
    const int32_t n = 64;
    const size_t samples = static_cast<size_t>(n);
    kvetest::OracleValues real = planReference("r2c", {n});
    kvetest::OracleValues complex = planReference("c2c", {n});
    ASSERT_FALSE(real.empty());
    ASSERT_FALSE(complex.empty());
    const std::vector<float> x = real.takeFloats(samples);
    const std::vector<double> bins = real.take(samples + 2);
    const double binsPeak = real.takeOne();
    const std::vector<float> z = complex.takeFloats(2 * samples);
    const std::vector<double> forward = complex.take(2 * samples);
    const double forwardPeak = complex.takeOne();

    RealFftPlan *realInCache = RealFftPlan::create(n);
    ComplexFftPlan *complexInCache = ComplexFftPlan::create(n);
    ASSERT_NE(realInCache, nullptr);
    ASSERT_NE(complexInCache, nullptr);
    RealFftPlan *realOfModule = realInCache;
    ComplexFftPlan *complexOfModule = complexInCache;
    realOfModule->retain();
    complexOfModule->retain();
    FftPlan::release(realInCache);
    FftPlan::release(complexInCache);

    std::vector<float> out(samples + 2);
    realOfModule->forward(x.data(), reinterpret_cast<FftComplex *>(out.data()));
    EXPECT_TRUE(closeToReference(out, bins, binsPeak, n)) << "real plan";
    out.assign(2 * samples, 0.0f);
    complexOfModule->forward(reinterpret_cast<const FftComplex *>(z.data()),
                             reinterpret_cast<FftComplex *>(out.data()));
    EXPECT_TRUE(closeToReference(out, forward, forwardPeak, n)) << "complex plan";
    FftPlan::release(realOfModule);
    FftPlan::release(complexOfModule);
}

} // namespace
