// The modulated fractional delays: impulse responses against the linear and 4-point Lagrange weights, the delay
// as the control sweeps, and controls shorter than the audio block.
#include <string>

#include "DelayTableTestSupport.h"
#include "support/PythonOracle.h"

namespace delaytest {
namespace {

using kvetest::bitsOf;

constexpr uint32_t kLinear = 0xBEEF0FD7u;
constexpr uint32_t kCubic = 0xBEEF0FD6u;

class Modulated : public DelayTable {
protected:
    // A modulated delay on one audio channel of `block` frames with a control wire of `controlFrames`.
    ClassModule *make(uint32_t classId, float delay, float depth, uint32_t block, uint32_t controlFrames = 0,
                      uint32_t maxDelay = 16)
    {
        control_ = wire(1, controlFrames == 0 ? block : controlFrames);
        in_ = wire(1, block);
        out_ = wire(1, block);
        fill(control_, {});
        return build(classId, 0x102, {control_, in_, out_},
                     {maxDelay, bitsOf(delay), bitsOf(depth), 0, KVE_HEAPS_DEFAULT});
    }
    // The impulse response over `block` samples at a steady delay.
    std::vector<float> response(uint32_t classId, float delay, uint32_t block = 16)
    {
        ClassModule *m = make(classId, delay, 0.0f, block);
        EXPECT_NE(m, nullptr);
        if (m == nullptr)
            return {};
        fill(in_, {1.0f});
        pump(m);
        return std::vector<float>(data(out_), data(out_) + block);
    }
    GenericWire *control_ = nullptr;
    GenericWire *in_ = nullptr;
    GenericWire *out_ = nullptr;
};

TEST_F(Modulated, LinearDelayAveragesTheTwoTapsAroundTheDelay)
{
    struct Case {
        float d;
        int k;
        float f;
    };
    const Case cases[] = {{2.5f, 2, 0.5f}, {0.0f, 0, 0.0f}, {3.25f, 3, 0.25f}, {16.0f, 16, 0.0f}, {40.0f, 16, 0.0f},
                          {-3.0f, 0, 0.0f}};
    for (const Case &c : cases) {
        const std::vector<float> h = response(kLinear, c.d, 20);
        for (int t = 0; t < 20; ++t) {
            const float want = t == c.k ? 1.0f - c.f : t == c.k + 1 ? c.f : 0.0f;
            EXPECT_FLOAT_EQ(h[static_cast<size_t>(t)], want) << "d " << c.d << " at " << t;
        }
    }
}

TEST_F(Modulated, CubicDelayWeighsFourTapsAsLagrange)
{
    const float fractions[] = {0.0f, 0.125f, 0.5f, 0.75f, 0.9f};
    std::vector<std::string> args = {"lagrange"};
    for (float f : fractions)
        args.push_back(kvetest::oracleArg(f));
    const std::vector<double> want = kvetest::runOracle("delay_table_modules.py", args);
    ASSERT_EQ(want.size(), 4 * std::size(fractions));
    for (size_t i = 0; i < std::size(fractions); ++i) {
        // d = 5 + f: taps 3 .. 6 back, read between 4 and 5 back.
        const std::vector<float> h = response(kCubic, 5.0f + fractions[i]);
        for (int t = 0; t < 16; ++t) {
            const double w = t >= 3 && t <= 6 ? want[4 * i + static_cast<size_t>(t - 3)] : 0.0;
            EXPECT_NEAR(h[static_cast<size_t>(t)], w, 1e-4) << "f " << fractions[i] << " at " << t;
        }
    }
    // 5.0 is the input 4 samples back, exactly.
    const std::vector<float> h = response(kCubic, 5.0f);
    for (int t = 0; t < 16; ++t)
        EXPECT_EQ(h[static_cast<size_t>(t)], t == 4 ? 1.0f : 0.0f) << t;
}

TEST_F(Modulated, CubicDelayRisesSteadilyAsTheDelaySweeps)
{
    // A ramp through the cubic comes out as the ramp, late by the delay: the lateness never falls as d rises.
    double previous = -1.0;
    for (int step = 0; step <= 32; ++step) {
        const float d = 0.25f * static_cast<float>(step);
        ClassModule *m = make(kCubic, d, 0.0f, 32);
        ASSERT_NE(m, nullptr);
        std::vector<float> ramp(32);
        for (int t = 0; t < 32; ++t)
            ramp[static_cast<size_t>(t)] = static_cast<float>(t);
        fill(in_, ramp);
        pump(m);
        const double late = 31.0 - data(out_)[31];
        EXPECT_GE(late, previous - 1e-3) << "d " << d;
        EXPECT_NEAR(late, std::max(d, 2.0f) - 1.0f, 5e-3) << "d " << d;
        previous = late;
    }
}

TEST_F(Modulated, ControlMovesTheDelayPerSampleOrPerBlock)
{
    for (uint32_t classId : {kLinear, kCubic}) {
        // A one-sample control sets the delay for the whole block: 3 + 1 x 2 = 5.
        ClassModule *m = make(classId, 3.0f, 2.0f, 8, 1);
        ASSERT_NE(m, nullptr);
        fill(control_, {1.0f});
        fill(in_, {1.0f});
        pump(m);
        const int peak = classId == kLinear ? 5 : 4;
        for (int t = 0; t < 8; ++t)
            EXPECT_EQ(data(out_)[t], t == peak ? 1.0f : 0.0f) << classId << " at " << t;

        // A control shorter than the audio block holds its last value past its end.
        m = make(classId, 2.0f, 1.0f, 8, 3);
        ASSERT_NE(m, nullptr);
        fill(control_, {0.0f, 0.0f, 2.0f});
        std::vector<float> ramp(8);
        for (int t = 0; t < 8; ++t)
            ramp[static_cast<size_t>(t)] = 10.0f + static_cast<float>(t);
        fill(in_, ramp);
        pump(m);
        const float late = classId == kLinear ? 4.0f : 3.0f;
        for (int t = 5; t < 8; ++t)
            EXPECT_NEAR(data(out_)[t], 10.0f + static_cast<float>(t) - late, 1e-4) << classId << " at " << t;
    }
}

TEST_F(Modulated, BypassCopiesTheAudioAndShortWiringIsRefused)
{
    for (uint32_t classId : {kLinear, kCubic}) {
        ClassModule *m = make(classId, 3.0f, 0.0f, 4);
        ASSERT_NE(m, nullptr);
        fill(in_, {1, 2, 3, 4});
        m->classRecord->bypass(m);
        for (int t = 0; t < 4; ++t)
            EXPECT_EQ(data(out_)[t], static_cast<float>(t + 1));

        int32_t status = KVE_OK;
        EXPECT_EQ(build(classId, 0x101, {in_, out_}, {8, 0, 0, 0, KVE_HEAPS_DEFAULT}, &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
}

} // namespace
} // namespace delaytest
