// The fixed-point FFT and what feeds it: the twiddle and bit-reversal tables, the bit-reversal permutation, and the
// block-floating-point transform against an exact integer model and, scaled by its block exponent, against numpy.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Dsp/Fft/FftModels.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::GuardedVector;
using kvetest::guardsIntact;

std::vector<int32_t> words(const std::vector<double> &values)
{
    std::vector<int32_t> w;
    for (double v : values)
        w.push_back(static_cast<int32_t>(v));
    return w;
}

TEST(FftTables, HoldTheTruncatedQ31TwiddlesAndTheTenBitReversals)
{
    const std::vector<double> expected = kvetest::runOracle("fft_tables.py");
    ASSERT_EQ(expected.size(), 1024u);
    for (int i = 0; i < 512; ++i) {
        EXPECT_EQ(Twiddle_table_Cos[i], static_cast<int32_t>(expected[static_cast<size_t>(i)])) << "cos entry " << i;
        EXPECT_EQ(Twiddle_table_Sin[i], static_cast<int32_t>(expected[static_cast<size_t>(512 + i)])) << "sin " << i;
    }
    EXPECT_EQ(Twiddle_table_Cos[0], INT32_MAX);
    EXPECT_EQ(Twiddle_table_Sin[256], INT32_MAX);
    EXPECT_EQ(Twiddle_table_Cos[256], 0);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(BitRev_Table[i], kvetest::reverseBits(i + 1, 10)) << "entry " << i;
        EXPECT_EQ(BitRevTable[i], BitRev_Table[i]) << "entry " << i;
    }
    EXPECT_EQ(BitRev_Table[0], 512);
    EXPECT_EQ(BitRev_Table[255], 2);
}

TEST(FixedBitReversal, PutsEveryPositionAtItsBitReversalForEverySize)
{
    for (int32_t n = 4; n <= 1024; n *= 2) {
        std::vector<int32_t> x(static_cast<size_t>(2 * n));
        for (int32_t p = 0; p < n; ++p) {
            x[static_cast<size_t>(2 * p)] = p;
            x[static_cast<size_t>(2 * p + 1)] = -1000 - p;
        }
        GuardedVector buffer(2 * n, 1);
        for (int32_t i = 0; i < 2 * n; ++i)
            buffer[i] = kvetest::bitsOf(x[static_cast<size_t>(i)]);
        kve_vecBitReversal(buffer.as<int32_t>(), 2 * n);
        const std::vector<int32_t> expected = kvetest::bitReversedModel(x, n);
        for (int32_t i = 0; i < 2 * n; ++i)
            ASSERT_EQ(kvetest::intOf(buffer[i]), expected[static_cast<size_t>(i)]) << "size " << n << " word " << i;
        EXPECT_TRUE(guardsIntact(buffer)) << "size " << n;
    }
}

TEST(FixedBitReversal, EightPointsSwapOneWithFourAndThreeWithSix)
{
    int32_t x[16];
    for (int p = 0; p < 8; ++p) {
        x[2 * p] = 10 * p;
        x[2 * p + 1] = 10 * p + 1;
    }
    kve_vecBitReversal(x, 16);
    const int32_t order[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (int p = 0; p < 8; ++p) {
        EXPECT_EQ(x[2 * p], 10 * order[p]) << "position " << p;
        EXPECT_EQ(x[2 * p + 1], 10 * order[p] + 1) << "position " << p;
    }
}

TEST(FixedBitReversal, LengthsOutsideFourToOneThousandTwentyFourPointsLeaveTheData)
{
    for (int32_t len : {-16, 0, 1, 2, 4, 6, 12, 2050, 4096}) {
        const int32_t words = len > 0 ? len : 8;
        GuardedVector buffer(words, 1);
        for (int32_t i = 0; i < words; ++i)
            buffer[i] = static_cast<uint32_t>(i * 7 + 1);
        const std::vector<uint32_t> before = buffer.words();
        kve_vecBitReversal(buffer.as<int32_t>(), len);
        EXPECT_EQ(buffer.words(), before) << "len " << len;
    }
}

// Inputs of three kinds for each size: numpy's random words below 2^30 in magnitude, words small enough that no
// stage shifts, and a full-scale tone with the most negative word in it.
std::vector<std::vector<int32_t>> fixedInputs(int32_t n, const std::vector<int32_t> &random)
{
    std::vector<int32_t> small(static_cast<size_t>(2 * n));
    std::vector<int32_t> loud(static_cast<size_t>(2 * n));
    for (int32_t i = 0; i < 2 * n; ++i) {
        small[static_cast<size_t>(i)] = (i * 7919) % 4001 - 2000;
        const double phase = 2.0 * M_PI * 3.0 * (i / 2) / n + (i % 2) * M_PI / 2.0;
        loud[static_cast<size_t>(i)] = static_cast<int32_t>(std::lround(std::cos(phase) * 2147483000.0));
    }
    loud[1] = INT32_MIN;
    return {random, small, loud};
}

struct NumpyCase {
    int32_t n;
    std::vector<int32_t> input; // natural order
    std::vector<double> spectrum;
};

// numpy's random words and their spectrum for N = 2, 4, ..., 1024.
std::vector<NumpyCase> numpyCases()
{
    std::vector<std::string> args{"fixed"};
    for (int32_t n = 2; n <= 1024; n *= 2)
        args.push_back(std::to_string(n));
    const std::vector<double> values = kvetest::runOracle("fft_transforms.py", args);
    std::vector<NumpyCase> cases;
    size_t at = 0;
    for (int32_t n = 2; n <= 1024; n *= 2) {
        const auto twice = static_cast<size_t>(2 * n);
        const auto blocks = kvetest::splitBlocks(values, at, {twice, twice});
        cases.push_back({n, words(blocks[0]), blocks[1]});
    }
    return cases;
}

TEST(FixedFft, MatchesTheExactIntegerModelForEverySizeAndInput)
{
    for (const NumpyCase &c : numpyCases()) {
        const int32_t n = c.n;
        const std::vector<std::vector<int32_t>> inputs = fixedInputs(n, c.input);
        for (size_t which = 0; which < inputs.size(); ++which) {
            const std::vector<int32_t> reversed = kvetest::bitReversedModel(inputs[which], n);
            const kvetest::FixedFftResult expected = kvetest::fixedFftModel(reversed, n);
            GuardedVector buffer(2 * n, 1);
            for (int32_t i = 0; i < 2 * n; ++i)
                buffer[i] = kvetest::bitsOf(reversed[static_cast<size_t>(i)]);
            const int32_t exponent = kve_vecCfftFract32Wrapper(buffer.as<int32_t>(), n);
            EXPECT_EQ(exponent, expected.exponent) << "size " << n << " input " << which;
            for (int32_t i = 0; i < 2 * n; ++i)
                ASSERT_EQ(kvetest::intOf(buffer[i]), expected.data[static_cast<size_t>(i)])
                    << "size " << n << " input " << which << " word " << i;
            EXPECT_TRUE(guardsIntact(buffer)) << "size " << n << " input " << which;
            if (which == 1) {
                EXPECT_EQ(exponent, 0) << "size " << n << ": small words need no shift";
            }
        }
    }
}

TEST(FixedFft, ScaledByItsExponentStaysWithinBlockFloatingErrorOfNumpy)
{
    for (const NumpyCase &c : numpyCases()) {
        const int32_t n = c.n;
        std::vector<int32_t> x = c.input;
        kve_vecBitReversal(x.data(), 2 * n);
        const int32_t exponent = kve_vecCfftFract32Wrapper(x.data(), n);
        // Each stage drops what its shift and its products push below its last bit, rounding down, and the later
        // stages sum those errors over the points each bin gathers: they grow like the square root of the points,
        // to a few units of the final last bit times sqrt(N).
        const double unit = std::ldexp(1.0, exponent);
        const double tolerance = 5.0 * std::sqrt(static_cast<double>(n)) * unit;
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(std::ldexp(static_cast<double>(x[i]), exponent), c.spectrum[i], tolerance)
                << "size " << n << " word " << i << " exponent " << exponent;
    }
}

TEST(FixedFft, TwoPointsWithHeadroomAreNotShiftedAndAddTheNearlyUnitProduct)
{
    // b x 0x7FFFFFFF = 2^28 (1 - 2^-31), rounded down to 2^28 - 1.
    int32_t x[4] = {0x20000000, -0x08000000, 0x10000000, 0};
    EXPECT_EQ(kve_vecCfftFract32Wrapper(x, 2), 0);
    EXPECT_EQ(x[0], 0x2FFFFFFF);
    EXPECT_EQ(x[1], -0x08000000);
    EXPECT_EQ(x[2], 0x10000001);
    EXPECT_EQ(x[3], -0x08000000);
}

TEST(FixedFft, FullScaleWordMakesTheFirstStageShift)
{
    for (int32_t n : {2, 8, 64}) {
        for (int32_t word : {INT32_MAX, INT32_MIN, 0x40000000, -0x40000001}) {
            std::vector<int32_t> x(static_cast<size_t>(2 * n), 0);
            x[1] = word;
            const kvetest::FixedFftResult model = kvetest::fixedFftModel(x, n);
            const int32_t exponent = kve_vecCfftFract32Wrapper(x.data(), n);
            EXPECT_GE(exponent, 1) << "size " << n << " word " << word;
            EXPECT_EQ(exponent, model.exponent) << "size " << n << " word " << word;
            EXPECT_EQ(x, model.data) << "size " << n << " word " << word;
        }
    }
}

TEST(FixedFft, DerivesTheSizeFromNAloneWhateverShiftAndLogItIsGiven)
{
    std::vector<int32_t> x(64);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<int32_t>(i * 12345678u % 800000000u) - 400000000;
    std::vector<int32_t> viaWrapper = x;
    const int32_t expected = kve_vecCfftFract32Wrapper(viaWrapper.data(), 32);
    for (const auto &[shift, log2] : {std::pair{5, 5}, std::pair{0, 0}, std::pair{-3, 77}}) {
        std::vector<int32_t> y = x;
        EXPECT_EQ(kve_vecCfftFract32(32, shift, log2, y.data(), Twiddle_table_Cos, Twiddle_table_Sin), expected);
        EXPECT_EQ(y, viaWrapper) << "shift " << shift << " log2 " << log2;
    }
}

TEST(FixedFft, SizesOtherThanPowersOfTwoUpTo1024ReturnZeroAndLeaveTheData)
{
    for (int32_t n : {1, 3, 0, -2, 6, 1023, 2048}) {
        const int32_t count = n > 0 && n < 2048 ? 2 * n : 16;
        for (bool wrapper : {true, false}) {
            GuardedVector buffer(count, 1);
            for (int32_t i = 0; i < count; ++i)
                buffer[i] = i % 2 == 0 ? 0x7FFFFFFFu : 0x80000000u;
            const std::vector<uint32_t> before = buffer.words();
            const int32_t exponent =
                wrapper ? kve_vecCfftFract32Wrapper(buffer.as<int32_t>(), n)
                        : kve_vecCfftFract32(n, 0, 0, buffer.as<int32_t>(), Twiddle_table_Cos, Twiddle_table_Sin);
            EXPECT_EQ(exponent, 0) << "N " << n;
            EXPECT_EQ(buffer.words(), before) << "N " << n << (wrapper ? " through the wrapper" : "");
        }
    }
}

} // namespace
