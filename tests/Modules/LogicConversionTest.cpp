// The type conversions: the configurable TypeConversion for every pair of type codes and the six fixed classes,
// against a numpy model of the float, Fract32 and integer rules (truncation and saturation to Fract32, rounding half
// away from zero to integers, rounding to the nearest single, NaN and infinities); in-place conversion, outputs
// smaller than their input, and bypass, which converts all the same.
#include <cmath>
#include <limits>
#include <string>

#include "LogicTestSupport.h"
#include "support/PythonOracle.h"

namespace {

using namespace logictest;

uint32_t f(float v) { return bitsOf(v); }

// Words that reach every rule's corners, read as each of the three types: floats at and past full scale, halves
// either side of zero, the largest single below 0.5, NaNs of both signs, infinities, tiny values and signed zeros;
// integers at the ends of the range and past 2^24, where singles round.
const std::vector<uint32_t> kWords = {
    f(0.5f),         f(-0.5f),      f(1.0f),        f(-1.0f),       f(2.5f),        f(-2.5f),
    f(0.49999997f),  0x7FC00000u,   0xFFC00000u,    f(INFINITY),    f(-INFINITY),   f(3e9f),
    f(-3e9f),        f(1e-12f),     f(-1e-12f),     f(0.0f),        f(-0.0f),       f(123.456f),
    f(-0.75f),       f(0.99999994f), 0u,            1u,             0xFFFFFFFFu,    6u,
    16777217u,       0x7FFFFFFFu,   0x80000000u,    0x40000000u,    0x40000001u,    33554435u,
};

class LogicConversion : public Logic {
protected:
    // The model's output words for every (input type, output type) pair, types 0 float, 1 Fract32, 2 integer: one
    // run of the model for the whole suite.
    static void SetUpTestSuite()
    {
        std::vector<std::string> args;
        for (uint32_t w : kWords)
            args.push_back(std::to_string(w));
        const std::vector<double> r = kvetest::runOracle("logic_modules_conversions.py", args);
        for (size_t i = 0; i < r.size() && r.size() == 9 * kWords.size(); ++i)
            model_[i / kWords.size()].push_back(static_cast<int32_t>(r[i]));
    }
    void SetUp() override
    {
        Logic::SetUp();
        for (const std::vector<int32_t> &row : model_)
            ASSERT_EQ(row.size(), kWords.size()) << "the conversion model did not run";
    }
    static const std::vector<int32_t> &model(int from, int to) { return model_[3 * from + to]; }

    GenericWire *input(uint32_t channels)
    {
        GenericWire *w = wire(channels, static_cast<uint32_t>(kWords.size()) / channels);
        load(w, kWords);
        return w;
    }

    static inline std::vector<int32_t> model_[9];
};

TEST_F(LogicConversion, EveryPairOfTypeCodesConvertsAsTheModel)
{
    // Codes other than 0 and 1 name the integer type.
    struct Case {
        int32_t inputType;
        int32_t outputType;
        int from;
        int to;
    } cases[] = {
        {0, 0, 0, 0}, {0, 1, 0, 1}, {0, 2, 0, 2}, {1, 0, 1, 0}, {1, 1, 1, 1}, {1, 2, 1, 2},
        {2, 0, 2, 0}, {2, 1, 2, 1}, {2, 2, 2, 2}, {5, 0, 2, 0}, {0, 5, 0, 2}, {1, -1, 1, 2},
        {-1, 1, 2, 1}, {7, 2, 2, 2},
    };
    for (const Case &c : cases) {
        GenericWire *in = input(2);
        GenericWire *out = filled(wire(2, static_cast<uint32_t>(kWords.size()) / 2), kSentinel);
        // The construction arguments are inputType, then outputType.
        ClassModule *m = build(kTypeConversion, wiring(1, 1), {in, out},
                               {static_cast<uint32_t>(c.inputType), static_cast<uint32_t>(c.outputType)});
        ASSERT_NE(m, nullptr);
        pump(m);
        const std::vector<int32_t> got = words<int32_t>(out);
        for (size_t i = 0; i < kWords.size(); ++i)
            EXPECT_EQ(got[i], model(c.from, c.to)[i]) << c.inputType << " to " << c.outputType << " word " << std::hex
                                                      << kWords[i];
    }
}

TEST_F(LogicConversion, TypeConversionInPlaceAndWhileBypassed)
{
    // Float 0.5 is 0x40000000 in Fract32.
    GenericWire *half = filled(wire(1, 2), static_cast<int32_t>(f(0.5f)));
    GenericWire *fract = wire(1, 2);
    ClassModule *toFract = build(kTypeConversion, wiring(1, 1), {half, fract}, {0, 1});
    ASSERT_NE(toFract, nullptr);
    pump(toFract);
    EXPECT_EQ(words<int32_t>(fract), (std::vector<int32_t>{0x40000000, 0x40000000}));

    // Bypassed, it still converts.
    filled(fract, kSentinel);
    pumpBypassed(toFract);
    EXPECT_EQ(words<int32_t>(fract), (std::vector<int32_t>{0x40000000, 0x40000000}));

    // One buffer for input and output: equal codes leave it, different codes convert it in place.
    for (int to : {0, 1, 2}) {
        GenericWire *shared = input(1);
        GenericWire *alias = wire(1, static_cast<uint32_t>(kWords.size()));
        alias->buffer = shared->buffer;
        ClassModule *m = build(kTypeConversion, wiring(1, 1), {shared, alias}, {0, static_cast<uint32_t>(to)});
        ASSERT_NE(m, nullptr);
        pump(m);
        EXPECT_EQ(words<int32_t>(shared), model(0, to)) << "float to " << to;
    }

    // An output shorter than the input gets the words it holds.
    GenericWire *small = wire(1, 3);
    ClassModule *m = build(kTypeConversion, wiring(1, 1), {input(2), small}, {1, 0});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ(words<int32_t>(small), std::vector<int32_t>(model(1, 0).begin(), model(1, 0).begin() + 3));
    EXPECT_TRUE(fenced(small));
}

TEST_F(LogicConversion, FixedConversionsConvertEveryPairOfWires)
{
    struct Case {
        uint32_t classId;
        int from;
        int to;
    } cases[] = {
        {kFloatToFract32, 0, 1}, {kFloatToInt, 0, 2}, {kFract32ToFloat, 1, 0},
        {kFract32ToInt, 1, 2},   {kIntToFloat, 2, 0}, {kIntToFract32, 2, 1},
    };
    const auto n = static_cast<uint32_t>(kWords.size());
    for (const Case &c : cases) {
        // Two pairs of different shapes, and a third whose output is shorter than its input.
        GenericWire *in[3] = {input(1), input(2), input(3)};
        GenericWire *out[3] = {filled(wire(1, n), kSentinel), filled(wire(2, n / 2), kSentinel),
                               filled(wire(1, 4), kSentinel)};
        ClassModule *m = build(c.classId, wiring(3, 3), {in[0], in[1], in[2], out[0], out[1], out[2]}, {});
        ASSERT_NE(m, nullptr);
        const std::vector<int32_t> &expected = model(c.from, c.to);
        const std::vector<int32_t> head(expected.begin(), expected.begin() + 4);
        for (bool bypassed : {false, true}) {
            for (GenericWire *w : out)
                filled(w, kSentinel);
            if (bypassed)
                pumpBypassed(m); // a bypassed conversion still converts
            else
                pump(m);
            EXPECT_EQ(words<int32_t>(out[0]), expected) << std::hex << c.classId << " bypassed " << bypassed;
            EXPECT_EQ(words<int32_t>(out[1]), expected) << std::hex << c.classId << " bypassed " << bypassed;
            EXPECT_EQ(words<int32_t>(out[2]), head) << std::hex << c.classId << " bypassed " << bypassed;
            EXPECT_TRUE(fenced(out[2]));
        }

        // Every input needs its output.
        int32_t status = KVE_OK;
        EXPECT_EQ(build(c.classId, wiring(2, 1), {in[0], in[1], out[0]}, {}, &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << c.classId;
    }
}

} // namespace
