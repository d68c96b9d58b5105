// The fixed-point math datapaths: every word checked against the integer models, the logarithms and exponentials
// against double-precision log2, 10^(x/10), 10^(x/20), 2^x and x^p within their polynomials' error, the limits
// where a result has no word, and the four-lane path of the amplitude conversion against its one-sample path.
#include <cmath>
#include <functional>

#include "MathFract32TestSupport.h"

namespace mathq {
namespace {

constexpr double kQ23 = 8388608.0;   // 2^23
constexpr double kQ31 = 2147483648.0; // 2^31

// A word with 23 fractional bits for a value, rounded to nearest; the caller keeps it inside the word.
int32_t q23(double v) { return static_cast<int32_t>(std::lround(v * kQ23)); }

TEST_F(MathFract32, EveryWordFollowsTheIntegerModel)
{
    struct Case {
        const char *name;
        uint32_t classId;
        std::vector<uint32_t> args;
        std::function<int32_t(int32_t)> expected;
        bool nonNegative = false; // the square root is defined on x >= 0
    } cases[] = {
        {"abs", kAbs, {}, [](int32_t x) { return x == kMin ? kMax : (x < 0 ? -x : x); }},
        {"square", kSquare, {}, [](int32_t x) { return model::clampTo32(model::mul31(x, x)); }},
        {"sqrt", kSqrt, {}, kvetest::modelSqrtFract32, true},
        {"reciprocal, shift 0", kReciprocal, {0}, [](int32_t x) { return kvetest::modelReciprocalFract32(x, 0); }},
        {"reciprocal, shift 8", kReciprocal, {8}, [](int32_t x) { return kvetest::modelReciprocalFract32(x, 8); }},
        {"reciprocal, shift -3", kReciprocal, {static_cast<uint32_t>(-3)},
         [](int32_t x) { return kvetest::modelReciprocalFract32(x, -3); }},
        {"log10", kLog10, {}, kvetest::modelLog10Fract32},
        {"log2", kLog2, {}, model::log2},
        {"db20", kDb20, {}, model::db20},
        {"undb10", kUndb10, {}, model::undb10},
        {"undb20", kUndb20, {}, model::undb20},
        {"pow2", kPow2, {}, model::pow2},
        {"shift 3", kShift, {3}, [](int32_t x) { return model::clampTo32(model::i128{x} * 8); }},
        {"shift 31", kShift, {31}, [](int32_t x) { return model::clampTo32(model::i128{x} << 31); }},
        {"shift -5", kShift, {static_cast<uint32_t>(-5)}, [](int32_t x) { return x >> 5; }},
        {"logical shift 4", kLShift, {4},
         [](int32_t x) { return static_cast<int32_t>(static_cast<uint32_t>(x) * 16u); }},
        {"logical shift -4", kLShift, {static_cast<uint32_t>(-4)},
         [](int32_t x) { return static_cast<int32_t>(static_cast<uint32_t>(x) / 16u); }},
    };
    for (const Case &c : cases) {
        std::vector<int32_t> x = testWords(4096);
        if (c.nonNegative)
            std::transform(x.begin(), x.end(), x.begin(), [](int32_t v) { return v < 0 ? ~v : v; });
        int32_t status = KVE_OK;
        GenericWire *in = wire(1, 4096), *out = wire(1, 4096);
        std::vector<uint32_t> args = c.args;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), c.classId, &status, 0x101,
                                                  std::vector<GenericWire *>{in, out}.data(),
                                                  static_cast<uint32_t>(args.size()), args.data());
        ASSERT_NE(m, nullptr) << c.name;
        load(in, x);
        run(m);
        const std::vector<int32_t> y = words(out);
        int mismatches = 0;
        for (size_t i = 0; i < x.size() && mismatches < 5; ++i) {
            if (y[i] != c.expected(x[i])) {
                ++mismatches;
                ADD_FAILURE() << c.name << " of 0x" << std::hex << x[i] << " gave 0x" << y[i] << ", expected 0x"
                              << c.expected(x[i]);
            }
        }
    }
}

TEST_F(MathFract32, PowerFollowsTheIntegerModelForEveryPairOfWords)
{
    const std::vector<int32_t> corners = testWords(64);
    std::vector<int32_t> x, p;
    for (const int32_t a : corners) {
        for (const int32_t b : corners) {
            x.push_back(a);
            p.push_back(b);
        }
    }
    const std::vector<int32_t> y = applyPower(x, p);
    ASSERT_EQ(y.size(), x.size());
    int mismatches = 0;
    for (size_t i = 0; i < x.size() && mismatches < 5; ++i) {
        if (y[i] != model::pow(x[i], p[i])) {
            ++mismatches;
            ADD_FAILURE() << std::hex << "0x" << x[i] << " ^ 0x" << p[i] << " gave 0x" << y[i] << ", expected 0x"
                          << model::pow(x[i], p[i]);
        }
    }
}

// ---- Accuracy against double precision ----

struct Accuracy {
    const char *name;
    uint32_t classId;
    std::vector<double> inputs; // values of the input format
    double inputScale;          // 2^fractional bits of the input
    double outputScale;         // and of the output
    std::function<double(double)> reference;
    double relative; // allowed error relative to the reference...
    double absolute; // ...plus this much of the output format
};

std::vector<double> sweep(double from, double to, int count)
{
    std::vector<double> v;
    for (int i = 0; i < count; ++i)
        v.push_back(from + (to - from) * i / (count - 1));
    return v;
}

TEST_F(MathFract32, LogarithmsAndExponentialsStayWithinTheirPolynomialError)
{
    std::vector<double> magnitudes; // 2^-23 .. 255.9, every octave walked in 64 steps
    for (int e = -23; e < 8; ++e)
        for (int s = 0; s < 64; ++s)
            magnitudes.push_back(std::ldexp(1.0 + s / 64.0, e));
    const Accuracy cases[] = {
        // The cubic of log2 over the mantissa is good to 1.33e-3 of an octave (log10(2) and 20 log10(2) of that).
        {"log2", kLog2, magnitudes, kQ23, kQ23, [](double v) { return std::log2(v); }, 0.0, 1.4e-3},
        {"log10", kLog10, magnitudes, kQ23, kQ23, [](double v) { return std::log10(v); }, 0.0, 0.43e-3},
        {"db20", kDb20, magnitudes, kQ23, kQ23, [](double v) { return 20.0 * std::log10(v); }, 0.0, 8.5e-3},
        // The sextic of 2^f is good to about 6e-4 of the value (most at f = 0, where it gives 1.00054); the octave
        // shifts cut the 23 fractional bits of the result to 16 at most, a step of 128 units.
        {"undb20", kUndb20, sweep(-60.0, 48.15, 2001), kQ23, kQ23,
         [](double dB) { return std::pow(10.0, dB / 20.0); }, 6e-4, 256.0 / kQ23},
        {"undb10", kUndb10, sweep(-60.0, 24.07, 2001), kQ23, kQ23,
         [](double dB) { return std::pow(10.0, dB / 10.0); }, 6e-4, 256.0 / kQ23},
        {"pow2", kPow2, sweep(-15.0, 14.99, 2001), 67108864.0, 65536.0, [](double v) { return std::exp2(v); }, 6e-4,
         2.0 / 65536.0},
    };
    for (const Accuracy &c : cases) {
        std::vector<int32_t> x;
        for (const double v : c.inputs)
            x.push_back(static_cast<int32_t>(std::lround(v * c.inputScale)));
        const std::vector<int32_t> y = apply(c.classId, x);
        ASSERT_EQ(y.size(), x.size()) << c.name;
        double worst = 0.0;
        for (size_t i = 0; i < x.size(); ++i) {
            const double ref = c.reference(x[i] / c.inputScale);
            const double err = std::fabs(y[i] / c.outputScale - ref) - c.relative * std::fabs(ref);
            worst = std::max(worst, err);
            EXPECT_LE(err, c.absolute) << c.name << " of " << x[i] / c.inputScale << ": " << y[i] / c.outputScale
                                       << " for " << ref;
        }
        RecordProperty(c.name, std::to_string(worst));
    }
}

TEST_F(MathFract32, PowerOfQ31WordsIsCloseToThePowerOfTheirValues)
{
    std::vector<int32_t> x, p;
    for (const double base : {0.999, 0.9, 0.5, 0.25, 0.1, 0.01}) {
        for (const double e : {0.0, 0.1, 0.5, 0.9, 0.999, -0.1, -0.25}) {
            x.push_back(static_cast<int32_t>(base * kQ31));
            p.push_back(static_cast<int32_t>(e * kQ31));
        }
    }
    const std::vector<int32_t> y = applyPower(x, p);
    ASSERT_EQ(y.size(), x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        const double ref = std::min(std::pow(x[i] / kQ31, p[i] / kQ31), 1.0);
        // The dB polynomial and the cubic of 2^f are each good to a few parts in ten thousand.
        EXPECT_NEAR(y[i] / kQ31, ref, 1e-3 * ref + 1e-6) << x[i] / kQ31 << " ^ " << p[i] / kQ31;
    }
}

// ---- Limits ----

TEST_F(MathFract32, EdgeValuesOfTheLogarithmsAndExponentials)
{
    struct Case {
        uint32_t classId;
        int32_t x;
        int32_t y;
    } cases[] = {
        {kPow2, 15 * (1 << 26), kMax},
        {kPow2, kMax, kMax},
        {kPow2, -16 * (1 << 26), 0},
        {kPow2, kMin, 0},
        {kLog2, 0, kMin},
        {kLog10, 0, kMin},
        {kDb20, 0, kMin},
        {kLog2, 0x00800000, model::log2(0x00800000)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(apply(c.classId, {c.x}).at(0), c.y) << std::hex << c.classId << " of 0x" << c.x;
    const int32_t one = apply(kPow2, {0}).at(0);
    EXPECT_NEAR(one, 65536, 65536 * 6e-4) << "2^0 with 16 fractional bits";
    EXPECT_NEAR(apply(kLog2, {0x00800000}).at(0), 0, 1.4e-3 * kQ23) << "log2 1.0";
}

TEST_F(MathFract32, DecibelsBeyondTheWordSaturateInsteadOfWrapping)
{
    // Every exponent from the first that has no word (256.0 and up) to the top of the input word.
    struct Case {
        uint32_t classId;
        double limitDb;
    } cases[] = {{kUndb20, 20.0 * std::log10(256.0)}, {kUndb10, 10.0 * std::log10(256.0)}};
    for (const Case &c : cases) {
        std::vector<int32_t> x;
        for (double dB = c.limitDb + 0.01; dB < 255.99; dB += 0.37)
            x.push_back(q23(dB));
        x.push_back(kMax);
        const std::vector<int32_t> y = apply(c.classId, x);
        for (size_t i = 0; i < x.size(); ++i)
            EXPECT_EQ(y.at(i), kMax) << std::hex << c.classId << std::dec << " of " << x[i] / kQ23 << " dB";
        // Just below the limit the value still has its word, close to 256.
        const int32_t below = apply(c.classId, {q23(c.limitDb - 0.01)}).at(0);
        EXPECT_GT(below, 250.0 * kQ23);
        EXPECT_LT(below, kMax);
    }
}

TEST_F(MathFract32, AmplitudeConversionGivesTheSameWordsAtEveryAlignment)
{
    // -200 dB to +100 dB through every exponent, and both ends of the word, in blocks of up to 4096 words.
    std::vector<int32_t> all;
    for (int64_t w = q23(-200.0); w <= q23(100.0); w += 4001)
        all.push_back(static_cast<int32_t>(w));
    all.insert(all.end(), {kMin, kMin + 1, -1, 0, 1, kMax - 1, kMax});
    constexpr uint32_t kBlock = 4096;
    GenericWire *in = wire(1, kBlock + 4), *out = wire(1, kBlock + 4);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    int32_t *inBase = data(in);
    int32_t *outBase = data(out);
    ClassModule *m = build(kUndb20, 0x101, {in, out}, {});
    ASSERT_NE(m, nullptr);
    int mismatches = 0;
    for (size_t first = 0; first < all.size() && mismatches < 5; first += kBlock) {
        const std::vector<int32_t> x(all.begin() + first, all.begin() + std::min(all.size(), first + kBlock));
        const auto n = static_cast<uint32_t>(x.size());
        in->info2 = (in->info2 & ~0x1FFFFu) | n;
        out->info2 = (out->info2 & ~0x1FFFFu) | n;
        for (uint32_t shift = 0; shift < 4; ++shift) {
            // The input starts 0 to 3 words further on (every length of the one-by-one head), the output elsewhere.
            in->buffer = inBase + shift;
            out->buffer = outBase + (shift + 1) % 4;
            load(in, x);
            run(m);
            for (uint32_t i = 0; i < n && mismatches < 5; ++i) {
                if (data(out)[i] != model::undb20(x[i])) {
                    ++mismatches;
                    ADD_FAILURE() << "input shifted by " << shift << " words, sample " << i << ": " << x[i] / kQ23
                                  << " dB gave 0x" << std::hex << data(out)[i] << ", expected 0x"
                                  << model::undb20(x[i]);
                }
            }
        }
    }
    in->buffer = inBase;
    out->buffer = outBase;
}

} // namespace
} // namespace mathq
