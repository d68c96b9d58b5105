// The Fract32 and 32-bit integer arithmetic modules, word for word against integer models of their rules (64-bit
// products shifted right by 31, sums and shifts saturated at both ends of the Fract32 range, integers wrapping
// modulo 2^32), in every mode of the folds and in the fixed shapes.
#include <algorithm>
#include <functional>

#include "ArithmeticTestSupport.h"

namespace arithtest {
namespace {

constexpr int32_t kMax = INT32_MAX;
constexpr int32_t kMin = INT32_MIN;

// ---- Integer models ----

int32_t clamp32(__int128 v) { return v > kMax ? kMax : v < kMin ? kMin : static_cast<int32_t>(v); }
int32_t wrap32(__int128 v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }
// The Fract32 product: a b / 2^31 rounded toward minus infinity, saturated (only -1 x -1 needs it).
int32_t product(int32_t a, int32_t b) { return clamp32((static_cast<__int128>(a) * b) >> 31); }
int32_t fractSum(int32_t a, int32_t b) { return clamp32(static_cast<__int128>(a) + b); }
int32_t intSum(int32_t a, int32_t b) { return wrap32(static_cast<__int128>(a) + b); }
// A product scaled by 2^shift: a right shift rounds toward minus infinity, a left shift saturates.
int32_t shifted(int32_t p, int32_t shift)
{
    return shift >= 0 ? clamp32(static_cast<__int128>(p) << shift) : clamp32(static_cast<__int128>(p) >> -shift);
}

// Words reaching every corner of the rules: both ends of the range, zero, one unit of both signs, halves, and a
// spread; `seed` turns the corners, so that different inputs pair different corners.
std::vector<int32_t> testWords(uint32_t n, uint32_t seed)
{
    const int32_t corners[] = {kMax, kMin, 0, 1, -1, 0x40000000, -0x40000000, 0x7FFF0000, -0x7FFF0000};
    std::vector<int32_t> w(n);
    for (uint32_t i = 0; i < n; ++i)
        w[i] = i < std::size(corners) ? corners[(i + seed) % std::size(corners)]
                                      : static_cast<int32_t>(0x9E3779B9u * (i + 1) ^ seed * 0x85EBCA6Bu);
    return w;
}

struct Input {
    Shape shape;
    std::vector<int32_t> words;
};
using Outputs = std::vector<std::vector<int32_t>>;
using Op = std::function<int32_t(int32_t acc, int32_t x)>;

// A wire's words: the first `count` from `v`, the rest untouched.
std::vector<int32_t> written(const std::vector<int32_t> &v, size_t count, size_t words)
{
    std::vector<int32_t> out(words, kSentinel);
    std::copy(v.begin(), v.begin() + static_cast<ptrdiff_t>(std::min(count, words)), out.begin());
    return out;
}

// Elementwise: input 0, then every other input taken in by `op`, over the words every wire holds.
std::vector<int32_t> elementwise(const std::vector<Input> &in, size_t outWords, const Op &op)
{
    size_t n = outWords;
    for (const Input &x : in)
        n = std::min(n, x.words.size());
    std::vector<int32_t> y(in[0].words.begin(), in[0].words.begin() + static_cast<ptrdiff_t>(n));
    for (size_t k = 1; k < in.size(); ++k)
        for (size_t i = 0; i < n; ++i)
            y[i] = op(y[i], in[k].words[i]);
    return written(y, n, outWords);
}

// One channel: from `start`, every channel of every input taken in by `op`, over the frames all of them hold.
std::vector<int32_t> oneChannel(const std::vector<Input> &in, size_t outWords, int32_t start, const Op &op)
{
    size_t frames = outWords;
    for (const Input &x : in)
        frames = std::min<size_t>(frames, x.shape.block);
    std::vector<int32_t> y(frames, start);
    for (const Input &x : in)
        for (uint32_t c = 0; c < x.shape.channels; ++c)
            for (size_t t = 0; t < frames; ++t)
                y[t] = op(y[t], x.words[t * x.shape.channels + c]);
    return written(y, frames, outWords);
}

// Every word through a function of one sample.
std::vector<int32_t> each(const std::vector<int32_t> &x, const std::function<int32_t(int32_t)> &f)
{
    std::vector<int32_t> y(x.size());
    std::transform(x.begin(), x.end(), y.begin(), f);
    return y;
}

struct Case {
    const char *what;
    uint32_t classId;
    std::vector<uint32_t> args;
    std::vector<Shape> inputs;
    std::vector<Shape> outputs;
    // The expected words of every output wire, from the inputs.
    std::function<Outputs(const std::vector<Input> &, size_t outWords)> model;
    bool reachesBothEnds; // the expected words saturate at both ends of the range
};

TEST_F(Arithmetic, FixedPointModulesFollowTheirIntegerRules)
{
    const uint32_t on = 1;
    const auto squareAdd = [](int32_t acc, int32_t x) { return clamp32(static_cast<__int128>(acc) + product(x, x)); };
    const auto v2Gain = [](int32_t shift) {
        return [shift](const std::vector<Input> &in, size_t outWords) {
            const uint32_t ch = in[1].shape.channels;
            std::vector<int32_t> y(outWords, kSentinel);
            for (size_t i = 0; i < in[1].words.size(); ++i)
                y[i] = shifted(product(in[1].words[i], in[0].words[i / ch]), shift);
            return Outputs{y};
        };
    };
    const auto againstLast = [](const Op &op) {
        return [op](const std::vector<Input> &in, size_t) {
            Outputs outs;
            for (size_t k = 0; k + 1 < in.size(); ++k) {
                std::vector<int32_t> y(in[k].words.size());
                for (size_t i = 0; i < y.size(); ++i)
                    y[i] = op(in[k].words[i], in.back().words[i]);
                outs.push_back(y);
            }
            return outs;
        };
    };
    const Case cases[] = {
        {"saturated sum of three inputs", kAdderFract32, {0}, {{2, 8}, {2, 8}, {2, 8}}, {{2, 8}},
         [](auto &in, size_t w) { return Outputs{elementwise(in, w, fractSum)}; }, true},
        {"saturated sum into one channel", kAdderFract32, {on}, {{2, 6}, {1, 6}}, {{1, 6}},
         [](auto &in, size_t w) { return Outputs{oneChannel(in, w, 0, fractSum)}; }, true},
        {"a lone Fract32 input is copied", kAdderFract32, {0}, {{1, 9}}, {{1, 9}},
         [](auto &in, size_t w) { return Outputs{elementwise(in, w, fractSum)}; }, true},
        {"wrapping integer sum", kAdderInt32, {0}, {{2, 8}, {2, 8}}, {{2, 8}},
         [](auto &in, size_t w) { return Outputs{elementwise(in, w, intSum)}; }, false},
        {"wrapping integer sum into one channel, the output longer than the inputs", kAdderInt32, {on},
         {{3, 5}, {1, 5}}, {{1, 8}}, [](auto &in, size_t w) { return Outputs{oneChannel(in, w, 0, intSum)}; },
         false},
        {"saturated differences against the last input", kSubtractFract32, {}, {{1, 9}, {1, 9}, {1, 9}},
         {{1, 9}, {1, 9}},
         againstLast([](int32_t a, int32_t b) { return clamp32(static_cast<__int128>(a) - b); }), true},
        {"wrapping integer differences", kSubtractInt32, {}, {{2, 5}, {2, 5}}, {{2, 5}},
         againstLast([](int32_t a, int32_t b) { return wrap32(static_cast<__int128>(a) - b); }), false},
        {"Fract32 product of three inputs", kMultiplierFract32, {0}, {{1, 12}, {1, 12}, {1, 12}}, {{1, 12}},
         [](auto &in, size_t w) { return Outputs{elementwise(in, w, product)}; }, false},
        {"Fract32 product into one channel from full scale", kMultiplierFract32, {on}, {{2, 10}, {2, 10}}, {{1, 10}},
         [](auto &in, size_t w) { return Outputs{oneChannel(in, w, kMax, product)}; }, false},
        {"one channel alone scaled by full scale, a unit below itself when positive", kMultiplierFract32, {on},
         {{1, 9}}, {{1, 9}}, [](auto &in, size_t w) { return Outputs{oneChannel(in, w, kMax, product)}; }, false},
        {"V2 gain signal shifted left with saturation", kMultiplierV2Fract32, {on, 0, 3}, {{1, 6}, {2, 6}},
         {{2, 6}}, v2Gain(3), true},
        {"V2 gain signal shifted right", kMultiplierV2Fract32, {on, 0, static_cast<uint32_t>(-2)},
         {{1, 6}, {3, 6}}, {{3, 6}}, v2Gain(-2), false},
        {"V2 Fract32 into one channel from full scale", kMultiplierV2Fract32, {0, on, 5}, {{2, 6}, {1, 6}},
         {{1, 6}}, [](auto &in, size_t w) { return Outputs{oneChannel(in, w, kMax, product)}; }, false},
        {"V2 Fract32 elementwise, the shift unused", kMultiplierV2Fract32, {0, 0, 5}, {{2, 6}, {2, 6}}, {{2, 6}},
         [](auto &in, size_t w) { return Outputs{elementwise(in, w, product)}; }, false},
        {"Fract32 halves, rounded toward minus infinity", kSumDiffFract32, {}, {{1, 12}, {1, 12}}, {{1, 12}, {1, 12}},
         [](auto &in, size_t) {
             std::vector<int32_t> s, d;
             for (size_t i = 0; i < in[0].words.size(); ++i) {
                 const __int128 a = in[0].words[i], b = in[1].words[i];
                 s.push_back(static_cast<int32_t>((a >> 1) + (b >> 1)));
                 d.push_back(static_cast<int32_t>((a >> 1) - (b >> 1)));
             }
             return Outputs{s, d};
         },
         false},
        {"integer halves of wrapping sums, truncated toward zero", kSumDiffInt32, {}, {{1, 12}, {1, 12}},
         {{1, 12}, {1, 12}},
         [](auto &in, size_t) {
             std::vector<int32_t> s, d;
             for (size_t i = 0; i < in[0].words.size(); ++i) {
                 const __int128 a = in[0].words[i], b = in[1].words[i];
                 s.push_back(wrap32(a + b) / 2);
                 d.push_back(wrap32(a - b) / 2);
             }
             return Outputs{s, d};
         },
         false},
        {"Fract32 sum of squares, saturated at full scale", kSquareAddFract32, {0}, {{2, 6}, {2, 6}}, {{2, 6}},
         [&](auto &in, size_t w) {
             std::vector<Input> all{{in[0].shape, std::vector<int32_t>(in[0].words.size(), 0)}};
             all.insert(all.end(), in.begin(), in.end());
             return Outputs{elementwise(all, w, squareAdd)};
         },
         false},
        {"Fract32 sum of squares into one channel", kSquareAddFract32, {on}, {{2, 6}, {1, 6}}, {{1, 6}},
         [&](auto &in, size_t w) { return Outputs{oneChannel(in, w, 0, squareAdd)}; }, false},
        {"wrapping integer scale and offset", kScaleOffsetInt32, {3, static_cast<uint32_t>(-7)}, {{2, 6}}, {{2, 6}},
         [](auto &in, size_t) {
             return Outputs{each(in[0].words, [](int32_t x) { return wrap32(static_cast<__int128>(x) * 3 - 7); })};
         },
         false},
    };

    uint32_t seed = 0;
    for (const Case &c : cases) {
        std::vector<Input> in;
        const Wired w = build(Wiring{c.classId, c.args, c.inputs, c.outputs}, [&](uint32_t k, uint32_t words) {
            in.push_back({c.inputs[k], testWords(words, seed++)});
            return in.back().words;
        });
        ASSERT_NE(w.module, nullptr) << c.what;
        run(w.module);
        const std::vector<GenericWire *> &outputs = w.outputs;
        const auto expected = c.model(in, kve::kit::wireWords(outputs[0]));
        ASSERT_EQ(expected.size(), outputs.size()) << c.what;
        bool high = false, low = false;
        for (size_t k = 0; k < outputs.size(); ++k) {
            EXPECT_EQ(words(outputs[k]), expected[k]) << c.what << ", output " << k;
            high = high || std::count(expected[k].begin(), expected[k].end(), kMax) != 0;
            low = low || std::count(expected[k].begin(), expected[k].end(), kMin) != 0;
        }
        if (c.reachesBothEnds) {
            EXPECT_TRUE(high && low) << c.what << ": the test words saturate at both ends";
        }
    }
}

} // namespace
} // namespace arithtest
