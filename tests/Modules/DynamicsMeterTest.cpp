// The meters and clip indicators: peak envelopes per channel, per sample or per block.
#include <cmath>
#include <cstdint>
#include <string>

#include "Modules/DynamicsTestSupport.h"
#include "support/PythonOracle.h"

namespace dynamicstest {
namespace {

class Meters : public Dynamics {
protected:
    // meterType, attackTime, releaseTime, then the coefficients.
    ClassModule *meter(uint32_t id, GenericWire *in, GenericWire *work, int32_t type, float attack, float release)
    {
        ClassModule *m = build(id, io(1, 1), {in, work},
                               {static_cast<uint32_t>(type), argOf(attack), argOf(release), 0, 0});
        EXPECT_NE(m, nullptr);
        EXPECT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
        return m;
    }
};

// Coefficient of a time constant of t ms, stepping n samples at a time.
double coeffOf(double timeMs, double n = 1.0) { return 1.0 - std::exp(-1000.0 * n / (timeMs * kRate)); }

// Types 0..2 write their standard times and use the standard attacks; other types keep the host's times and use
// 0.434 of them. Bit 4 makes the steps per block.
TEST_F(Meters, TypesWriteStandardTimesAndDeriveTheirCoefficients)
{
    struct Case {
        uint32_t id;
        int32_t type;
        float attackWritten, releaseWritten;
        double attackUsed;
        double stepSamples;
    };
    const Case cases[] = {
        {0xBEEF086Bu, 0, 5.0f, 1087.0f, 2.17, 1.0},        {0xBEEF089Du, 0, 0.5f, 1087.0f, 0.217, 1.0},
        {0xBEEF086Bu, 1, 10.0f, 1450.0f, 4.34, 1.0},       {0xBEEF089Du, 2, 65.0f, 65.0f, 28.21, 1.0},
        {0xBEEF086Bu, 3, 20.0f, 300.0f, 20.0 * 0.434, 1.0}, {0xBEEF086Bu, 16 | 2, 65.0f, 65.0f, 28.21, 32.0},
        {0xBEEF089Du, 16 | 7, 20.0f, 300.0f, 20.0 * 0.434, 32.0},
    };
    for (const Case &c : cases) {
        GenericWire *in = wire(1, 32);
        GenericWire *work = wire(1, 32);
        ClassModule *m = meter(c.id, in, work, c.type, 20.0f, 300.0f);
        EXPECT_EQ(var(m, 1), c.attackWritten) << c.type;
        EXPECT_EQ(var(m, 2), c.releaseWritten) << c.type;
        const double attack = coeffOf(c.attackUsed, c.stepSamples);
        const double release = coeffOf(c.releaseWritten * 0.434, c.stepSamples);
        // Single-precision 1 − exp(−x) of a small x keeps about three digits.
        if (c.id == 0xBEEF086Bu) {
            EXPECT_NEAR(var(m, 3), attack, 1e-3 * attack) << c.type;
            EXPECT_NEAR(var(m, 4), release, 1e-3 * release) << c.type;
        } else {
            EXPECT_NEAR(var<int32_t>(m, 3), attack * 2147483648.0, 1e-3 * attack * 2147483648.0) << c.type;
            EXPECT_NEAR(var<int32_t>(m, 4), release * 2147483648.0, 1e-3 * release * 2147483648.0) << c.type;
        }
    }
}

// Per-sample ballistics against one-pole filters: a step up rides the attack pole, the fall after it the release
// pole; every channel keeps its own value.
TEST_F(Meters, PerSampleEnvelopeFollowsTheAttackThenReleasePoles)
{
    GenericWire *in = wire(2, 24);
    GenericWire *work = wire(1, 24);
    ClassModule *m = meter(0xBEEF086Bu, in, work, 0, 0.0f, 0.0f);
    for (uint32_t i = 0; i < 48; ++i)
        data(in)[i] = (i % 2 == 0) ? 0.5f : 0.0f;
    pump(m);
    fill(in, 0.0f);
    pump(m);
    const std::vector<double> ref = kvetest::runOracle(
        "dynamics_modules_meter.py", {"step", "2.17", kvetest::oracleArg(1087.0 * 0.434), "48000", "0.5", "24", "24"});
    ASSERT_EQ(ref.size(), 48u);
    // The work wire holds channel 1's envelope of the second block last: silence throughout.
    EXPECT_EQ(data(work)[23], 0.0f);
    EXPECT_EQ(array(m, 5)[1], 0.0f);
    EXPECT_NEAR(array(m, 5)[0], ref[47], 1e-6);
    // Replay the first block into the work wire through a fresh meter to see every sample of channel 0.
    GenericWire *mono = wire(1, 24);
    GenericWire *monoWork = wire(1, 24);
    ClassModule *n = meter(0xBEEF086Bu, mono, monoWork, 0, 0.0f, 0.0f);
    fill(mono, 0.5f);
    pump(n);
    for (uint32_t k = 0; k < 24; ++k)
        EXPECT_NEAR(data(monoWork)[k], ref[k], 1e-6 + 1e-5 * ref[k]) << k;
    fill(mono, 0.0f);
    pump(n);
    for (uint32_t k = 0; k < 24; ++k)
        EXPECT_NEAR(data(monoWork)[k], ref[24 + k], 1e-6 + 1e-5 * ref[24 + k]) << k;
}

// Per-block ballistics: the value steps once per block toward the block's peak magnitude.
TEST_F(Meters, PerBlockValueStepsTowardEachBlocksPeak)
{
    GenericWire *in = wire(1, 32);
    GenericWire *work = wire(1, 32);
    ClassModule *m = meter(0xBEEF086Bu, in, work, 16 | 3, 10.0f, 100.0f);
    const double a = coeffOf(4.34, 32.0);
    const double r = coeffOf(43.4, 32.0);
    double v = 0.0;
    for (float peak : {-0.8f, 0.3f, 0.0f}) {
        fill(in, 0.0f);
        data(in)[7] = peak;
        pump(m);
        const double p = std::fabs(peak);
        const double k = p > v ? a : r;
        v = k * p + (1.0 - k) * v;
        EXPECT_NEAR(array(m, 5)[0], v, 1e-6) << peak;
    }
}

TEST_F(Meters, WiringWithoutAWorkWireIsRefused)
{
    for (uint32_t id : {0xBEEF086Bu, 0xBEEF089Du}) {
        GenericWire *in = wire(1, 8);
        int32_t status = KVE_OK;
        EXPECT_EQ(build(id, io(1, 0), {in}, {0, 0, 0, 0, 0}, &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
}

// Fract32 per-block envelope against the integer model ((k·m) >> 31) + (((0x7FFFFFFF − k)·v) >> 31), saturated.
int32_t followModel(int32_t v, int32_t peak, int32_t attack, int32_t release)
{
    const int64_t k = peak > v ? attack : release;
    return static_cast<int32_t>(std::clamp<int64_t>(((k * peak) >> 31) + (((INT32_MAX - k) * v) >> 31), INT32_MIN,
                                                    INT32_MAX));
}

TEST_F(Meters, Fract32PerBlockValueMatchesTheIntegerModel)
{
    GenericWire *in = wire(2, 16);
    GenericWire *work = wire(1, 16);
    ClassModule *m = meter(0xBEEF089Du, in, work, 16 | 1, 0.0f, 0.0f);
    int32_t v[2] = {0, 0};
    const int32_t peaks[][2] = {{INT32_MIN, 0x20000000}, {0x10000000, -0x30000000}, {0, 0}};
    for (const auto &p : peaks) {
        fill(in, 0);
        data<int32_t>(in)[2 * 5] = p[0];
        data<int32_t>(in)[2 * 9 + 1] = p[1];
        pump(m);
        for (int c = 0; c < 2; ++c) {
            v[c] = followModel(v[c], p[c] == INT32_MIN ? INT32_MAX : std::abs(p[c]), var<int32_t>(m, 3),
                               var<int32_t>(m, 4));
            EXPECT_EQ(array<int32_t>(m, 5)[c], v[c]) << c;
        }
    }
}

class ClipIndicators : public Dynamics {};

// The envelope steps per block toward each block's peak; a channel is clipped while its envelope is above the
// threshold (−6 dB).
TEST_F(ClipIndicators, ChannelsAreClippedWhileTheirEnvelopeIsAboveThreshold)
{
    GenericWire *in = wire(2, 32);
    ClassModule *m = build(0xBEEF086Au, io(1, 0), {in}, {argOf(-6.0f), argOf(1.0f), argOf(50.0f), 0, 0, 0});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
    EXPECT_NEAR(var(m, 3), std::pow(10.0, -6.0 / 20.0), 1e-6);
    const double a = coeffOf(1.0, 32.0);
    const double r = coeffOf(50.0, 32.0);
    double env[2] = {0.0, 0.0};
    const float peaks[][2] = {{0.9f, 0.3f}, {0.0f, 0.3f}, {0.0f, 0.0f}, {0.0f, 0.0f}};
    for (const auto &p : peaks) {
        fill(in, 0.0f);
        data(in)[2 * 3] = -p[0];
        data(in)[2 * 20 + 1] = p[1];
        pump(m);
        for (int c = 0; c < 2; ++c) {
            const double k = p[c] > env[c] ? a : r;
            env[c] = k * p[c] + (1.0 - k) * env[c];
            EXPECT_NEAR(array(m, 6)[c], env[c], 1e-6) << c;
            EXPECT_EQ(array<int32_t>(m, 7)[c], env[c] > std::pow(10.0, -0.3) ? 1 : 0) << c << " " << env[c];
        }
    }
}

TEST_F(ClipIndicators, Fract32EnvelopeMatchesTheIntegerModel)
{
    GenericWire *in = wire(1, 16);
    ClassModule *m = build(0xBEEF088Au, io(1, 0), {in}, {argOf(-1.0f), argOf(1.0f), argOf(20.0f), 0, 0, 0});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
    EXPECT_NEAR(var<int32_t>(m, 3), std::pow(10.0, -1.0 / 20.0) * 2147483648.0, 256.0);
    int32_t v = 0;
    for (int32_t peak : {INT32_MIN, INT32_MIN, 0x40000000, 0}) {
        fill(in, 0);
        data<int32_t>(in)[3] = peak;
        pump(m);
        v = followModel(v, peak == INT32_MIN ? INT32_MAX : std::abs(peak), var<int32_t>(m, 4), var<int32_t>(m, 5));
        EXPECT_EQ(array<int32_t>(m, 6)[0], v);
        EXPECT_EQ(array<int32_t>(m, 7)[0], v > var<int32_t>(m, 3) ? 1 : 0);
    }
}

} // namespace
} // namespace dynamicstest
