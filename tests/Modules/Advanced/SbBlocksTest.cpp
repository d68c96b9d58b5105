// The subband blocks: the complex NLMS filters against a numpy model (and the delayed-update form against the first),
// the complex FIRs against scipy's lfilter subband by subband, the running RMS and the second-order filter against
// lfilter, the sliding average across bins against a numpy moving average, the attack-hold-release envelope and the
// difference over a block against their definitions, and the wraps and clamps of indices and sizes a layout or host
// writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/SbBlocks.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;
using kvetest::privateArray;
using kvetest::variable;

constexpr uint32_t kNLMS = 0xBEEF0D2Du;
constexpr uint32_t kNLMSV2 = 0xBEEF0D60u;
constexpr uint32_t kComplexFIR = 0xBEEF0D2Au;
constexpr uint32_t kComplexFIRvl = 0xBEEF0D2Bu;
constexpr uint32_t kAttackRelease = 0xBEEF0D29u;
constexpr uint32_t kDerivative = 0xBEEF0D2Cu;
constexpr uint32_t kRMS = 0xBEEF0D2Eu;
constexpr uint32_t kSmooth = 0xBEEF0D2Fu;
constexpr uint32_t kSOF = 0xBEEF0D30u;

const ModClassDescriptor *const kTable[] = {
    &kve_modSbNLMSClass.record,      &kve_modSbNLMSV2Class.record,    &kve_modSbComplexFIRClass.record,
    &kve_modSbComplexFIRvlClass.record, &kve_modSbAttackReleaseClass.record, &kve_modSbDerivativeClass.record,
    &kve_modSbRMSClass.record,       &kve_modSbSmoothClass.record,    &kve_modSbSOFClass.record,
};

constexpr uint32_t kOneInOneOut = 0x101;
constexpr uint32_t kTwoInTwoOut = 0x202;
constexpr uint32_t kThreeInTwoOut = 0x203;
// The frame rate of a 16 kHz signal at a hop of 64.
constexpr float kFrameRate = 250.0f;

std::vector<float> randomSignal(size_t count, uint32_t seed, float scale = 1.0f)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-scale, scale);
    std::vector<float> x(count);
    for (float &v : x)
        v = u(rng);
    return x;
}

std::vector<double> oracle(std::vector<std::string> args, const std::vector<const std::vector<float> *> &signals)
{
    for (const auto *s : signals)
        for (float v : *s)
            args.push_back(kvetest::oracleArg(v));
    return kvetest::runOracle("subband_blocks.py", args);
}

std::string arg(double v) { return kvetest::oracleArg(v); }

class SbBlocks : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = sizeof kTable / sizeof kTable[0];
    }
    // A one-channel wire of `words` floats at the frame rate, complex when asked.
    GenericWire *wire(uint32_t words, bool complex = true, uint32_t channels = 1)
    {
        GenericWire *w = engine_.wire(channels, words);
        if (complex)
            w->info1 |= 1u << 27;
        w->sampleRate = kFrameRate;
        return w;
    }
    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args)
    {
        int32_t status = KVE_OK;
        ClassModule *m = engine_.module(classId, wireWord, wires, args, &status);
        EXPECT_EQ(status, KVE_OK);
        return m;
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }
    static void load(GenericWire *w, const std::vector<float> &x, size_t block, size_t words)
    {
        std::copy_n(x.begin() + static_cast<std::ptrdiff_t>(block * words), words, data(w));
    }

    kvetest::TestEngine engine_;
};

void expectClose(const float *got, const double *want, size_t count, double tolerance, const std::string &what)
{
    for (size_t i = 0; i < count; ++i)
        EXPECT_NEAR(got[i], want[i], tolerance * std::max(1.0, std::fabs(want[i]))) << what << ", word " << i;
}

// ---- Complex NLMS ----

// A system-identification run: the desired signal is the reference through a fixed complex filter of two taps per
// subband plus a little noise.
struct NlmsRun {
    uint32_t subbands, blocks;
    std::vector<float> x, d;
};

NlmsRun identification(uint32_t subbands, uint32_t blocks)
{
    const size_t words = 2 * size_t{subbands} * blocks;
    NlmsRun r{subbands, blocks, randomSignal(words, 11), randomSignal(words, 12, 1e-3f)};
    const auto h = randomSignal(4 * subbands, 13);
    for (uint32_t n = 0; n < blocks; ++n)
        for (uint32_t k = 0; k < subbands; ++k)
            for (uint32_t i = 0; i < 2 && i <= n; ++i) {
                const float hr = h[4 * k + 2 * i], hi = h[4 * k + 2 * i + 1];
                const size_t at = 2 * ((n - i) * subbands + k);
                const float xr = r.x[at], xi = r.x[at + 1];
                r.d[2 * (n * subbands + k)] += hr * xr - hi * xi;
                r.d[2 * (n * subbands + k) + 1] += hr * xi + hi * xr;
            }
    return r;
}

std::vector<double> nlmsOracle(const NlmsRun &r, int maxTaps, int numTaps, float mu, float eps)
{
    return oracle({"nlms", std::to_string(r.subbands), std::to_string(maxTaps), std::to_string(numTaps), arg(mu),
                   arg(eps), std::to_string(r.blocks)},
                  {&r.x, &r.d});
}

double power(const float *z, size_t words)
{
    double p = 0;
    for (size_t i = 0; i < words; ++i)
        p += static_cast<double>(z[i]) * z[i];
    return p;
}

TEST_F(SbBlocks, NlmsFollowsTheComplexNlmsModelAndIdentifiesTheEchoPath)
{
    constexpr uint32_t kSub = 5, kBlocks = 120;
    const NlmsRun run = identification(kSub, kBlocks);
    constexpr float kMu = 0.5f, kEps = 1e-3f;
    const std::vector<double> ref = nlmsOracle(run, 4, 3, kMu, kEps);
    ASSERT_EQ(ref.size(), 4u * kSub * kBlocks);
    const struct {
        const char *what;
        bool stepInput;
        int32_t historyIndex;
        uint32_t classId;
    } cases[] = {
        {"mu from its variable", false, 0, kNLMS},
        {"mu from the step-size input, the variable unread", true, 0, kNLMS},
        {"a history index past the ring wraps into it", false, 9, kNLMS},
        {"a negative history index wraps into the ring", false, -5, kNLMS},
        {"the delayed-update form gives the same outputs", false, 0, kNLMSV2},
        {"the delayed-update form with the step-size input", true, 2, kNLMSV2},
    };
    for (const auto &c : cases) {
        GenericWire *x = wire(2 * kSub), *d = wire(2 * kSub), *y = wire(2 * kSub), *e = wire(2 * kSub);
        GenericWire *steps = wire(kSub, false);
        std::fill(data(steps), data(steps) + kSub, kMu);
        const float mu = c.stepInput ? 0.0f : kMu;
        ClassModule *m =
            c.stepInput
                ? build(c.classId, kThreeInTwoOut, {x, d, steps, y, e},
                        {4, 3, bitsOf(mu), bitsOf(kEps), static_cast<uint32_t>(c.historyIndex)})
                : build(c.classId, kTwoInTwoOut, {x, d, y, e},
                        {4, 3, bitsOf(mu), bitsOf(kEps), static_cast<uint32_t>(c.historyIndex)});
        ASSERT_NE(m, nullptr) << c.what;
        double first = 0, last = 0;
        for (uint32_t n = 0; n < kBlocks; ++n) {
            load(x, run.x, n, 2 * kSub);
            load(d, run.d, n, 2 * kSub);
            pump(m);
            const double *want = ref.data() + 4 * kSub * n;
            expectClose(data(y), want, 2 * kSub, 2e-4, std::string(c.what) + ": y of block " + std::to_string(n));
            expectClose(data(e), want + 2 * kSub, 2 * kSub, 2e-4,
                        std::string(c.what) + ": e of block " + std::to_string(n));
            const int32_t h = variable<int32_t>(m, 4);
            ASSERT_TRUE(h >= 0 && h < 4) << c.what << ": history index " << h;
            if (n < 10)
                first += power(data(e), 2 * kSub);
            if (n >= kBlocks - 10)
                last += power(data(e), 2 * kSub);
        }
        EXPECT_LT(10 * std::log10(last / first), -30.0) << c.what << ": error power after adaptation";
    }
}

TEST_F(SbBlocks, DelayedUpdateTapsLagOneBlockBehindTheFirstForm)
{
    constexpr uint32_t kSub = 3, kTaps = 4;
    const NlmsRun run = identification(kSub, 30);
    GenericWire *x = wire(2 * kSub), *d = wire(2 * kSub);
    GenericWire *outs[4] = {wire(2 * kSub), wire(2 * kSub), wire(2 * kSub), wire(2 * kSub)};
    const std::initializer_list<uint32_t> args = {kTaps, kTaps, bitsOf(0.3f), bitsOf(1e-2f), 0};
    ClassModule *first = build(kNLMS, kTwoInTwoOut, {x, d, outs[0], outs[1]}, args);
    ClassModule *delayed = build(kNLMSV2, kTwoInTwoOut, {x, d, outs[2], outs[3]}, args);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(delayed, nullptr);
    std::vector<float> before(2 * kSub * kTaps, 0.0f);
    for (uint32_t n = 0; n < run.blocks; ++n) {
        load(x, run.x, n, 2 * kSub);
        load(d, run.d, n, 2 * kSub);
        pump(first);
        pump(delayed);
        const float *lagging = privateArray<float>(delayed, 5);
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_NEAR(lagging[i], before[i], 1e-5) << "block " << n << ", tap word " << i;
        const float *taps = privateArray<float>(first, 5);
        before.assign(taps, taps + before.size());
    }
}

TEST_F(SbBlocks, NlmsTapsHoldWithoutAStepOrAReference)
{
    constexpr uint32_t kSub = 2;
    const struct {
        const char *what;
        float mu, eps;
        bool silent;
    } cases[] = {
        {"mu 0: a fixed filter", 0.0f, 1e-3f, false},
        {"a silent reference leaves the taps", 0.5f, 1e-3f, true},
        {"a silent reference without a regulariser leaves the taps finite", 0.5f, 0.0f, true},
    };
    for (const auto &c : cases) {
        GenericWire *x = wire(2 * kSub), *d = wire(2 * kSub), *y = wire(2 * kSub), *e = wire(2 * kSub);
        ClassModule *m = build(kNLMS, kTwoInTwoOut, {x, d, y, e}, {2, 2, bitsOf(c.mu), bitsOf(c.eps), 0});
        ASSERT_NE(m, nullptr) << c.what;
        // Subband k's taps: w0 = 1 + 0.5j, w1 = -0.25j.
        float *taps = privateArray<float>(m, 5);
        for (uint32_t k = 0; k < kSub; ++k) {
            taps[4 * k] = 1.0f;
            taps[4 * k + 1] = 0.5f;
            taps[4 * k + 3] = -0.25f;
        }
        const std::vector<float> start(taps, taps + 4 * kSub);
        const std::vector<float> xs = randomSignal(2 * kSub * 4, 21);
        std::vector<float> previous(2 * kSub, 0.0f);
        for (uint32_t n = 0; n < 4; ++n) {
            for (uint32_t i = 0; i < 2 * kSub; ++i) {
                data(x)[i] = c.silent ? 0.0f : xs[2 * kSub * n + i];
                data(d)[i] = 1.0f;
            }
            pump(m);
            for (uint32_t k = 0; k < kSub; ++k) {
                // y = conj(w0) x[n] + conj(w1) x[n - 1].
                const float xr = data(x)[2 * k], xi = data(x)[2 * k + 1];
                const float pr = previous[2 * k], pi = previous[2 * k + 1];
                EXPECT_NEAR(data(y)[2 * k], xr + 0.5f * xi - 0.25f * pi, 1e-6) << c.what << ", block " << n;
                EXPECT_NEAR(data(y)[2 * k + 1], xi - 0.5f * xr + 0.25f * pr, 1e-6) << c.what << ", block " << n;
                previous[2 * k] = xr;
                previous[2 * k + 1] = xi;
            }
            for (size_t i = 0; i < start.size(); ++i)
                ASSERT_EQ(taps[i], start[i]) << c.what << ", block " << n << ", tap word " << i;
        }
        if (c.eps == 0.0f) {
            std::copy(xs.begin(), xs.begin() + 2 * kSub, data(x));
            pump(m);
            for (uint32_t i = 0; i < 4 * kSub; ++i)
                EXPECT_TRUE(std::isfinite(taps[i])) << c.what << ": tap word " << i << " after the reference returns";
        }
    }
}

TEST_F(SbBlocks, NlmsHoldsHostSizesToTheRingBuilt)
{
    // maxTaps and numTaps written far past the 3 taps built serve as 3 taps over the ring built.
    constexpr uint32_t kSub = 4, kBlocks = 20;
    const NlmsRun run = identification(kSub, kBlocks);
    const std::vector<double> ref = nlmsOracle(run, 3, 3, 0.4f, 1e-2f);
    for (uint32_t classId : {kNLMS, kNLMSV2}) {
        GenericWire *x = wire(2 * kSub), *d = wire(2 * kSub), *y = wire(2 * kSub), *e = wire(2 * kSub);
        ClassModule *m = build(classId, kTwoInTwoOut, {x, d, y, e}, {3, 3, bitsOf(0.4f), bitsOf(1e-2f), 0});
        ASSERT_NE(m, nullptr);
        variable<int32_t>(m, 0) = 1000;
        variable<int32_t>(m, 1) = 1 << 30;
        for (uint32_t n = 0; n < kBlocks; ++n) {
            load(x, run.x, n, 2 * kSub);
            load(d, run.d, n, 2 * kSub);
            pump(m);
            expectClose(data(y), ref.data() + 4 * kSub * n, 2 * kSub, 2e-4, "class " + std::to_string(classId));
            ASSERT_LT(variable<int32_t>(m, 4), 3);
        }
    }
}

// ---- Complex FIRs ----

TEST_F(SbBlocks, ComplexFirFiltersEverySubbandAsLfilterDoes)
{
    constexpr uint32_t kSub = 6, kBlocks = 25;
    const struct {
        const char *what;
        uint32_t taps;
        int32_t stateIndex;
    } cases[] = {
        {"four taps", 4, 0},
        {"one tap multiplies by its coefficient", 1, 0},
        {"a state index past the ring wraps into it", 3, 1000},
        {"a negative state index wraps into the ring", 3, -7},
        {"a state index inside a block starts at that block", 5, 8},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(2 * kSub), *out = wire(2 * kSub);
        ClassModule *m = build(kComplexFIR, kOneInOneOut, {in, out}, {c.taps, static_cast<uint32_t>(c.stateIndex)});
        ASSERT_NE(m, nullptr) << c.what;
        const std::vector<float> coeffs = randomSignal(2 * kSub * c.taps, 31 + c.taps);
        std::copy(coeffs.begin(), coeffs.end(), privateArray<float>(m, 3));
        const std::vector<float> x = randomSignal(2 * kSub * kBlocks, 32);
        const std::vector<double> ref =
            oracle({"fir", std::to_string(kSub), std::to_string(c.taps), std::to_string(kBlocks)}, {&coeffs, &x});
        ASSERT_EQ(ref.size(), x.size()) << c.what;
        for (uint32_t n = 0; n < kBlocks; ++n) {
            load(in, x, n, 2 * kSub);
            pump(m);
            expectClose(data(out), ref.data() + 2 * kSub * n, 2 * kSub, 1e-5,
                        std::string(c.what) + ", block " + std::to_string(n));
            const int32_t h = variable<int32_t>(m, 1);
            ASSERT_TRUE(h >= 0 && h < static_cast<int32_t>(kSub * c.taps) && h % kSub == 0) << c.what << ": " << h;
        }
    }
}

TEST_F(SbBlocks, ComplexFirHoldsAHostTapCountToTheTapsBuilt)
{
    constexpr uint32_t kSub = 3;
    GenericWire *in = wire(2 * kSub), *out = wire(2 * kSub);
    ClassModule *m = build(kComplexFIR, kOneInOneOut, {in, out}, {2, 0});
    ASSERT_NE(m, nullptr);
    // Tap 0 of every subband is j, tap 1 is 1: y[n] = j x[n] + x[n - 1].
    float *coeffs = privateArray<float>(m, 3);
    for (uint32_t k = 0; k < kSub; ++k) {
        coeffs[kSub + k] = 1.0f;
        coeffs[2 * kSub + k] = 1.0f;
    }
    variable<int32_t>(m, 0) = 50;
    const std::vector<float> x = randomSignal(4 * kSub, 41);
    for (uint32_t n = 0; n < 2; ++n) {
        load(in, x, n, 2 * kSub);
        pump(m);
        for (uint32_t k = 0; k < kSub; ++k) {
            const float pr = n == 0 ? 0.0f : x[2 * k], pi = n == 0 ? 0.0f : x[2 * k + 1];
            EXPECT_NEAR(data(out)[2 * k], -data(in)[2 * k + 1] + pr, 1e-6) << "block " << n << ", subband " << k;
            EXPECT_NEAR(data(out)[2 * k + 1], data(in)[2 * k] + pi, 1e-6) << "block " << n << ", subband " << k;
        }
    }
    variable<int32_t>(m, 0) = 0;
    std::fill(data(out), data(out) + 2 * kSub, 5.0f);
    pump(m);
    for (uint32_t i = 0; i < 2 * kSub; ++i)
        EXPECT_EQ(data(out)[i], 0.0f) << "no taps, word " << i;
}

TEST_F(SbBlocks, VariableLengthFirFiltersEachSubbandWithItsOwnTaps)
{
    constexpr uint32_t kSub = 5, kBlocks = 12;
    const std::vector<int32_t> counts = {3, 2, 1, 4, 2};
    const std::vector<float> coeffs = randomSignal(19, 51);
    const std::vector<float> x = randomSignal(2 * kSub * kBlocks, 52);
    std::vector<std::string> args = {"firvl", std::to_string(kSub), std::to_string(kBlocks)};
    for (int32_t c : counts)
        args.push_back(std::to_string(c));
    const std::vector<double> ref = oracle(args, {&coeffs, &x});
    ASSERT_EQ(ref.size(), x.size());
    // 3 real, 2 + 1 + 4 complex and 2 real coefficients: 19 floats. A room of 10 complex values holds them all; in
    // a room of 9 the last subband's taps run past it and it outputs 0 while the others filter on.
    const struct {
        uint32_t total, filtered;
    } cases[] = {{10, kSub}, {9, kSub - 1}};
    for (const auto &c : cases) {
        GenericWire *in = wire(2 * kSub), *out = wire(2 * kSub);
        ClassModule *m = build(kComplexFIRvl, kOneInOneOut, {in, out}, {c.total});
        ASSERT_NE(m, nullptr);
        std::copy(counts.begin(), counts.end(), privateArray<int32_t>(m, 2));
        std::copy_n(coeffs.begin(), std::min<size_t>(coeffs.size(), 2 * c.total), privateArray<float>(m, 4));
        // Start indices past and below each ring wrap into it.
        const int32_t starts[kSub] = {7, -1, 5, 4, -9};
        std::copy(starts, starts + kSub, privateArray<int32_t>(m, 1));
        for (uint32_t n = 0; n < kBlocks; ++n) {
            load(in, x, n, 2 * kSub);
            data(out)[1] = 9.0f;
            data(out)[2 * kSub - 1] = 9.0f;
            pump(m);
            for (uint32_t i = 0; i < 2 * kSub; ++i) {
                const std::string what = "room " + std::to_string(c.total) + ", block " + std::to_string(n) +
                                         ", word " + std::to_string(i);
                if (i == 1 || i == 2 * kSub - 1)
                    EXPECT_EQ(data(out)[i], 9.0f) << what << ": the real subbands leave their imaginary parts";
                else if (i / 2 >= c.filtered)
                    EXPECT_EQ(data(out)[i], 0.0f) << what;
                else
                    EXPECT_NEAR(data(out)[i], ref[2 * kSub * n + i], 1e-5) << what;
            }
            for (uint32_t k = 0; k < c.filtered; ++k) {
                const int32_t idx = privateArray<int32_t>(m, 1)[k];
                ASSERT_TRUE(idx >= 0 && idx < counts[k]) << "subband " << k << " index " << idx;
            }
        }
    }
}

TEST_F(SbBlocks, VariableLengthFirOutputsZeroWhereTheTapsDoNotFit)
{
    constexpr uint32_t kSub = 4;
    const struct {
        const char *what;
        int32_t counts[kSub];
        uint32_t total;
        bool filtered[kSub];
    } cases[] = {
        {"no taps in a subband", {1, 0, -3, 1}, 4, {true, false, false, true}},
        {"the taps of the third subband run past the room, the fourth follows it", {2, 1, 2, 1}, 3,
         {true, true, false, false}},
        {"a room of 0", {1, 1, 1, 1}, 0, {false, false, false, false}},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(2 * kSub), *out = wire(2 * kSub);
        ClassModule *m = build(kComplexFIRvl, kOneInOneOut, {in, out}, {c.total});
        ASSERT_NE(m, nullptr) << c.what;
        std::copy(c.counts, c.counts + kSub, privateArray<int32_t>(m, 2));
        // Every coefficient word 1 and every state fresh: a filtered real subband outputs its input's real part, a
        // complex one its input times 1 + j.
        std::fill(privateArray<float>(m, 4), privateArray<float>(m, 4) + 2 * c.total, 1.0f);
        for (uint32_t i = 0; i < 2 * kSub; ++i)
            data(in)[i] = 1.0f + static_cast<float>(i);
        std::fill(data(out), data(out) + 2 * kSub, 9.0f);
        pump(m);
        for (uint32_t k = 0; k < kSub; ++k) {
            const bool real = k == 0 || k == kSub - 1;
            const float xr = data(in)[2 * k], xi = data(in)[2 * k + 1];
            EXPECT_EQ(data(out)[2 * k], !c.filtered[k] ? 0.0f : real ? xr : xr - xi) << c.what << ", subband " << k;
            if (!real) {
                EXPECT_EQ(data(out)[2 * k + 1], c.filtered[k] ? xr + xi : 0.0f) << c.what << ", subband " << k;
            }
        }
    }
}

// ---- Levels and smoothing ----

TEST_F(SbBlocks, RmsSmoothsTheMeanSquareAsLfilterDoes)
{
    constexpr uint32_t kValues = 7, kBlocks = 30;
    const struct {
        const char *what;
        bool complex;
        float smoothingTime;
    } cases[] = {
        {"real words", false, 40.0f},
        {"complex values", true, 40.0f},
        {"no smoothing: the level of each block", true, 0.0f},
    };
    for (const auto &c : cases) {
        const uint32_t words = c.complex ? 2 * kValues : kValues;
        GenericWire *in = wire(words, c.complex), *out = wire(kValues, false);
        ClassModule *m = build(kRMS, kOneInOneOut, {in, out}, {bitsOf(c.smoothingTime), 0, 0});
        ASSERT_NE(m, nullptr) << c.what;
        const float a1 = variable<float>(m, 1), b0 = variable<float>(m, 2);
        const double a = c.smoothingTime == 0.0f ? 0.0 : std::exp(-2 * M_PI / (c.smoothingTime * 1e-3 * kFrameRate));
        EXPECT_NEAR(a1, -a, 1e-6) << c.what;
        EXPECT_NEAR(b0, 1.0 - a, 1e-6) << c.what;
        const std::vector<float> x = randomSignal(words * kBlocks, 61);
        const std::vector<double> ref = oracle(
            {"rms", c.complex ? "1" : "0", arg(a1), arg(b0), std::to_string(kValues), std::to_string(kBlocks)}, {&x});
        ASSERT_EQ(ref.size(), kValues * kBlocks) << c.what;
        for (uint32_t n = 0; n < kBlocks; ++n) {
            load(in, x, n, words);
            pump(m);
            expectClose(data(out), ref.data() + kValues * n, kValues, 1e-5,
                        std::string(c.what) + ", block " + std::to_string(n));
        }
    }
}

TEST_F(SbBlocks, RmsRedesignsOnlyWhenItsTimeChangesAndBypassesToTheLevel)
{
    constexpr uint32_t kValues = 3;
    GenericWire *in = wire(2 * kValues), *out = wire(kValues, false);
    ClassModule *m = build(kRMS, kOneInOneOut, {in, out}, {bitsOf(10.0f), 0, 0});
    ASSERT_NE(m, nullptr);
    const float a1 = variable<float>(m, 1);
    variable<float>(m, 0) = 0.0f;
    EXPECT_EQ(ClassModule_Set(m, 1u << 9), 0);
    EXPECT_EQ(variable<float>(m, 1), a1) << "a Set for another variable";
    EXPECT_EQ(ClassModule_Set(m, 1u << 8), 0);
    EXPECT_EQ(variable<float>(m, 1), 0.0f);
    EXPECT_EQ(variable<float>(m, 2), 1.0f);
    // A negative time smooths no more than 0 does: its pole would make the level grow without bound.
    variable<float>(m, 0) = -10.0f;
    EXPECT_EQ(ClassModule_Set(m, 1u << 8), 0);
    EXPECT_EQ(variable<float>(m, 1), 0.0f);
    EXPECT_EQ(variable<float>(m, 2), 1.0f);
    const float x[2 * kValues] = {3.0f, -4.0f, 0.0f, -2.0f, 1.0f, 1.0f};
    std::copy(x, x + 2 * kValues, data(in));
    ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
    pump(m);
    EXPECT_FLOAT_EQ(data(out)[0], 5.0f);
    EXPECT_FLOAT_EQ(data(out)[1], 2.0f);
    EXPECT_FLOAT_EQ(data(out)[2], std::sqrt(2.0f));
}

TEST_F(SbBlocks, SecondOrderFilterRunsEveryWordAsLfilterDoes)
{
    constexpr uint32_t kWords = 10, kBlocks = 40;
    // A peaking section at 30 Hz of the 250 Hz frame rate; a time of 0 takes the design in one block.
    GenericWire *in = wire(kWords), *out = wire(kWords);
    ClassModule *m = build(kSOF, kOneInOneOut, {in, out},
                           {12, bitsOf(30.0f), bitsOf(6.0f), bitsOf(0.7f), bitsOf(0.0f), 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            0, 0, 0});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(variable<float>(m, 16), 1.0f);
    std::vector<std::string> args = {"sof"};
    for (uint32_t k = 6; k < 11; ++k)
        args.push_back(arg(variable<float>(m, k)));
    args.push_back(std::to_string(kWords));
    args.push_back(std::to_string(kBlocks));
    const std::vector<float> x = randomSignal(kWords * kBlocks, 71);
    const std::vector<double> ref = oracle(args, {&x});
    ASSERT_EQ(ref.size(), x.size());
    for (uint32_t n = 0; n < kBlocks; ++n) {
        load(in, x, n, kWords);
        pump(m);
        expectClose(data(out), ref.data() + kWords * n, kWords, 1e-5, "block " + std::to_string(n));
    }
}

TEST_F(SbBlocks, SecondOrderFilterGlidesOncePerBlockUntilHeld)
{
    constexpr uint32_t kSub = 4;
    GenericWire *in = wire(2 * kSub), *out = wire(2 * kSub);
    // Current coefficients start at a pass-through; 200 ms at 250 frames per second.
    ClassModule *m = build(kSOF, kOneInOneOut, {in, out},
                           {2, bitsOf(20.0f), 0, bitsOf(0.707f), bitsOf(200.0f), 0, 0, 0, 0, 0, 0, bitsOf(1.0f), 0,
                            0, 0, 0, 0});
    ASSERT_NE(m, nullptr);
    const float c = variable<float>(m, 16);
    EXPECT_NEAR(c, 1.0 - std::exp(-1000.0 * kSub / (200.0 * kFrameRate)), 1e-6) << "one step per block of subbands";
    EXPECT_EQ(variable<int32_t>(m, 5), 1);
    std::vector<double> expected = {1.0, 0.0, 0.0, 0.0, 0.0};
    for (uint32_t n = 0; n < 3; ++n) {
        pump(m);
        for (uint32_t k = 0; k < 5; ++k) {
            expected[k] = c * variable<float>(m, 6 + k) + (1.0 - c) * expected[k];
            EXPECT_NEAR(variable<float>(m, 11 + k), expected[k], 1e-6) << "block " << n << ", coefficient " << k;
        }
    }
    variable<int32_t>(m, 5) = 0;
    std::vector<float> held(5);
    for (uint32_t k = 0; k < 5; ++k)
        held[k] = variable<float>(m, 11 + k);
    pump(m);
    for (uint32_t k = 0; k < 5; ++k)
        EXPECT_EQ(variable<float>(m, 11 + k), held[k]) << "held coefficient " << k;
}

TEST_F(SbBlocks, SmoothAveragesEveryBinOverItsWindowAsAMovingAverage)
{
    constexpr uint32_t kBins = 40;
    // Half the wire's rate of 250 is one bin: a start or a width of 125 x b is b bins.
    const struct {
        const char *what;
        int32_t mode;
        float start, width;
    } cases[] = {
        {"constant width from bin 0", 0, 0.0f, 250.0f},
        {"constant width from bin 5", 0, 625.0f, 375.0f},
        {"width 0: the top bin keeps its own value", 0, 0.0f, 0.0f},
        {"a negative width: every bin its own", 0, 0.0f, -500.0f},
        {"a width past the last bin", 0, 0.0f, 1e9f},
        {"a start past the last bin", 0, 1e7f, 250.0f},
        {"half an octave from bin 3", 1, 375.0f, 0.5f},
        {"two octaves", 1, 0.0f, 2.0f},
        {"octave width 0", 1, 0.0f, 0.0f},
        {"a negative octave width", 1, 0.0f, -1.0f},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(kBins, false), *out = wire(kBins, false);
        ClassModule *m = build(kSmooth, kOneInOneOut, {in, out},
                               {static_cast<uint32_t>(c.mode), bitsOf(c.start), bitsOf(c.width)});
        ASSERT_NE(m, nullptr) << c.what;
        const std::vector<float> x = randomSignal(kBins, 81);
        const std::vector<double> ref = oracle({"smooth", std::to_string(c.mode), arg(c.start), arg(c.width),
                                                arg(kFrameRate), std::to_string(kBins)},
                                               {&x});
        ASSERT_EQ(ref.size(), kBins) << c.what;
        std::copy(x.begin(), x.end(), data(in));
        pump(m);
        expectClose(data(out), ref.data(), kBins, 1e-5, c.what);
    }
}

TEST_F(SbBlocks, SmoothKeepsTheWindowsOfAnotherModeAndHostEdgesInsideTheBlock)
{
    constexpr uint32_t kBins = 8;
    GenericWire *in = wire(kBins, false), *out = wire(kBins, false);
    ClassModule *m = build(kSmooth, kOneInOneOut, {in, out}, {0, 0, bitsOf(125.0f)});
    ASSERT_NE(m, nullptr);
    const std::vector<int32_t> low(privateArray<int32_t>(m, 3), privateArray<int32_t>(m, 3) + kBins);
    variable<int32_t>(m, 0) = 7;
    ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
    EXPECT_EQ(std::vector<int32_t>(privateArray<int32_t>(m, 3), privateArray<int32_t>(m, 3) + kBins), low);
    // Edges a host wrote past the block read no further than its running sum.
    privateArray<int32_t>(m, 3)[2] = -100;
    privateArray<int32_t>(m, 4)[2] = 1 << 30;
    privateArray<float>(m, 5)[2] = 1.0f;
    for (uint32_t i = 0; i < kBins; ++i)
        data(in)[i] = static_cast<float>(i + 1);
    pump(m);
    EXPECT_EQ(data(out)[2], 36.0f);
}

TEST_F(SbBlocks, AttackReleaseHoldsBeforeReleasing)
{
    // 12 ms at 250 frames per second holds 3 blocks; attack and release times of 0 take each level at once.
    const struct {
        const char *what;
        float hold;
        uint32_t heldBlocks;
    } cases[] = {
        {"a hold of three blocks", 12.0f, 3},
        {"no hold releases in the first block after the rise", 0.0f, 0},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(4), *out = wire(4);
        ClassModule *m = build(kAttackRelease, kOneInOneOut, {in, out}, {0, bitsOf(c.hold), 0, 0, 0, 0});
        ASSERT_NE(m, nullptr) << c.what;
        EXPECT_EQ(variable<int32_t>(m, 5), static_cast<int32_t>(c.heldBlocks)) << c.what;
        EXPECT_EQ(variable<float>(m, 3), 1.0f) << c.what;
        const float levels[] = {0.5f, -2.0f, 0.25f, 0.0f, 0.0f, 0.0f, 0.0f};
        for (uint32_t n = 0; n < std::size(levels); ++n) {
            std::fill(data(in), data(in) + 4, levels[n]);
            pump(m);
            const float peak = n >= 1 ? 2.0f : 0.5f;
            const bool holding = n >= 2 && n < 2 + c.heldBlocks;
            const float want = n < 2 ? std::fabs(levels[n]) : holding ? peak : std::fabs(levels[n]);
            for (uint32_t i = 0; i < 4; ++i)
                EXPECT_EQ(data(out)[i], want) << c.what << ", block " << n << ", word " << i;
        }
    }
}

TEST_F(SbBlocks, AttackReleaseFollowsItsCoefficientsAndBypassesToUnity)
{
    GenericWire *in = wire(2), *out = wire(2);
    ClassModule *m = build(kAttackRelease, kOneInOneOut, {in, out}, {bitsOf(20.0f), 0, bitsOf(100.0f), 0, 0, 0});
    ASSERT_NE(m, nullptr);
    const double attack = 1.0 - std::exp(-1000.0 / (20.0 * kFrameRate));
    const double release = 1.0 - std::exp(-1000.0 / (100.0 * kFrameRate));
    EXPECT_NEAR(variable<float>(m, 3), attack, 1e-6);
    EXPECT_NEAR(variable<float>(m, 4), release, 1e-6);
    double envelope = 0.0;
    for (uint32_t n = 0; n < 20; ++n) {
        const float level = n < 10 ? 1.0f : 0.1f;
        data(in)[0] = level;
        data(in)[1] = -level;
        pump(m);
        const double c = level > envelope ? attack : release;
        envelope = c * level + (1.0 - c) * envelope;
        EXPECT_NEAR(data(out)[0], envelope, 1e-5) << "block " << n;
        EXPECT_EQ(data(out)[1], data(out)[0]) << "block " << n;
    }
    ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
    pump(m);
    EXPECT_EQ(data(out)[0], 1.0f);
    EXPECT_EQ(data(out)[1], 1.0f);
}

TEST_F(SbBlocks, DerivativeIsTheScaledChangePerUnitOfTime)
{
    GenericWire *in = wire(6, true, 1), *out = wire(6, true, 1);
    ClassModule *m = build(kDerivative, kOneInOneOut, {in, out}, {bitsOf(0.5f)});
    ASSERT_NE(m, nullptr);
    const std::vector<float> x = randomSignal(18, 91);
    for (uint32_t n = 0; n < 3; ++n) {
        load(in, x, n, 6);
        pump(m);
        for (uint32_t i = 0; i < 6; ++i) {
            const double previous = n == 0 ? 0.0 : x[6 * (n - 1) + i];
            EXPECT_NEAR(data(out)[i], (x[6 * n + i] - previous) * kFrameRate * 0.5, 1e-4) << "block " << n;
        }
    }
}

TEST_F(SbBlocks, OutputsSmallerThanTheInputAreFilledNeverOverrun)
{
    // Every class on 16-word inputs whose last output holds 4 words: a buffer of 16 whose block-size field says 4,
    // its last 12 words a guard.
    const struct {
        const char *what;
        uint32_t classId, wireWord;
        std::vector<uint32_t> args;
    } cases[] = {
        {"NLMS", kNLMS, kTwoInTwoOut, {4, 4, bitsOf(0.5f), bitsOf(1e-3f), 0}},
        {"delayed-update NLMS", kNLMSV2, kTwoInTwoOut, {4, 4, bitsOf(0.5f), bitsOf(1e-3f), 0}},
        {"complex FIR", kComplexFIR, kOneInOneOut, {3, 0}},
        {"variable-length FIR", kComplexFIRvl, kOneInOneOut, {16}},
        {"attack-release", kAttackRelease, kOneInOneOut, {0, 0, 0, 0, 0, 0}},
        {"derivative", kDerivative, kOneInOneOut, {bitsOf(1.0f)}},
        {"RMS", kRMS, kOneInOneOut, {0, 0, 0}},
        {"smoothing", kSmooth, kOneInOneOut, {0, 0, bitsOf(250.0f)}},
        {"second-order filter", kSOF, kOneInOneOut,
         {12, bitsOf(30.0f), bitsOf(6.0f), bitsOf(0.7f), 0, 0, 0, 0, 0, 0, 0, bitsOf(1.0f), 0, 0, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        const uint32_t inputs = KVE_PACKED_INPUTS(c.wireWord), outputs = KVE_PACKED_OUTPUTS(c.wireWord);
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k + 1 < inputs + outputs; ++k)
            wires.push_back(wire(16));
        GenericWire *shortOutput = wire(16);
        shortOutput->info2 = (shortOutput->info2 & ~0x1FFFFu) | 4u;
        wires.push_back(shortOutput);
        std::fill(data(shortOutput) + 4, data(shortOutput) + 16, 7.0f);
        for (uint32_t k = 0; k < inputs; ++k) {
            const std::vector<float> x = randomSignal(16, 100 + k);
            std::copy(x.begin(), x.end(), data(wires[k]));
        }
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), c.classId, &status, c.wireWord, wires.data(),
                                                  static_cast<uint32_t>(c.args.size()), c.args.data());
        ASSERT_NE(m, nullptr) << c.what;
        if (c.classId == kComplexFIRvl) {
            std::fill(privateArray<int32_t>(m, 2), privateArray<int32_t>(m, 2) + 8, 2);
            std::fill(privateArray<float>(m, 4), privateArray<float>(m, 4) + 32, 1.0f);
        }
        pump(m);
        for (uint32_t i = 4; i < 16; ++i)
            EXPECT_EQ(data(shortOutput)[i], 7.0f) << c.what << ": word " << i << " past the output";
    }
}

TEST_F(SbBlocks, WiringsShortOfThePinsReadAreRefused)
{
    const struct {
        const char *what;
        uint32_t classId, wireWord;
        std::vector<uint32_t> args;
    } cases[] = {
        {"NLMS without an error output", kNLMS, 0x102, {2, 2, 0, 0, 0}},
        {"NLMS without a desired input", kNLMS, 0x201, {2, 2, 0, 0, 0}},
        {"delayed-update NLMS with one input", kNLMSV2, 0x201, {2, 2, 0, 0, 0}},
        {"complex FIR without an input", kComplexFIR, 0x100, {2, 0}},
        {"variable-length FIR without an output", kComplexFIRvl, 0x1, {4}},
        {"smoothing without an output", kSmooth, 0x1, {0, 0, 0}},
    };
    for (const auto &c : cases) {
        GenericWire *wires[4] = {wire(8), wire(8), wire(8), wire(8)};
        int32_t status = KVE_OK;
        EXPECT_EQ(ClassModule_Constructor3(engine_.get(), c.classId, &status, c.wireWord, wires,
                                           static_cast<uint32_t>(c.args.size()), c.args.data()),
                  nullptr)
            << c.what;
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << c.what;
    }
}

} // namespace
