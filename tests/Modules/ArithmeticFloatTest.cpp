// The float arithmetic modules against numpy float32: every mode of the folds (elementwise, one channel, complex one
// channel, gain input), inputs of different channel counts and lengths, and the fixed shapes; word for word, only
// the divider (reciprocal steps in blocks of four) within a few units in the last place. Words past what every wire
// involved holds stay as they were.
#include <cmath>
#include <string>

#include "ArithmeticTestSupport.h"
#include "support/PythonOracle.h"

namespace arithtest {
namespace {

using kvetest::oracleArg;

// Sample i of a test signal: magnitudes in [0.25, 2) of both signs, and a zero every eleventh sample, so that
// products of many inputs stay normal and a divider meets a zero divisor.
float sample(uint32_t i, uint32_t seed)
{
    if (i % 11 == 5)
        return 0.0f;
    const uint32_t h = (i + 1) * 0x9E3779B9u ^ seed * 0x85EBCA6Bu;
    const float magnitude = 0.25f + static_cast<float>(h >> 8) * 0x1p-24f * 1.75f;
    return (h & 1u) != 0 ? -magnitude : magnitude;
}

struct Case {
    const char *what;
    uint32_t classId;
    std::vector<uint32_t> args;
    std::vector<Shape> inputs;
    std::vector<Shape> outputs;
    const char *op;
    std::vector<float> params; // the oracle's parameters; for the polynomial also its coefficients
};

TEST_F(Arithmetic, FloatModulesMatchNumpy)
{
    const uint32_t on = 1;
    const Case cases[] = {
        {"magnitude", kAbs, {}, {{2, 8}}, {{2, 8}}, "abs", {}},
        {"square", kSquare, {}, {{2, 8}}, {{2, 8}}, "square", {}},
        {"adder with one input copies it", kAdder, {0}, {{2, 8}}, {{2, 8}}, "sum", {}},
        {"adder of three inputs", kAdder, {0}, {{2, 8}, {2, 8}, {2, 8}}, {{2, 8}}, "sum", {}},
        {"adder of one stereo input into one channel: left + right", kAdder, {on}, {{2, 8}}, {{1, 8}}, "sum1", {}},
        {"adder of 1, 2 and 3 channels into one", kAdder, {on}, {{1, 8}, {2, 8}, {3, 8}}, {{1, 8}}, "sum1", {}},
        {"adder into one channel stops at the shortest input", kAdder, {on}, {{2, 4}, {1, 6}}, {{1, 8}}, "sum1", {}},
        {"adder of complex inputs into one complex channel", kAdder, {on}, {{2, 8, true}, {1, 8, true}},
         {{1, 8, true}}, "csum1", {}},
        {"multiplier of three inputs", kMultiplier, {0}, {{1, 12}, {1, 12}, {1, 12}}, {{1, 12}}, "prod", {}},
        {"multiplier of 2 and 3 channels into one", kMultiplier, {on}, {{2, 6}, {3, 6}}, {{1, 6}}, "prod1", {}},
        {"V2 gain signal on three channels", kMultiplierV2, {on, 0}, {{1, 8}, {3, 8}}, {{3, 8}}, "gain", {}},
        {"V2 gain signal wins over one channel", kMultiplierV2, {on, on}, {{1, 5}, {2, 5}}, {{2, 5}}, "gain", {}},
        {"V2 into one channel from channel 0 of input 0", kMultiplierV2, {0, on}, {{2, 8}, {1, 8}}, {{1, 8}},
         "prod1first", {}},
        {"V2 elementwise", kMultiplierV2, {0, 0}, {{2, 4}, {2, 4}}, {{2, 4}}, "prod", {}},
        {"sum of squares", kSquareAdd, {0}, {{2, 5}, {2, 5}}, {{2, 5}}, "sqadd", {}},
        {"sum of squares into one channel", kSquareAdd, {on}, {{2, 5}, {1, 5}}, {{1, 5}}, "sqadd1", {}},
        {"half sum and half difference", kSumDiff, {}, {{2, 6}, {2, 6}}, {{2, 6}, {2, 6}}, "sumdiff", {}},
        {"three inputs a, b, c give a - c and b - c", kSubtract, {}, {{2, 4}, {2, 4}, {2, 4}}, {{2, 4}, {2, 4}},
         "sub", {}},
        {"divider", kDivide, {}, {{1, 10}, {1, 10}}, {{1, 10}}, "div", {}},
        {"scale and offset", kScaleOffset, {bitsOf(1.5f), bitsOf(-0.25f)}, {{2, 6}}, {{2, 6}}, "scaleoffset",
         {1.5f, -0.25f}},
        {"asymmetric clip", kClipAsym, {bitsOf(-0.5f), bitsOf(1.25f)}, {{2, 6}}, {{2, 6}}, "clip", {-0.5f, 1.25f}},
        {"cubic", kPolynomial, {4}, {{1, 9}}, {{1, 9}}, "poly", {0.5f, -1.25f, 2.0f, 0.75f}},
    };

    std::vector<Wired> built;
    std::vector<std::string> args;
    uint32_t seed = 1;
    for (const Case &c : cases) {
        if (!args.empty())
            args.push_back("/");
        args.insert(args.end(), {c.op, std::to_string(c.params.size()), std::to_string(c.inputs.size())});
        std::vector<std::string> inputArgs;
        const Wired w = build(Wiring{c.classId, c.args, c.inputs, c.outputs}, [&](uint32_t k, uint32_t words) {
            std::vector<float> v(words);
            for (uint32_t i = 0; i < words; ++i)
                v[i] = sample(i, seed);
            ++seed;
            inputArgs.insert(inputArgs.end(), {std::to_string(c.inputs[k].channels), std::to_string(words)});
            for (const float x : v)
                inputArgs.push_back(oracleArg(x));
            return v;
        });
        ASSERT_NE(w.module, nullptr) << c.what;
        uint32_t outWords = UINT32_MAX;
        for (GenericWire *out : w.outputs)
            outWords = std::min(outWords, kve::kit::wireWords(out));
        args.push_back(std::to_string(outWords));
        for (const float p : c.params)
            args.push_back(oracleArg(p));
        args.insert(args.end(), inputArgs.begin(), inputArgs.end());
        if (c.classId == kPolynomial)
            std::copy(c.params.begin(), c.params.end(), array<float>(w.module, 1));
        run(w.module);
        built.push_back(w);
    }

    const std::vector<double> expected = kvetest::runOracle("arithmetic_modules.py", args);
    size_t at = 0;
    for (size_t k = 0; k < std::size(cases); ++k) {
        const Case &c = cases[k];
        ASSERT_LT(at, expected.size()) << c.what;
        const auto count = static_cast<size_t>(expected[at++]);
        const size_t perOutput = count / c.outputs.size();
        for (GenericWire *out : built[k].outputs) {
            const std::vector<float> y = floats(out);
            const std::vector<int32_t> raw = words(out);
            ASSERT_LE(perOutput, y.size()) << c.what;
            for (size_t i = 0; i < perOutput; ++i) {
                const auto e = static_cast<float>(expected[at++]);
                if (c.classId == kDivide) {
                    EXPECT_NEAR(y[i], e, 4.0f * (std::nextafter(std::fabs(e), INFINITY) - std::fabs(e)))
                        << c.what << " word " << i;
                } else {
                    EXPECT_EQ(bitsOf(y[i]), bitsOf(e)) << c.what << " word " << i << ": " << y[i] << " vs " << e;
                }
            }
            for (size_t i = perOutput; i < raw.size(); ++i)
                EXPECT_EQ(raw[i], kSentinel) << c.what << ": word " << i << " lies past what every wire holds";
        }
    }
    EXPECT_EQ(at, expected.size());
}

} // namespace
} // namespace arithtest
