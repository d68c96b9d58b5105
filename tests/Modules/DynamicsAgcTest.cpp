// The AGC core and the noise gate core: gain targets from the input's energy level, and the per-sample glide.
#include <cmath>
#include <cstdint>

#include "Modules/DynamicsTestSupport.h"

namespace dynamicstest {
namespace {

class AgcCores : public Dynamics {
protected:
    // A square wave of level dB as 10·log10 of its mean square.
    static void level(GenericWire *w, double dB)
    {
        const double a = std::pow(10.0, dB / 20.0);
        for (uint32_t i = 0; i < kve::kit::wireWords(w); ++i)
            static_cast<float *>(w->buffer)[i] = static_cast<float>(i % 2 ? a : -a);
    }
    // targetLevel, maxAttenuation, maxGain, ratio, activationThreshold, smoothingTime, enableRecovery, recoveryRate.
    ClassModule *agc(GenericWire *in, GenericWire *out, float target, float maxAtt, float maxGain, float ratio,
                     float activation, uint32_t recovery, float rate)
    {
        std::vector<uint32_t> a = {argOf(target), argOf(maxAtt),    argOf(maxGain), argOf(ratio),
                                   argOf(activation), argOf(0.01f), recovery,       argOf(rate)};
        a.resize(17, 0);
        ClassModule *m = build(0xBEEF0802u, io(1, 1), {in, out}, a);
        EXPECT_NE(m, nullptr);
        EXPECT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
        return m;
    }
};

// Above the activation threshold the gain is (targetLevel − level)·(1 − 1/ratio) dB, within −maxAttenuation and
// maxGain; a ratio of 1 regulates nothing.
TEST_F(AgcCores, GainMovesTheLevelTowardTheTargetWithinItsLimits)
{
    struct Case {
        double levelDb, target, maxAtt, maxGain, ratio, expectedDb;
    };
    const Case cases[] = {
        {-30.0, -20.0, 20.0, 20.0, 2.0, 5.0},  {-10.0, -20.0, 20.0, 20.0, 4.0, -7.5},
        {-50.0, -20.0, 20.0, 6.0, 10.0, 6.0},  {0.0, -20.0, 3.0, 20.0, 10.0, -3.0},
        {-40.0, -20.0, 20.0, 20.0, 1.0, 0.0},
    };
    for (const Case &c : cases) {
        GenericWire *in = wire(2, 32);
        GenericWire *out = wire(1, 32);
        level(in, c.levelDb);
        ClassModule *m = agc(in, out, float(c.target), float(c.maxAtt), float(c.maxGain), float(c.ratio), -60.0f, 0,
                             0.0f);
        for (int k = 0; k < 4; ++k)
            pump(m);
        EXPECT_NEAR(20.0 * std::log10(var(m, 14)), c.expectedDb, 1e-3) << c.levelDb << " " << c.ratio;
        EXPECT_NEAR(data(out)[31], var(m, 14), 1e-4 * var(m, 14)) << c.levelDb;
    }
}

// Below the activation threshold: with recovery off the gain holds; with recovery on a closed gain restarts from
// 1e-6 and rises by recoveryRate·block/rate dB per block, and a gain above unity falls by as much.
TEST_F(AgcCores, QuietInputHoldsOrRecoversTheGain)
{
    GenericWire *in = wire(1, 48);
    GenericWire *out = wire(1, 48);
    level(in, -90.0);
    ClassModule *held = agc(in, out, -20.0f, 20.0f, 20.0f, 2.0f, -60.0f, 0, 100.0f);
    var(held, 14) = 0.5f;
    pump(held);
    pump(held);
    EXPECT_EQ(var(held, 14), 0.5f);

    ClassModule *rising = agc(in, out, -20.0f, 20.0f, 20.0f, 2.0f, -60.0f, 1, 100.0f);
    const double stepDb = 48.0 * 100.0 / kRate; // 0.1 dB per block
    var(rising, 14) = 0.0f;
    for (int k = 1; k <= 3; ++k) {
        pump(rising);
        EXPECT_NEAR(var(rising, 14), 1e-6 * std::pow(10.0, k * stepDb / 20.0), 1e-11) << k;
    }
    var(rising, 14) = 2.0f;
    pump(rising);
    EXPECT_NEAR(var(rising, 14), 2.0 * std::pow(10.0, -stepDb / 20.0), 1e-6);
}

// Silence reads as the −379.3 dB floor, below any activation threshold, never as a NaN level.
TEST_F(AgcCores, SilenceReadsAsTheFloor)
{
    GenericWire *in = wire(1, 16);
    GenericWire *out = wire(1, 16);
    fill(in, 0.0f);
    ClassModule *m = agc(in, out, -20.0f, 20.0f, 20.0f, 2.0f, -300.0f, 0, 0.0f);
    var(m, 14) = 0.25f;
    pump(m);
    EXPECT_EQ(var(m, 14), 0.25f);
    ClassModule *regulating = agc(in, out, -20.0f, 20.0f, 20.0f, 2.0f, -400.0f, 0, 0.0f);
    pump(regulating);
    EXPECT_NEAR(var(regulating, 14), std::pow(10.0, 20.0 / 20.0), 1e-4);
}

class NoiseGate : public AgcCores {
protected:
    ClassModule *gate(GenericWire *in, GenericWire *out)
    {
        std::vector<uint32_t> a = {argOf(-30.0f), argOf(5.0f), argOf(0.001f), argOf(0.001f), argOf(1.0f)};
        a.resize(15, 0);
        ClassModule *m = build(0xBEEF0803u, io(1, 1), {in, out}, a);
        EXPECT_NE(m, nullptr);
        EXPECT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
        return m;
    }
};

// Thresholds −35 and −25 dB: the gate opens above the upper one, closes below the lower one, and between them keeps
// what it was.
TEST_F(NoiseGate, OpensAndClosesWithHysteresis)
{
    GenericWire *in = wire(1, 32);
    GenericWire *out = wire(1, 32);
    ClassModule *m = gate(in, out);
    EXPECT_NEAR(var(m, 6), std::pow(10.0, -3.5), 1e-9);
    EXPECT_NEAR(var(m, 7), std::pow(10.0, -2.5), 1e-8);
    const struct {
        double levelDb;
        int32_t closed;
    } steps[] = {{-20.0, 0}, {-30.0, 0}, {-40.0, 1}, {-30.0, 1}, {-20.0, 0}};
    for (const auto &s : steps) {
        level(in, s.levelDb);
        pump(m);
        EXPECT_EQ(var<int32_t>(m, 5), s.closed) << s.levelDb;
        EXPECT_EQ(var(m, 11), s.closed ? 0.0f : 1.0f) << s.levelDb;
    }
}

// The gain glides toward its target one step per sample: g_k = target + (g_0 − target)·(1 − a)^k.
TEST_F(NoiseGate, GainGlidesSampleBySample)
{
    GenericWire *in = wire(1, 32);
    GenericWire *out = wire(1, 32);
    ClassModule *m = gate(in, out);
    level(in, -10.0);
    pump(m);
    const double a = 1.0 - std::exp(-1000.0 / (1.0 * kRate));
    EXPECT_NEAR(var(m, 10), a, 1e-6);
    for (uint32_t k = 0; k < 32; ++k)
        EXPECT_NEAR(data(out)[k], 1.0 - std::pow(1.0 - a, k + 1), 1e-5) << k;
    EXPECT_EQ(var(m, 12), data(out)[31]);
}

TEST_F(NoiseGate, BypassOfTheGainComputersIsUnity)
{
    GenericWire *in = wire(1, 8);
    GenericWire *out = wire(1, 8);
    for (ClassModule *m : {gate(in, out), agc(in, out, -20.0f, 20.0f, 20.0f, 2.0f, -60.0f, 0, 0.0f)}) {
        fill(out, 0.0f);
        m->classRecord->bypass(m);
        for (uint32_t i = 0; i < 8; ++i)
            EXPECT_EQ(data(out)[i], 1.0f);
    }
}

} // namespace
} // namespace dynamicstest
