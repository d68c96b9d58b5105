// MultiplexorV2: the fade length in blocks, and a change of input that fades the old one out alone for that many
// blocks before the new one fades in over it.
#include "RoutersTestSupport.h"

namespace routertest {
namespace {

constexpr uint32_t kV2 = 0xBEEF0868u;
constexpr uint32_t kV2Fract32 = 0xBEEF08A4u;
constexpr uint32_t kInputs = 3;

// Arguments: index, smoothingTime, fadeTime, numControlPins, then the state, all zero.
std::vector<uint32_t> argsOf(int32_t index, float fadeTimeMs, int32_t numControlPins)
{
    return {static_cast<uint32_t>(index), bitsOf(1.0f), bitsOf(fadeTimeMs), static_cast<uint32_t>(numControlPins),
            0, 0, 0, 0, 0, 0, 0};
}

TEST_F(Multiplexors, MultiplexorV2CountsTheFadeInBlocks)
{
    const struct {
        uint32_t block;
        float fadeTime;
        bool complex;
        int32_t blocks;
    } cases[] = {
        {32, 10.0f, false, 15}, // 480000 / 32000
        {32, 10.0f, true, 30},  // 16 complex frames per block
        {64, 1.0f, false, 1},   // 0.75 rounds up
        {32, 0.0f, false, 0},
        {32, -5.0f, false, 0},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(1, c.block, c.complex);
        GenericWire *out = wire(1, c.block, c.complex);
        ClassModule *m = build(kV2, 0x101, {in, out}, argsOf(0, c.fadeTime, 0));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(var<int32_t>(m, 8), c.blocks) << c.block << " words, " << c.fadeTime << " ms";
    }
}

TEST_F(Multiplexors, MultiplexorV2FadesOutAloneThenCrossFades)
{
    const double a = scalertest::stepOf(1.0);
    constexpr uint32_t kBlock = 24;
    const struct {
        const char *what;
        int32_t numControlPins;
        int32_t request; // index, or the control word
        float fadeTime;  // 1 ms: two blocks of 24 at 48 kHz
        uint32_t to;
    } cases[] = {
        {"index 2 after two blocks of fade-out", 0, 2, 1.0f, 2},
        {"control word 9, limited to the last input, at once", 1, 9, 0.0f, 2},
        {"negative index, limited to the first", 0, -1, 0.0f, 0},
    };
    for (const auto &c : cases) {
        std::vector<GenericWire *> wires;
        GenericWire *pin = wire(1, kBlock);
        words(pin)[0] = c.request;
        if (c.numControlPins != 0)
            wires.push_back(pin);
        for (uint32_t k = 0; k < kInputs; ++k) {
            GenericWire *w = wire(2, kBlock);
            for (uint32_t t = 0; t < kBlock; ++t) {
                data(w)[2 * t] = (k + 1) / 8.0f;
                data(w)[2 * t + 1] = -static_cast<float>(k + 1) / 16.0f;
            }
            wires.push_back(w);
        }
        GenericWire *out = wire(2, kBlock);
        wires.push_back(out);
        const auto inputs = static_cast<uint32_t>(wires.size() - 1);
        ClassModule *m = build(kV2, 0x100 | inputs, wires, argsOf(c.numControlPins == 0 ? c.request : 0, c.fadeTime,
                                                                  c.numControlPins));
        ASSERT_NE(m, nullptr) << c.what;
        var<int32_t>(m, 9) = 1; // currently on input 1
        var<int32_t>(m, 10) = 1;
        const uint32_t first = static_cast<uint32_t>(c.numControlPins);
        const int32_t fadeBlocks = var<int32_t>(m, 8);
        uint32_t current = 1;
        double gOut = 1.0;
        double gIn = 0.0;
        int counter = fadeBlocks;
        bool done = false;
        for (int block = 0; block < 40; ++block) {
            pump(m);
            const bool fadeIn = !done && counter <= 0;
            for (uint32_t t = 0; t < kBlock; ++t)
                for (uint32_t ch = 0; ch < 2; ++ch) {
                    const int k = static_cast<int>(t) + 1;
                    const double from = data(wires[first + current])[2 * t + ch];
                    const double to = data(wires[first + c.to])[2 * t + ch];
                    double expected = to;
                    if (!done)
                        expected = from * scalertest::glide(gOut, 0.0, a, k) +
                                   (fadeIn ? to * scalertest::glide(gIn, 1.0, a, k) : 0.0);
                    ASSERT_NEAR(data(out)[2 * t + ch], expected, 1e-5) << c.what << ", block " << block;
                }
            if (!done) {
                gOut = scalertest::glide(gOut, 0.0, a, kBlock);
                if (fadeIn)
                    gIn = scalertest::glide(gIn, 1.0, a, kBlock);
                else
                    --counter;
                if (gIn > 0.96) {
                    done = true;
                    EXPECT_GE(block, fadeBlocks) << c.what << ": the old input fades alone first";
                }
            }
            ASSERT_EQ(var<int32_t>(m, 9), done ? static_cast<int32_t>(c.to) : 1) << c.what << ", block " << block;
            EXPECT_EQ(var<int32_t>(m, 0), c.numControlPins == 0 ? c.request : 0) << c.what << ": index not written";
        }
        EXPECT_TRUE(done) << c.what;
    }
}

TEST_F(Multiplexors, MultiplexorV2Fract32MatchesTheIntegerFadeBitForBit)
{
    constexpr uint32_t kBlock = 24;
    for (float fadeTime : {1.0f, 0.0f}) {
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < kInputs; ++k) {
            GenericWire *w = wire(2, kBlock);
            for (uint32_t t = 0; t < kBlock; ++t) {
                words(w)[2 * t] = static_cast<int32_t>((k + 1) << 28);
                words(w)[2 * t + 1] = -static_cast<int32_t>((k + 1) << 27);
            }
            wires.push_back(w);
        }
        GenericWire *out = wire(2, kBlock);
        wires.push_back(out);
        ClassModule *m = build(kV2Fract32, 0x103, wires, argsOf(2, fadeTime, 0));
        ASSERT_NE(m, nullptr);
        const int32_t coeff = var<int32_t>(m, 4);
        EXPECT_EQ(var<int32_t>(m, 8), fadeTime == 0.0f ? 0 : 2) << "48000 x 1 ms / 24000, as integers";
        var<int32_t>(m, 9) = 1;
        var<int32_t>(m, 10) = 1;
        int32_t gOut = 0x7FFFFFFF;
        int32_t gIn = 0;
        int counter = var<int32_t>(m, 8);
        bool done = false;
        for (int block = 0; block < 40; ++block) {
            pump(m);
            const bool fadeIn = !done && counter <= 0;
            int32_t outEnd = gOut;
            int32_t inEnd = gIn;
            for (uint32_t ch = 0; ch < 2; ++ch) {
                int32_t o = gOut;
                int32_t i = gIn;
                for (uint32_t t = 0; t < kBlock; ++t) {
                    int32_t expected = words(wires[2])[2 * t + ch];
                    if (!done) {
                        o = stepQ31(o, 0, coeff);
                        expected = mulQ31(words(wires[1])[2 * t + ch], o);
                        if (fadeIn) {
                            i = stepQ31(i, 0x7FFFFFFF, coeff);
                            expected = addQ31(expected, mulQ31(words(wires[2])[2 * t + ch], i));
                        }
                    }
                    ASSERT_EQ(words(out)[2 * t + ch], expected) << fadeTime << " ms, block " << block << " frame " << t;
                }
                outEnd = o;
                inEnd = i;
            }
            if (!done) {
                gOut = outEnd;
                gIn = inEnd;
                if (!fadeIn)
                    --counter;
                done = gIn > 0x7AE147AD;
                ASSERT_EQ(var<int32_t>(m, 5), gOut) << block;
                ASSERT_EQ(var<int32_t>(m, 6), gIn) << block;
            }
            ASSERT_EQ(var<int32_t>(m, 9), done ? 2 : 1) << fadeTime << " ms, block " << block;
        }
        EXPECT_TRUE(done) << fadeTime << " ms";
    }
}

} // namespace
} // namespace routertest
