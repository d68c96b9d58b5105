// The complex-sample modules: angles, magnitudes, conjugates, modulation and unwrapping against numpy on random
// blocks of two channels; the splits and joins bit-exact; the polar round trip within the fast kernels' accuracy;
// the multiplier's products in both modes; the Fract32 magnitude against an integer model; bypasses, refusals and
// short wires.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/ComplexModules.h"
#include "kve/kve_vec.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;
using kvetest::oracleArg;
using kvetest::runOracle;

constexpr uint32_t kAngle = 0xBEEF0CD0u;
constexpr uint32_t kConjugate = 0xBEEF0CD1u;
constexpr uint32_t kMagnitudeFract32 = 0xBEEF0CD2u;
constexpr uint32_t kMagnitude = 0xBEEF0CD3u;
constexpr uint32_t kMagnitudeSquared = 0xBEEF0CD4u;
constexpr uint32_t kModulate = 0xBEEF0CD5u;
constexpr uint32_t kMultiplier = 0xBEEF0CD6u;
constexpr uint32_t kToPolar = 0xBEEF0CD7u;
constexpr uint32_t kToRealImagFract32 = 0xBEEF0CD8u;
constexpr uint32_t kToRealImag = 0xBEEF0CD9u;
constexpr uint32_t kPolarToComplex = 0xBEEF0D17u;
constexpr uint32_t kRealImagToComplexFract32 = 0xBEEF0D1Bu;
constexpr uint32_t kRealImagToComplex = 0xBEEF0D1Cu;
constexpr uint32_t kUnwrap = 0xBEEF0D45u;

const ModClassDescriptor *const kTable[] = {
    &kve_modComplexAngleClass.record,          &kve_modComplexConjugateClass.record,
    &kve_modComplexMagnitudeClass.record,      &kve_modComplexMagnitudeFract32Class.record,
    &kve_modComplexMagnitudeSquaredClass.record, &kve_modComplexModulateClass.record,
    &kve_modComplexMultiplierClass.record,     &kve_modComplexToPolarClass.record,
    &kve_modComplexToRealImagClass.record,     &kve_modComplexToRealImagFract32Class.record,
    &kve_modPolarToComplexClass.record,        &kve_modRealImagToComplexClass.record,
    &kve_modRealImagToComplexFract32Class.record, &kve_modUnwrapClass.record,
};

constexpr float kPi = 3.1415927f;

// Wire words of one, two and three wires: inputs, outputs and scratch wires counted in the packed word.
constexpr uint32_t wiring(uint32_t inputs, uint32_t outputs, uint32_t scratch = 0)
{
    return inputs | outputs << 8 | scratch << 16;
}

std::vector<std::string> args(std::initializer_list<std::string> head, const std::vector<float> &values)
{
    std::vector<std::string> a(head);
    for (float v : values)
        a.push_back(oracleArg(v));
    return a;
}

class ComplexModules : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = sizeof kTable / sizeof kTable[0];
    }

    // A wire of the given channels and words per channel, complex when asked.
    GenericWire *wire(uint32_t channels, uint32_t block, bool complex = false)
    {
        GenericWire *w = engine_.wire(channels, block);
        if (complex)
            w->info1 |= 1u << 27;
        return w;
    }
    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }
    static Fract32 *words(GenericWire *w) { return static_cast<Fract32 *>(w->buffer); }
    static uint32_t size(GenericWire *w) { return kve::kit::wireWords(w); }
    static void load(GenericWire *w, const std::vector<float> &v)
    {
        ASSERT_EQ(v.size(), size(w));
        std::memcpy(w->buffer, v.data(), v.size() * sizeof(float));
    }
    static std::vector<float> read(GenericWire *w) { return {data(w), data(w) + size(w)}; }

    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> arguments = {}, int32_t *status = nullptr)
    {
        return engine_.module(classId, wireWord, wires, arguments, status);
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    void pumpBypassed(ClassModule *m)
    {
        ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
        pump(m);
    }

    std::vector<float> random(size_t n, float scale = 2.0f)
    {
        std::uniform_real_distribution<float> u(-scale, scale);
        std::vector<float> v(n);
        for (float &x : v)
            x = u(rng_);
        return v;
    }

    kvetest::TestEngine engine_;
    std::mt19937 rng_{11};
};

// Two channels of 16 complex samples: random values with the quadrant edges in front, where the angle's sign and
// the magnitude's zero are decided.
std::vector<float> edgesThenRandom(std::vector<float> random)
{
    const std::vector<float> edges = {-1.0f, 0.0f, 0.0f, -1.0f, 1.0f, 0.0f, 0.0f, 1.0f,
                                      0.0f,  0.0f, -2.0f, -0.0f, 3.0f, 4.0f, -1e-20f, 1e-20f};
    std::copy(edges.begin(), edges.end(), random.begin());
    return random;
}

TEST_F(ComplexModules, RealValuesOfComplexSamplesFollowNumpy)
{
    const struct {
        const char *what;
        uint32_t classId;
        const char *op;
        double relative;
    } cases[] = {
        {"angle", kAngle, "angle", 1e-6},
        {"magnitude", kMagnitude, "abs", 1e-6},
        {"squared magnitude", kMagnitudeSquared, "abs2", 1e-6},
    };
    const std::vector<float> x = edgesThenRandom(random(64));
    const std::vector<double> want[] = {runOracle("complex_modules.py", args({"angle"}, x)),
                                        runOracle("complex_modules.py", args({"abs"}, x)),
                                        runOracle("complex_modules.py", args({"abs2"}, x))};
    for (size_t c = 0; c < std::size(cases); ++c) {
        SCOPED_TRACE(cases[c].what);
        GenericWire *in = wire(2, 32, true);
        GenericWire *out = wire(2, 16);
        load(in, x);
        ClassModule *m = build(cases[c].classId, wiring(1, 1), {in, out});
        ASSERT_NE(m, nullptr);
        pump(m);
        ASSERT_EQ(want[c].size(), 32u);
        for (uint32_t k = 0; k < 32; ++k)
            EXPECT_NEAR(data(out)[k], want[c][k], cases[c].relative * (1.0 + std::fabs(want[c][k]))) << "sample " << k;
    }
}

TEST_F(ComplexModules, AngleOfTheNegativeRealAxisIsPiAndOfMinusIIsMinusHalfPi)
{
    GenericWire *in = wire(1, 4, true);
    GenericWire *angle = wire(1, 2);
    load(in, {-1.0f, 0.0f, 0.0f, -1.0f});
    ClassModule *m = build(kAngle, wiring(1, 1), {in, angle});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ(data(angle)[0], kPi);
    EXPECT_EQ(data(angle)[1], -kPi / 2);
}

TEST_F(ComplexModules, ConjugateKeepsRealPartsBitExactAndNegatesImaginaryParts)
{
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> x = random(32);
    const std::vector<float> edges = {-0.0f, 0.0f, 0.0f, -0.0f, inf, -inf, -3.5f, 1e-30f};
    std::copy(edges.begin(), edges.end(), x.begin());
    const std::vector<double> want = runOracle("complex_modules.py", args({"conj"}, x));
    GenericWire *in = wire(2, 16, true);
    GenericWire *out = wire(2, 16, true);
    load(in, x);
    ClassModule *m = build(kConjugate, wiring(1, 1), {in, out});
    ASSERT_NE(m, nullptr);
    pump(m);
    ASSERT_EQ(want.size(), 32u);
    for (uint32_t k = 0; k < 32; k += 2) {
        EXPECT_EQ(bitsOf(data(out)[k]), bitsOf(x[k])) << "real part " << k / 2;
        EXPECT_EQ(bitsOf(data(out)[k + 1]), bitsOf(-x[k + 1])) << "imaginary part " << k / 2;
        EXPECT_EQ(data(out)[k + 1], static_cast<float>(want[k + 1]));
    }
}

// The split of a complex wire and the join of two real wires move words: any bit pattern, a float NaN or a Fract32
// at either end of its range, comes back as it went in.
TEST_F(ComplexModules, SplitThenJoinReturnsEveryWordOfTheBlock)
{
    const struct {
        const char *what;
        uint32_t split, join;
    } cases[] = {
        {"float", kToRealImag, kRealImagToComplex},
        {"Fract32", kToRealImagFract32, kRealImagToComplexFract32},
    };
    std::uniform_int_distribution<uint32_t> any;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        GenericWire *in = wire(2, 24, true);
        GenericWire *real = wire(2, 12);
        GenericWire *imag = wire(2, 12);
        GenericWire *back = wire(2, 24, true);
        std::vector<uint32_t> x(48);
        for (uint32_t &w : x)
            w = any(rng_);
        x[0] = 0x80000000u;
        x[1] = 0x7FFFFFFFu;
        x[2] = 0x7FC00001u;
        std::memcpy(in->buffer, x.data(), x.size() * 4);
        ClassModule *split = build(c.split, wiring(1, 2), {in, real, imag});
        ClassModule *join = build(c.join, wiring(2, 1), {real, imag, back});
        ASSERT_NE(split, nullptr);
        ASSERT_NE(join, nullptr);
        pump(split);
        pump(join);
        for (uint32_t k = 0; k < 24; ++k) {
            EXPECT_EQ(static_cast<uint32_t>(words(real)[k]), x[2 * k]) << "real part " << k;
            EXPECT_EQ(static_cast<uint32_t>(words(imag)[k]), x[2 * k + 1]) << "imaginary part " << k;
        }
        EXPECT_EQ(std::memcmp(back->buffer, x.data(), x.size() * 4), 0);
    }
}

// The fast arctangent reads a leg below 2^-23 as no leg at all, so the angles checked are those of samples well
// above that, the axes among them.
TEST_F(ComplexModules, PolarFormRoundTripsWithinTheFastKernelsAccuracy)
{
    std::vector<float> x = random(64);
    const std::vector<float> axes = {-1.0f, 0.0f, 0.0f, -1.0f, 1.0f, 0.0f, 0.0f, 1.0f, -2.0f, -0.0f, 3.0f, 4.0f};
    std::copy(axes.begin(), axes.end(), x.begin());
    GenericWire *in = wire(2, 32, true);
    GenericWire *angle = wire(2, 16);
    GenericWire *magnitude = wire(2, 16);
    GenericWire *scratch = wire(2, 32);
    GenericWire *back = wire(2, 32, true);
    load(in, x);
    ClassModule *toPolar = build(kToPolar, wiring(1, 2, 1), {in, angle, magnitude, scratch});
    ClassModule *toComplex = build(kPolarToComplex, wiring(2, 1), {angle, magnitude, back});
    ASSERT_NE(toPolar, nullptr);
    ASSERT_NE(toComplex, nullptr);
    pump(toPolar);
    pump(toComplex);

    const std::vector<double> wantAngle = runOracle("complex_modules.py", args({"angle"}, x));
    const std::vector<double> wantMagnitude = runOracle("complex_modules.py", args({"abs"}, x));
    ASSERT_EQ(wantAngle.size(), 32u);
    ASSERT_EQ(wantMagnitude.size(), 32u);
    std::vector<float> polar;
    for (uint32_t k = 0; k < 32; ++k) {
        // -pi and pi are one angle: the fast arctangent gives pi for both sides of the negative real axis.
        EXPECT_NEAR(std::remainder(data(angle)[k] - wantAngle[k], 2.0 * M_PI), 0.0, 2e-5) << "angle " << k;
        EXPECT_NEAR(data(magnitude)[k], wantMagnitude[k], 1e-6 * (1.0 + wantMagnitude[k])) << "magnitude " << k;
        polar.push_back(data(magnitude)[k]);
        polar.push_back(data(angle)[k]);
    }
    // The way back against numpy from the angles and magnitudes the module gave, then the whole trip.
    const std::vector<double> wantBack = runOracle("complex_modules.py", args({"polar"}, polar));
    ASSERT_EQ(wantBack.size(), 64u);
    for (uint32_t k = 0; k < 64; ++k) {
        const double scale = 1.0 + wantMagnitude[k / 2];
        EXPECT_NEAR(data(back)[k], wantBack[k], 1e-4 * scale) << "from polar " << k;
        EXPECT_NEAR(data(back)[k], x[k], 3e-4 * scale) << "round trip " << k;
    }
}

// Angles arrive with any number of whole turns, from an unwrap or an accumulating phase: each one gives the
// complex sample of its direction.
TEST_F(ComplexModules, PolarToComplexTakesAnglesOfAnyTurnCount)
{
    const std::vector<float> angles = {kPi,  -kPi,   3.2f,    -3.2f,   6.2831855f, -7.0f,  10.0f,    -25.5f,
                                       100.0f, 1e4f, -123.4f, 1.0e-3f, 2.5f,       -0.75f, 47.125f, 3.0f};
    const std::vector<float> magnitudes = random(angles.size(), 3.0f);
    GenericWire *angle = wire(2, 8);
    GenericWire *magnitude = wire(2, 8);
    GenericWire *out = wire(2, 16, true);
    load(angle, angles);
    load(magnitude, magnitudes);
    ClassModule *m = build(kPolarToComplex, wiring(2, 1), {angle, magnitude, out});
    ASSERT_NE(m, nullptr);
    pump(m);
    std::vector<float> polar;
    for (size_t k = 0; k < angles.size(); ++k) {
        polar.push_back(magnitudes[k]);
        polar.push_back(angles[k]);
    }
    const std::vector<double> want = runOracle("complex_modules.py", args({"polar"}, polar));
    ASSERT_EQ(want.size(), 32u);
    for (uint32_t k = 0; k < 32; ++k)
        EXPECT_NEAR(data(out)[k], want[k], 2e-5 * (1.0 + std::fabs(magnitudes[k / 2])))
            << "angle " << angles[k / 2] << (k % 2 == 0 ? ", real part" : ", imaginary part");
}

TEST_F(ComplexModules, UnwrapFollowsNumpyOnEachChannel)
{
    // Two channels of phases that drift by up to 3 radians a sample, wrapped into -pi..pi as an angle is.
    std::vector<float> phases(2 * 40);
    std::uniform_real_distribution<float> step(-3.0f, 3.0f);
    float track[2] = {0.5f, -2.0f};
    for (uint32_t k = 0; k < 40; ++k)
        for (uint32_t c = 0; c < 2; ++c) {
            track[c] += step(rng_);
            phases[2 * k + c] = std::remainder(track[c], 2.0f * kPi);
        }
    const std::vector<double> want = runOracle("complex_modules.py", args({"unwrap", "2"}, phases));
    GenericWire *in = wire(2, 40);
    GenericWire *out = wire(2, 40);
    load(in, phases);
    ClassModule *m = build(kUnwrap, wiring(1, 1), {in, out});
    ASSERT_NE(m, nullptr);
    pump(m);
    ASSERT_EQ(want.size(), 80u);
    for (uint32_t k = 0; k < 80; ++k)
        EXPECT_NEAR(data(out)[k], want[k], 1e-5 * (1.0 + std::fabs(want[k]))) << "sample " << k;
}

TEST_F(ComplexModules, ModulationMultipliesEachChannelByTheTable)
{
    const struct {
        const char *what;
        float frequency;
        bool complex;
        uint32_t channels;
    } cases[] = {
        {"one turn, complex, mono", 1.0f, true, 1},
        {"two and a half turns, complex, stereo", 2.5f, true, 2},
        {"minus three turns, real, stereo", -3.0f, false, 2},
        {"no turn passes the input", 0.0f, true, 2},
    };
    constexpr uint32_t kSamples = 24;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        GenericWire *in = wire(c.channels, c.complex ? 2 * kSamples : kSamples, c.complex);
        GenericWire *out = wire(c.channels, 2 * kSamples, true);
        const std::vector<float> x = random(size(in));
        load(in, x);
        ClassModule *m = build(kModulate, wiring(1, 1), {in, out}, {bitsOf(c.frequency)});
        ASSERT_NE(m, nullptr);
        pump(m);
        const std::vector<double> want =
            runOracle("complex_modules.py", args({"modulate", oracleArg(c.frequency), std::to_string(c.channels),
                                                  c.complex ? "1" : "0"},
                                                 x));
        ASSERT_EQ(want.size(), size(out));
        for (uint32_t k = 0; k < size(out); ++k)
            EXPECT_NEAR(data(out)[k], want[k], 1e-5) << "word " << k; // the table's phases are single precision
    }
}

TEST_F(ComplexModules, ModulationOfOnesTracesTheUnitCircleAndFollowsANewFrequency)
{
    constexpr uint32_t n = 16;
    GenericWire *in = wire(1, 2 * n, true);
    GenericWire *out = wire(1, 2 * n, true);
    std::vector<float> ones(2 * n, 0.0f);
    for (uint32_t k = 0; k < n; ++k)
        ones[2 * k] = 1.0f;
    load(in, ones);
    ClassModule *m = build(kModulate, wiring(1, 1), {in, out}, {bitsOf(1.0f)});
    ASSERT_NE(m, nullptr);
    for (float frequency : {1.0f, 4.0f}) {
        kvetest::variable<float>(m, 0) = frequency;
        ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
        pump(m);
        for (uint32_t k = 0; k < n; ++k) {
            const double phase = 2.0 * M_PI * frequency * k / n;
            EXPECT_NEAR(data(out)[2 * k], std::cos(phase), 3e-6) << frequency << " turns, sample " << k;
            EXPECT_NEAR(data(out)[2 * k + 1], std::sin(phase), 3e-6) << frequency << " turns, sample " << k;
        }
    }
}

// Complex products in double precision: the reference the multiplier's float products are held to.
struct Cd {
    double re, im;
};
Cd operator*(Cd a, Cd b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }

// Sample k of a wire's words as a complex value: a real wire's samples have no imaginary part.
Cd sampleOf(const std::vector<float> &w, bool complex, uint32_t k)
{
    return complex ? Cd{w[2 * k], w[2 * k + 1]} : Cd{w[k], 0.0};
}

TEST_F(ComplexModules, MultiplierTakesEachInputAsItsComplexFlagSays)
{
    const struct {
        const char *what;
        std::vector<bool> complex;
        int32_t mode;
    } cases[] = {
        {"complex by complex", {true, true}, 0},
        {"real by complex", {false, true}, 0},
        {"complex by real", {true, false}, 0},
        {"real by real", {false, false}, 0},
        {"four mixed inputs", {true, false, true, false}, 0},
        {"channels of one complex input", {true}, 1},
        {"channels of a real and a complex input", {false, true}, -7},
    };
    constexpr uint32_t kChannels = 2;
    constexpr uint32_t kSamples = 12;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<GenericWire *> wires;
        std::vector<std::vector<float>> values;
        for (bool complex : c.complex) {
            wires.push_back(wire(kChannels, complex ? 2 * kSamples : kSamples, complex));
            values.push_back(random(size(wires.back()), 1.5f));
            load(wires.back(), values.back());
        }
        const bool oneChannel = c.mode != 0;
        GenericWire *out = wire(oneChannel ? 1 : kChannels, 2 * kSamples, true);
        wires.push_back(out);
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), kMultiplier, &status,
                                                  wiring(static_cast<uint32_t>(c.complex.size()), 1), wires.data(), 1,
                                                  reinterpret_cast<const uint32_t *>(&c.mode));
        ASSERT_NE(m, nullptr) << status;
        pump(m);
        const uint32_t count = oneChannel ? kSamples : kChannels * kSamples;
        for (uint32_t k = 0; k < count; ++k) {
            Cd want{1.0, 0.0};
            for (size_t i = 0; i < values.size(); ++i) {
                if (!oneChannel)
                    want = want * sampleOf(values[i], c.complex[i], k);
                else
                    for (uint32_t ch = 0; ch < kChannels; ++ch)
                        want = want * sampleOf(values[i], c.complex[i], k * kChannels + ch);
            }
            EXPECT_NEAR(data(out)[2 * k], want.re, 1e-5 * (1.0 + std::fabs(want.re))) << "sample " << k;
            EXPECT_NEAR(data(out)[2 * k + 1], want.im, 1e-5 * (1.0 + std::fabs(want.im))) << "sample " << k;
        }
    }
}

TEST_F(ComplexModules, MultiplierExactProductsAndCopies)
{
    const struct {
        const char *what;
        std::vector<std::vector<float>> inputs; // one complex sample each, or one real sample
        int32_t mode;
        bool bypassed;
        float re, im;
    } cases[] = {
        {"(1 + i)(1 - i)(0 + i)", {{1, 1}, {1, -1}, {0, 1}}, 0, false, 0, 2},
        {"one complex input passes", {{3, -4}}, 0, false, 3, -4},
        {"one real input gains a zero imaginary part", {{-2.5f}}, 0, false, -2.5f, 0},
        {"bypassed, complex input 0 passes", {{3, -4}, {9, 9}}, 0, true, 3, -4},
        {"bypassed, real input 0 gains a zero imaginary part", {{7}, {9, 9}}, 0, true, 7, 0},
        {"bypassed one-channel form, real input 0", {{-6}, {9, 9}}, 1, true, -6, 0},
        {"bypassed one-channel form, complex input 0", {{0.5f, 2}, {9, 9}}, 1, true, 0.5f, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<GenericWire *> wires;
        for (const auto &v : c.inputs) {
            wires.push_back(wire(1, static_cast<uint32_t>(v.size()), v.size() == 2));
            load(wires.back(), v);
        }
        GenericWire *out = wire(1, 2, true);
        load(out, {100.0f, 100.0f}); // what a previous block left
        wires.push_back(out);
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), kMultiplier, &status,
                                                  wiring(static_cast<uint32_t>(c.inputs.size()), 1), wires.data(), 1,
                                                  reinterpret_cast<const uint32_t *>(&c.mode));
        ASSERT_NE(m, nullptr) << status;
        if (c.bypassed)
            pumpBypassed(m);
        else
            pump(m);
        EXPECT_EQ(data(out)[0], c.re);
        EXPECT_EQ(data(out)[1], c.im);
    }
}

TEST_F(ComplexModules, BypassPassesWhatEachClassDefines)
{
    const std::vector<float> x = {3.0f, -4.0f, -0.5f, 2.0f, 0.0f, -1.0f, 6.0f, 8.0f};
    const std::vector<float> realParts = {3.0f, -0.5f, 0.0f, 6.0f};
    const struct {
        const char *what;
        uint32_t classId;
        bool complexOut;
        std::vector<float> want;
    } cases[] = {
        {"magnitude: real parts", kMagnitude, false, realParts},
        {"squared magnitude: real parts", kMagnitudeSquared, false, realParts},
        {"angle: its process",
         kAngle,
         false,
         {std::atan2(-4.0f, 3.0f), std::atan2(2.0f, -0.5f), -kPi / 2, std::atan2(8.0f, 6.0f)}},
        {"conjugate: the input", kConjugate, true, x},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        GenericWire *in = wire(1, 8, true);
        GenericWire *out = c.complexOut ? wire(1, 8, true) : wire(1, 4);
        load(in, x);
        ClassModule *m = build(c.classId, wiring(1, 1), {in, out});
        ASSERT_NE(m, nullptr);
        pumpBypassed(m);
        ASSERT_EQ(size(out), c.want.size());
        for (uint32_t k = 0; k < size(out); ++k)
            EXPECT_NEAR(data(out)[k], c.want[k], 1e-6) << "word " << k;
    }
}

// The Q31 magnitude: each square a Q31 product (so -1 squared is just below 1), their sum saturated, then the
// library's Q31 square root; and the result within that root's accuracy of the exact root of that power.
TEST_F(ComplexModules, Fract32MagnitudeSaturatesSquaresAndSumBeforeTheRoot)
{
    std::vector<Fract32> x = {INT32_MIN, 0, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0x40000000, 0x40000000,
                              0, 0, -1, 1, 0x10000000, -0x20000000};
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    while (x.size() < 64)
        x.push_back(any(rng_));
    GenericWire *in = wire(2, 32, true);
    GenericWire *out = wire(2, 16);
    std::memcpy(in->buffer, x.data(), x.size() * 4);
    ClassModule *m = build(kMagnitudeFract32, wiring(1, 1), {in, out});
    ASSERT_NE(m, nullptr);
    pump(m);
    for (uint32_t k = 0; k < 32; ++k) {
        const int64_t re = x[2 * k];
        const int64_t im = x[2 * k + 1];
        const int64_t power = std::min<int64_t>(
            std::min<int64_t>((re * re) >> 31, INT32_MAX) + std::min<int64_t>((im * im) >> 31, INT32_MAX), INT32_MAX);
        const auto p = static_cast<Fract32>(power);
        Fract32 root = 0;
        kve_vecSqrtFract32(&p, 1, &root, 1, 1);
        EXPECT_EQ(words(out)[k], root) << "sample " << k;
        const double exact = std::sqrt(static_cast<double>(power) * 2147483648.0);
        EXPECT_NEAR(static_cast<double>(words(out)[k]), std::min(exact, 2147483647.0), 2.0 + 1e-5 * exact)
            << "sample " << k;
    }
}

TEST_F(ComplexModules, ConstructionRefusesWiringTheProcessCannotServe)
{
    int32_t status = KVE_OK;
    const struct {
        const char *what;
        uint32_t classId;
        uint32_t wireWord;
        std::vector<std::array<uint32_t, 3>> wires; // channels, words per channel, complex
        std::vector<uint32_t> args;
        int32_t status;
    } cases[] = {
        {"to polar without a scratch wire", kToPolar, wiring(1, 2), {{2, 32, 1}, {2, 16, 0}, {2, 16, 0}}, {},
         KVE_E_ARG_COUNT},
        {"to polar, scratch below two floats a sample", kToPolar, wiring(1, 2, 1),
         {{2, 32, 1}, {2, 16, 0}, {2, 16, 0}, {2, 31, 0}}, {}, KVE_E_BAD_ARGUMENT},
        {"to polar, scratch of two floats a sample", kToPolar, wiring(1, 2, 1),
         {{2, 32, 1}, {2, 16, 0}, {2, 16, 0}, {1, 64, 0}}, {}, KVE_OK},
        {"to polar, scratch for the shorter output", kToPolar, wiring(1, 2, 1),
         {{2, 32, 1}, {2, 16, 0}, {2, 4, 0}, {1, 16, 0}}, {}, KVE_OK},
        {"modulate, real input longer than its table", kModulate, wiring(1, 1), {{1, 16, 0}, {1, 30, 1}},
         {bitsOf(1.0f)}, KVE_E_BAD_ARGUMENT},
        {"modulate, complex input longer than its table", kModulate, wiring(1, 1), {{2, 34, 1}, {2, 32, 1}},
         {bitsOf(1.0f)}, KVE_E_BAD_ARGUMENT},
        {"modulate, table as long as a real input", kModulate, wiring(1, 1), {{1, 16, 0}, {1, 32, 1}},
         {bitsOf(1.0f)}, KVE_OK},
        {"join with one input", kRealImagToComplex, wiring(1, 1), {{1, 8, 0}, {1, 16, 1}}, {}, KVE_E_ARG_COUNT},
        {"split with one output", kToRealImagFract32, wiring(1, 1), {{1, 16, 1}, {1, 8, 0}}, {}, KVE_E_ARG_COUNT},
        {"multiplier without an output", kMultiplier, wiring(2, 0), {{1, 8, 1}, {1, 8, 1}}, {0}, KVE_E_ARG_COUNT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<GenericWire *> wires;
        for (const auto &w : c.wires)
            wires.push_back(wire(w[0], w[1], w[2] != 0));
        status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), c.classId, &status, c.wireWord, wires.data(),
                                                  static_cast<uint32_t>(c.args.size()), c.args.data());
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(m != nullptr, c.status == KVE_OK);
    }
}

// Wires of unequal sizes: every class converts as many samples as all its wires hold and leaves the rest of a longer
// output as it was.
TEST_F(ComplexModules, UnequalWiresConvertOnlyWhatEveryWireHolds)
{
    constexpr float kUntouched = 42.0f;
    const struct {
        const char *what;
        uint32_t classId;
        uint32_t wireWord;
        std::vector<std::array<uint32_t, 3>> wires; // inputs first; the last is the output that is checked
        uint32_t written;                             // words of that output the class writes
    } cases[] = {
        {"magnitude, longer output", kMagnitude, wiring(1, 1), {{1, 8, 1}, {1, 10, 0}}, 4},
        {"angle, shorter output", kAngle, wiring(1, 1), {{1, 8, 1}, {1, 3, 0}}, 3},
        {"conjugate, longer output", kConjugate, wiring(1, 1), {{1, 8, 1}, {1, 12, 1}}, 8},
        {"join, shorter imaginary input", kRealImagToComplex, wiring(2, 1), {{1, 5, 0}, {1, 3, 0}, {1, 12, 1}}, 6},
        {"polar to complex, shorter magnitude", kPolarToComplex, wiring(2, 1), {{1, 5, 0}, {1, 2, 0}, {1, 12, 1}}, 4},
        {"unwrap, longer output", kUnwrap, wiring(1, 1), {{2, 4, 0}, {2, 6, 0}}, 8},
        {"multiplier, shorter second input", kMultiplier, wiring(2, 1), {{1, 8, 1}, {1, 2, 0}, {1, 10, 1}}, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<GenericWire *> wires;
        for (const auto &w : c.wires) {
            wires.push_back(wire(w[0], w[1], w[2] != 0));
            load(wires.back(), std::vector<float>(size(wires.back()), kUntouched));
        }
        GenericWire *out = wires.back();
        for (size_t k = 0; k + 1 < wires.size(); ++k)
            load(wires[k], random(size(wires[k]), 1.0f));
        const uint32_t mode = 0;
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), c.classId, &status, c.wireWord, wires.data(),
                                                  c.classId == kMultiplier ? 1 : 0, &mode);
        ASSERT_NE(m, nullptr) << status;
        pump(m);
        for (uint32_t k = 0; k < size(out); ++k)
            EXPECT_EQ(data(out)[k] == kUntouched, k >= c.written) << "word " << k;
    }
}

} // namespace
