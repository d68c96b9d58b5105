// The two-reference subband echo canceller: block by block against a double-precision state-space model of its
// equations (four taps at a time, single taps, and both), the edges a host can reach (a silent second loudspeaker,
// residual-echo gains outside 0..1, no refinement passes, tap counts beyond the arrays, a Set mid-stream), the
// wirings it refuses, and two loudspeakers' echo cancelled through random echo paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/SbStereoEchoCanceller.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::oracleArg;
using Complex = std::complex<double>;

const ModClassDescriptor *const kClasses[] = {&kve_modSbStereoAECV1Class.record};
constexpr uint32_t kClassId = 0xBEEF429Bu;
constexpr float kRate = 16000.0f;

// Variable ordinals of the class record.
enum : uint32_t {
    kTimeConstant = 3,
    kAlpha,
    kTablePoints = 9,
    kTaps = 11,
    kTapVariance = 13,
    kCrossVariance,
    kRefHistory = 17,
    kCrossGain = 23,
    kGainVectors = 25,
    kPostGain,
    kPostTable,
};

struct Settings {
    uint32_t nSub = 4;
    int32_t maxTaps = 4;
    int32_t numTaps = 4;
    float noiseScale = 0.5f;
    float timeConstant = 1.0f;
    int32_t iterations = 2;
    int32_t postFilter = 1;
    int32_t tablePoints = 0;
};

// Random complex samples of unit power per component.
std::vector<Complex> noise(std::mt19937 &rng, size_t n)
{
    std::normal_distribution<double> g;
    std::vector<Complex> v(n);
    for (Complex &x : v)
        x = {static_cast<float>(g(rng)), static_cast<float>(g(rng))};
    return v;
}

class StereoCanceller : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kClasses;
        engine_->classCount = 1;
    }

    // A subband wire: complex samples, `channels` interleaved per subband.
    GenericWire *subbands(uint32_t channels, uint32_t nSub)
    {
        int32_t status = KVE_OK;
        return ClassWire_Constructor(engine_.get(), &status, kvetest::bitsOf(kRate), (4u << 28) | (1u << 27) | channels,
                                     2 * nSub, 0);
    }

    ClassModule *build(const Settings &s, GenericWire *mic, GenericWire *ref, GenericWire *out,
                       int32_t *status = nullptr, uint32_t wireWord = 0x102)
    {
        return engine_.module(kClassId, wireWord, {mic, ref, out},
                              {static_cast<uint32_t>(s.maxTaps), static_cast<uint32_t>(s.numTaps),
                               kvetest::bitsOf(s.noiseScale), kvetest::bitsOf(s.timeConstant), 0, 0,
                               static_cast<uint32_t>(s.iterations), static_cast<uint32_t>(s.postFilter), 0,
                               static_cast<uint32_t>(s.tablePoints), 0},
                              status);
    }

    // A canceller on fresh wires.
    struct Rig {
        GenericWire *mic, *ref, *out;
        ClassModule *m;
    };
    Rig rig(const Settings &s)
    {
        Rig r{subbands(1, s.nSub), subbands(2, s.nSub), subbands(1, s.nSub), nullptr};
        r.m = build(s, r.mic, r.ref, r.out);
        EXPECT_NE(r.m, nullptr);
        return r;
    }

    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }
    template <class T = float> static T &var(ClassModule *m, uint32_t k) { return kvetest::variable<T>(m, k); }
    static float *array(ClassModule *m, uint32_t k) { return kvetest::privateArray<float>(m, k); }

    // One block: the microphone sample and both reference samples of every subband.
    static void feed(const Rig &r, const std::vector<Complex> &mic, const std::vector<Complex> &x1,
                     const std::vector<Complex> &x2)
    {
        for (size_t k = 0; k < mic.size(); ++k) {
            data(r.mic)[2 * k] = static_cast<float>(mic[k].real());
            data(r.mic)[2 * k + 1] = static_cast<float>(mic[k].imag());
            const Complex pair[2] = {x1[k], x2[k]};
            for (int c = 0; c < 2; ++c) {
                data(r.ref)[4 * k + 2 * c] = static_cast<float>(pair[c].real());
                data(r.ref)[4 * k + 2 * c + 1] = static_cast<float>(pair[c].imag());
            }
        }
    }

    // One block of fresh noise, the same microphone and references, through every rig.
    void feedNoise(std::mt19937 &rng, uint32_t nSub, std::initializer_list<const Rig *> rigs)
    {
        const std::vector<Complex> mic = noise(rng, nSub), x1 = noise(rng, nSub), x2 = noise(rng, nSub);
        for (const Rig *r : rigs) {
            feed(*r, mic, x1, x2);
            pump(r->m);
        }
    }

    kvetest::TestEngine engine_;
};

// Every value of `got` within `relative` of the largest magnitude in `want` (the block's scale of that quantity).
void expectCloseToModel(const float *got, const double *want, size_t n, double relative, const std::string &what)
{
    double scale = 0.0;
    for (size_t i = 0; i < n; ++i)
        scale = std::max(scale, std::fabs(want[i]));
    for (size_t i = 0; i < n; ++i)
        ASSERT_NEAR(got[i], want[i], relative * scale + 1e-30) << what << " [" << i << "]";
}

// Random microphone and reference subbands through the canceller and the model: after every block the output, the
// residual-echo gains, the taps, the variances and the cross terms agree within 1e-5 of their scale.
TEST_F(StereoCanceller, FollowsTheStateSpaceModelBlockByBlock)
{
    struct Case {
        const char *what;
        int32_t numTaps, maxTaps;
        uint32_t seed;
    } cases[] = {
        {"four taps at a time", 8, 8, 11},
        {"single taps", 3, 5, 12},
        {"four at a time then single", 7, 9, 13},
    };
    constexpr uint32_t nSub = 5;
    constexpr uint32_t blocks = 24;
    constexpr float alpha = 0.9990234375f;
    for (const Case &c : cases) {
        Settings s;
        s.nSub = nSub;
        s.numTaps = c.numTaps;
        s.maxTaps = c.maxTaps;
        const Rig r = rig(s);
        ASSERT_NE(r.m, nullptr);
        var(r.m, kAlpha) = alpha;
        const std::vector<double> model = kvetest::runOracle(
            "subband_stereo_aec.py", {std::to_string(c.seed), std::to_string(nSub), std::to_string(blocks),
                                      std::to_string(c.numTaps), oracleArg(s.noiseScale), oracleArg(alpha),
                                      std::to_string(s.iterations), "0"});
        const size_t taps = static_cast<size_t>(c.numTaps);
        const size_t perBlock = 9 * nSub + 8 * nSub * taps;
        ASSERT_EQ(model.size(), perBlock * blocks) << c.what;
        const size_t stride = static_cast<size_t>(c.maxTaps);
        std::vector<float> w(4 * nSub * taps), p(2 * nSub * taps), q(2 * nSub * taps);
        for (uint32_t t = 0; t < blocks; ++t) {
            const double *at = model.data() + t * perBlock;
            std::copy(at, at + 2 * nSub, data(r.mic));
            std::copy(at + 2 * nSub, at + 6 * nSub, data(r.ref));
            pump(r.m);
            const std::string what = std::string(c.what) + ", block " + std::to_string(t);
            // The module keeps maxTaps taps per subband; the model only the taps in use.
            for (size_t k = 0; k < nSub; ++k) {
                std::copy_n(array(r.m, kTaps) + 4 * stride * k, 4 * taps, w.begin() + 4 * taps * k);
                std::copy_n(array(r.m, kTapVariance) + 2 * stride * k, 2 * taps, p.begin() + 2 * taps * k);
                std::copy_n(array(r.m, kCrossVariance) + 2 * stride * k, 2 * taps, q.begin() + 2 * taps * k);
            }
            const double *want = at + 6 * nSub;
            expectCloseToModel(data(r.out), want, 2 * nSub, 1e-5, what + " output");
            expectCloseToModel(array(r.m, kPostGain), want + 2 * nSub, nSub, 1e-5, what + " residual-echo gain");
            expectCloseToModel(w.data(), want + 3 * nSub, w.size(), 1e-5, what + " taps");
            expectCloseToModel(p.data(), want + 3 * nSub + w.size(), p.size(), 1e-5, what + " variances");
            expectCloseToModel(q.data(), want + 3 * nSub + w.size() + p.size(), q.size(), 1e-5, what + " cross terms");
        }
    }
}

// A table as the layout writes it: (x, y) in dB.
void writeTable(ClassModule *m, const std::vector<float> &points)
{
    std::copy(points.begin(), points.end(), kvetest::privateArray<float>(m, kPostTable));
}

TEST_F(StereoCanceller, EdgesAHostCanReach)
{
    struct Case {
        const char *what;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"a silent second loudspeaker leaves its taps and the cross terms at zero",
         [this] {
             Settings s;
             s.numTaps = s.maxTaps = 6;
             const Rig r = rig(s);
             std::mt19937 rng(5);
             const std::vector<Complex> silent(s.nSub);
             for (int t = 0; t < 30; ++t) {
                 const std::vector<Complex> x1 = noise(rng, s.nSub);
                 std::vector<Complex> mic(s.nSub);
                 for (size_t k = 0; k < s.nSub; ++k)
                     mic[k] = Complex(0.5, -0.25) * x1[k];
                 feed(r, mic, x1, silent);
                 pump(r.m);
             }
             double moved = 0.0;
             for (uint32_t k = 0; k < s.nSub; ++k)
                 for (int32_t i = 0; i < s.maxTaps; ++i) {
                     const float *w = array(r.m, kTaps) + 4 * (s.maxTaps * k + i);
                     moved += std::fabs(w[0]) + std::fabs(w[1]);
                     EXPECT_EQ(w[2], 0.0f);
                     EXPECT_EQ(w[3], 0.0f);
                     for (uint32_t j : {kCrossVariance, kCrossGain})
                         for (int part = 0; part < 2; ++part)
                             EXPECT_EQ(array(r.m, j)[2 * (s.maxTaps * k + i) + part], 0.0f);
                     EXPECT_EQ(array(r.m, kGainVectors)[4 * (s.maxTaps * k + i) + 2], 0.0f);
                 }
             EXPECT_GT(moved, 1.0) << "the first loudspeaker's taps adapt";
         }},
        {"residual-echo gains above 1 and below 0 reach the table as they are",
         [this] {
             Settings s;
             s.nSub = 2;
             s.iterations = 0;
             s.tablePoints = 2;
             const Rig r = rig(s);
             writeTable(r.m, {-100.0f, -100.0f, 100.0f, 100.0f}); // 0 dB in, 0 dB out: the gain itself
             ClassModule_Set(r.m, 0xFFFFFFFFu);
             // No passes: the gains last written stay, and 1 - Re(g1 x1) is 1.5 and -0.75 for x1 = 1.
             array(r.m, kGainVectors)[0] = -0.5f;
             array(r.m, kGainVectors)[4 * s.maxTaps] = 1.75f;
             feed(r, {Complex(1.0, 1.0), Complex(1.0, 1.0)}, {1.0, 1.0}, {0.0, 0.0});
             pump(r.m);
             const double gains[] = {1.5, 0.75}; // the magnitude of -0.75 in dB
             for (int k = 0; k < 2; ++k)
                 for (int part = 0; part < 2; ++part)
                     EXPECT_NEAR(data(r.out)[2 * k + part], gains[k], 1e-3 * gains[k]) << k;
         }},
        {"without passes the taps and variances only decay, and a fresh module's gain is 1",
         [this] {
             for (int32_t passes : {0, -2}) {
                 Settings s;
                 s.iterations = passes;
                 const Rig r = rig(s);
                 const float a = var(r.m, kAlpha);
                 std::mt19937 rng(7);
                 float *w = array(r.m, kTaps);
                 float *p = array(r.m, kTapVariance);
                 float *q = array(r.m, kCrossVariance);
                 const std::vector<Complex> taps = noise(rng, 2 * s.nSub * s.maxTaps);
                 for (size_t j = 0; j < taps.size(); ++j) {
                     w[2 * j] = static_cast<float>(taps[j].real());
                     w[2 * j + 1] = static_cast<float>(taps[j].imag());
                     q[j] = 0.25f;
                 }
                 const std::vector<float> w0(w, w + 4 * s.nSub * s.maxTaps);
                 const std::vector<float> p0(p, p + 2 * s.nSub * s.maxTaps);
                 const std::vector<Complex> mic = noise(rng, s.nSub), x1 = noise(rng, s.nSub),
                                            x2 = noise(rng, s.nSub);
                 feed(r, mic, x1, x2);
                 pump(r.m);
                 for (uint32_t k = 0; k < s.nSub; ++k) {
                     // Only tap 0 holds a reference yet.
                     const Complex w1(w0[4 * s.maxTaps * k], w0[4 * s.maxTaps * k + 1]);
                     const Complex w2(w0[4 * s.maxTaps * k + 2], w0[4 * s.maxTaps * k + 3]);
                     const Complex e = mic[k] - w1 * x1[k] - w2 * x2[k];
                     EXPECT_NEAR(data(r.out)[2 * k], e.real(), 1e-5) << passes;
                     EXPECT_NEAR(data(r.out)[2 * k + 1], e.imag(), 1e-5) << passes;
                     EXPECT_EQ(array(r.m, kPostGain)[k], 1.0f) << passes;
                 }
                 for (size_t j = 0; j < w0.size(); ++j)
                     ASSERT_EQ(w[j], w0[j] * a) << passes;
                 for (size_t j = 0; j < p0.size(); ++j) {
                     ASSERT_EQ(p[j], p0[j] * (a * a)) << passes;
                     ASSERT_EQ(q[j], 0.25f * (a * a)) << passes;
                 }
             }
         }},
        {"a pass count of 2^31 - 1 runs the 16 passes a block is held to",
         [this] {
             Settings s;
             s.iterations = 16;
             const Rig held = rig(s);
             const Rig asked = rig(s);
             var<int32_t>(asked.m, 6) = INT32_MAX;
             std::mt19937 rng(11);
             for (int t = 0; t < 3; ++t) {
                 feedNoise(rng, s.nSub, {&held, &asked});
                 for (uint32_t i = 0; i < 2 * s.nSub; ++i)
                     ASSERT_EQ(data(asked.out)[i], data(held.out)[i]) << "block " << t;
             }
         }},
        {"tap counts past the arrays run the taps built, below zero none",
         [this] {
             Settings s;
             const Rig built = rig(s);
             s.numTaps = s.maxTaps + 5;
             const Rig above = rig(s);
             s.numTaps = -3;
             const Rig none = rig(s);
             std::mt19937 rng(9);
             for (int t = 0; t < 6; ++t) {
                 feedNoise(rng, s.nSub, {&built, &above, &none});
                 for (uint32_t j = 0; j < 2 * s.nSub; ++j) {
                     EXPECT_EQ(data(above.out)[j], data(built.out)[j]) << t;
                     EXPECT_EQ(data(none.out)[j], data(none.mic)[j]) << t;
                 }
                 for (uint32_t k = 0; k < s.nSub; ++k)
                     EXPECT_EQ(array(none.m, kPostGain)[k], 1.0f);
             }
             EXPECT_EQ(array(none.m, kRefHistory)[0], 0.0f) << "no tap in use, no history kept";
         }},
        {"table points past the table built use the table built",
         [this] {
             Settings s;
             s.tablePoints = 2;
             const Rig two = rig(s);
             const Rig more = rig(s);
             for (const Rig *r : {&two, &more}) {
                 writeTable(r->m, {-100.0f, -6.0f, 100.0f, -6.0f});
                 var<int32_t>(r->m, kTablePoints) = r == &two ? 2 : 1000;
                 ClassModule_Set(r->m, 0xFFFFFFFFu);
                 std::mt19937 rng(3);
                 feed(*r, noise(rng, s.nSub), noise(rng, s.nSub), noise(rng, s.nSub));
                 pump(r->m);
             }
             for (uint32_t j = 0; j < 2 * s.nSub; ++j)
                 EXPECT_EQ(data(more.out)[j], data(two.out)[j]);
             EXPECT_NEAR(data(two.out)[0], data(two.mic)[0] * 0.501187, 1e-2 * std::fabs(data(two.mic)[0]));
         }},
        {"Set mid-stream takes the new time constant and keeps the adaptive state",
         [this] {
             Settings s;
             const Rig r = rig(s);
             std::mt19937 rng(4);
             for (int t = 0; t < 5; ++t) {
                 feed(r, noise(rng, s.nSub), noise(rng, s.nSub), noise(rng, s.nSub));
                 pump(r.m);
             }
             const size_t n = 4 * s.nSub * s.maxTaps;
             const std::vector<float> w(array(r.m, kTaps), array(r.m, kTaps) + n);
             const std::vector<float> p(array(r.m, kTapVariance), array(r.m, kTapVariance) + n / 2);
             var(r.m, kTimeConstant) = 0.05f;
             EXPECT_EQ(ClassModule_Set(r.m, 0), 0);
             EXPECT_NEAR(var(r.m, kAlpha), std::exp(-1.0 / (0.05 * kRate)), 1e-6);
             EXPECT_TRUE(std::equal(w.begin(), w.end(), array(r.m, kTaps)));
             EXPECT_TRUE(std::equal(p.begin(), p.end(), array(r.m, kTapVariance)));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.check();
    }
}

// Wirings the kernel could not serve are refused before anything is built.
TEST_F(StereoCanceller, RefusesWiringItCannotServe)
{
    struct Case {
        const char *what;
        uint32_t refChannels, refSubbands, outSubbands, wireWord;
        int32_t maxTaps, expected;
    } cases[] = {
        {"a stereo reference on matching wires", 2, 8, 8, 0x102, 4, KVE_OK},
        {"a single-channel reference", 1, 8, 8, 0x102, 4, KVE_E_BAD_ARGUMENT},
        {"a three-channel reference", 3, 8, 8, 0x102, 4, KVE_E_BAD_ARGUMENT},
        {"a reference of other subbands", 2, 6, 8, 0x102, 4, KVE_E_BAD_ARGUMENT},
        {"an output of other subbands", 2, 8, 9, 0x102, 4, KVE_E_BAD_ARGUMENT},
        {"a negative tap capacity", 2, 8, 8, 0x102, -1, KVE_E_BAD_ARGUMENT},
        {"no reference input", 2, 8, 8, 0x101, 4, KVE_E_ARG_COUNT},
    };
    for (const Case &c : cases) {
        Settings s;
        s.maxTaps = c.maxTaps;
        int32_t status = KVE_OK;
        GenericWire *mic = subbands(1, 8);
        GenericWire *ref = subbands(c.refChannels, c.refSubbands);
        GenericWire *out = subbands(1, c.outSubbands);
        ClassModule *m = c.wireWord == 0x101 ? build(s, mic, out, ref, &status, c.wireWord)
                                             : build(s, mic, ref, out, &status, c.wireWord);
        EXPECT_EQ(status, c.expected) << c.what;
        EXPECT_EQ(m != nullptr, c.expected == KVE_OK) << c.what;
    }
    // A table of no points takes no memory and leaves the output as the canceller made it.
    Settings s;
    s.tablePoints = -4;
    const Rig r = rig(s);
    ASSERT_NE(r.m, nullptr);
    EXPECT_EQ(kve::kit::capacity(r.m, kPostTable - kTaps), 0u);
    feed(r, {1.0, 2.0, 3.0, 4.0}, {0.0, 0.0, 0.0, 0.0}, {0.0, 0.0, 0.0, 0.0});
    pump(r.m);
    EXPECT_EQ(data(r.out)[6], 4.0f);
}

// Two loudspeakers through their own random echo paths (per subband, shorter than the filter): over blocks 250 to
// 300 the canceller holds the echo 20 dB down (about 29 dB as built; 20 dB is first reached near block 200).
TEST_F(StereoCanceller, CancelsTwoEchoPathsTwentyDecibels)
{
    Settings s;
    s.nSub = 8;
    s.maxTaps = s.numTaps = 8;
    s.noiseScale = 1.0f;
    s.timeConstant = 10.0f;
    const Rig r = rig(s);
    std::mt19937 rng(21);
    constexpr int pathTaps = 6;
    std::vector<Complex> paths[2];
    for (auto &path : paths) {
        path = noise(rng, s.nSub * pathTaps);
        for (int i = 0; i < pathTaps; ++i)
            for (uint32_t k = 0; k < s.nSub; ++k)
                path[i * s.nSub + k] *= 0.5 * std::exp(-0.3 * i);
    }
    std::vector<std::vector<Complex>> x1, x2;
    double echo = 0.0, residual = 0.0;
    constexpr int blocks = 300;
    for (int t = 0; t < blocks; ++t) {
        x1.push_back(noise(rng, s.nSub));
        x2.push_back(noise(rng, s.nSub));
        std::vector<Complex> mic(s.nSub);
        for (int i = 0; i < pathTaps && i <= t; ++i)
            for (uint32_t k = 0; k < s.nSub; ++k)
                mic[k] += paths[0][i * s.nSub + k] * x1[t - i][k] + paths[1][i * s.nSub + k] * x2[t - i][k];
        feed(r, mic, x1.back(), x2.back());
        pump(r.m);
        if (t >= blocks - 50) {
            for (uint32_t k = 0; k < s.nSub; ++k) {
                echo += std::norm(mic[k]);
                residual += std::norm(Complex(data(r.out)[2 * k], data(r.out)[2 * k + 1]));
            }
        }
    }
    EXPECT_GT(10.0 * std::log10(echo / residual), 20.0);
}

} // namespace
