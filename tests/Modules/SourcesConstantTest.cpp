// The constant sources: every word of the output one value, or each channel its control word times the value, in
// float and in Q1.31 with the conversions and saturating shifts in closed form.
#include <cmath>
#include <limits>

#include "SourcesTestSupport.h"

namespace sourcestest {
namespace {

constexpr uint32_t kMax = 0x7FFFFFFFu;
constexpr uint32_t kMin = 0x80000000u;

uint32_t word(int32_t v) { return static_cast<uint32_t>(v); }

TEST_F(SourcesTable, ConstantSourcesFillEveryWord)
{
    struct Case {
        uint32_t id;
        Words args;
        uint32_t expected;
    };
    const Case cases[] = {
        {kZeroSource, {}, 0},
        {kDCSource, {f(0.25f)}, f(0.25f)},
        {kDCSourceInt, {word(-7)}, word(-7)},
        {kDCSourceFract32, {f(0.5f), 0}, 0x40000000u},
        {kDCSourceV2, {f(-3.0f)}, f(-3.0f)},
        {kDCSourceV2Fract32, {f(-0.25f), 0}, 0xE0000000u},
    };
    for (const Case &c : cases) {
        GenericWire *out = wire(3, 5);
        ClassModule *m = build(c.id, 0x100, {out}, c.args);
        ASSERT_NE(m, nullptr) << std::hex << c.id;
        fill(out, Words(15, 0xDEAD));
        pump(m);
        EXPECT_EQ(words(out), Words(15, c.expected)) << std::hex << c.id;
    }
}

TEST_F(SourcesTable, ZeroSourceStaysSilentWhenBypassed)
{
    GenericWire *out = wire(2, 4);
    ClassModule *m = build(kZeroSource, 0x100, {out});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
    fill(out, Words(8, 0xDEAD));
    pump(m);
    EXPECT_EQ(words(out), Words(8, 0));
}

// Q1.31 of the float value: v x 2^31 rounded half away from zero, saturated at both ends, NaN 0; the oracle works
// in double, where v x 2^31 is exact.
TEST_F(SourcesTable, Fract32ValueIsRoundedHalfAwayAndSaturated)
{
    const float inf = std::numeric_limits<float>::infinity();
    // Halves (2^-32 x 1, 3, 5) tell rounding half away from zero from the other rules.
    const float values[] = {0.5f,      -0.5f,     0.1f,      -0.7f,     1.0f,        2.0f,         -1.0f,
                            -3.0f,     0x1p-32f,  -0x1p-32f, 0x3p-32f,  -0x3p-32f,   0x5p-32f,     -0x5p-32f,
                            0x1p-33f,  1e-20f,    inf,       -inf,      0.99999994f, -0.99999994f};
    for (uint32_t id : {kDCSourceFract32, kDCSourceV2Fract32}) {
        GenericWire *out = wire(1, 2);
        ClassModule *m = build(id, 0x100, {out}, {f(0.0f), 0});
        ASSERT_NE(m, nullptr);
        for (float v : values) {
            var<float>(m, 0) = v;
            ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), KVE_OK);
            const double exact = std::round(static_cast<double>(v) * 2147483648.0);
            const auto expected = static_cast<int32_t>(std::clamp(exact, -2147483648.0, 2147483647.0));
            EXPECT_EQ(var<int32_t>(m, 1), expected) << std::hex << id << " value " << v;
        }
        var<float>(m, 0) = std::numeric_limits<float>::quiet_NaN();
        ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), KVE_OK);
        EXPECT_EQ(var<int32_t>(m, 1), 0);
        pump(m);
        EXPECT_EQ(words(out), Words(2, 0));
    }
}

// Output channel c = control word c x value; the channels past the control wire's words are silent.
TEST_F(SourcesTable, ControlledSourcesScaleEachChannelByItsControlWord)
{
    struct Case {
        uint32_t id;
        Words args;
        uint32_t controlChannels, controlBlock;
        Words control;
        uint32_t outChannels;
        Words perChannel;
    };
    const Case cases[] = {
        {kDCSourceV2, {f(3.0f)}, 2, 1, {f(0.5f), f(2.0f)}, 2, {f(1.5f), f(6.0f)}},
        {kDCSourceControl, {f(3.0f)}, 2, 1, {f(0.5f), f(2.0f)}, 2, {f(1.5f), f(6.0f)}},
        // One control word drives channel 0 only.
        {kDCSourceV2, {f(3.0f)}, 1, 1, {f(0.5f)}, 3, {f(1.5f), 0, 0}},
        {kDCSourceControl, {f(-2.0f)}, 1, 1, {f(0.25f)}, 3, {f(-0.5f), 0, 0}},
        // Words of a longer control wire are taken in buffer order, one per output channel.
        {kDCSourceV2, {f(2.0f)}, 1, 4, {f(1.0f), f(2.0f), f(3.0f), f(4.0f)}, 2, {f(2.0f), f(4.0f)}},
        // Q1.31 products round toward minus infinity; -1 x -1 saturates.
        {kDCSourceV2Fract32, {f(0.5f), 0}, 2, 1, {kMax, kMin}, 2, {0x3FFFFFFFu, 0xC0000000u}},
        {kDCSourceV2Fract32, {f(-1.0f), 0}, 2, 1, {kMin, word(-1)}, 3, {kMax, 1, 0}},
        {kDCSourceV2Fract32, {f(0.5f), 0}, 1, 1, {word(-1)}, 2, {word(-1), 0}},
    };
    for (const Case &c : cases) {
        GenericWire *control = wire(c.controlChannels, c.controlBlock);
        GenericWire *out = wire(c.outChannels, 4);
        ClassModule *m = build(c.id, 0x101, {control, out}, c.args);
        ASSERT_NE(m, nullptr) << std::hex << c.id;
        ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), KVE_OK);
        fill(control, c.control);
        fill(out, Words(4 * c.outChannels, 0xDEAD));
        pump(m);
        Words expected;
        for (uint32_t t = 0; t < 4; ++t)
            expected.insert(expected.end(), c.perChannel.begin(), c.perChannel.end());
        EXPECT_EQ(words(out), expected) << std::hex << c.id << " control " << c.controlChannels << "x"
                                        << c.controlBlock;
    }
}

TEST_F(SourcesTable, ControlWireThatIsAlsoTheOutputDrivesEveryChannelFromItsOwnWord)
{
    GenericWire *w = wire(2, 3);
    ClassModule *m = build(kDCSourceControl, 0x101, {w, w}, {f(10.0f)});
    ASSERT_NE(m, nullptr);
    fill(w, {f(1.0f), f(2.0f), f(3.0f), f(4.0f), f(5.0f), f(6.0f)});
    pump(m);
    EXPECT_EQ(words(w), (Words{f(10.0f), f(20.0f), f(10.0f), f(20.0f), f(10.0f), f(20.0f)}));
}

// value = m x 2^e, 0.5 <= |m| < 1 (std::frexp); the mantissa word is m x 2^31, exact. Zero and NaN are 0 x 2^0,
// an infinity the largest float of its sign.
TEST_F(SourcesTable, ControlFract32SplitsValueIntoMantissaAndExponent)
{
    const float largest = std::numeric_limits<float>::max();
    const float values[] = {3.0f, 1.0f, -0.3f, 0.75f, -1e-30f, 1e30f, largest, 0.0f, -0.0f};
    GenericWire *control = wire(1, 1);
    GenericWire *out = wire(1, 2);
    ClassModule *m = build(kDCSourceControlFract32, 0x101, {control, out}, {f(1.0f), 0, 0});
    ASSERT_NE(m, nullptr);
    auto check = [&](float v, float as) {
        var<float>(m, 0) = v;
        ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), KVE_OK);
        int e = 0;
        const double mantissa = std::frexp(static_cast<double>(as), &e);
        EXPECT_EQ(var<int32_t>(m, 1), static_cast<int32_t>(mantissa * 2147483648.0)) << "value " << v;
        EXPECT_EQ(var<int32_t>(m, 2), e) << "value " << v;
    };
    for (float v : values)
        check(v, v);
    check(std::numeric_limits<float>::infinity(), largest);
    check(-std::numeric_limits<float>::infinity(), -largest);
    check(std::numeric_limits<float>::quiet_NaN(), 0.0f);
}

// The output word is floor(floor(x x M / 2^31) x 2^e), saturated: x the control word, M the mantissa word.
TEST_F(SourcesTable, ControlFract32ScalesWithSaturatingShifts)
{
    struct Case {
        float value;
        uint32_t x, expected;
    };
    const Case cases[] = {
        {3.0f, 0x10000000u, 0x30000000u},   // 0.125 x 3 = 0.375, exact
        {3.0f, 0x40000000u, kMax},          // 1.5 saturates
        {3.0f, 0xC0000000u, kMin},          // -1.5 saturates
        {0.25f, kMax, 0x1FFFFFFFu},         // floor((2^31 - 1) / 4)
        {0.25f, word(-1), word(-1)},        // floor(-1/4) = -1: the right shift is arithmetic
        {0x1p-40f, kMax, 0},                // a right shift past 31 leaves 0 ...
        {0x1p-40f, kMin, word(-1)},         // ... or -1
        {0x1p40f, 1, 0},                    // floor(1 x 0.5) = 0 before a left shift of 41
        {0x1p40f, 2, kMax},                 // anything else saturates
        {0x1p40f, word(-1), kMin},
        {0x1p29f, 2, 0x40000000u},          // 1 << 30, the largest exact left shift of 1
        {std::numeric_limits<float>::infinity(), 0x100u, kMax},
        {std::numeric_limits<float>::infinity(), 1, 0},
        {std::numeric_limits<float>::quiet_NaN(), kMax, 0},
        {0.0f, kMax, 0},
    };
    GenericWire *control = wire(1, 1);
    GenericWire *out = wire(1, 3);
    ClassModule *m = build(kDCSourceControlFract32, 0x101, {control, out}, {f(1.0f), 0, 0});
    ASSERT_NE(m, nullptr);
    for (const Case &c : cases) {
        var<float>(m, 0) = c.value;
        ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), KVE_OK);
        fill(control, {c.x});
        pump(m);
        EXPECT_EQ(words(out), Words(3, c.expected)) << "value " << c.value << " x " << std::hex << c.x;
    }
}

// Mantissa and exponent are public: any exponent a host writes is a defined shift, saturating or to 0 / -1.
TEST_F(SourcesTable, ControlFract32TakesAnyExponentAHostWrites)
{
    struct Case {
        int32_t exponent;
        uint32_t x, expected;
    };
    const Case cases[] = {
        {INT32_MIN, kMin, word(-1)}, {INT32_MIN, kMax, 0},     {-32, kMin, word(-1)}, {-31, kMin, word(-1)},
        {-30, kMin, word(-1)},       {-29, kMin, word(-2)},    {31, 2, kMax},         {30, 2, 0x40000000u},
        {32, 2, kMax},               {INT32_MAX, word(-2), kMin}, {INT32_MAX, 1, 0},
    };
    GenericWire *control = wire(1, 1);
    GenericWire *out = wire(1, 2);
    ClassModule *m = build(kDCSourceControlFract32, 0x101, {control, out}, {f(1.0f), 0x40000000u, 0});
    ASSERT_NE(m, nullptr);
    for (const Case &c : cases) {
        // Mantissa 0.5: the product before the shift is floor(x / 2).
        var<int32_t>(m, 2) = c.exponent;
        fill(control, {c.x});
        pump(m);
        EXPECT_EQ(words(out), Words(2, c.expected)) << "exponent " << c.exponent << " x " << std::hex << c.x;
    }
}

} // namespace
} // namespace sourcestest
