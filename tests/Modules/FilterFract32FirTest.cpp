// FIRFract32: taps converted to Q1.31 with one shift and applied in reverse time order (the host's last tap weights
// the newest sample), checked word for word against the convolution in integers and against the convolution in
// double; the ring position moving once per block; the one-tap gain; the bounds on host-written sizes and indices.
#include "FilterFract32TestSupport.h"

namespace filtertest {
namespace {

// numTaps, stateIndex, postShift, then coeffs, coeffsFract32, state.
enum { kTaps = 0, kIndex = 1, kShift = 2, kCoeffs = 3, kWords = 4 };

using FirFract32 = FiltersFract32;

// Output n of channel c: the taps applied to the newest samples, tap j of `words` to the sample j steps old, each
// product floored, the sum scaled by 2^shift and saturated.
std::vector<int32_t> firModel(const std::vector<int32_t> &x, uint32_t ch, const std::vector<int32_t> &words,
                              int shift)
{
    std::vector<int32_t> y(x.size());
    const size_t frames = x.size() / ch;
    for (uint32_t c = 0; c < ch; ++c)
        for (size_t n = 0; n < frames; ++n) {
            __int128 sum = 0;
            for (size_t j = 0; j < words.size() && j <= n; ++j)
                sum += exactFract32Product(x[(n - j) * ch + c], words[j]);
            y[n * ch + c] = clampTo32(scaleByPow2(sum, shift));
        }
    return y;
}

std::vector<int32_t> reversedWords(const std::vector<float> &taps, int shift)
{
    std::vector<int32_t> w;
    for (auto it = taps.rbegin(); it != taps.rend(); ++it)
        w.push_back(q31(*it, shift));
    return w;
}

TEST_F(FirFract32, AppliesTheTapsInReverseTimeOrderAcrossBlocks)
{
    constexpr uint32_t kBlock = 5;
    constexpr uint32_t kCh = 2;
    constexpr uint32_t kBlocks = 4;
    const std::vector<float> taps = {1.5f, -0.25f, 0.125f, 0.0625f};
    GenericWire *in = wire(kCh, kBlock);
    GenericWire *out = wire(kCh, kBlock);
    ClassModule *m = build(kFir, 0x101, {in, out}, {static_cast<uint32_t>(taps.size()), 0, 0});
    ASSERT_NE(m, nullptr);
    write(m, kCoeffs, taps);
    set(m);
    ASSERT_EQ(var(m, kShift), 1);

    const std::vector<int32_t> x = testSignal(kBlocks * kBlock * kCh, 0.3);
    std::vector<int32_t> y;
    for (uint32_t b = 0; b < kBlocks; ++b) {
        load(in, x.data() + b * kBlock * kCh);
        process(m);
        const std::vector<int32_t> block = contents(out);
        y.insert(y.end(), block.begin(), block.end());
        // Every channel starts from the same ring position: it moves one block per block, not one per channel.
        EXPECT_EQ(var(m, kIndex), static_cast<int32_t>((b + 1) * kBlock % taps.size())) << b;
    }
    EXPECT_EQ(y, firModel(x, kCh, reversedWords(taps, 1), 1));

    // The same in double: the last tap weights the newest sample.
    for (uint32_t c = 0; c < kCh; ++c)
        for (size_t n = 0; n < kBlocks * kBlock; ++n) {
            double sum = 0.0;
            for (size_t j = 0; j < taps.size() && j <= n; ++j)
                sum += taps[taps.size() - 1 - j] * (x[(n - j) * kCh + c] / 2147483648.0);
            EXPECT_NEAR(y[n * kCh + c] / 2147483648.0, sum, 1e-8) << c << " " << n;
        }
}

// Set converts from the float taps, which stay in the host's order, so calling it again changes nothing.
TEST_F(FirFract32, SetConvertsFromTheHostTapsEveryTime)
{
    struct Case {
        std::vector<float> taps;
        int shift;
    };
    const Case cases[] = {
        {{0.4f, 0.2f, -0.1f}, 0},
        {{1.5f, -3.0f, 0.5f, 0.0f, 0.25f}, 2},
        {{0.0f, 0.0f}, 0},
        {{}, 0},
    };
    GenericWire *in = wire(1, 8);
    GenericWire *out = wire(1, 8);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.taps.size());
        ClassModule *m = build(kFir, 0x101, {in, out}, {static_cast<uint32_t>(c.taps.size()), 0, 7});
        ASSERT_NE(m, nullptr);
        write(m, kCoeffs, c.taps);
        for (int call = 0; call < 2; ++call) {
            EXPECT_EQ(set(m), 0);
            EXPECT_EQ(var(m, kShift), c.shift);
            EXPECT_EQ(std::vector<float>(array<float>(m, kCoeffs), array<float>(m, kCoeffs) + c.taps.size()),
                      c.taps);
            EXPECT_EQ(std::vector<int32_t>(array(m, kWords), array(m, kWords) + c.taps.size()),
                      reversedWords(c.taps, c.shift));
        }
    }
}

// One tap is a gain: the word and its shift, the ring position untouched.
TEST_F(FirFract32, OneTapIsAGain)
{
    constexpr uint32_t kCh = 3;
    constexpr uint32_t kBlock = 6;
    GenericWire *in = wire(kCh, kBlock);
    GenericWire *out = wire(kCh, kBlock);
    ClassModule *m = build(kFir, 0x101, {in, out}, {1, 0, 0});
    ASSERT_NE(m, nullptr);
    write(m, kCoeffs, {1.5f});
    set(m);
    EXPECT_EQ(var(m, kShift), 1);
    EXPECT_EQ(array(m, kWords)[0], 0x60000000); // 0.75
    const std::vector<int32_t> x = testSignal(kCh * kBlock);
    load(in, x.data());
    process(m);
    for (uint32_t i = 0; i < kCh * kBlock; ++i)
        EXPECT_EQ(data(out)[i], clampTo32(scaleByPow2(exactFract32Product(x[i], 0x60000000), 1))) << i;
    EXPECT_EQ(var(m, kIndex), 0);
}

// A tap count raised past the allocation runs the allocated taps; a ring position out of range is held inside the
// ring.
TEST_F(FirFract32, HoldsWrittenTapCountsAndPositionsToItsArrays)
{
    constexpr uint32_t kBlock = 4;
    const std::vector<float> taps = {0.5f, -0.25f, 0.75f};
    const std::vector<int32_t> x = testSignal(3 * kBlock, 0.5);
    struct Case {
        int32_t numTaps;
        int32_t stateIndex;
    };
    for (const Case c : {Case{3, 0}, Case{100000, 0}, Case{3, -7}, Case{3, 1000}, Case{-2, 0}}) {
        SCOPED_TRACE(c.numTaps);
        SCOPED_TRACE(c.stateIndex);
        GenericWire *in = wire(1, kBlock);
        GenericWire *out = wire(1, kBlock);
        ClassModule *m = build(kFir, 0x101, {in, out}, {3, 0, 0});
        write(m, kCoeffs, taps);
        var(m, kTaps) = c.numTaps;
        var(m, kIndex) = c.stateIndex;
        set(m);
        std::vector<int32_t> y;
        for (uint32_t b = 0; b < 3; ++b) {
            load(in, x.data() + b * kBlock);
            process(m);
            const std::vector<int32_t> block = contents(out);
            y.insert(y.end(), block.begin(), block.end());
            if (c.numTaps > 0) {
                EXPECT_GE(var(m, kIndex), 0);
                EXPECT_LT(var(m, kIndex), 3);
            }
        }
        if (c.numTaps < 0) {
            EXPECT_EQ(y, std::vector<int32_t>(y.size(), 0)); // no taps: the output is left as it was
        } else if (c.stateIndex == 0) {
            EXPECT_EQ(y, firModel(x, 1, reversedWords(taps, 0), 0));
        }
    }
}

} // namespace
} // namespace filtertest
