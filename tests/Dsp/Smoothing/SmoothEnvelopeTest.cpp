// Float envelopes and generators: the first-order smoother and the gliding sine against their closed forms (numpy),
// the attack/release follower and the attack-decay-sustain-release envelope against step-by-step trajectories
// (numpy), and sample-and-hold word for word.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::bitsOf;
using kvetest::GuardedVector;
using kvetest::oracleArg;

std::vector<std::string> args(std::initializer_list<double> values)
{
    std::vector<std::string> a;
    for (double v : values)
        a.push_back(oracleArg(v));
    return a;
}

std::vector<float> signal(size_t count)
{
    std::vector<float> x(count);
    for (size_t i = 0; i < count; ++i)
        x[i] = 1.2f * std::sin(0.37f * static_cast<float>(i)) * std::cos(0.05f * static_cast<float>(i));
    return x;
}

TEST(FirstOrderSmoother, FillsTheOnePoleCurveWithoutHolding)
{
    const struct {
        float start;
        float target;
        float coeff;
        int32_t n;
    } cases[] = {{0.0f, 1.0f, 0.01f, 200}, {-2.0f, 0.5f, 0.2f, 33}, {0.75f, 0.75f, 0.5f, 5}, {1e-11f, 0.0f, 0.5f, 4}};
    for (const auto &c : cases) {
        std::vector<std::string> a = args({c.start, c.target, c.coeff});
        a.push_back(std::to_string(c.n));
        a.push_back("nohold");
        const std::vector<double> g = kvetest::runOracle("smooth_glide.py", a);
        ASSERT_EQ(g.size(), static_cast<size_t>(c.n));
        std::vector<float> dst(static_cast<size_t>(c.n) + 1, 9.0f);
        float state = c.start;
        kve_vecFirstOrderSmoother(dst.data(), &state, c.target, c.coeff, c.n);
        const double tol = 1e-7 * std::fmax(std::fabs(c.start), std::fabs(c.target)) / c.coeff;
        for (size_t k = 0; k < g.size(); ++k)
            ASSERT_NEAR(dst[k], g[k], tol) << "start " << c.start << " sample " << k;
        EXPECT_EQ(state, dst[static_cast<size_t>(c.n) - 1]);
        EXPECT_EQ(dst.back(), 9.0f);
    }
    float dst = 9.0f;
    float state = 0.5f;
    kve_vecFirstOrderSmoother(&dst, &state, 1.0f, 0.5f, 0);
    EXPECT_EQ(dst, 9.0f);
    EXPECT_EQ(state, 0.5f);
}

TEST(AttackRelease, FollowsTheStepByStepEnvelope)
{
    const std::vector<float> x = signal(160);
    const struct {
        float env;
        float attack;
        float release;
    } cases[] = {{0.2f, 0.3f, 0.01f}, {0.9f, 0.05f, 0.2f}, {0.0f, 1.0f, 0.0f}};
    for (const auto &c : cases) {
        std::vector<std::string> a = {"ar"};
        for (const std::string &v : args({c.env, c.attack, c.release}))
            a.push_back(v);
        for (float v : x)
            a.push_back(oracleArg(v));
        const std::vector<double> expected = kvetest::runOracle("smooth_envelope.py", a);
        ASSERT_EQ(expected.size(), x.size());

        std::vector<float> dst(x.size());
        float state = c.env;
        kve_vecAttackRelease(x.data(), 1, dst.data(), 1, &state, c.attack, c.release, static_cast<int32_t>(x.size()));
        for (size_t k = 0; k < x.size(); ++k)
            ASSERT_NEAR(dst[k], expected[k], 1e-6) << "attack " << c.attack << " sample " << k;
        EXPECT_EQ(state, dst.back());

        // The same input read every second sample and written backward.
        std::vector<float> strided(2 * x.size());
        for (size_t k = 0; k < x.size(); ++k)
            strided[2 * k] = x[k];
        std::vector<float> backward(x.size());
        state = c.env;
        kve_vecAttackRelease(strided.data(), 2, backward.data() + x.size() - 1, -1, &state, c.attack, c.release,
                             static_cast<int32_t>(x.size()));
        for (size_t k = 0; k < x.size(); ++k)
            ASSERT_EQ(bitsOf(backward[x.size() - 1 - k]), bitsOf(dst[k])) << "strided, sample " << k;
    }
}

TEST(AttackRelease, AttackOfOneAndReleaseOfZeroHoldTheHighestMagnitude)
{
    const float x[6] = {0.25f, -0.5f, 0.125f, 0.75f, -0.75f, 0.0f};
    float dst[6];
    float state = 0.3f;
    kve_vecAttackRelease(x, 1, dst, 1, &state, 1.0f, 0.0f, 6);
    const float expected[6] = {0.3f, 0.5f, 0.5f, 0.75f, 0.75f, 0.75f};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(dst[k], expected[k]) << "sample " << k;
    EXPECT_EQ(state, 0.75f);
}

struct AdsrState {
    int32_t request;
    uint32_t stage;
    float env;
};

// Runs the envelope over x and checks output and final state against the step-by-step oracle.
AdsrState expectAdsr(const AdsrState &start, const std::vector<float> &x, const std::string &where)
{
    const float attack = 0.2f, decay = 0.05f, sustain = 0.5f, release = 0.1f, peak = 1.0f;
    std::vector<std::string> a = {"adsr"};
    for (const std::string &v : args({static_cast<double>(start.request), static_cast<double>(start.stage), start.env,
                                      attack, decay, sustain, release, peak}))
        a.push_back(v);
    for (float v : x)
        a.push_back(oracleArg(v));
    const std::vector<double> expected = kvetest::runOracle("smooth_envelope.py", a);
    EXPECT_EQ(expected.size(), x.size() + 3) << where;
    if (expected.size() != x.size() + 3)
        return start;

    std::vector<float> dst(x.size());
    AdsrState s = start;
    kve_vecAttackDecaySustainRelease(x.data(), 1, dst.data(), 1, &s.request, &s.stage, &s.env, attack, decay, sustain,
                                     release, peak, static_cast<int32_t>(x.size()));
    for (size_t k = 0; k < x.size(); ++k)
        EXPECT_NEAR(dst[k], expected[k], 2e-6) << where << " sample " << k;
    EXPECT_EQ(s.request, static_cast<int32_t>(expected[x.size()])) << where;
    EXPECT_EQ(s.stage, static_cast<uint32_t>(expected[x.size() + 1])) << where;
    EXPECT_NEAR(s.env, expected[x.size() + 2], 2e-6) << where;
    return s;
}

// A whole note across three blocks: attack to the peak, decay to sustain, hold, then release on request. A request
// made during the attack waits for the sustain stage. An envelope already at the peak takes one more attack step.
TEST(AttackDecaySustainRelease, WalksItsStagesAsTheStepByStepEnvelope)
{
    const std::vector<float> x = signal(64);
    AdsrState s = expectAdsr({0, 0, 0.0f}, x, "note, first block");
    EXPECT_EQ(s.stage, 2u) << "the first block reaches sustain";
    s = expectAdsr(s, x, "note, held");
    s.request = 1;
    s = expectAdsr(s, x, "note, released");
    EXPECT_EQ(s.stage, 3u);
    EXPECT_EQ(s.request, 0);

    s = expectAdsr({1, 0, 0.0f}, x, "early request");
    EXPECT_EQ(s.stage, 3u) << "the early request is taken at sustain";

    const std::vector<float> ones(3, 1.0f);
    s = expectAdsr({0, 0, 0.995f}, ones, "at the peak");
    EXPECT_EQ(s.stage, 1u);
}

TEST(AttackDecaySustainRelease, ReleaseStartsOneSampleAfterTheRequestAndOtherStagesHold)
{
    const float x[3] = {1.0f, 1.0f, -2.0f};
    float dst[3];
    int32_t request = 1;
    uint32_t stage = 2;
    float env = 0.9f;
    kve_vecAttackDecaySustainRelease(x, 1, dst, 1, &request, &stage, &env, 0.2f, 0.05f, 0.5f, 0.1f, 1.0f, 3);
    EXPECT_EQ(dst[0], 0.5f);
    EXPECT_FLOAT_EQ(dst[1], 0.5f * 0.9f);
    EXPECT_FLOAT_EQ(dst[2], -2.0f * 0.5f * 0.9f * 0.9f);
    EXPECT_EQ(request, 0);
    EXPECT_EQ(stage, 3u);

    stage = 7;
    env = 0.25f;
    request = 1;
    kve_vecAttackDecaySustainRelease(x, 1, dst, 1, &request, &stage, &env, 0.2f, 0.05f, 0.5f, 0.1f, 1.0f, 3);
    EXPECT_EQ(dst[2], -0.5f);
    EXPECT_EQ(stage, 7u);
    EXPECT_EQ(env, 0.25f);
    EXPECT_EQ(request, 1);

    kve_vecAttackDecaySustainRelease(x, 1, dst, 1, &request, &stage, &env, 0.2f, 0.05f, 0.5f, 0.1f, 1.0f, 0);
    EXPECT_EQ(dst[2], -0.5f);
    EXPECT_EQ(env, 0.25f);
}

// The control is tested as a bit pattern, so -0.0 passes the input; a NaN word too.
TEST(SampleAndHold, PassesWhereTheControlWordIsNonZeroAndRepeatsTheHeldWordElsewhere)
{
    const uint32_t controls[] = {0, 1, 0, 0, bitsOf(-0.0f), 0, 0x7FC00000u, 0xFFFFFFFFu, 0, 0};
    const auto n = static_cast<int32_t>(std::size(controls));
    for (int32_t srcInc : {1, 2, -1})
        for (int32_t dstInc : {1, -1, 3})
            for (int32_t ctrlInc : {1, 2}) {
                GuardedVector src(n, srcInc);
                GuardedVector ctrl(n, ctrlInc);
                GuardedVector dst(n, dstInc);
                GuardedVector expected(n, dstInc);
                uint32_t h = 0xDEADBEEFu;
                for (int32_t i = 0; i < n; ++i) {
                    src[i] = 0x1000u + static_cast<uint32_t>(i);
                    ctrl[i] = controls[i];
                    if (controls[i] != 0)
                        h = src[i];
                    expected[i] = h;
                }
                uint32_t held = 0xDEADBEEFu;
                kve_vecSampleAndHold(src.data(), srcInc, dst.data(), dstInc, ctrl.data(), ctrlInc, &held, n);
                ASSERT_EQ(dst.words(), expected.words()) << srcInc << " " << dstInc << " " << ctrlInc;
                ASSERT_EQ(held, 0x1007u);
            }

    const std::vector<uint32_t> zeros(8, 0);
    const std::vector<uint32_t> src(8, 5);
    std::vector<uint32_t> dst(8);
    uint32_t held = bitsOf(-1.5f);
    kve_vecSampleAndHold(src.data(), 1, dst.data(), 1, zeros.data(), 1, &held, 8);
    EXPECT_EQ(dst, std::vector<uint32_t>(8, bitsOf(-1.5f)));
    EXPECT_EQ(held, bitsOf(-1.5f));
    kve_vecSampleAndHold(src.data(), 1, dst.data(), 1, src.data(), 1, &held, 0);
    EXPECT_EQ(held, bitsOf(-1.5f));
}

struct SineCase {
    const char *name;
    float phase;
    float increment;
    float target;
    float coeff;
    int32_t n;
};

// Outputs, final phase (reduced to one turn) and final step against the closed form. A falling phase (a negative
// step) stays within one turn like a rising one.
TEST(SineGenSmoothed, FollowsTheGlidingPhaseOfTheClosedForm)
{
    const float kHz1 = 1000.0f * 3.1415927f / 24000.0f;
    const SineCase cases[] = {
        {"glide up from rest", 0.0f, 0.0f, kHz1, 0.01f, 300},
        {"steady", 1.0f, 0.05f, 0.05f, 0.0f, 257},
        {"glide to a falling phase", 6.0f, kHz1, -2.0f * kHz1, 0.05f, 400},
        {"falling", 0.3f, -0.2f, -0.2f, 0.0f, 400},
    };
    for (const SineCase &c : cases) {
        std::vector<std::string> a = args({c.phase, c.increment, c.target, c.coeff});
        a.push_back(std::to_string(c.n));
        const std::vector<double> expected = kvetest::runOracle("smooth_sine.py", a);
        ASSERT_EQ(expected.size(), static_cast<size_t>(c.n) + 2) << c.name;

        std::vector<float> dst(static_cast<size_t>(c.n));
        float phase = c.phase;
        float step = c.increment;
        kve_vecSineGenSmoothed(dst.data(), &phase, &step, c.target, c.coeff, c.n);
        for (size_t k = 0; k < dst.size(); ++k)
            ASSERT_NEAR(dst[k], expected[k], 2e-4) << c.name << " sample " << k;
        EXPECT_GE(phase, 0.0f) << c.name;
        EXPECT_LT(phase, 6.2831855f) << c.name;
        const double phaseError = std::remainder(phase - expected[static_cast<size_t>(c.n)], 2.0 * M_PI);
        EXPECT_NEAR(phaseError, 0.0, 2e-4) << c.name;
        EXPECT_NEAR(step, expected[static_cast<size_t>(c.n) + 1], 1e-6) << c.name;
    }
}

TEST(SineGenSmoothed, StillStepGivesAConstantSineAndNoCountTouchesNothing)
{
    std::vector<float> dst(9, 7.0f);
    float phase = 0.7f;
    float step = 0.0f;
    kve_vecSineGenSmoothed(dst.data(), &phase, &step, 0.3f, 0.0f, 8);
    for (size_t k = 0; k < 8; ++k)
        EXPECT_EQ(bitsOf(dst[k]), bitsOf(std::sin(0.7f))) << k;
    EXPECT_EQ(dst[8], 7.0f);
    EXPECT_EQ(phase, 0.7f);
    EXPECT_EQ(step, 0.0f);

    kve_vecSineGenSmoothed(dst.data(), &phase, &step, 0.3f, 0.5f, 0);
    EXPECT_EQ(phase, 0.7f);
    EXPECT_EQ(step, 0.0f);
}

} // namespace
