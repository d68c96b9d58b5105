// The window and overlap-add modules: each against a whole-signal model over several blocks (state carried), the
// kept spans of the analysis window, sqrt-Hann analysis and synthesis reproducing the input, and the shapes the
// constructors refuse and the host-written sizes and indices Process holds to what was built.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/Windows.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

constexpr uint32_t kWindow = 0xBEEF0D4Du;
constexpr uint32_t kWindowFract32 = 0xBEEF0D4Cu;
constexpr uint32_t kWindowAlias = 0xBEEF0D4Bu;
constexpr uint32_t kWindowAliasFract32 = 0xBEEF0D4Au;
constexpr uint32_t kWindowOverlap = 0xBEEF0D4Fu;
constexpr uint32_t kWindowOverlapFract32 = 0xBEEF0D4Eu;
constexpr uint32_t kRepWinOverlap = 0xBEEF0D1Eu;
constexpr uint32_t kOverlapAdd = 0xBEEF0D16u;
constexpr uint32_t kOverlapAddFract32 = 0xBEEF0D15u;

const ModClassDescriptor *const kTable[] = {
    &kve_modWindowClass.record,        &kve_modWindowFract32Class.record,        &kve_modWindowAliasClass.record,
    &kve_modWindowAliasFract32Class.record, &kve_modWindowOverlapClass.record, &kve_modWindowOverlapFract32Class.record,
    &kve_modRepWinOverlapClass.record, &kve_modOverlapAddClass.record,           &kve_modOverlapAddFract32Class.record,
};

constexpr uint32_t kOneInOneOut = 0x101u;

using kvetest::bitsOf;

std::string arg(const char *name, uint32_t v) { return std::string(name) + "=" + std::to_string(v); }

// Numbers as one comma-separated oracle argument, without losing a bit.
template <typename T> std::string joined(const std::vector<T> &values)
{
    std::string s;
    for (const T &v : values)
        s += (s.empty() ? "" : ",") + kvetest::oracleArg(static_cast<double>(v));
    return s;
}

std::vector<int32_t> randomWords(size_t n, uint32_t seed)
{
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int32_t> d(INT32_MIN, INT32_MAX);
    std::vector<int32_t> v(n);
    for (int32_t &x : v)
        x = d(gen);
    return v;
}

std::vector<float> randomFloats(size_t n, uint32_t seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (float &x : v)
        x = d(gen);
    return v;
}

// The periodic sqrt-Hann window of n samples, whose square sums to n / (2 hop) at any hop dividing n / 2.
std::vector<float> sqrtHann(uint32_t n)
{
    std::vector<float> w(n);
    for (uint32_t i = 0; i < n; ++i)
        w[i] = static_cast<float>(std::sqrt(0.5 - 0.5 * std::cos(2.0 * M_PI * i / n)));
    return w;
}

class Windows : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = static_cast<uint32_t>(std::size(kTable));
    }
    GenericWire *wire(uint32_t channels, uint32_t block, bool complex = false)
    {
        GenericWire *w = engine_.wire(channels, block);
        if (complex)
            w->info1 |= 1u << 27;
        return w;
    }
    ClassModule *build(uint32_t classId, GenericWire *in, GenericWire *out, std::vector<uint32_t> args,
                       int32_t *status = nullptr)
    {
        int32_t local = KVE_OK;
        GenericWire *wires[] = {in, out};
        return ClassModule_Constructor3(engine_.get(), classId, status != nullptr ? status : &local, kOneInOneOut,
                                        wires, static_cast<uint32_t>(args.size()), args.data());
    }
    template <typename T = float> static T *data(GenericWire *w) { return static_cast<T *>(w->buffer); }
    static uint32_t words(GenericWire *w) { return kve::kit::wireWords(w); }
    template <typename T> static void fill(T *dst, const std::vector<T> &src)
    {
        std::copy(src.begin(), src.end(), dst);
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    // Runs a module over consecutive input blocks taken from x; returns the output blocks one after another.
    template <typename T>
    std::vector<T> run(ClassModule *m, GenericWire *in, GenericWire *out, const std::vector<T> &x)
    {
        std::vector<T> y;
        for (size_t at = 0; at + words(in) <= x.size(); at += words(in)) {
            std::copy(x.begin() + static_cast<ptrdiff_t>(at), x.begin() + static_cast<ptrdiff_t>(at + words(in)),
                      data<T>(in));
            pump(m);
            y.insert(y.end(), data<T>(out), data<T>(out) + words(out));
        }
        return y;
    }

    kvetest::TestEngine engine_;
};

TEST_F(Windows, AnalysisWindowKeepsItsSpanScaledAndWeighted)
{
    constexpr uint32_t kN = 8;
    const struct {
        const char *what;
        uint32_t start, stop;
        std::vector<uint32_t> kept;
    } cases[] = {
        {"start 0, stop past the block: the whole block", 0, 100, {0, 1, 2, 3, 4, 5, 6, 7}},
        {"start 0, stop at N: the whole block", 0, kN, {0, 1, 2, 3, 4, 5, 6, 7}},
        {"an inner span keeps both ends", 2, 5, {2, 3, 4, 5}},
        {"a wrapped span keeps the ends of the block, not the stop", 6, 2, {0, 1, 6, 7}},
        {"a wrapped span from past the block keeps the samples before the stop", 20, 3, {0, 1, 2}},
        {"start equal to stop keeps that one sample", 3, 3, {3}},
        {"start equal to stop at N keeps nothing", kN, kN, {}},
        {"both past the block keep nothing", 9, 50, {}},
    };
    const std::vector<float> w = randomFloats(kN, 7);
    const std::vector<float> x = randomFloats(2 * kN, 8);
    constexpr float kGain = 1.75f;
    for (const auto &c : cases) {
        GenericWire *in = wire(2, kN);
        GenericWire *out = wire(2, kN);
        ClassModule *m = build(kWindow, in, out, {c.start, c.stop, bitsOf(kGain), 5});
        ASSERT_NE(m, nullptr) << c.what;
        fill(kvetest::privateArray<float>(m, 4), w);
        fill(data(in), x);
        pump(m);
        for (uint32_t j = 0; j < kN; ++j) {
            const bool kept = std::find(c.kept.begin(), c.kept.end(), j) != c.kept.end();
            for (uint32_t ch = 0; ch < 2; ++ch) {
                const float want = kept ? kGain * x[2 * j + ch] * w[j] : 0.0f;
                EXPECT_EQ(data(out)[2 * j + ch], want) << c.what << ": sample " << j << " channel " << ch;
            }
        }
        EXPECT_EQ(kvetest::variable<int32_t>(m, 3), 5) << c.what << ": the option is stored as written";
    }
}

TEST_F(Windows, AnalysisWindowOnComplexSamplesTreatsEachSampleAsOneUnit)
{
    // Two channels of 4 complex samples: 16 words, a window of 4 coefficients.
    GenericWire *in = wire(2, 8, true);
    GenericWire *out = wire(2, 8, true);
    ClassModule *m = build(kWindow, in, out, {3, 1, bitsOf(0.5f), 0});
    ASSERT_NE(m, nullptr);
    const std::vector<float> w = {2.0f, 3.0f, 5.0f, 7.0f};
    fill(kvetest::privateArray<float>(m, 4), w);
    const std::vector<float> x = randomFloats(16, 9);
    fill(data(in), x);
    pump(m);
    // The wrapped span 3 .. 1 keeps complex samples 0 and 3, real and imaginary parts alike.
    for (uint32_t i = 0; i < 16; ++i) {
        const uint32_t sample = i / 4;
        const bool kept = sample == 0 || sample == 3;
        EXPECT_EQ(data(out)[i], kept ? 0.5f * x[i] * w[sample] : 0.0f) << "word " << i;
    }
}

struct OverlapCase {
    const char *what;
    uint32_t channels, n, p, bufferLength;
};

TEST_F(Windows, SynthesisWindowOverlapAddsAtTheOutputHop)
{
    const OverlapCase cases[] = {
        {"hop of half a block, two channels", 2, 16, 8, 0},
        {"hop of a quarter block", 1, 16, 4, 0},
        {"hop of an odd size", 2, 12, 5, 0},
        {"hop of the whole block", 3, 8, 8, 0},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(c.channels, c.n);
        GenericWire *out = wire(c.channels, c.p);
        ClassModule *m = build(kWindowOverlap, in, out, {});
        ASSERT_NE(m, nullptr) << c.what;
        const std::vector<float> w = randomFloats(c.n, 11);
        fill(kvetest::privateArray<float>(m, 0), w);
        const std::vector<float> x = randomFloats(6 * c.channels * c.n, 12);
        const std::vector<float> y = run(m, in, out, x);
        const std::vector<double> want = kvetest::runOracle(
            "windows_model.py", {"overlap", "ch=" + std::to_string(c.channels), "n=" + std::to_string(c.n),
                                 "p=" + std::to_string(c.p), "w=" + joined(w), "x=" + joined(x)});
        ASSERT_EQ(want.size(), y.size()) << c.what;
        for (size_t i = 0; i < y.size(); ++i)
            EXPECT_NEAR(y[i], want[i], 1e-6) << c.what << ": word " << i;
    }
}

TEST_F(Windows, OverlapAddSumsBlocksInItsRingAtTheOutputHop)
{
    const OverlapCase cases[] = {
        {"ring of one block, hop of half a block", 2, 16, 8, 16},
        {"ring longer than the block, wrapping mid-block", 2, 16, 8, 21},
        {"hop of an odd size", 1, 12, 5, 13},
        {"hop of the whole block", 3, 8, 8, 8},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(c.channels, c.n);
        GenericWire *out = wire(c.channels, c.p);
        ClassModule *m = build(kOverlapAdd, in, out, {0, c.bufferLength, 77});
        ASSERT_NE(m, nullptr) << c.what;
        const std::vector<float> x = randomFloats(7 * c.channels * c.n, 13);
        const std::vector<float> y = run(m, in, out, x);
        const std::vector<double> want = kvetest::runOracle(
            "windows_model.py", {"overlap", "ch=" + std::to_string(c.channels), "n=" + std::to_string(c.n),
                                 "p=" + std::to_string(c.p), "w=" + joined(std::vector<float>(c.n, 1.0f)),
                                 "x=" + joined(x)});
        ASSERT_EQ(want.size(), y.size()) << c.what;
        for (size_t i = 0; i < y.size(); ++i)
            EXPECT_NEAR(y[i], want[i], 1e-6) << c.what << ": word " << i;
        EXPECT_EQ(kvetest::variable<int32_t>(m, 2), 77) << c.what << ": the reserved value is stored as written";
    }
    // A constant 1.0 at half-block hops: the first block's half alone, then two halves at every hop.
    GenericWire *in = wire(1, 8);
    GenericWire *out = wire(1, 4);
    ClassModule *m = build(kOverlapAdd, in, out, {0, 8, 0});
    ASSERT_NE(m, nullptr);
    const std::vector<float> y = run(m, in, out, std::vector<float>(4 * 8, 1.0f));
    for (size_t i = 0; i < y.size(); ++i)
        EXPECT_EQ(y[i], i < 4 ? 1.0f : 2.0f) << "word " << i;
}

// Frames of N samples every P samples of a signal (the newest sample last), as a rebuffer ahead of the analysis
// window hands them on.
std::vector<float> framesOf(const std::vector<float> &signal, uint32_t channels, uint32_t n, uint32_t p)
{
    std::vector<float> history(channels * n, 0.0f);
    std::vector<float> frames;
    for (size_t at = 0; at + channels * p <= signal.size(); at += channels * p) {
        history.erase(history.begin(), history.begin() + channels * p);
        history.insert(history.end(), signal.begin() + static_cast<ptrdiff_t>(at),
                       signal.begin() + static_cast<ptrdiff_t>(at + channels * p));
        frames.insert(frames.end(), history.begin(), history.end());
    }
    return frames;
}

TEST_F(Windows, SqrtHannAnalysisAndSynthesisReproduceTheInputDelayed)
{
    const struct {
        uint32_t n, p;
    } cases[] = {{64, 32}, {64, 16}, {32, 8}};
    constexpr uint32_t kCh = 2;
    for (const auto &c : cases) {
        const std::string what = "N " + std::to_string(c.n) + " hop " + std::to_string(c.p);
        const std::vector<double> cola =
            kvetest::runOracle("windows_model.py", {"cola", "n=" + std::to_string(c.n), "p=" + std::to_string(c.p)});
        ASSERT_EQ(cola, std::vector<double>{1.0}) << what << ": the squared window overlap-adds to a constant";
        const std::vector<float> w = sqrtHann(c.n);
        // The squared window sums to N / 2P at this hop: the analysis gain takes it back to 1.
        const float gain = 2.0f * static_cast<float>(c.p) / static_cast<float>(c.n);
        GenericWire *frame = wire(kCh, c.n);
        GenericWire *analysed = wire(kCh, c.n);
        GenericWire *weighed = wire(kCh, c.n);
        GenericWire *byWindow = wire(kCh, c.p);
        GenericWire *byRing = wire(kCh, c.p);
        ClassModule *analysis = build(kWindow, frame, analysed, {0, c.n, bitsOf(gain), 0});
        ClassModule *synthesis = build(kWindowOverlap, analysed, byWindow, {});
        ClassModule *weigh = build(kWindow, analysed, weighed, {0, c.n, bitsOf(1.0f), 0});
        ClassModule *ring = build(kOverlapAdd, weighed, byRing, {0, c.n, 0});
        ASSERT_TRUE(analysis && synthesis && weigh && ring) << what;
        fill(kvetest::privateArray<float>(analysis, 4), w);
        fill(kvetest::privateArray<float>(synthesis, 0), w);
        fill(kvetest::privateArray<float>(weigh, 4), w);
        const std::vector<float> signal = randomFloats(kCh * 20 * c.n, 21);
        const std::vector<float> frames = framesOf(signal, kCh, c.n, c.p);
        std::vector<float> outWindow, outRing;
        for (size_t at = 0; at < frames.size(); at += kCh * c.n) {
            std::copy(frames.begin() + static_cast<ptrdiff_t>(at),
                      frames.begin() + static_cast<ptrdiff_t>(at + kCh * c.n), data(frame));
            for (ClassModule *m : {analysis, synthesis, weigh, ring})
                pump(m);
            outWindow.insert(outWindow.end(), data(byWindow), data(byWindow) + kCh * c.p);
            outRing.insert(outRing.end(), data(byRing), data(byRing) + kCh * c.p);
        }
        // Once the first frame has filled, output sample t is input sample t - (N - P).
        const size_t delay = kCh * (c.n - c.p);
        for (size_t i = kCh * c.n; i < outWindow.size(); ++i) {
            EXPECT_NEAR(outWindow[i], signal[i - delay], 1e-5) << what << ": WindowOverlap word " << i;
            EXPECT_NEAR(outRing[i], signal[i - delay], 1e-5) << what << ": OverlapAdd word " << i;
        }
    }
}

struct AliasCase {
    const char *what;
    uint32_t channels, n, p, folds, length;
};

TEST_F(Windows, AliasedWindowFoldsTheWindowedHistoryIntoEachBlock)
{
    const AliasCase cases[] = {
        {"three folds of the output block, two channels", 2, 8, 8, 3, 24},
        {"an input block shorter than the output", 1, 4, 16, 2, 32},
        {"a history longer than the folds read", 2, 16, 8, 4, 40},
        {"one fold: a plain window over the newest block", 1, 8, 8, 1, 8},
        {"an output block of an odd size", 2, 6, 11, 2, 24},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(c.channels, c.n);
        GenericWire *out = wire(c.channels, c.p);
        ClassModule *m = build(kWindowAlias, in, out, {c.length, 0, c.folds});
        ASSERT_NE(m, nullptr) << c.what;
        const std::vector<float> w = randomFloats(c.length, 31);
        fill(kvetest::privateArray<float>(m, 3), w);
        const std::vector<float> x = randomFloats(6 * c.channels * c.n, 32);
        const std::vector<float> y = run(m, in, out, x);
        const std::vector<double> want = kvetest::runOracle(
            "windows_model.py", {"alias", arg("ch", c.channels), arg("n", c.n), arg("p", c.p), arg("k", c.folds),
                                 arg("l", c.length), "w=" + joined(w), "x=" + joined(x)});
        ASSERT_EQ(want.size(), y.size()) << c.what;
        for (size_t i = 0; i < y.size(); ++i)
            EXPECT_NEAR(y[i], want[i], 1e-6) << c.what << ": word " << i;
    }
}

TEST_F(Windows, RepeatedWindowLaysTheBlockUnderTheWholeWindow)
{
    const struct {
        const char *what;
        uint32_t channels, n, p, repeats, length;
    } cases[] = {
        {"three repeats filling the state, two channels", 2, 8, 8, 3, 24},
        {"a state longer than the repeats, hop of half a block", 1, 8, 4, 2, 20},
        {"a hop longer than the block", 2, 4, 12, 4, 16},
        {"one repeat: a plain synthesis window", 1, 16, 8, 1, 16},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(c.channels, c.n);
        GenericWire *out = wire(c.channels, c.p);
        ClassModule *m = build(kRepWinOverlap, in, out, {c.length, c.repeats});
        ASSERT_NE(m, nullptr) << c.what;
        const std::vector<float> w = randomFloats(c.length, 41);
        fill(kvetest::privateArray<float>(m, 2), w);
        const std::vector<float> x = randomFloats(6 * c.channels * c.n, 42);
        const std::vector<float> y = run(m, in, out, x);
        const std::vector<double> want = kvetest::runOracle(
            "windows_model.py", {"repeat", arg("ch", c.channels), arg("n", c.n), arg("p", c.p), arg("r", c.repeats),
                                 arg("l", c.length), "w=" + joined(w), "x=" + joined(x)});
        ASSERT_EQ(want.size(), y.size()) << c.what;
        for (size_t i = 0; i < y.size(); ++i)
            EXPECT_NEAR(y[i], want[i], 1e-6) << c.what << ": word " << i;
    }
}

TEST_F(Windows, FixedPointWindowsTakeTheLargestExponentAndRoundHalfAwayFromZero)
{
    const struct {
        const char *what;
        std::vector<float> w;
    } cases[] = {
        {"largest magnitude 3.0: exponent 2, 3.0 as 0.75", {3.0f, 1.0f, -0.25f, 0.5f, -3.0f, 0.1f, 2.9999998f, 0.0f}},
        {"a window inside +-1 with zeros at its ends", {0.0f, 0.3f, 0.7f, 0.99999994f, -0.6f, 0.2f, 0.05f, 0.0f}},
        {"a small window keeps its precision under a negative exponent",
         {1e-6f, -3e-6f, 2.5e-7f, 7.7e-6f, -1e-7f, 4e-6f, 3.3e-6f, -6e-6f}},
        {"powers of two sit at the top of their exponent", {0.5f, -0.5f, 0.25f, 0.125f, -1.0f, 0.5f, 0.5f, 0.5f}},
    };
    for (const auto &c : cases) {
        const std::vector<double> want = kvetest::runOracle("windows_model.py", {"convert", "w=" + joined(c.w)});
        ASSERT_EQ(want.size(), c.w.size() + 1) << c.what;
        for (uint32_t cls : {kWindowFract32, kWindowAliasFract32}) {
            const bool alias = cls == kWindowAliasFract32;
            const auto length = static_cast<uint32_t>(c.w.size());
            ClassModule *m = alias ? build(cls, wire(1, 8), wire(1, 8), {length, 0, 1, 0})
                                   : build(cls, wire(1, 8), wire(1, 8), {length, 0});
            ASSERT_NE(m, nullptr) << c.what;
            fill(kvetest::privateArray<float>(m, alias ? 4 : 2), c.w);
            ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
            EXPECT_EQ(kvetest::variable<int32_t>(m, alias ? 3 : 1), static_cast<int32_t>(want[0])) << c.what;
            const Fract32 *coefficients = kvetest::privateArray<Fract32>(m, alias ? 5 : 3);
            for (size_t i = 0; i < c.w.size(); ++i)
                EXPECT_EQ(coefficients[i], static_cast<Fract32>(want[i + 1])) << c.what << ": coefficient " << i;
        }
    }
    // The stated example: 3.0 is stored as 0x60000000 under exponent 2.
    ClassModule *m = build(kWindowFract32, wire(1, 2), wire(1, 2), {2, 0});
    ASSERT_NE(m, nullptr);
    fill(kvetest::privateArray<float>(m, 2), std::vector<float>{3.0f, 0.5f});
    ASSERT_EQ(ClassModule_Set(m, 0), 0);
    EXPECT_EQ(kvetest::variable<int32_t>(m, 1), 2);
    EXPECT_EQ(kvetest::privateArray<Fract32>(m, 3)[0], 0x60000000);
}

TEST_F(Windows, FixedPointModulesMatchTheIntegerModelBitForBit)
{
    // Full-scale words, so products saturate under a positive shift and sums saturate in the overlap-add.
    const std::vector<float> large = {3.0f, -2.5f, 1.5f, 0.75f, -1.25f, 2.0f, -0.5f, 0.9f,
                                      1.1f, -3.0f, 0.3f, 2.2f, -1.7f, 0.6f, 1.9f, -2.1f};
    const std::vector<float> small = randomFloats(16, 51);
    // The fixed-point windows: where each keeps its float window, coefficients and shift, and the model's mode.
    const struct {
        const char *what;
        uint32_t classId, n, p;
        std::vector<uint32_t> args;
        uint32_t window, coefficients, shift;
        std::vector<std::string> model;
    } cases[] = {
        {"WindowFract32 over two channels of 16", kWindowFract32, 16, 16, {16, 0}, 2, 3, 1, {"window32"}},
        {"WindowAliasFract32, two folds of 8, blocks of 4", kWindowAliasFract32, 4, 8, {16, 0, 2, 0}, 4, 5, 3,
         {"alias32", "k=2", "l=16"}},
        {"WindowAliasFract32, two folds of 8, blocks of 8", kWindowAliasFract32, 8, 8, {16, 0, 2, 0}, 4, 5, 3,
         {"alias32", "k=2", "l=16"}},
        {"WindowAliasFract32, one fold of 8 from a history of 16", kWindowAliasFract32, 4, 8, {16, 0, 1, 0}, 4, 5, 3,
         {"alias32", "k=1", "l=16"}},
    };
    for (const auto *w : {&large, &small}) {
        for (const auto &c : cases) {
            const std::string what = std::string(c.what) + (w == &large ? ", window up to 3.0" : ", window in +-1");
            GenericWire *in = wire(2, c.n);
            GenericWire *out = wire(2, c.p);
            ClassModule *m = build(c.classId, in, out, c.args);
            ASSERT_NE(m, nullptr) << what;
            fill(kvetest::privateArray<float>(m, c.window), *w);
            ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
            const Fract32 *made = kvetest::privateArray<Fract32>(m, c.coefficients);
            const std::vector<int32_t> x = randomWords(6 * 2 * c.n, 52 + c.n);
            const std::vector<int32_t> y = run(m, in, out, x);
            std::vector<std::string> args = c.model;
            for (const std::string &a : {std::string("ch=2"), arg("n", c.n), arg("p", c.p),
                                         "w32=" + joined(std::vector<int32_t>(made, made + 16)),
                                         "shift=" + std::to_string(kvetest::variable<int32_t>(m, c.shift)),
                                         "x=" + joined(x)})
                args.push_back(a);
            const std::vector<double> want = kvetest::runOracle("windows_model.py", args);
            ASSERT_EQ(want.size(), y.size()) << what;
            for (size_t i = 0; i < y.size(); ++i)
                EXPECT_EQ(y[i], static_cast<int32_t>(want[i])) << what << ": word " << i;
        }
    }
    // The overlap-adds, with words near full scale so the sums saturate.
    const std::vector<int32_t> window = randomWords(16, 54);
    for (uint32_t p : {4u, 8u, 5u}) {
        GenericWire *in = wire(2, 16);
        GenericWire *outWindow = wire(2, p);
        GenericWire *outRing = wire(2, p);
        ClassModule *synthesis = build(kWindowOverlapFract32, in, outWindow, {});
        ClassModule *ring = build(kOverlapAddFract32, in, outRing, {0, 19, 0});
        ASSERT_TRUE(synthesis && ring);
        fill(kvetest::privateArray<Fract32>(synthesis, 0), window);
        const std::vector<int32_t> x = randomWords(6 * 32, 55 + p);
        std::vector<int32_t> ySynthesis, yRing;
        for (size_t at = 0; at < x.size(); at += 32) {
            std::copy(x.begin() + static_cast<ptrdiff_t>(at), x.begin() + static_cast<ptrdiff_t>(at + 32),
                      data<int32_t>(in));
            pump(synthesis);
            pump(ring);
            ySynthesis.insert(ySynthesis.end(), data<int32_t>(outWindow), data<int32_t>(outWindow) + 2 * p);
            yRing.insert(yRing.end(), data<int32_t>(outRing), data<int32_t>(outRing) + 2 * p);
        }
        const std::vector<std::string> shape = {"overlap32", "ch=2", "n=16", arg("p", p), "x=" + joined(x)};
        std::vector<std::string> windowed = shape;
        windowed.push_back("w32=" + joined(window));
        const std::vector<double> wantSynthesis = kvetest::runOracle("windows_model.py", windowed);
        const std::vector<double> wantRing = kvetest::runOracle("windows_model.py", shape);
        ASSERT_EQ(wantSynthesis.size(), ySynthesis.size());
        ASSERT_EQ(wantRing.size(), yRing.size());
        for (size_t i = 0; i < ySynthesis.size(); ++i) {
            EXPECT_EQ(ySynthesis[i], static_cast<int32_t>(wantSynthesis[i])) << "WindowOverlapFract32 hop " << p
                                                                              << " word " << i;
            EXPECT_EQ(yRing[i], static_cast<int32_t>(wantRing[i])) << "OverlapAddFract32 hop " << p << " word " << i;
        }
    }
}

TEST_F(Windows, ConstructionRefusesShapesProcessCannotServe)
{
    const struct {
        const char *what;
        uint32_t classId, n, p;
        std::vector<uint32_t> args;
        int32_t status;
    } cases[] = {
        {"WindowOverlap: a hop within the block", kWindowOverlap, 16, 16, {}, KVE_OK},
        {"WindowOverlap: a hop beyond the block", kWindowOverlap, 8, 16, {}, KVE_E_BAD_ARGUMENT},
        {"WindowOverlapFract32: a hop beyond the block", kWindowOverlapFract32, 8, 9, {}, KVE_E_BAD_ARGUMENT},
        {"WindowAlias: folds that fit", kWindowAlias, 8, 8, {24, 0, 3}, KVE_OK},
        {"WindowAlias: folds beyond the window", kWindowAlias, 8, 8, {16, 0, 3}, KVE_E_BAD_ARGUMENT},
        {"WindowAlias: an output block beyond the window", kWindowAlias, 8, 32, {16, 0, 0}, KVE_E_BAD_ARGUMENT},
        {"WindowAlias: an input block beyond the window", kWindowAlias, 32, 8, {16, 0, 1}, KVE_E_BAD_ARGUMENT},
        {"WindowAlias: a negative window length", kWindowAlias, 8, 8, {0xFFFFFFF0u, 0, 1}, KVE_E_BAD_ARGUMENT},
        {"WindowAlias: folds too many for 32 bits", kWindowAlias, 8, 8, {24, 0, 0x7FFFFFFFu}, KVE_E_BAD_ARGUMENT},
        {"WindowAliasFract32: folds beyond the window", kWindowAliasFract32, 8, 8, {16, 0, 3, 0}, KVE_E_BAD_ARGUMENT},
        {"WindowAliasFract32: an input block beyond the window", kWindowAliasFract32, 32, 8, {16, 0, 1, 0},
         KVE_E_BAD_ARGUMENT},
        {"RepWinOverlap: repeats that fit", kRepWinOverlap, 8, 8, {24, 3}, KVE_OK},
        {"RepWinOverlap: repeats beyond the state", kRepWinOverlap, 8, 8, {16, 3}, KVE_E_BAD_ARGUMENT},
        {"RepWinOverlap: a hop beyond the state", kRepWinOverlap, 8, 32, {16, 1}, KVE_E_BAD_ARGUMENT},
        {"WindowFract32: a window as long as the block", kWindowFract32, 8, 8, {8, 0}, KVE_OK},
        {"WindowFract32: a window shorter than the block", kWindowFract32, 8, 8, {7, 0}, KVE_E_BAD_ARGUMENT},
        {"WindowFract32: a negative window length", kWindowFract32, 8, 8, {0xFFFFFFFFu, 0}, KVE_E_BAD_ARGUMENT},
        {"OverlapAdd: a ring of one block", kOverlapAdd, 8, 4, {0, 8, 0}, KVE_OK},
        {"OverlapAdd: a ring shorter than the block", kOverlapAdd, 8, 4, {0, 7, 0}, KVE_E_BAD_ARGUMENT},
        {"OverlapAdd: a ring shorter than the hop", kOverlapAdd, 8, 16, {0, 8, 0}, KVE_E_BAD_ARGUMENT},
        {"OverlapAddFract32: a ring shorter than the block", kOverlapAddFract32, 8, 4, {0, 7, 0},
         KVE_E_BAD_ARGUMENT},
        {"OverlapAddFract32: a negative ring", kOverlapAddFract32, 8, 4, {0, 0x80000000u, 0}, KVE_E_BAD_ARGUMENT},
    };
    for (const auto &c : cases) {
        int32_t status = KVE_OK;
        ClassModule *m = build(c.classId, wire(2, c.n), wire(2, c.p), c.args, &status);
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(m != nullptr, c.status == KVE_OK) << c.what;
    }
}

// A host-written size or index beyond what was built acts as the value Process holds it to: two modules, one given
// the wild value and one the held value, give the same output words block after block.
TEST_F(Windows, HostWrittenSizesAndIndicesActAsTheValuesTheyAreHeldTo)
{
    const struct {
        const char *what;
        uint32_t classId, n, p;
        std::vector<uint32_t> args;
        uint32_t variable;
        int32_t written, heldTo;
        bool fract32;
    } cases[] = {
        {"OverlapAdd: an index past the ring wraps", kOverlapAdd, 8, 4, {0, 10, 0}, 0, 1000003, 1000003 % 20, false},
        {"OverlapAdd: a negative index wraps", kOverlapAdd, 8, 4, {0, 10, 0}, 0, -3, 17, false},
        {"OverlapAdd: a ring length written later changes nothing", kOverlapAdd, 8, 4, {0, 10, 0}, 1, 1 << 30, 10,
         false},
        {"OverlapAddFract32: an index past the ring wraps", kOverlapAddFract32, 8, 4, {0, 10, 0}, 0, 45, 5, true},
        {"WindowAlias: folds beyond the window", kWindowAlias, 8, 8, {24, 0, 1}, 2, 1000, 3, false},
        {"WindowAlias: no folds takes the first", kWindowAlias, 8, 8, {24, 0, 2}, 2, -4, 1, false},
        {"WindowAlias: a window length written later changes nothing", kWindowAlias, 8, 8, {24, 0, 2}, 0, 1 << 20, 24,
         false},
        {"WindowAliasFract32: an index past the ring wraps", kWindowAliasFract32, 8, 8, {24, 0, 2, 0}, 1, 48 * 5 + 7,
         7, true},
        {"WindowAliasFract32: a negative index wraps", kWindowAliasFract32, 8, 8, {24, 0, 2, 0}, 1, -2, 46, true},
        {"WindowAliasFract32: folds beyond the window", kWindowAliasFract32, 8, 8, {24, 0, 2, 0}, 2, 99, 3, true},
        {"WindowAliasFract32: a shift beyond 63", kWindowAliasFract32, 8, 8, {24, 0, 2, 0}, 3, 5000, 63, true},
        {"WindowAliasFract32: a shift below -63", kWindowAliasFract32, 8, 8, {24, 0, 2, 0}, 3, -5000, -63, true},
        {"RepWinOverlap: repeats beyond the state", kRepWinOverlap, 8, 8, {24, 1}, 1, 1 << 30, 3, false},
        {"RepWinOverlap: negative repeats add nothing", kRepWinOverlap, 8, 8, {24, 1}, 1, -7, 0, false},
        {"WindowFract32: a shift beyond 63", kWindowFract32, 8, 8, {8, 0}, 1, 1 << 30, 63, true},
        {"WindowFract32: a shift below -63", kWindowFract32, 8, 8, {8, 0}, 1, INT32_MIN, -63, true},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(2, c.n);
        GenericWire *outs[2] = {wire(2, c.p), wire(2, c.p)};
        ClassModule *mods[2] = {build(c.classId, in, outs[0], c.args), build(c.classId, in, outs[1], c.args)};
        ASSERT_TRUE(mods[0] && mods[1]) << c.what;
        const std::vector<float> window = randomFloats(64, 61);
        for (int k = 0; k < 2; ++k) {
            // The float window every class but the overlap-add rings reads first; its Set makes the Fract32 one.
            const uint32_t windowVariable = static_cast<uint32_t>(c.args.size());
            if (c.classId != kOverlapAdd && c.classId != kOverlapAddFract32)
                std::copy(window.begin(), window.begin() + c.args[0], kvetest::privateArray<float>(mods[k],
                                                                                                     windowVariable));
            ASSERT_EQ(ClassModule_Set(mods[k], KVE_MASK_ALL), 0);
            kvetest::variable<int32_t>(mods[k], c.variable) = k == 0 ? c.written : c.heldTo;
        }
        for (int block = 0; block < 5; ++block) {
            if (c.fract32) {
                const std::vector<int32_t> x = randomWords(words(in), 62 + block);
                fill(data<int32_t>(in), x);
            } else {
                fill(data(in), randomFloats(words(in), 62 + block));
            }
            pump(mods[0]);
            pump(mods[1]);
            for (uint32_t i = 0; i < words(outs[0]); ++i)
                EXPECT_EQ(data<uint32_t>(outs[0])[i], data<uint32_t>(outs[1])[i]) << c.what << ": block " << block
                                                                                   << " word " << i;
        }
    }
}

} // namespace
