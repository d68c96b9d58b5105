// The fixed-point datapath models at their limits, one hand-worked sample per case: where each accumulator
// saturates, where the multipliers wrap, what the output and state words hold. Values are in the units of the
// Fract32 word (2^-31) unless a case says otherwise.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kve/kve_vec.h"

namespace {

constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kMax = INT32_MAX;

int32_t word(uint32_t bits) { return static_cast<int32_t>(bits); }

using Kernel = void (*)(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, const int32_t *coeffs,
                        int32_t *state, int32_t postShiftB, int32_t postShiftA, int32_t n);

struct Case {
    const char *what;
    Kernel kernel;
    std::vector<int32_t> coeffs; // b0, b1, b2, a1, a2
    std::vector<int32_t> state;  // x[n-1], x[n-2], y[n-1], y[n-2] (A56: y as 64-bit words, low word first)
    int32_t shiftB, shiftA;
    int32_t x;
    int32_t expected;
    std::vector<int32_t> expectedState; // empty: not checked
};

const Kernel A56 = kve_vecBiquadFract24x24A56;
const Kernel A64 = kve_vecBiquadFract32x32A64;
const Kernel A32 = kve_vecBiquadFract32x32A32;
const Kernel A24 = kve_vecBiquadFract24x24A24;

const std::vector<int32_t> kZero4 = {0, 0, 0, 0};
const std::vector<int32_t> kZero6 = {0, 0, 0, 0, 0, 0};

const Case kCases[] = {
    // 32x32 A32
    {"A32: x1 b1 + x b0 saturates before the x2 b2 term joins (exact sum 0x7FFFFFFD)", A32,
     {kMax, kMax, kMin, 0, 0}, {kMax, kMax, 0, 0}, 0, 0, kMax, 0, {}},
    {"A32: the feed-forward shift saturates before the feedback joins", A32,
     {0x60000000, 0, 0, 0x40000000, 0}, {0, 0, kMax, 0}, 1, 0, kMax, 0x3FFFFFFF, {}},
    {"A32: b0 = 1 - 2^-31 scales a sample down, rounding toward minus infinity", A32,
     {kMax, 0, 0, 0, 0}, kZero4, 0, 0, 0x40000001, 0x40000000, {}},
    {"A32: a left shift by postShiftA saturates to 32 bits", A32,
     {0x40000000, 0, 0, 0, 0}, kZero4, 2, 2, 0x40000000, kMax, {}},

    // 32x32 A64
    {"A64: two large positive terms saturate at the 64-bit limit", A64,
     {kMax, kMax, 0, 0, 0}, {kMax, 0, 0, 0}, 0, 0, kMax, kMax, {}},
    {"A64: two large negative terms saturate at the 64-bit limit", A64,
     {kMax, kMax, 0, 0, 0}, {kMin, 0, 0, 0}, 0, 0, kMin, kMin, {}},
    {"A64: negative terms carry between the 32-bit halves (-2^31 + -2^31 units of 2^-63)", A64,
     {0x40000000, 0x40000000, 0, 0, 0}, {-1, 0, 0, 0}, 0, 0, -1, -1, {}},
    {"A64: the multiplier wraps -1.0 x -1.0 to -1.0", A64,
     {kMin, 0, 0, 0, 0}, kZero4, 0, 0, kMin, kMin, {}},
    {"A64: a left shift past the 64-bit headroom saturates by sign", A64,
     {0x100, 0, 0, 0, 0}, kZero4, 40, 40, -0x01000000, kMin, {}},
    {"A64: the output is the high word of the accumulator", A64,
     {0x40000000, 0, 0, 0, 0}, kZero4, 0, 0, 3, 1, {3, 3, 1, 1}},

    // 24x24 A24
    {"A24: the output is the 24-bit total in the top of the word", A24,
     {kMax, 0, 0, 0, 0}, kZero4, 0, 0, 0x12345678, 0x12345500, {}},
    {"A24: a right shift by postShiftA keeps the bits below the 24", A24,
     {0x40000000, 0, 0, 0, 0}, kZero4, -1, -1, 0x300, 0x80, {0x300, 0x300, 0x80, 0x80}},
    {"A24: the multiplier wraps -1.0 x -1.0 to -1.0", A24,
     {kMin, 0, 0, 0, 0}, kZero4, 0, 0, kMin, kMin, {}},
    {"A24: x1 b1 + x b0 saturates at 24 bits before the x2 b2 term joins", A24,
     {kMax, kMax, kMin, 0, 0}, {kMax, kMax, 0, 0}, 0, 0, kMax, 0, {}},
    {"A24: a left shift by postShiftA saturates to 24 bits", A24,
     {0x40000000, 0, 0, 0, 0}, kZero4, 2, 2, 0x40000000, 0x7FFFFF00, {}},

    // 24x24 A56
    {"A56: the y state holds the 48-bit total in units of 2^-47", A56,
     {0x40000000, 0, 0, 0, 0}, kZero6, 0, 0, 0x40000000, 0x20000000, {0x40000000, 0x40000000, 0, 0x2000, 0, 0x2000}},
    {"A56: output and y state saturate separately, at 32 and 48 bits", A56,
     {kMax, 0, 0, 0, 0}, kZero6, 8, 8, kMax, kMax, {kMax, kMax, -1, 0x7FFF, -1, 0x7FFF}},
    {"A56: the negative limits", A56,
     {kMax, 0, 0, 0, 0}, kZero6, 8, 8, kMin, kMin, {kMin, kMin, 0, word(0xFFFF8000), 0, word(0xFFFF8000)}},
    // 2^55 - 2^33 + 2^9 from the shifted feed-forward, + 2^47 - 2^24 - 1 clamps to 2^55 - 1, - (2^47 - 1) gives
    // 2^55 - 2^47, >> 8 gives 2^47 - 2^39. Without the clamp the output would be 0x7FFFFDFF.
    {"A56: the sum saturates at 56 bits after the first feedback term", A56,
     {kMax, 0, 0, -kMax, kMax}, {0, 0, -1, 0x7FFF, -1, 0x7FFF}, 0, -8, kMax, 0x7F800000,
     {kMax, 0, 0, 0x7F80, -1, 0x7FFF}},

    // Every model: zero stays zero under any left shift.
    {"A56: zero under a shift of 100", A56, {0, 0, 0, 0, 0}, kZero6, 100, 100, kMax, 0, {}},
    {"A64: zero under a shift of 100", A64, {0, 0, 0, 0, 0}, kZero4, 100, 100, kMax, 0, {}},
    {"A32: zero under a shift of 100", A32, {0, 0, 0, 0, 0}, kZero4, 100, 100, kMax, 0, {}},
    {"A24: zero under a shift of 100", A24, {0, 0, 0, 0, 0}, kZero4, 100, 100, kMax, 0, {}},
};

TEST(BiquadDatapathModels, SaturateWrapAndStoreAsTheirDatapathDoes)
{
    for (const Case &c : kCases) {
        std::vector<int32_t> state = c.state;
        int32_t y = 0x5A5A5A5A;
        c.kernel(&c.x, 1, &y, 1, c.coeffs.data(), state.data(), c.shiftB, c.shiftA, 1);
        EXPECT_EQ(y, c.expected) << c.what;
        if (!c.expectedState.empty()) {
            EXPECT_EQ(state, c.expectedState) << c.what;
        }
    }
}

// The two shifts are 16-bit counts: only the low 16 bits of each argument count, and their difference wraps to
// 16 bits too, so B = 0x7FFF with A = -1 moves the feed-forward sum right by 32768 places instead of left.
TEST(BiquadDatapathModels, ShiftCountsAreSixteenBitsWide)
{
    const int32_t coeffs[5] = {0x40000000, 0, 0, 0, 0};
    const int32_t x = 0x40000000;
    const struct {
        int32_t shiftB, shiftA, expected;
    } shifts[] = {{1, 1, 0x40000000}, {0x10001, 0x7FFF0001, 0x40000000}, {0x7FFF, -1, 0}};
    for (const Kernel k : {A56, A64, A32, A24}) {
        for (const auto &s : shifts) {
            int32_t state[6] = {};
            int32_t y = 0x5A5A5A5A;
            k(&x, 1, &y, 1, coeffs, state, s.shiftB, s.shiftA, 1);
            EXPECT_EQ(y, s.expected) << "shifts " << s.shiftB << " " << s.shiftA;
        }
    }
}

} // namespace
