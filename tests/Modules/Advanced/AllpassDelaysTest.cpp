// The allpass delays: the whole-sample and modulated sections against scipy's lfilter of their difference equation,
// the delays a layout or host writes held inside the line, the Fract32 sections word for word against an integer
// model, and the modulated sections' bypass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/AllpassDelays.h"
#include "support/ModuleFixture.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/Signals.h"

namespace {

using kvetest::bitsOf;
using kvetest::noise;
using kvetest::variable;

constexpr uint32_t kAllpassDelay = 0xBEEF0CB7u;
constexpr uint32_t kAllpassDelay16 = 0xBEEF0CB9u;
constexpr uint32_t kAllpassDelayFract32 = 0xBEEF0CB6u;
constexpr uint32_t kAllpassDelay16Fract32 = 0xBEEF0CB8u;
constexpr uint32_t kAllpassDelayi = 0xBEEF0CBBu;
constexpr uint32_t kAllpassDelayci = 0xBEEF0CBAu;

const ModClassDescriptor *const kTable[] = {
    &kve_modAllpassDelayClass.record,         &kve_modAllpassDelay16Class.record,
    &kve_modAllpassDelayFract32Class.record,  &kve_modAllpassDelay16Fract32Class.record,
    &kve_modAllpassDelayiClass.record,        &kve_modAllpassDelayciClass.record,
};

// A line tap: the sample `frames` back of the stored section state, with its weight.
struct Tap {
    int64_t frames;
    double weight;
};

// The section per channel through lfilter: y = F v - g x, v = x + g y, F the taps.
std::vector<double> oracle(double g, uint32_t ch, const std::vector<Tap> &taps, const std::vector<float> &x)
{
    std::vector<std::string> args = {kvetest::oracleArg(g), std::to_string(ch), std::to_string(taps.size())};
    for (const Tap &t : taps) {
        args.push_back(std::to_string(t.frames));
        args.push_back(kvetest::oracleArg(t.weight));
    }
    for (float v : x)
        args.push_back(kvetest::oracleArg(v));
    return kvetest::runOracle("allpass_sections.py", args);
}

class AllpassDelays : public kvetest::ModuleFixture {
protected:
    void SetUp() override { useTable(kTable); }

    // Runs x through m block by block (wire `in` to output `out`, optional line output `line`), returning both.
    template <class T>
    void run(ClassModule *m, GenericWire *in, GenericWire *out, GenericWire *line, const std::vector<T> &x,
             std::vector<T> &y, std::vector<T> *delayed = nullptr)
    {
        const uint32_t block = kve::kit::wireWords(in);
        for (size_t at = 0; at + block <= x.size(); at += block) {
            fill(in, x, at);
            pump(m);
            const std::vector<T> got = words<T>(out);
            y.insert(y.end(), got.begin(), got.end());
            if (delayed != nullptr && line != nullptr) {
                const std::vector<T> d = words<T>(line);
                delayed->insert(delayed->end(), d.begin(), d.end());
            }
        }
    }
};

TEST_F(AllpassDelays, WholeSampleSectionsMatchTheirDifferenceEquation)
{
    struct Case {
        uint32_t classId, ch, block;
        int32_t maxDelay, delay;
        float g;
        int64_t frames; // the delay the section runs at
        double tolerance;
    };
    const Case cases[] = {
        {kAllpassDelay, 1, 8, 10, 3, 0.5f, 3, 1e-5},
        {kAllpassDelay, 2, 5, 7, 7, -0.7f, 7, 1e-5},
        {kAllpassDelay, 3, 4, 12, 1, 0.3f, 1, 1e-5},
        // Delay 0 reads the sample written one line length ago.
        {kAllpassDelay, 1, 8, 5, 0, 0.5f, 6, 1e-5},
        // Delays past the line are held to it: above the maximum at the maximum, below 0 at 0.
        {kAllpassDelay, 2, 8, 6, 40, 0.6f, 6, 1e-5},
        {kAllpassDelay, 1, 8, 6, -3, 0.6f, 7, 1e-5},
        {kAllpassDelay16, 1, 8, 10, 3, 0.5f, 3, 2e-3},
        {kAllpassDelay16, 2, 6, 9, 4, -0.6f, 4, 2e-3},
        {kAllpassDelay16, 1, 8, 6, 100, 0.4f, 6, 2e-3},
        {kAllpassDelay16, 1, 8, 6, -1, 0.4f, 7, 2e-3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.classId << std::dec << " delay " << c.delay);
        GenericWire *in = engine_.wire(c.ch, c.block);
        GenericWire *out = engine_.wire(c.ch, c.block);
        GenericWire *line = engine_.wire(c.ch, c.block);
        ClassModule *m = build(c.classId, 0x201, {in, out, line},
                               {static_cast<uint32_t>(c.maxDelay), static_cast<uint32_t>(c.delay), bitsOf(c.g), 0});
        ASSERT_NE(m, nullptr);
        const std::vector<float> x = noise(size_t{c.ch} * c.block * 12, c.ch + c.block, 0.5f);
        std::vector<float> y;
        std::vector<float> d;
        run(m, in, out, line, x, y, &d);
        const std::vector<double> want = oracle(c.g, c.ch, {{c.frames, 1.0}}, x);
        ASSERT_EQ(want.size(), y.size());
        for (size_t i = 0; i < y.size(); ++i) {
            ASSERT_NEAR(y[i], want[i], c.tolerance) << "sample " << i;
            // The second output is the line sample the output was formed from: y = d (1 - g^2) - g x.
            ASSERT_NEAR(d[i], (want[i] + c.g * x[i]) / (1.0 - c.g * c.g), 4 * c.tolerance) << "line sample " << i;
        }
    }
}

TEST_F(AllpassDelays, AMaximumWrittenPastTheLineBuiltIsHeldToIt)
{
    for (const uint32_t classId : {kAllpassDelay, kAllpassDelay16, kAllpassDelayFract32, kAllpassDelay16Fract32}) {
        SCOPED_TRACE(testing::Message() << std::hex << classId);
        const bool fract32 = classId == kAllpassDelayFract32 || classId == kAllpassDelay16Fract32;
        GenericWire *in = engine_.wire(1, 4);
        GenericWire *out = engine_.wire(1, 4);
        ClassModule *m = fract32 ? build(classId, 0x101, {in, out}, {3, 2, 0, 0, 0, 0})
                                 : build(classId, 0x101, {in, out}, {3, 2, 0, 0});
        ASSERT_NE(m, nullptr);
        if (fract32)
            set(m);
        variable<int32_t>(m, 0) = 1 << 30;
        variable<int32_t>(m, 1) = 1 << 29;
        variable<int32_t>(m, fract32 ? 5 : 3) = -7;
        // g = 0: a pure delay, here of the longest the line holds (3 frames).
        std::vector<int32_t> x(4 * 6, 0);
        x[1] = fract32 ? 0x40000000 : static_cast<int32_t>(bitsOf(0.5f));
        std::vector<int32_t> y;
        run(m, in, out, nullptr, x, y);
        for (size_t i = 0; i < y.size(); ++i)
            ASSERT_EQ(y[i], i == 4 ? x[1] : 0) << "sample " << i;
    }
}

// The Fract32 sections as listed: gain = m 2^e (frexp), each product with g the Q31 product with m (toward minus
// infinity) shifted by e with saturation, sums saturated; the 16-bit line keeps the upper half rounded half up.
struct Fract32Model {
    int32_t mantissa, exponent;
    bool halfwords;
    std::vector<int64_t> line;
    int64_t write = 0;

    static int64_t saturate(int64_t v) { return std::clamp<int64_t>(v, INT32_MIN, INT32_MAX); }
    int64_t timesGain(int64_t a) const
    {
        const int64_t p = (a * mantissa) >> 31;
        return exponent >= 0 ? saturate(p * (int64_t{1} << exponent)) : p >> -exponent;
    }
    int32_t step(int32_t x, int64_t back)
    {
        const auto length = static_cast<int64_t>(line.size());
        const int64_t d = line[(write - back + length) % length];
        const int64_t v = saturate(x + timesGain(d));
        line[write] = halfwords ? std::min<int64_t>((v + 32768) >> 16, INT16_MAX) * 65536 : v;
        write = (write + 1) % length;
        return static_cast<int32_t>(saturate(d - timesGain(v)));
    }
};

TEST_F(AllpassDelays, Fract32SectionsAreBitExact)
{
    struct Case {
        uint32_t classId, ch;
        int32_t maxDelay, delay;
        float g;
        int32_t mantissa, exponent;
        int32_t frames;
    };
    const Case cases[] = {
        {kAllpassDelayFract32, 1, 9, 4, 0.5f, 0x40000000, 0, 4},
        {kAllpassDelayFract32, 2, 9, 9, -0.7f, -1503238528, 0, 9},
        {kAllpassDelayFract32, 1, 6, 3, 1.5f, 0x60000000, 1, 3},
        {kAllpassDelayFract32, 1, 6, 0, 0.1f, 1717986944, -3, 7},
        {kAllpassDelayFract32, 2, 5, 77, 0.999f, 2145336192, 0, 5},
        {kAllpassDelayFract32, 1, 5, 2, 0.0f, 0, 0, 2},
        {kAllpassDelay16Fract32, 1, 9, 4, 0.5f, 0x40000000, 0, 4},
        {kAllpassDelay16Fract32, 2, 7, 3, -0.85f, -1825361152, 0, 3},
        {kAllpassDelay16Fract32, 1, 6, 3, 1.25f, 0x50000000, 1, 3},
        {kAllpassDelay16Fract32, 3, 4, -5, 0.3f, 1288490240, -1, 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.classId << std::dec << " g " << c.g << " delay " << c.delay);
        GenericWire *in = engine_.wire(c.ch, 8);
        GenericWire *out = engine_.wire(c.ch, 8);
        ClassModule *m = build(c.classId, 0x101, {in, out},
                               {static_cast<uint32_t>(c.maxDelay), static_cast<uint32_t>(c.delay), 0, 0, 0, 0});
        ASSERT_NE(m, nullptr);
        // A host's write of the gain alone splits it into mantissa and exponent.
        variable<float>(m, 2) = c.g;
        ASSERT_EQ(m->classRecord->set(m, 1u << 10), 0);
        EXPECT_EQ(variable<int32_t>(m, 3), c.mantissa);
        EXPECT_EQ(variable<int32_t>(m, 4), c.exponent);
        // Full scale both ways among the noise, so the sums and the shifted products saturate.
        std::mt19937 rng(c.ch * 31 + static_cast<uint32_t>(c.delay));
        std::vector<int32_t> x(c.ch * 8 * 10);
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = i % 7 == 0 ? INT32_MIN : (i % 11 == 0 ? INT32_MAX : static_cast<int32_t>(rng()));
        std::vector<int32_t> y;
        run(m, in, out, nullptr, x, y);
        Fract32Model model{c.mantissa, c.exponent, c.classId == kAllpassDelay16Fract32,
                           std::vector<int64_t>(static_cast<size_t>(c.maxDelay + 1) * c.ch, 0)};
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ(y[i], model.step(x[i], int64_t{c.frames} * c.ch)) << "sample " << i;
    }
}

// The taps of a modulated section at delay D (after its clamp): linear between n and n + 1 frames back, cubic over
// n - 2 .. n + 1 (0 .. 3 at D = 0); a tap at or before the write position reads what was stored a line length ago.
std::vector<Tap> modulatedTaps(bool cubic, double d, int64_t maxDelay)
{
    const auto n = static_cast<int64_t>(d);
    const double f = d - static_cast<double>(n);
    std::vector<Tap> taps;
    if (cubic) {
        const double f2 = f * f;
        const double f3 = f2 * f;
        const int64_t k = d == 0.0 ? 0 : n - 2;
        taps = {{k, -0.3333 * f + 0.5 * f2 - 0.16667 * f3},
                {k + 1, 1.0 + 0.5 * f3 - 0.5 * f - f2},
                {k + 2, f + 0.5 * f2 - 0.5 * f3},
                {k + 3, 0.16667 * (f3 - f)}};
    } else {
        taps = {{n, 1.0 - f}, {n + 1, f}};
    }
    for (Tap &t : taps)
        if (t.frames <= 0)
            t.frames += maxDelay + 1;
    return taps;
}

TEST_F(AllpassDelays, ModulatedSectionsMatchTheirDifferenceEquation)
{
    struct Case {
        bool cubic;
        uint32_t ch;
        int32_t maxDelay;
        float base, depth, modulation, g;
        double delay; // after the clamp
    };
    const Case cases[] = {
        {false, 1, 8, 1.0f, 2.0f, 0.5f, 0.5f, 2.0},   {true, 1, 8, 1.0f, 2.0f, 0.5f, 0.5f, 2.0},
        {false, 2, 10, 3.25f, 0.0f, 0.0f, -0.6f, 3.25}, {true, 2, 10, 5.0f, 1.5f, 0.4f, 0.6f, 5.6},
        {true, 1, 12, 2.0f, -1.0f, 0.75f, 0.4f, 1.25},  {false, 1, 12, 0.0f, 1.0f, 0.5f, 0.4f, 0.5},
        // Held to 0 .. maximum.
        {false, 1, 6, -4.0f, 1.0f, 0.5f, 0.5f, 0.0},   {true, 1, 6, -4.0f, 1.0f, 0.5f, 0.5f, 0.0},
        {false, 2, 6, 100.0f, 0.0f, 0.0f, 0.5f, 6.0},  {true, 2, 6, 3.0f, 50.0f, 1.0f, 0.5f, 6.0},
        // A line of one frame: the cubic's newer taps lie beyond the line and are brought back into it.
        {true, 2, 0, 0.5f, 0.0f, 0.0f, 0.5f, 0.0},     {false, 1, 0, 0.5f, 0.0f, 0.0f, 0.5f, 0.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.cubic ? "cubic" : "linear") << " delay " << c.delay);
        GenericWire *mod = engine_.wire(1, 8);
        GenericWire *in = engine_.wire(c.ch, 8);
        GenericWire *out = engine_.wire(c.ch, 8);
        ClassModule *m = build(c.cubic ? kAllpassDelayci : kAllpassDelayi, 0x102, {mod, in, out},
                               {static_cast<uint32_t>(c.maxDelay), bitsOf(c.base), bitsOf(c.depth), bitsOf(c.g), 0});
        ASSERT_NE(m, nullptr);
        std::fill_n(data<float>(mod), 8, c.modulation);
        const uint32_t seed = c.ch * 7 + static_cast<uint32_t>(c.maxDelay);
        const std::vector<float> x = noise(size_t{c.ch} * 8 * 10, seed, 0.5f);
        std::vector<float> y;
        run(m, in, out, nullptr, x, y);
        const std::vector<double> want = oracle(c.g, c.ch, modulatedTaps(c.cubic, c.delay, c.maxDelay), x);
        ASSERT_EQ(want.size(), y.size());
        for (size_t i = 0; i < y.size(); ++i)
            ASSERT_NEAR(y[i], want[i], 1e-4) << "sample " << i;
    }
}

TEST_F(AllpassDelays, ModulatedBypassPassesTheAudioAndLeavesTheLine)
{
    for (const uint32_t classId : {kAllpassDelayi, kAllpassDelayci}) {
        GenericWire *mod = engine_.wire(1, 4);
        GenericWire *in = engine_.wire(2, 4);
        GenericWire *out = engine_.wire(2, 4);
        ClassModule *m = build(classId, 0x102, {mod, in, out}, {4, bitsOf(2.0f), 0, bitsOf(0.5f), 0});
        ASSERT_NE(m, nullptr);
        std::fill_n(data<float>(mod), 4, 9.0f);
        const std::vector<float> x = noise(8, classId);
        fill(in, x);
        m->classRecord->bypass(m);
        EXPECT_EQ(words<float>(out), x);
        EXPECT_EQ(variable<int32_t>(m, 4), 0) << "the line is not written in bypass";
    }
}

} // namespace
