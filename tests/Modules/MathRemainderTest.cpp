// Remainder: the floored remainder, which takes the sign of its divisor, by the variable `divisor`, by a divisor
// wire of one sample, and by a divisor wire with one sample per frame; a divisor of 0, and frames past the divisor
// wire's own block, pass the input through. Fmod of the same samples keeps the sign of the dividend instead.
#include "Modules/MathTestSupport.h"

namespace {

using namespace mathtest;

const std::vector<float> kX = {-1.0f, 5.5f, -7.25f, 0.0f, -0.0f, 2.0f, 3.0f, -3.0f, 10.0f, 0.5f, -0.5f, 1e-3f,
                               100.0f, -100.0f, 2.9999998f, -1e-8f};

TEST_F(MathModules, RemainderTakesTheSignOfTheDivisorWhereFmodKeepsTheSignOfTheDividend)
{
    GenericWire *x = wire(1, 4);
    GenericWire *three = wire(1, 4);
    GenericWire *r = wire(1, 4);
    GenericWire *f = wire(1, 4);
    ClassModule *remainder = build(kRemainder, 0x101, {x, r}, {bitsOf(3.0f)});
    ClassModule *fmod = build(kFmod, 0x102, {x, three, f});
    ASSERT_NE(remainder, nullptr);
    ASSERT_NE(fmod, nullptr);
    load(x, std::vector<float>{-1.0f, 1.0f, -4.0f, 7.0f});
    load(three, std::vector<float>(4, 3.0f));
    pump(remainder);
    pump(fmod);
    EXPECT_EQ(samples(r, 4), (std::vector<float>{2.0f, 1.0f, 2.0f, 1.0f}));
    EXPECT_EQ(samples(f, 4), (std::vector<float>{-1.0f, 1.0f, -1.0f, 1.0f}));
}

TEST_F(MathModules, RemainderByItsVariableOrAOneSampleDivisorWire)
{
    const uint32_t n = static_cast<uint32_t>(kX.size());
    const float divisors[] = {3.0f, -2.5f, 0.75f, 1e-3f};
    std::vector<std::string> args{"binary"};
    for (const float d : divisors) {
        args.emplace_back("remainder");
        appendGroup(args, {kX.begin(), kX.end()});
        appendGroup(args, std::vector<double>(n, d));
        args.emplace_back("--");
    }
    args.pop_back();
    const std::vector<double> want = kvetest::runOracle("math_modules.py", args);
    ASSERT_EQ(want.size(), std::size(divisors) * n);

    for (size_t k = 0; k < std::size(divisors); ++k) {
        const float d = divisors[k];
        GenericWire *x = wire(1, n);
        GenericWire *byVariable = wire(1, n);
        GenericWire *divisor = wire(1, 1);
        GenericWire *byWire = wire(1, n);
        ClassModule *one = build(kRemainder, 0x101, {x, byVariable}, {bitsOf(d)});
        ClassModule *two = build(kRemainder, 0x102, {x, divisor, byWire}, {bitsOf(123.0f)});
        ASSERT_NE(one, nullptr);
        ASSERT_NE(two, nullptr);
        load(x, kX);
        data(divisor)[0] = d;
        pump(one);
        pump(two);
        for (uint32_t i = 0; i < n; ++i) {
            const float w = static_cast<float>(want[k * n + i]);
            EXPECT_TRUE(matches(data(byVariable)[i], w, 0))
                << kX[i] << " by " << d << " gave " << data(byVariable)[i] << ", reference " << w;
            EXPECT_TRUE(matches(data(byWire)[i], w, 0))
                << kX[i] << " by the wire's " << d << " gave " << data(byWire)[i] << ", reference " << w;
        }
    }
}

TEST_F(MathModules, RemainderByZeroPassesTheInput)
{
    const uint32_t n = static_cast<uint32_t>(kX.size());
    GenericWire *x = wire(1, n);
    GenericWire *y = wire(1, n);
    GenericWire *zero = wire(1, 1);
    GenericWire *z = wire(1, n);
    GenericWire *both = wire(1, n);
    ClassModule *byVariable = build(kRemainder, 0x101, {x, y}, {bitsOf(0.0f)});
    ClassModule *byWire = build(kRemainder, 0x102, {x, zero, z}, {bitsOf(3.0f)});
    ClassModule *inPlace = build(kRemainder, 0x101, {both, both}, {bitsOf(-0.0f)});
    ASSERT_NE(byVariable, nullptr);
    ASSERT_NE(byWire, nullptr);
    ASSERT_NE(inPlace, nullptr);
    load(x, kX);
    load(both, kX);
    data(zero)[0] = 0.0f;
    pump(byVariable);
    pump(byWire);
    pump(inPlace);
    for (uint32_t i = 0; i < n; ++i) {
        EXPECT_EQ(bitsOf(data(y)[i]), bitsOf(kX[i])) << i;
        EXPECT_EQ(bitsOf(data(z)[i]), bitsOf(kX[i])) << i;
        EXPECT_EQ(bitsOf(data(both)[i]), bitsOf(kX[i])) << i;
    }
}

// Two channels of 8 frames by a mono divisor wire: frame i of both channels by divisor sample i, a 0 divisor
// passing its frame; with a divisor wire of 5 frames, frames 5 to 7 have no divisor and pass.
TEST_F(MathModules, RemainderByADivisorPerFrameServesEveryChannelWithinTheDivisorWire)
{
    constexpr uint32_t kChannels = 2, kFrames = 8;
    const std::vector<float> d = {3.0f, -2.0f, 0.0f, 0.5f, 7.0f, -1.0f, 0.25f, 4.0f};
    const std::vector<float> x(kX.begin(), kX.begin() + kChannels * kFrames);
    struct Case {
        uint32_t divisorFrames;
    } cases[] = {{kFrames}, {5}};

    std::vector<std::string> args{"binary"};
    for (const Case &c : cases) {
        std::vector<double> perWord;
        for (uint32_t i = 0; i < kChannels * kFrames; ++i)
            perWord.push_back(i / kChannels < c.divisorFrames ? d[i / kChannels] : 0.0);
        args.emplace_back("remainder_by_frame");
        appendGroup(args, {x.begin(), x.end()});
        appendGroup(args, perWord);
        args.emplace_back("--");
    }
    args.pop_back();
    const std::vector<double> want = kvetest::runOracle("math_modules.py", args);
    ASSERT_EQ(want.size(), std::size(cases) * x.size());

    for (size_t k = 0; k < std::size(cases); ++k) {
        GenericWire *in = wire(kChannels, kFrames);
        GenericWire *divisor = wire(1, kFrames);
        GenericWire *out = wire(kChannels, kFrames);
        ClassModule *m = build(kRemainder, 0x102, {in, divisor, out}, {bitsOf(3.0f)});
        ASSERT_NE(m, nullptr);
        load(in, x);
        load(divisor, d);
        reshape(divisor, cases[k].divisorFrames);
        pump(m);
        for (uint32_t i = 0; i < x.size(); ++i) {
            const float w = static_cast<float>(want[k * x.size() + i]);
            EXPECT_TRUE(matches(data(out)[i], w, 0)) << "divisor frames " << cases[k].divisorFrames << ", word " << i
                                                     << " gave " << data(out)[i] << ", reference " << w;
        }
    }
}

} // namespace
