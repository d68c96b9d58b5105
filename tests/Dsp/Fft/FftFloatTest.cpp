// The float transforms: the complex FFT and its inverse, the packed real FFT and the modulated FFT against
// numpy.fft at every power-of-two size up to 4096, their round trips, and the sizes they refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/Fft/FftModels.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::GuardedVector;
using kvetest::guardsIntact;
using kvetest::log2Of;

std::vector<int32_t> powersOfTwo(int32_t from, int32_t to)
{
    std::vector<int32_t> sizes;
    for (int32_t n = from; n <= to; n *= 2)
        sizes.push_back(n);
    return sizes;
}

std::vector<std::string> sizeArgs(const std::vector<int32_t> &sizes)
{
    std::vector<std::string> args;
    for (int32_t n : sizes)
        args.push_back(std::to_string(n));
    return args;
}

// Loads the input into a guarded vector, runs the transform, and checks every float against numpy within
// 1e-6 x log2(size) x the largest bin magnitude, and the guards beside the data.
template <typename Transform>
void expectMatchesNumpy(const std::string &what, int32_t size, const std::vector<double> &input,
                        const std::vector<double> &expected, double largest, Transform transform)
{
    const auto count = static_cast<int32_t>(input.size());
    GuardedVector buffer(count, 1);
    float *data = buffer.as<float>();
    for (int32_t i = 0; i < count; ++i)
        data[i] = static_cast<float>(input[static_cast<size_t>(i)]);
    transform(data);
    const double tolerance = 1e-6 * log2Of(size) * largest;
    for (int32_t i = 0; i < count; ++i)
        ASSERT_NEAR(data[i], expected[static_cast<size_t>(i)], tolerance) << what << " size " << size << " float " << i;
    EXPECT_TRUE(guardsIntact(buffer)) << what << " size " << size;
}

TEST(FloatComplexFft, MatchesNumpyForwardAndScaledInverseAtEveryPowerOfTwoSize)
{
    const std::vector<int32_t> sizes = powersOfTwo(1, 4096);
    const struct {
        const char *kind;
        int32_t isign;
    } directions[] = {{"fft", 1}, {"ifft", -1}};
    for (const auto &d : directions) {
        const std::vector<double> values = kvetest::runOracle("fft_transforms.py", [&] {
            std::vector<std::string> args{d.kind};
            for (const std::string &s : sizeArgs(sizes))
                args.push_back(s);
            return args;
        }());
        size_t at = 0;
        for (int32_t n : sizes) {
            const auto twice = static_cast<size_t>(2 * n);
            const auto blocks = kvetest::splitBlocks(values, at, {twice, twice});
            expectMatchesNumpy(d.kind, n, blocks[0], blocks[1], kvetest::largestMagnitude(blocks[1]),
                               [&](float *data) { kve_vecCfft(data, n, d.isign); });
        }
    }
}

TEST(FloatComplexFft, InverseOfForwardReturnsTheInput)
{
    for (int32_t n : powersOfTwo(2, 8192)) {
        std::vector<float> x(static_cast<size_t>(2 * n));
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = std::sin(0.37f * static_cast<float>(i)) + 0.25f * static_cast<float>(i % 5) - 0.5f;
        std::vector<float> y = x;
        kve_vecCfft(y.data(), n, 1);
        kve_vecCfft(y.data(), n, -1);
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(y[i], x[i], 2e-7 * log2Of(n) * 2.0) << "size " << n << " float " << i;
    }
}

TEST(FloatComplexFft, UnitImpulseGivesEveryBinExactlyOne)
{
    for (int32_t n : {1, 2, 8, 64, 1024}) {
        std::vector<float> x(static_cast<size_t>(2 * n), 0.0f);
        x[0] = 1.0f;
        kve_vecCfft(x.data(), n, 1);
        for (int32_t k = 0; k < n; ++k) {
            ASSERT_EQ(x[static_cast<size_t>(2 * k)], 1.0f) << "size " << n << " bin " << k;
            ASSERT_EQ(x[static_cast<size_t>(2 * k + 1)], 0.0f) << "size " << n << " bin " << k;
        }
    }
}

TEST(FloatRealFft, MatchesNumpyInThePackedLayoutAtEveryPowerOfTwoSize)
{
    const std::vector<int32_t> sizes = powersOfTwo(4, 8192);
    std::vector<std::string> args{"rfft"};
    for (const std::string &s : sizeArgs(sizes))
        args.push_back(s);
    const std::vector<double> values = kvetest::runOracle("fft_transforms.py", args);
    size_t at = 0;
    for (int32_t n : sizes) {
        const auto blocks = kvetest::splitBlocks(values, at, {static_cast<size_t>(n), static_cast<size_t>(n)});
        // The packed layout puts the real Nyquist bin where a pair would hold Im X[0].
        std::vector<double> bins = blocks[1];
        bins.push_back(bins[1]);
        bins.push_back(0.0);
        bins[1] = 0.0;
        expectMatchesNumpy("rfft", n, blocks[0], blocks[1], kvetest::largestMagnitude(bins),
                           [&](float *data) { kve_vecRfft(data, n, 1); });
    }
}

TEST(FloatRealFft, InverseOfForwardReturnsTheSamples)
{
    for (int32_t n : powersOfTwo(4, 8192)) {
        std::vector<float> x(static_cast<size_t>(n));
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = std::cos(0.61f * static_cast<float>(i)) * 0.75f + 0.125f * static_cast<float>(i % 3);
        std::vector<float> y = x;
        kve_vecRfft(y.data(), n, 1);
        kve_vecRfft(y.data(), n, -1);
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(y[i], x[i], 4e-7 * log2Of(n)) << "size " << n << " sample " << i;
    }
}

TEST(FloatRealFft, SixteenSamplesPutTheRealNyquistBinInTheSecondFloat)
{
    // Samples alternating 1, -1 plus a constant 0.5: X[0] = 8, X[8] = 16, every other bin 0.
    std::vector<float> x(16);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = (i % 2 == 0 ? 1.0f : -1.0f) + 0.5f;
    const std::vector<float> samples = x;
    kve_vecRfft(x.data(), 16, 1);
    EXPECT_NEAR(x[0], 8.0f, 1e-5f);
    EXPECT_NEAR(x[1], 16.0f, 1e-5f);
    for (size_t i = 2; i < x.size(); ++i)
        EXPECT_NEAR(x[i], 0.0f, 1e-5f) << "float " << i;
    kve_vecRfft(x.data(), 16, -7); // any isign other than 1 is the inverse
    for (size_t i = 0; i < x.size(); ++i)
        EXPECT_NEAR(x[i], samples[i], 1e-6f) << "sample " << i;
}

TEST(FloatModulatedFft, MatchesNumpyInBothModesAndDirections)
{
    const std::vector<int32_t> sizes = {1, 2, 8, 64, 512};
    for (const char *kind : {"mod0", "mod1"}) {
        for (int32_t isign : {1, -1}) {
            std::vector<std::string> args{kind, std::to_string(isign)};
            for (const std::string &s : sizeArgs(sizes))
                args.push_back(s);
            const std::vector<double> values = kvetest::runOracle("fft_transforms.py", args);
            size_t at = 0;
            const int32_t mode = kind[3] == '1' ? 1 : 0;
            for (int32_t n : sizes) {
                const auto twice = static_cast<size_t>(2 * n);
                const auto blocks = kvetest::splitBlocks(values, at, {twice, twice, twice});
                std::vector<float> mod(blocks[1].begin(), blocks[1].end());
                const std::string what = std::string(kind) + " isign " + std::to_string(isign);
                expectMatchesNumpy(what, std::max(n, 2), blocks[0], blocks[2], kvetest::largestMagnitude(blocks[2]),
                                   [&](float *data) { kve_vecCfftMod(data, 2 * n, mode, isign, mod.data()); });
            }
        }
    }
}

TEST(FloatModulatedFft, OddFloatCountLeavesTheLoneLastFloatAndWritesNothingBeyond)
{
    // n = 9 floats: four complex points are transformed; the ninth float has no partner and stays as it is.
    GuardedVector buffer(9, 1);
    float *data = buffer.as<float>();
    for (int i = 0; i < 9; ++i)
        data[i] = 0.125f * static_cast<float>(i + 1);
    const float mod[10] = {1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 3.0f, 3.0f};
    for (int32_t mode : {0, 1}) {
        for (int i = 0; i < 9; ++i)
            data[i] = 0.125f * static_cast<float>(i + 1);
        if (mode == 1) {
            for (int i = 1; i < 8; i += 2)
                data[i] = 0.0f; // the real-only mode reads no imaginary parts, so the same spectrum is expected
        }
        std::vector<float> reference(data, data + 8);
        kve_vecCfft(reference.data(), 4, 1);
        kve_vecCfftMod(data, 9, mode, 1, mod);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(data[i], reference[static_cast<size_t>(i)]) << "mode " << mode << " float " << i;
        EXPECT_EQ(data[8], 1.125f) << "mode " << mode;
        EXPECT_TRUE(guardsIntact(buffer)) << "mode " << mode;
    }
}

TEST(FloatTransforms, SizesAndDirectionsTheyCannotTakeLeaveTheDataUntouched)
{
    static const float mod[64] = {};
    const struct {
        const char *what;
        int32_t floats;
        void (*call)(float *, int32_t);
    } cases[] = {
        {"cfft of 0 points", 8, [](float *d, int32_t) { kve_vecCfft(d, 0, 1); }},
        {"cfft of -4 points", 8, [](float *d, int32_t) { kve_vecCfft(d, -4, 1); }},
        {"cfft of 3 points", 6, [](float *d, int32_t) { kve_vecCfft(d, 3, 1); }},
        {"cfft of 12 points", 24, [](float *d, int32_t) { kve_vecCfft(d, 12, -1); }},
        {"cfft with isign 0", 16, [](float *d, int32_t) { kve_vecCfft(d, 8, 0); }},
        {"cfft with isign 2", 16, [](float *d, int32_t) { kve_vecCfft(d, 8, 2); }},
        {"cfft with isign -2", 16, [](float *d, int32_t) { kve_vecCfft(d, 8, -2); }},
        {"rfft of 2 samples", 2, [](float *d, int32_t) { kve_vecRfft(d, 2, 1); }},
        {"rfft of 1 sample", 1, [](float *d, int32_t) { kve_vecRfft(d, 1, -1); }},
        {"rfft of 0 samples", 4, [](float *d, int32_t) { kve_vecRfft(d, 0, 1); }},
        {"rfft of 12 samples", 12, [](float *d, int32_t) { kve_vecRfft(d, 12, 1); }},
        {"rfft of -8 samples", 8, [](float *d, int32_t) { kve_vecRfft(d, -8, 1); }},
        {"modulated fft of 12 floats", 12, [](float *d, int32_t) { kve_vecCfftMod(d, 12, 0, 1, mod); }},
        {"modulated fft of 1 float", 1, [](float *d, int32_t) { kve_vecCfftMod(d, 1, 0, -1, mod); }},
        {"modulated fft of -16 floats", 16, [](float *d, int32_t) { kve_vecCfftMod(d, -16, 1, 1, mod); }},
        {"modulated fft with isign 0", 16, [](float *d, int32_t) { kve_vecCfftMod(d, 16, 0, 0, mod); }},
        {"modulated fft with isign 3", 16, [](float *d, int32_t) { kve_vecCfftMod(d, 16, 1, 3, mod); }},
    };
    for (const auto &c : cases) {
        GuardedVector buffer(c.floats, 1);
        for (int32_t i = 0; i < c.floats; ++i)
            buffer[i] = kvetest::bitsOf(0.5f + static_cast<float>(i));
        const std::vector<uint32_t> before = buffer.words();
        c.call(buffer.as<float>(), c.floats);
        EXPECT_EQ(buffer.words(), before) << c.what;
    }
}

} // namespace
