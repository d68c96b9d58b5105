// SofV2HpFract32: the numerator and denominator shifts that bring every coefficient into Q1.31, the settled response
// through the 24-bit datapath against the cookbook designs, and the restart of the running words when a new design
// moves a shift (while a design under the same shifts glides on from where the words stand).
#include "ToneTestSupport.h"

namespace tonetest {
namespace {

// Variables of the class.
constexpr uint32_t kFilterType = 0, kFreq = 1, kGain = 2, kQ = 3, kFlag = 5, kCoefficient = 6, kNumShift = 7,
                   kDenShift = 8, kTargets = 9, kRunning = 10;

std::vector<uint32_t> v2Args(const Section &s, float smoothingTime)
{
    return {i(s.type), f(s.freq), f(s.gain), f(s.Q), f(smoothingTime), i(0), i(0), i(0), i(0)};
}

// The datapath keeps 24 bits of every coefficient and input word; with a pole near the unit circle that makes
// output errors of some 1e-5 of full scale. A coefficient held at -1.0 or a lost shift shows as 1e-1 and more.
constexpr double kDatapathTolerance = 1e-4;

TEST_F(Tone, SofV2HpShiftsEveryCoefficientIntoRangeAndFiltersAsItsDesign)
{
    struct Case {
        const char *what;
        Section section;
        int32_t numShift, denShift; // expected, where the case fixes them
    } cases[] = {
        // |b1| and |a1| near 1.9: each needs a shift of 1 to fit.
        {"peaking 1 kHz +6 dB Q 2", {12, 1000.0f, 6.0f, 2.0f}, 1, 1},
        // b0 near 2 with b1 = b2 = 0: the numerator still needs a shift of 1.
        {"plain gain +6 dB", {1, 0.0f, 6.0f, 0.0f}, 1, 0},
        {"low shelf 300 Hz +9 dB Q 0.8", {9, 300.0f, 9.0f, 0.8f}, 1, 1},
        {"lowpass 2 kHz Q 0.7", {21, 2000.0f, 0.0f, 0.7f}, INT32_MIN, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ClassModule *m = build(kSofV2HpFract32, 0x101, {wire(2, kBlock), wire(2, kBlock)}, v2Args(c.section, 2.0f));
        ASSERT_NE(m, nullptr);
        if (c.numShift != INT32_MIN) {
            EXPECT_EQ(var<int32_t>(m, kNumShift), c.numShift);
        }
        EXPECT_EQ(var<int32_t>(m, kDenShift), c.denShift);
        settle(m, 100);
        const std::vector<float> x = noise(4 * kBlock * 2, 0.25f, 5);
        EXPECT_LT(worstError(run(m, toWords(x)), cookbook(2, {c.section}, x), kFullScale), kDatapathTolerance);
    }
}

TEST_F(Tone, SofV2HpRestartsRunningWordsWhenAShiftMovesAndGlidesOnWhenNot)
{
    // A plain gain of -6 dB needs no shift at all.
    ClassModule *m =
        build(kSofV2HpFract32, 0x101, {wire(2, kBlock), wire(2, kBlock)}, v2Args({1, 0.0f, -6.0f, 0.0f}, 10.0f));
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(var<int32_t>(m, kNumShift), 0);
    ASSERT_EQ(var<int32_t>(m, kDenShift), 0);
    settle(m, 50);
    EXPECT_NE(array<int32_t>(m, kRunning)[0], 0);

    // A peaking design moves both shifts to 1: the running words start again from zero.
    var<int32_t>(m, kFilterType) = 12;
    var(m, kFreq) = 1000.0f;
    var(m, kGain) = 6.0f;
    var(m, kQ) = 2.0f;
    ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
    EXPECT_EQ(var<int32_t>(m, kNumShift), 1);
    EXPECT_EQ(var<int32_t>(m, kDenShift), 1);
    for (uint32_t w = 0; w < 5; ++w)
        EXPECT_EQ(array<int32_t>(m, kRunning)[w], 0) << "word " << w;

    // A nearby frequency keeps both shifts: the words stay, and the next block glides on from them.
    settle(m, 5);
    std::vector<int32_t> held(array<int32_t>(m, kRunning), array<int32_t>(m, kRunning) + 5);
    var(m, kFreq) = 1100.0f;
    ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
    ASSERT_EQ(var<int32_t>(m, kNumShift), 1);
    ASSERT_EQ(var<int32_t>(m, kDenShift), 1);
    ASSERT_EQ(var<int32_t>(m, kFlag), 1);
    for (uint32_t w = 0; w < 5; ++w)
        EXPECT_EQ(array<int32_t>(m, kRunning)[w], held[w]) << "word " << w;
    settle(m, 1);
    const int32_t k = var<int32_t>(m, kCoefficient);
    for (uint32_t w = 0; w < 5; ++w)
        EXPECT_EQ(array<int32_t>(m, kRunning)[w], glidedWord(held[w], array<int32_t>(m, kTargets)[w], k))
            << "word " << w;
}

} // namespace
} // namespace tonetest
