// The converter's loop filter: its single-precision equations against a double-precision model, its direction
// (a writer running fast raises the read step, one running slow lowers it), and converters of one set each keeping
// their own filter state.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "Dsp/Asrc/AsrcConverter.h"
#include "Dsp/Fir/FirSignals.h"

namespace {

using kvetest::AsrcConverter;
using kvetest::AsrcSet;

constexpr uint32_t kPhases = 64, kTaps = 56, kLength = 1000;

AsrcSet &zeroTable()
{
    static AsrcSet set(kPhases, kTaps, std::vector<int32_t>((kPhases + 3) * kTaps, 0));
    return set;
}

// a0 x b0 + a1 x b1 + a2 x b2 + a3 x b3 in double precision, with the four terms' magnitudes beside it.
struct Sum {
    double value;
    double magnitude;
};
Sum sum4(double a0, double b0, double a1, double b1, double a2, double b2, double a3, double b3)
{
    return {std::fma(a3, b3, std::fma(a2, b2, std::fma(a1, b1, a0 * b0))),
            std::fabs(a0 * b0) + std::fabs(a1 * b1) + std::fabs(a2 * b2) + std::fabs(a3 * b3)};
}

// Each output of the filter against the same equations in double precision, from the state the converter held
// before the call: within the rounding of four single-precision products and sums.
TEST(AsrcLoopFilter, FollowsItsEquationsWithinSinglePrecisionRounding)
{
    AsrcConverter conv(zeroTable().props, kLength, 1);
    kvetest::FirRandom random(3);
    const double tolerance = 6 * 0x1p-24;
    for (int call = 0; call < 200; ++call) {
        qirn_asrc_write_zeros_Q31(&conv.state, static_cast<int32_t>(random.next() % 300));
        conv.state.readPosition = static_cast<int64_t>(random.next() % kLength) << 38;
        const auto n = static_cast<int32_t>(1 + random.next() % 256);
        const double slots = qirn_asrc_input_avail(&conv.state);
        const double x0 = conv.state.loopState[0], x1 = conv.state.loopState[1];
        const double integral = conv.state.integral;

        const int64_t step = qirn_asrc_regulate_fstep(&conv.state, n);
        EXPECT_EQ(step, conv.state.step);
        const double e = (0.5 * kLength - (kLength - slots)) / n;
        EXPECT_NEAR(conv.state.integral, integral + e, (std::fabs(integral) + 2 * std::fabs(e)) * 0x1p-23)
            << "call " << call;
        const double i = conv.state.integral;
        const double newX0 = conv.state.loopState[0], newX1 = conv.state.loopState[1];
        const Sum m0 = sum4(kvetest::kLoopA[0], x0, kvetest::kLoopA[1], x1, kvetest::kLoopB[0], e,
                            kvetest::kLoopB[1], i);
        const Sum m1 = sum4(kvetest::kLoopA[2], newX0, kvetest::kLoopA[3], x1, kvetest::kLoopB[2], e,
                            kvetest::kLoopB[3], i);
        const Sum y = sum4(kvetest::kLoopC[0], newX0, kvetest::kLoopC[1], newX1, kvetest::kLoopD[0], e,
                           kvetest::kLoopD[1], i);
        EXPECT_NEAR(newX0, m0.value, tolerance * m0.magnitude) << "call " << call;
        EXPECT_NEAR(newX1, m1.value, tolerance * m1.magnitude) << "call " << call;
        EXPECT_NEAR(static_cast<double>(step), std::ldexp(y.value, 38), std::ldexp(tolerance * y.magnitude, 38) + 1)
            << "call " << call;
    }
}

// With the ring half full the stored state holds about the nominal step; over one second a writer slightly faster
// than the reader (one frame in 192 more) raises the step above it, one slightly slower lowers it below.
TEST(AsrcLoopFilter, ReadStepFollowsTheWritersRate)
{
    constexpr int32_t kBlock = 48;
    const int64_t nominal = int64_t{kPhases} << 32;
    auto run = [](int32_t extra) {
        AsrcConverter conv(zeroTable().props, 4096, 1);
        qirn_asrc_write_zeros_Q31(&conv.state, 2048);
        std::vector<int32_t> out(kBlock);
        for (int32_t block = 0; block < 1000; ++block) {
            qirn_asrc_write_zeros_Q31(&conv.state, kBlock + (block % 4 == 0 ? extra : 0));
            EXPECT_EQ(qirn_asrc_read_output_linear_Q31(&conv.state, out.data(), kBlock), 0);
        }
        return conv.state.step;
    };
    const int64_t fast = run(1), balanced = run(0), slow = run(-1);
    EXPECT_GT(fast, nominal);
    EXPECT_GT(fast, balanced + (nominal >> 13));
    EXPECT_LT(slow, nominal);
    EXPECT_LT(slow, balanced - (nominal >> 13));
    EXPECT_NEAR(static_cast<double>(balanced), static_cast<double>(nominal), std::ldexp(nominal, -10));
}

// Converters built from one set start from its stored state and then each keep their own: regulating one leaves the
// other, and the set, as they were. Reset keeps a converter's filter state, integral and step.
TEST(AsrcLoopFilter, ConvertersOfOneSetKeepTheirOwnState)
{
    AsrcSet &set = zeroTable();
    AsrcConverter busy(set.props, kLength, 1), idle(set.props, kLength, 1), fresh(set.props, kLength, 1);
    EXPECT_EQ(busy.state.regState, busy.state.loopState);
    for (int call = 0; call < 50; ++call)
        qirn_asrc_regulate_fstep(&busy.state, 1);
    EXPECT_NE(busy.state.loopState[0], kvetest::kLoopStart[0]);
    EXPECT_EQ(set.regState[0], kvetest::kLoopStart[0]);
    EXPECT_EQ(set.regState[1], kvetest::kLoopStart[1]);
    EXPECT_EQ(idle.state.loopState[0], kvetest::kLoopStart[0]);
    EXPECT_EQ(idle.state.loopState[1], kvetest::kLoopStart[1]);
    EXPECT_EQ(idle.state.integral, kvetest::kIntegratorStart);

    EXPECT_EQ(qirn_asrc_regulate_fstep(&idle.state, 7), qirn_asrc_regulate_fstep(&fresh.state, 7));
    EXPECT_EQ(idle.state.loopState[0], fresh.state.loopState[0]);
    EXPECT_EQ(idle.state.loopState[1], fresh.state.loopState[1]);

    const qirn_asrc_state before = busy.state;
    qirn_asrc_write_zeros_Q31(&busy.state, 10);
    qirn_asrc_reset_Q31(&busy.state);
    EXPECT_EQ(busy.state.loopState[0], before.loopState[0]);
    EXPECT_EQ(busy.state.loopState[1], before.loopState[1]);
    EXPECT_EQ(busy.state.integral, before.integral);
    EXPECT_EQ(busy.state.step, before.step);
    EXPECT_EQ(busy.state.writeIndex, 0u);
}

} // namespace
