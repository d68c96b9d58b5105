// The balance modules: equal-power pan gains of a balance position, glides of each side against the one-pole closed
// form, the Fract32 twin word for word against an integer model of its per-channel glides, and the right side that
// runs for the left wire's block without leaving its own wires.
#include "FaderTestSupport.h"

#include <numbers>

namespace fadertest {
namespace {

// Variables in member order.
enum : uint32_t { kBalancePos, kTime, kCurrentLeft, kCurrentRight, kCoeff, kTargetLeft, kTargetRight };

using Balance = Faders;

TEST_F(Balance, PositionsGiveEqualPowerGainsToEachSide)
{
    struct Case {
        float balance;
        double left, right; // cos and sin of (balance + 1) pi / 4
    } cases[] = {
        {-1.0f, 1.0, 0.0},
        {0.0f, std::sqrt(0.5), std::sqrt(0.5)},
        {1.0f, 0.0, 1.0},
        {0.5f, std::cos(3 * std::numbers::pi / 8), std::sin(3 * std::numbers::pi / 8)},
        {-0.25f, std::cos(3 * std::numbers::pi / 16), std::sin(3 * std::numbers::pi / 16)},
    };
    GenericWire *w[4] = {wire(1, 8), wire(1, 8), wire(1, 8), wire(1, 8)};
    for (const Case &c : cases) {
        const std::initializer_list<uint32_t> args = {bitsOf(c.balance), bitsOf(2.0f), 0, 0, 0, 0, 0};
        ClassModule *f = build(kBalance, 0x202, {w[0], w[1], w[2], w[3]}, args);
        ClassModule *q = build(kBalanceFract32, 0x202, {w[0], w[1], w[2], w[3]}, args);
        ASSERT_NE(f, nullptr);
        ASSERT_NE(q, nullptr);
        EXPECT_NEAR(var(f, kTargetLeft), c.left, 1e-7) << "balance " << c.balance;
        EXPECT_NEAR(var(f, kTargetRight), c.right, 1e-7) << "balance " << c.balance;
        // The twin holds the same gains in Q1.31.
        EXPECT_EQ(var<int32_t>(q, kTargetLeft), q31(var(f, kTargetLeft))) << "balance " << c.balance;
        EXPECT_EQ(var<int32_t>(q, kTargetRight), q31(var(f, kTargetRight))) << "balance " << c.balance;
    }
    // The centre is exactly the single-precision 1/sqrt(2) on both sides; the ends are one side only.
    ClassModule *centre = build(kBalance, 0x202, {w[0], w[1], w[2], w[3]}, {0, bitsOf(2.0f), 0, 0, 0, 0, 0});
    EXPECT_EQ(var(centre, kTargetLeft), 0.70710677f);
    EXPECT_EQ(var(centre, kTargetRight), 0.70710677f);
    ClassModule *left = build(kBalance, 0x202, {w[0], w[1], w[2], w[3]}, {bitsOf(-1.0f), 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(var(left, kTargetLeft), 1.0f);
    EXPECT_EQ(var(left, kTargetRight), 0.0f);
}

TEST_F(Balance, EachSideGlidesTowardItsGainAcrossBlocks)
{
    // Left: two channels held at 1 and -2, starting silent; right: one channel held at 3, starting at full gain.
    // Balance -1 sends the left side up to 1 and the right side down to 0.
    const double a = stepOf(2.0);
    GenericWire *leftIn = wire(2, 16);
    GenericWire *rightIn = wire(1, 16);
    GenericWire *leftOut = wire(2, 16);
    GenericWire *rightOut = wire(1, 16);
    for (uint32_t t = 0; t < 16; ++t) {
        data(leftIn)[2 * t] = 1.0f;
        data(leftIn)[2 * t + 1] = -2.0f;
        data(rightIn)[t] = 3.0f;
    }
    ClassModule *m = build(kBalance, 0x202, {leftIn, rightIn, leftOut, rightOut},
                           {bitsOf(-1.0f), bitsOf(2.0f), 0, bitsOf(1.0f), 0, 0, 0});
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(var(m, kCoeff), a, 1e-7);
    for (int block = 0; block < 2; ++block) {
        pump(m);
        for (uint32_t t = 0; t < 16; ++t) {
            const int k = block * 16 + static_cast<int>(t) + 1;
            EXPECT_NEAR(data(leftOut)[2 * t], glide(0.0, 1.0, a, k), 2e-6) << "sample " << k;
            EXPECT_NEAR(data(leftOut)[2 * t + 1], -2.0 * glide(0.0, 1.0, a, k), 4e-6) << "sample " << k;
            EXPECT_NEAR(data(rightOut)[t], 3.0 * glide(1.0, 0.0, a, k), 6e-6) << "sample " << k;
        }
    }
    EXPECT_NEAR(var(m, kCurrentLeft), glide(0.0, 1.0, a, 32), 2e-6);
    EXPECT_NEAR(var(m, kCurrentRight), glide(1.0, 0.0, a, 32), 2e-6);
}

TEST_F(Balance, Fract32SidesRestartEveryChannelFromTheStoredGain)
{
    // Left two channels, right three; both sides glide for two blocks from their own start gains.
    GenericWire *leftIn = wire(2, 12);
    GenericWire *rightIn = wire(3, 12);
    GenericWire *leftOut = wire(2, 12);
    GenericWire *rightOut = wire(3, 12);
    const int32_t startLeft = 0x20000000;
    const int32_t startRight = kMin;
    ClassModule *m = build(kBalanceFract32, 0x202, {leftIn, rightIn, leftOut, rightOut},
                           {bitsOf(0.5f), bitsOf(0.5f), static_cast<uint32_t>(startLeft),
                            static_cast<uint32_t>(startRight), 0, 0, 0});
    ASSERT_NE(m, nullptr);
    const int32_t a = var<int32_t>(m, kCoeff);
    EXPECT_NEAR(a, q31(stepOf(0.5)), 64.0);
    const int32_t targetLeft = var<int32_t>(m, kTargetLeft);
    const int32_t targetRight = var<int32_t>(m, kTargetRight);
    int32_t gainLeft = startLeft;
    int32_t gainRight = startRight;
    for (uint32_t block = 0; block < 2; ++block) {
        const std::vector<int32_t> left = testWords(24, block);
        const std::vector<int32_t> right = testWords(36, 7 + block);
        put(leftIn, left);
        put(rightIn, right);
        pump(m);
        EXPECT_EQ(get(leftOut), modelGlide(left, 2, 12, gainLeft, targetLeft, a, &gainLeft)) << "block " << block;
        EXPECT_EQ(get(rightOut), modelGlide(right, 3, 12, gainRight, targetRight, a, &gainRight)) << "block " << block;
        EXPECT_EQ(var<int32_t>(m, kCurrentLeft), gainLeft);
        EXPECT_EQ(var<int32_t>(m, kCurrentRight), gainRight);
    }
}

TEST_F(Balance, RightSideRunsForTheLeftBlockInsideItsOwnWires)
{
    // The right side takes its block size from the left input: a longer right wire keeps its tail, a shorter one (or
    // a shorter output) is never run past, and the wire after it keeps its record.
    struct Case {
        const char *what;
        uint32_t rightInBlock, rightOutBlock, written;
    } cases[] = {
        {"right wires longer than the left block", 16, 16, 8},
        {"right input shorter than the left block", 4, 16, 4},
        {"right output shorter than the left block", 16, 4, 4},
    };
    for (uint32_t classId : {kBalance, kBalanceFract32}) {
        for (const Case &c : cases) {
            GenericWire *leftIn = wire(1, 8);
            GenericWire *rightIn = wire(1, c.rightInBlock);
            GenericWire *leftOut = wire(1, 8);
            GenericWire *rightOut = wire(1, c.rightOutBlock);
            GenericWire *after = wire(1, 4);
            const uint32_t afterInfo = after->info1;
            ramp(rightIn, 1.0f);
            fill(rightOut, kSentinel);
            fill(after, kSentinel);
            ClassModule *m = build(classId, 0x202, {leftIn, rightIn, leftOut, rightOut},
                                   {bitsOf(1.0f), 0, 0, classId == kBalance ? bitsOf(1.0f) : 0x7FFFFFFFu, 0, 0, 0});
            ASSERT_NE(m, nullptr) << c.what;
            pump(m);
            for (uint32_t t = 0; t < c.rightOutBlock; ++t) {
                if (t < c.written)
                    EXPECT_NE(data(rightOut)[t], kSentinel) << c.what << ": frame " << t;
                else
                    EXPECT_EQ(data(rightOut)[t], kSentinel) << c.what << ": frame " << t;
            }
            EXPECT_EQ(after->guard, KVE_GUARD_WORD) << c.what;
            EXPECT_EQ(after->info1, afterInfo) << c.what;
            for (uint32_t t = 0; t < 4; ++t)
                EXPECT_EQ(data(after)[t], kSentinel) << c.what;
        }
    }
}

} // namespace
} // namespace fadertest
