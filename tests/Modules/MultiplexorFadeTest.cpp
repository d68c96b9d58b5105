// MultiplexorFade and MultiplexorFadeFract32: a changed index cross-fades old and new inputs until the old one has
// faded, then passes the new one alone.
#include "RoutersTestSupport.h"

namespace routertest {
namespace {

constexpr uint32_t kFade = 0xBEEF0FEDu;
constexpr uint32_t kFadeFract32 = 0xBEEF0FECu;
constexpr uint32_t kBlock = 16;

// Two-channel input wire k holds (k + 1) / 8 on channel 0 and -(k + 1) / 16 on channel 1.
double valueOf(uint32_t k, uint32_t c) { return c == 0 ? (k + 1) / 8.0 : -(k + 1.0) / 16.0; }

struct Case {
    const char *what;
    int32_t index;
    int32_t currentIndex;
    uint32_t from, to; // the wires the fade runs between
    int32_t indexAfter;
};
const Case kCases[] = {
    {"index 9 of three is limited to 2 and stored", 9, 0, 0, 2, 2},
    {"a current index past the inputs is limited", 0, 7, 2, 0, 0},
    {"a negative index is limited to 0", -5, 1, 1, 0, 0},
};

TEST_F(Multiplexors, MultiplexorFadeCrossFadesAlongTheGlide)
{
    const double a = scalertest::stepOf(1.0);
    for (const Case &c : kCases) {
        GenericWire *in[3] = {wire(2, kBlock), wire(2, kBlock), wire(2, kBlock)};
        GenericWire *out = wire(2, kBlock);
        for (uint32_t k = 0; k < 3; ++k)
            for (uint32_t t = 0; t < kBlock; ++t)
                for (uint32_t ch = 0; ch < 2; ++ch)
                    data(in[k])[2 * t + ch] = static_cast<float>(valueOf(k, ch));
        ClassModule *m = build(kFade, 0x103, {in[0], in[1], in[2], out},
                               {static_cast<uint32_t>(c.index), bitsOf(1.0f), 0,
                                static_cast<uint32_t>(c.currentIndex), bitsOf(1.0f)});
        ASSERT_NE(m, nullptr) << c.what;
        double g = 1.0;
        bool fading = true;
        for (int block = 0; block < 20; ++block) {
            pump(m);
            EXPECT_EQ(var<int32_t>(m, 0), c.indexAfter) << c.what;
            for (uint32_t t = 0; t < kBlock; ++t)
                for (uint32_t ch = 0; ch < 2; ++ch) {
                    const int k = static_cast<int>(t) + 1;
                    const double expected = fading ? valueOf(c.from, ch) * scalertest::glide(g, 0.0, a, k) +
                                                         valueOf(c.to, ch) * scalertest::glide(1.0 - g, 1.0, a, k)
                                                   : valueOf(c.to, ch);
                    ASSERT_NEAR(data(out)[2 * t + ch], expected, 1e-6)
                        << c.what << ", block " << block << " frame " << t << " channel " << ch;
                }
            if (fading) {
                g = scalertest::glide(g, 0.0, a, kBlock);
                fading = g >= 0.01;
                EXPECT_NEAR(var(m, 4), g, 1e-6) << c.what;
            } else {
                EXPECT_EQ(var(m, 4), 1.0f) << c.what;
            }
            EXPECT_EQ(var<int32_t>(m, 3), fading ? static_cast<int32_t>(c.from) : static_cast<int32_t>(c.to))
                << c.what << ", block " << block;
        }
        EXPECT_FALSE(fading) << c.what << ": the fade ends within the run";
    }
}

TEST_F(Multiplexors, MultiplexorFadeFract32MatchesTheIntegerFadeBitForBit)
{
    for (const Case &c : kCases) {
        GenericWire *in[3] = {wire(2, kBlock), wire(2, kBlock), wire(2, kBlock)};
        GenericWire *out = wire(2, kBlock);
        for (uint32_t k = 0; k < 3; ++k)
            for (uint32_t t = 0; t < kBlock; ++t)
                for (uint32_t ch = 0; ch < 2; ++ch)
                    words(in[k])[2 * t + ch] = static_cast<int32_t>(std::ldexp(valueOf(k, ch), 31));
        ClassModule *m = build(kFadeFract32, 0x103, {in[0], in[1], in[2], out},
                               {static_cast<uint32_t>(c.index), bitsOf(1.0f), 0,
                                static_cast<uint32_t>(c.currentIndex), 0x7FFFFFFFu});
        ASSERT_NE(m, nullptr) << c.what;
        const int32_t coeff = var<int32_t>(m, 2);
        int32_t g = 0x7FFFFFFF;
        bool fading = true;
        int switchedAt = -1;
        for (int block = 0; block < 12 && switchedAt < 0; ++block) {
            pump(m);
            int32_t end = g;
            for (uint32_t ch = 0; ch < 2; ++ch) {
                int32_t gOut = g;
                int32_t gIn = 0x7FFFFFFF - g;
                for (uint32_t t = 0; t < kBlock; ++t) {
                    gOut = stepQ31(gOut, 0, coeff);
                    gIn = stepQ31(gIn, 0x7FFFFFFF, coeff);
                    const int32_t expected = addQ31(mulQ31(words(in[c.from])[2 * t + ch], gOut),
                                                    mulQ31(words(in[c.to])[2 * t + ch], gIn));
                    ASSERT_EQ(words(out)[2 * t + ch], expected)
                        << c.what << ", block " << block << " frame " << t << " channel " << ch;
                }
                end = gOut;
            }
            g = end;
            ASSERT_EQ(var<int32_t>(m, 4), g) << c.what;
            if (g <= 0x0CCCCCCC) {
                fading = false;
                switchedAt = block;
            }
            EXPECT_EQ(var<int32_t>(m, 3), fading ? static_cast<int32_t>(c.from) : static_cast<int32_t>(c.to))
                << c.what;
        }
        ASSERT_GE(switchedAt, 0) << c.what;
        pump(m);
        for (uint32_t i = 0; i < 2 * kBlock; ++i)
            ASSERT_EQ(words(out)[i], words(in[c.to])[i]) << c.what << ": the new input alone after the fade";
        EXPECT_EQ(var<int32_t>(m, 4), 0x7FFFFFFF) << c.what;
    }
}

} // namespace
} // namespace routertest
