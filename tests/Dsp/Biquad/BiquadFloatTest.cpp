// Float biquad kernels. Every single-precision form, the pipelined cascade included, is run over a signal cut into
// blocks of uneven lengths, so its state is carried from call to call, and compared with one scipy run over the
// whole signal (lfilter, section by section, through tests/oracles/biquad_filter.py), output and final state both,
// the state in the words the kernel keeps. Strided, backward and in-place layouts must give the same bits as the
// plain one. Forms that are defined as one another (the HP and SS forms, the multi-channel forms and their
// one-channel forms, a cascade and its sections one after the other) must agree bit for bit, and each form's
// rounding is checked against a scalar model of the operation order it states. The quad-precision forms are held to
// an exact model of their arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::bitsOf;
using kvetest::oracleArg;

// Sections of different characters, b0 b1 b2 a1 a2; the first five make the test cascade.
const std::vector<std::vector<float>> kSections = {
    {0.0675f, 0.135f, 0.0675f, -1.143f, 0.4128f}, // lowpass, poles at radius 0.64
    {1.05f, -1.80f, 0.86f, -1.8151f, 0.9025f},    // resonance, poles at radius 0.95
    {0.92f, -1.84f, 0.92f, -1.83f, 0.85f},        // highpass, poles at radius 0.92
    {0.3f, 0.3f, 0.0f, -0.4f, 0.0f},              // first order
    {0.5f, 0.2f, -0.3f, 0.6f, 0.3f},              // poles towards half the sample rate
    {1.2f, -0.4f, 0.5f, -0.5f, 0.7f},
    {0.8f, 0.1f, 0.2f, 0.1f, -0.2f}, // real poles of opposite signs
    {0.25f, 0.5f, 0.25f, 0.2f, 0.1f},
    {1.0f, -1.2f, 0.6f, -0.9f, 0.5f},
};

std::vector<std::vector<float>> sectionsOf(const std::vector<int> &which)
{
    std::vector<std::vector<float>> sets;
    for (int k : which)
        sets.push_back(kSections[static_cast<size_t>(k)]);
    return sets;
}

const std::vector<float> kPassThrough = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f};

std::vector<float> randomValues(size_t count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> value(-0.5f, 0.5f);
    std::vector<float> v(count);
    for (float &x : v)
        x = value(rng);
    return v;
}

// Channel c of a test signal: a sine plus noise, different for every channel.
std::vector<float> channelSignal(int c, int32_t frames)
{
    std::mt19937 rng(1234u + static_cast<unsigned>(c));
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    std::vector<float> x(static_cast<size_t>(frames));
    for (int32_t t = 0; t < frames; ++t)
        x[static_cast<size_t>(t)] =
            0.6f * std::sin(0.05f * static_cast<float>((c + 1) * t)) + noise(rng);
    return x;
}

// Frames of `channels` channels, back to back.
std::vector<float> interleavedSignal(int channels, int32_t frames)
{
    std::vector<float> x(static_cast<size_t>(channels * frames));
    for (int c = 0; c < channels; ++c) {
        const std::vector<float> xc = channelSignal(c, frames);
        for (int32_t t = 0; t < frames; ++t)
            x[static_cast<size_t>(t * channels + c)] = xc[static_cast<size_t>(t)];
    }
    return x;
}

struct Reference {
    std::vector<double> y;
    std::vector<double> state; // per section, in the order the oracle's form names
    std::vector<double> stateTolerance;
    double tolerance = 0.0;
};

// One oracle run; the same run asked for twice is computed once.
template <typename Coefficient>
Reference oracle(const std::string &form, int32_t stages, const std::vector<Coefficient> &coeffs,
                 const std::vector<float> &x, size_t stateWords)
{
    static std::map<std::vector<std::string>, std::vector<double>> done;
    std::vector<std::string> args = {form, std::to_string(stages)};
    for (Coefficient v : coeffs)
        args.push_back(oracleArg(static_cast<double>(v)));
    for (float v : x)
        args.push_back(oracleArg(v));
    auto it = done.find(args);
    if (it == done.end())
        it = done.emplace(args, kvetest::runOracle("biquad_filter.py", args)).first;
    const std::vector<double> &v = it->second;
    Reference r;
    EXPECT_EQ(v.size(), x.size() + 2 * stateWords + 1) << form;
    if (v.size() != x.size() + 2 * stateWords + 1)
        return r;
    const auto at = [&](size_t i) { return v.begin() + static_cast<ptrdiff_t>(i); };
    r.y.assign(at(0), at(x.size()));
    r.state.assign(at(x.size()), at(x.size() + stateWords));
    r.stateTolerance.assign(at(x.size() + stateWords), at(x.size() + 2 * stateWords));
    r.tolerance = v.back();
    return r;
}

// A kernel with its arguments in one shape: coefficients per channel (the same set twice where a form takes one)
// and a section count (ignored by the single-section forms).
using Call = void (*)(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs0,
                      const float *coeffs1, float *state, int32_t stages, int32_t n);
// Where the kernel keeps word j of section k of channel c.
using StateIndex = size_t (*)(int c, int k, int j, int stages);

struct Form {
    const char *name;
    const char *oracle; // df2, df1, tdf2, ss or delay: also the state words the kernel keeps
    int channels;
    int words; // state words per channel and section
    bool cascade;
    bool twoSets; // one coefficient set per channel
    StateIndex stateIndex;
    Call call;
    int latency = 0; // samples the output comes late

    bool stateSpace() const { return std::string(oracle) == "ss"; }
    bool pipelined() const { return std::string(oracle) == "delay"; }
};

size_t perSection2(int, int k, int j, int) { return static_cast<size_t>(2 * k + j); }
size_t perSection4(int, int k, int j, int) { return static_cast<size_t>(4 * k + j); }
size_t channelPairs(int c, int, int j, int) { return static_cast<size_t>(2 * c + j); }
size_t planar(int c, int k, int j, int stages) { return static_cast<size_t>(2 * stages * c + 2 * k + j); }
size_t wordMajor(int c, int, int j, int) { return static_cast<size_t>(2 * j + c); }
size_t lanePairs(int c, int k, int j, int) { return static_cast<size_t>(4 * k + 2 * j + c); }
size_t asListed(int, int, int j, int) { return static_cast<size_t>(j); }

const Form kForms[] = {
    {"Biquad", "df2", 1, 2, false, false, perSection2,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t,
        int32_t n) { kve_vecBiquad(s, si, d, di, c, st, n); }},
    {"BiquadCascade", "df2", 1, 2, true, false, perSection2,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t k,
        int32_t n) { kve_vecBiquadCascade(s, si, d, di, c, st, k, n); }},
    {"Biquad_2ch", "df2", 2, 2, false, false, channelPairs,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t,
        int32_t n) { kve_vecBiquad_2ch(s, si, d, di, c, st, n); }},
    {"Biquad_4ch", "df2", 4, 2, false, false, channelPairs,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t,
        int32_t n) { kve_vecBiquad_4ch(s, si, d, di, c, st, n); }},
    {"BiquadCascade_2ch", "df2", 2, 2, true, false, planar,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t k,
        int32_t n) { kve_vecBiquadCascade_2ch(s, si, d, di, c, st, k, n); }},
    {"BiquadNCascade_2ch", "df2", 2, 2, true, true, planar,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c0, const float *c1, float *st, int32_t k,
        int32_t n) { kve_vecBiquadNCascade_2ch(s, si, d, di, c0, c1, st, k, n); }},
    {"Biquad_DF1", "df1", 1, 4, false, false, perSection4,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t,
        int32_t n) { kve_vecBiquad_DF1(s, si, d, di, c, st, n); }},
    {"BiquadCascade_DF1", "df1", 1, 4, true, false, perSection4,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t k,
        int32_t n) { kve_vecBiquadCascade_DF1(s, si, d, di, c, st, k, n); }},
    {"BiquadSS", "ss", 1, 2, false, false, perSection2,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t,
        int32_t n) { kve_vecBiquadSS(s, si, d, di, c, st, n); }},
    {"BiquadHP", "ss", 1, 2, false, false, perSection2,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t,
        int32_t n) { kve_vecBiquadHP(s, si, d, di, c, st, n); }},
    {"BiquadSS_2ch", "ss", 2, 2, false, false, wordMajor,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t,
        int32_t n) { kve_vecBiquadSS_2ch(s, si, d, di, c, st, n); }},
    {"BiquadHP_2ch", "ss", 2, 2, false, false, wordMajor,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t,
        int32_t n) { kve_vecBiquadHP_2ch(s, si, d, di, c, st, n); }},
    {"BiquadCascadeSS", "ss", 1, 2, true, false, perSection2,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t k,
        int32_t n) { kve_vecBiquadCascadeSS(s, si, d, di, c, st, k, n); }},
    {"BiquadCascadeHP", "ss", 1, 2, true, false, perSection2,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t k,
        int32_t n) { kve_vecBiquadCascadeHP(s, si, d, di, c, st, k, n); }},
    {"BiquadCascadeSS_2ch", "ss", 2, 2, true, false, planar,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t k,
        int32_t n) { kve_vecBiquadCascadeSS_2ch(s, si, d, di, c, st, k, n); }},
    {"BiquadCascadeHP_2ch", "ss", 2, 2, true, false, planar,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t k,
        int32_t n) { kve_vecBiquadCascadeHP_2ch(s, si, d, di, c, st, k, n); }},
    {"Biquad_SIMD4", "tdf2", 2, 2, false, false, lanePairs,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t,
        int32_t n) { kve_vecBiquad_SIMD4(s, si, d, di, c, st, n); }},
    {"BiquadCascade_SIMD4", "tdf2", 2, 2, true, false, lanePairs,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t k,
        int32_t n) { kve_vecBiquadCascade_SIMD4(s, si, d, di, c, st, k, n); }},
    {"BiquadNCascade_SIMD4", "tdf2", 2, 2, true, true, lanePairs,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c0, const float *c1, float *st, int32_t k,
        int32_t n) { kve_vecBiquadNCascade_SIMD4(s, si, d, di, c0, c1, st, k, n); }},
    {"BiquadCascadeDelay", "delay", 1, 13, false, false, asListed,
     [](const float *s, int32_t si, float *d, int32_t di, const float *c, const float *, float *st, int32_t,
        int32_t n) { kve_vecBiquadCascadeDelay(s, si, d, di, c, st, n); },
     4},
};

const Form &formNamed(const std::string &name)
{
    for (const Form &f : kForms)
        if (name == f.name)
            return f;
    ADD_FAILURE() << "no form " << name;
    return kForms[0];
}

// The coefficients of a test: as the kernel takes them (per channel) and as the oracle takes them.
struct Filter {
    int32_t stages = 1; // the kernel's section count
    std::vector<float> coeffs[2];
    int32_t oracleStages = 1;
    std::vector<float> oracleCoeffs[2];
};

// Sections b0 b1 b2 a1 a2 for channel 0 and channel 1, in the form's own coefficient layout: state-space forms take
// each section's design_sos2ss image; the pipelined cascade takes its four sections planar.
Filter makeFilter(const Form &f, const std::vector<std::vector<float>> &sets0,
                  const std::vector<std::vector<float>> &sets1)
{
    Filter filter;
    filter.stages = f.pipelined() ? 1 : static_cast<int32_t>(sets0.size());
    filter.oracleStages = static_cast<int32_t>(sets0.size());
    const std::vector<std::vector<float>> *sets[2] = {&sets0, &sets1};
    for (int c = 0; c < 2; ++c) {
        for (const std::vector<float> &set : *sets[c]) {
            float image[5];
            const float *v = set.data();
            if (f.stateSpace()) {
                design_sos2ss(set.data(), image);
                v = image;
            }
            filter.oracleCoeffs[c].insert(filter.oracleCoeffs[c].end(), v, v + 5);
        }
        filter.coeffs[c] = filter.oracleCoeffs[c];
        if (f.pipelined()) {
            for (size_t j = 0; j < 5; ++j)
                for (size_t k = 0; k < 4; ++k)
                    filter.coeffs[c][4 * j + k] = filter.oracleCoeffs[c][5 * k + j];
        }
    }
    return filter;
}

// The filter a form is tested with: a single section is the resonance, a cascade the first five test sections (the
// pipelined one the first four); forms with a set per channel run another cascade on channel 1.
Filter filterFor(const Form &f)
{
    const std::vector<int> sections = f.pipelined() ? std::vector<int>{0, 1, 2, 3}
                                      : f.cascade   ? std::vector<int>{0, 1, 2, 3, 4}
                                                    : std::vector<int>{1};
    return makeFilter(f, sectionsOf(sections), f.twoSets ? sectionsOf({5, 6, 7, 8, 1}) : sectionsOf(sections));
}

size_t stateWords(const Form &f, const Filter &filter)
{
    return static_cast<size_t>(f.channels * f.words * filter.stages);
}

// How the frames lie in memory: increments as the frame size plus a gap, the output possibly walked backward or
// written over the input.
struct Layout {
    const char *name;
    int32_t srcGap;
    int32_t dstGap;
    bool dstBackward;
    bool inPlace;
};

const Layout kBackToBack = {"back to back", 0, 0, false, false};
const Layout kLayouts[] = {
    kBackToBack,
    {"strided", 1, 3, false, false},
    {"output backward", 0, 1, true, false},
    {"in place", 2, 2, false, true},
};

// Frames the signal is cut into; the last block takes what is left.
const std::vector<int32_t> kBlocks = {1, 7, 32, 3, 64, 5, 150, 1 << 20};

struct Outcome {
    std::vector<float> y; // frames back to back
    std::vector<float> state;
};

// Runs x (frames back to back) through the form in blocks, laid out as `layout` says, from the given state. Words
// between and around the frames must keep their contents.
Outcome runBlocks(const Form &f, const Filter &filter, const std::vector<float> &x, const Layout &layout,
                  const std::vector<int32_t> &blocks, std::vector<float> state)
{
    constexpr float kUntouched = -777.0f;
    const int C = f.channels;
    const int32_t frames = static_cast<int32_t>(x.size()) / C;
    const int32_t srcInc = C + layout.srcGap;
    const int32_t dstStride = C + layout.dstGap;
    const int32_t dstInc = layout.dstBackward ? -dstStride : dstStride;
    std::vector<float> src(static_cast<size_t>(frames * srcInc + 4), kUntouched);
    std::vector<float> dstBuffer(static_cast<size_t>(frames * dstStride + 4), kUntouched);
    for (int32_t t = 0; t < frames; ++t)
        for (int c = 0; c < C; ++c)
            src[static_cast<size_t>(t * srcInc + c)] = x[static_cast<size_t>(t * C + c)];
    std::vector<float> &out = layout.inPlace ? src : dstBuffer;
    const auto dstFrame = [&](int32_t t) {
        return out.data() + (layout.dstBackward ? (frames - 1 - t) : t) * dstStride;
    };
    Outcome r;
    r.state = std::move(state);
    int32_t t = 0;
    for (int32_t b : blocks) {
        const int32_t n = std::min(b, frames - t);
        f.call(src.data() + t * srcInc, srcInc, dstFrame(t), dstInc, filter.coeffs[0].data(),
               filter.coeffs[1].data(), r.state.data(), filter.stages, n);
        t += n;
    }
    for (int32_t u = 0; u < frames; ++u)
        for (int c = 0; c < C; ++c)
            r.y.push_back(dstFrame(u)[c]);
    for (int32_t u = 0; u < frames; ++u)
        for (int g = C; g < dstStride; ++g)
            EXPECT_EQ(out[static_cast<size_t>(u * dstStride + g)], kUntouched) << f.name << ", " << layout.name;
    EXPECT_EQ(out.back(), kUntouched) << f.name << ", " << layout.name;
    return r;
}

Outcome runFromZero(const Form &f, const Filter &filter, const std::vector<float> &x, const Layout &layout,
                    const std::vector<int32_t> &blocks)
{
    return runBlocks(f, filter, x, layout, blocks, std::vector<float>(stateWords(f, filter), 0.0f));
}

TEST(FloatBiquad, EveryFormFollowsScipyAcrossBlocks)
{
    constexpr int32_t kFrames = 400;
    for (const Form &f : kForms) {
        const Filter filter = filterFor(f);
        const std::vector<float> x = interleavedSignal(f.channels, kFrames);
        const Outcome whole = runFromZero(f, filter, x, kBackToBack, {kFrames});
        for (int c = 0; c < f.channels; ++c) {
            const size_t words = static_cast<size_t>(f.words * filter.stages);
            const Reference ref = oracle(f.oracle, filter.oracleStages, filter.oracleCoeffs[c == 1 ? 1 : 0],
                                         channelSignal(c, kFrames), words);
            ASSERT_EQ(ref.y.size(), static_cast<size_t>(kFrames)) << f.name;
            ASSERT_GT(ref.tolerance, 0.0);
            ASSERT_LT(ref.tolerance, 1e-3) << f.name << ": a tolerance this wide would hide faults";
            for (int32_t t = 0; t < kFrames; ++t)
                ASSERT_NEAR(whole.y[static_cast<size_t>(t * f.channels + c)], ref.y[static_cast<size_t>(t)],
                            ref.tolerance)
                    << f.name << ", channel " << c << ", frame " << t;
            for (int k = 0; k < filter.stages; ++k) {
                for (int j = 0; j < f.words; ++j) {
                    const size_t i = static_cast<size_t>(k * f.words + j);
                    EXPECT_NEAR(whole.state[f.stateIndex(c, k, j, filter.stages)], ref.state[i],
                                ref.stateTolerance[i])
                        << f.name << ", channel " << c << ", section " << k << ", state word " << j;
                }
            }
        }
        // The state carries a block's end into the next exactly, whatever the layout.
        for (const Layout &layout : kLayouts) {
            const Outcome blocks = runFromZero(f, filter, x, layout, kBlocks);
            for (size_t i = 0; i < x.size(); ++i)
                ASSERT_EQ(bitsOf(blocks.y[i]), bitsOf(whole.y[i])) << f.name << ", " << layout.name << ", sample " << i;
            for (size_t i = 0; i < whole.state.size(); ++i)
                EXPECT_EQ(bitsOf(blocks.state[i]), bitsOf(whole.state[i]))
                    << f.name << ", " << layout.name << ", state word " << i;
        }
    }
}

// Runs `f` over x (frames of f.channels back to back) from `state`; returns the output and leaves the final state.
std::vector<float> runOnce(const Form &f, const Filter &filter, const std::vector<float> &x, std::vector<float> &state)
{
    Outcome r = runBlocks(f, filter, x, kBackToBack, {1 << 20}, state);
    state = r.state;
    return r.y;
}

// The two-channel forms are their one-channel forms run on each channel, the four-channel form too (and so two
// two-channel passes), and the HP forms are the SS forms; all from a state that is not zero, so every state word
// is checked where it lies.
TEST(FloatBiquad, FormsDefinedAsOneAnotherAgreeBitForBit)
{
    const struct {
        const char *form;
        const char *asThis;
    } pairs[] = {
        {"Biquad_2ch", "Biquad"},
        {"Biquad_4ch", "Biquad"},
        {"BiquadCascade_2ch", "BiquadCascade"},
        {"BiquadNCascade_2ch", "BiquadCascade"},
        {"BiquadSS_2ch", "BiquadSS"},
        {"BiquadCascadeSS_2ch", "BiquadCascadeSS"},
        {"BiquadHP", "BiquadSS"},
        {"BiquadHP_2ch", "BiquadSS_2ch"},
        {"BiquadCascadeHP", "BiquadCascadeSS"},
        {"BiquadCascadeHP_2ch", "BiquadCascadeSS_2ch"},
    };
    constexpr int32_t kFrames = 37;
    for (const auto &p : pairs) {
        const Form &f = formNamed(p.form);
        const Form &g = formNamed(p.asThis);
        const Filter filter = filterFor(f);
        const std::vector<float> x = interleavedSignal(f.channels, kFrames);
        std::vector<float> state = randomValues(stateWords(f, filter), 7u);
        const std::vector<float> start = state;
        const std::vector<float> y = runOnce(f, filter, x, state);
        if (g.channels == f.channels) {
            std::vector<float> same = start;
            const std::vector<float> expected = runOnce(g, filter, x, same);
            for (size_t i = 0; i < y.size(); ++i)
                ASSERT_EQ(bitsOf(y[i]), bitsOf(expected[i])) << p.form << ", sample " << i;
            for (size_t i = 0; i < state.size(); ++i)
                EXPECT_EQ(bitsOf(state[i]), bitsOf(same[i])) << p.form << ", state word " << i;
            continue;
        }
        for (int c = 0; c < f.channels; ++c) {
            Filter one = filter;
            one.coeffs[0] = filter.coeffs[c == 1 ? 1 : 0];
            std::vector<float> xc, channelState;
            for (int32_t t = 0; t < kFrames; ++t)
                xc.push_back(x[static_cast<size_t>(t * f.channels + c)]);
            for (int k = 0; k < filter.stages; ++k)
                for (int j = 0; j < f.words; ++j)
                    channelState.push_back(start[f.stateIndex(c, k, j, filter.stages)]);
            const std::vector<float> expected = runOnce(g, one, xc, channelState);
            for (int32_t t = 0; t < kFrames; ++t)
                ASSERT_EQ(bitsOf(y[static_cast<size_t>(t * f.channels + c)]), bitsOf(expected[static_cast<size_t>(t)]))
                    << p.form << ", channel " << c << ", frame " << t;
            for (int k = 0; k < filter.stages; ++k)
                for (int j = 0; j < f.words; ++j)
                    EXPECT_EQ(bitsOf(state[f.stateIndex(c, k, j, filter.stages)]),
                              bitsOf(channelState[static_cast<size_t>(k * f.words + j)]))
                        << p.form << ", channel " << c << ", section " << k << ", word " << j;
        }
    }
}

// A cascade of S sections is its single-section kernel run S times, section k on the output of section k - 1, for
// every S that leaves a different remainder of sections to the kernel's loops; with an output increment of 0 too,
// where every section after the first reads the one frame the section before it left.
TEST(FloatBiquad, ACascadeIsItsSectionsOneAfterAnother)
{
    const struct {
        const char *cascade;
        const char *section;
    } pairs[] = {
        {"BiquadCascade", "Biquad"},
        {"BiquadCascade_DF1", "Biquad_DF1"},
        {"BiquadCascadeSS", "BiquadSS"},
        {"BiquadCascade_SIMD4", "Biquad_SIMD4"},
    };
    constexpr int32_t kFrames = 41;
    for (const auto &p : pairs) {
        const Form &f = formNamed(p.cascade);
        const Form &g = formNamed(p.section);
        for (int32_t stages = 1; stages <= static_cast<int32_t>(kSections.size()); ++stages) {
            std::vector<int> which;
            for (int k = 0; k < stages; ++k)
                which.push_back(k);
            const Filter filter = makeFilter(f, sectionsOf(which), sectionsOf(which));
            const std::vector<float> x = interleavedSignal(f.channels, kFrames);
            std::vector<float> state = randomValues(stateWords(f, filter), 11u);
            std::vector<float> expectedState = state;
            const std::vector<float> y = runOnce(f, filter, x, state);

            std::vector<float> expected = x;
            const size_t perSection = static_cast<size_t>(f.channels * f.words);
            for (int32_t k = 0; k < stages; ++k) {
                const Filter section = makeFilter(g, sectionsOf({which[static_cast<size_t>(k)]}),
                                                  sectionsOf({which[static_cast<size_t>(k)]}));
                std::vector<float> s(expectedState.begin() + static_cast<ptrdiff_t>(k * perSection),
                                     expectedState.begin() + static_cast<ptrdiff_t>((k + 1) * perSection));
                expected = runOnce(g, section, expected, s);
                std::copy(s.begin(), s.end(), expectedState.begin() + static_cast<ptrdiff_t>(k * perSection));
            }
            for (size_t i = 0; i < y.size(); ++i)
                ASSERT_EQ(bitsOf(y[i]), bitsOf(expected[i]))
                    << p.cascade << ", " << stages << " sections, sample " << i;
            for (size_t i = 0; i < state.size(); ++i)
                EXPECT_EQ(bitsOf(state[i]), bitsOf(expectedState[i]))
                    << p.cascade << ", " << stages << " sections, state word " << i;

            std::vector<float> oneFrame(static_cast<size_t>(f.channels)), expectedFrame = oneFrame;
            state = randomValues(stateWords(f, filter), 13u);
            expectedState = state;
            f.call(x.data(), f.channels, oneFrame.data(), 0, filter.coeffs[0].data(), filter.coeffs[0].data(),
                   state.data(), stages, kFrames);
            for (int32_t k = 0; k < stages; ++k) {
                const float *in = k == 0 ? x.data() : expectedFrame.data();
                const Filter section = makeFilter(g, sectionsOf({which[static_cast<size_t>(k)]}),
                                                  sectionsOf({which[static_cast<size_t>(k)]}));
                g.call(in, k == 0 ? f.channels : 0, expectedFrame.data(), 0, section.coeffs[0].data(),
                       section.coeffs[0].data(), expectedState.data() + k * perSection, 1, kFrames);
            }
            for (int c = 0; c < f.channels; ++c)
                EXPECT_EQ(bitsOf(oneFrame[static_cast<size_t>(c)]), bitsOf(expectedFrame[static_cast<size_t>(c)]))
                    << p.cascade << ", " << stages << " sections into one frame, channel " << c;
            EXPECT_EQ(state, expectedState) << p.cascade << ", " << stages << " sections into one frame";
        }
    }
}

// One sample of one channel of one section, written from each form's definition with the fused multiply-adds where
// the definition puts them; state in the order the form keeps it for one channel.
using Model = float (*)(const float *c, float *s, float x);

float directFormII(const float *c, float *s, float x)
{
    const float d1 = std::fma(-c[3], c[0], c[1]);
    const float d2 = std::fma(-c[4], c[0], c[2]);
    const float y = std::fma(c[0], x, std::fma(d1, s[0], d2 * s[1]));
    const float w = std::fma(-c[4], s[1], -c[3] * s[0]) + x;
    s[1] = s[0];
    s[0] = w;
    return y;
}

float directFormI(const float *c, float *s, float x)
{
    if (c[4] == 0.0f && c[2] == 0.0f) {
        const float y = std::fma(c[0], x, std::fma(-c[3], s[2], c[1] * s[0]));
        s[0] = x;
        s[2] = y;
        return y;
    }
    const float y = std::fma(c[0], x, std::fma(-c[4], s[3], c[2] * s[1]) + std::fma(-c[3], s[2], c[1] * s[0]));
    s[1] = s[0];
    s[0] = x;
    s[3] = s[2];
    s[2] = y;
    return y;
}

float stateSpace(const float *c, float *s, float x)
{
    const float y = std::fma(c[3], x, s[0]);
    const float s0 = std::fma(c[1], s[0], std::fma(c[4], x, s[1]));
    const float s1 = std::fma(c[1], s[1], std::fma(c[2], s[0], c[0] * x));
    s[0] = s0;
    s[1] = s1;
    return y;
}

float transposedRounded(const float *c, float *s, float x)
{
    const float y = c[0] * x + s[0];
    const float s0 = (s[1] - c[3] * y) + c[1] * x;
    s[1] = c[2] * x - c[4] * y;
    s[0] = s0;
    return y;
}

float transposedFused(const float *c, float *s, float x)
{
    const float y = std::fma(c[0], x, s[0]);
    const float s0 = std::fma(-c[3], y, c[1] * x) + s[1];
    s[1] = std::fma(-c[4], y, c[2] * x);
    s[0] = s0;
    return y;
}

TEST(FloatBiquad, EachFormRoundsInItsStatedOrder)
{
    const struct {
        const char *form;
        int section0;
        int section1;
        Model model;
    } cases[] = {
        {"Biquad", 1, 1, directFormII},          {"Biquad_DF1", 1, 1, directFormI},
        {"Biquad_DF1", 3, 3, directFormI},       {"BiquadSS", 2, 2, stateSpace},
        {"Biquad_SIMD4", 1, 1, transposedRounded}, {"BiquadNCascade_SIMD4", 1, 2, transposedFused},
    };
    constexpr int32_t kFrames = 67; // blocks of four frames and a tail
    for (const auto &m : cases) {
        const Form &f = formNamed(m.form);
        const Filter filter = makeFilter(f, sectionsOf({m.section0}), sectionsOf({m.section1}));
        const std::vector<float> x = interleavedSignal(f.channels, kFrames);
        std::vector<float> state = randomValues(stateWords(f, filter), 5u);
        const std::vector<float> start = state;
        const std::vector<float> y = runOnce(f, filter, x, state);
        for (int c = 0; c < f.channels; ++c) {
            std::vector<float> s;
            for (int j = 0; j < f.words; ++j)
                s.push_back(start[f.stateIndex(c, 0, j, 1)]);
            const float *coeffs = filter.coeffs[c == 1 ? 1 : 0].data();
            for (int32_t t = 0; t < kFrames; ++t) {
                const size_t i = static_cast<size_t>(t * f.channels + c);
                ASSERT_EQ(bitsOf(y[i]), bitsOf(m.model(coeffs, s.data(), x[i])))
                    << m.form << ", section " << m.section0 << ", channel " << c << ", frame " << t;
            }
            for (int j = 0; j < f.words; ++j)
                EXPECT_EQ(bitsOf(state[f.stateIndex(c, 0, j, 1)]), bitsOf(s[static_cast<size_t>(j)]))
                    << m.form << ", channel " << c << ", word " << j;
        }
    }
}

// The pipelined cascade, lane by lane as its definition says: section k works on what section k - 1 gave one
// sample earlier, and the output is the last section's result of the sample before.
TEST(FloatBiquad, PipelinedCascadeRoundsInItsStatedOrder)
{
    const Form &f = formNamed("BiquadCascadeDelay");
    const Filter filter = filterFor(f);
    const std::vector<float> x = interleavedSignal(1, 29);
    std::vector<float> state = randomValues(13, 3u);
    std::vector<float> s = state;
    const std::vector<float> y = runOnce(f, filter, x, state);
    const float *c = filter.coeffs[0].data();
    for (size_t t = 0; t < x.size(); ++t) {
        ASSERT_EQ(bitsOf(y[t]), bitsOf(s[12])) << "sample " << t;
        s[8] = x[t];
        float next[4];
        for (int k = 0; k < 4; ++k) {
            float &w2 = s[static_cast<size_t>(k)];
            float &w1 = s[static_cast<size_t>(4 + k)];
            const float in = s[static_cast<size_t>(8 + k)];
            const float w = in - std::fma(c[12 + k], w1, c[16 + k] * w2);
            next[k] = std::fma(c[k], w, std::fma(c[4 + k], w1, c[8 + k] * w2));
            w2 = w1;
            w1 = w;
        }
        std::copy(next, next + 4, s.begin() + 9);
    }
    for (size_t i = 0; i < s.size(); ++i)
        EXPECT_EQ(bitsOf(state[i]), bitsOf(s[i])) << "state word " << i;
}

// The pass-through section (b0 = 1, the rest 0; its design_sos2ss image for the state-space forms) hands every
// sample on unchanged from zero state; the pipelined cascade four samples late.
TEST(FloatBiquad, PassThroughSectionsPassTheInputExactly)
{
    constexpr int32_t kFrames = 45;
    for (const Form &f : kForms) {
        const std::vector<std::vector<float>> sets(f.pipelined() ? 4 : f.cascade ? 3 : 1, kPassThrough);
        const Filter filter = makeFilter(f, sets, sets);
        const std::vector<float> x = interleavedSignal(f.channels, kFrames);
        const Outcome r = runFromZero(f, filter, x, kBackToBack, {kFrames});
        for (size_t i = 0; i < x.size(); ++i) {
            const size_t late = static_cast<size_t>(f.latency * f.channels);
            const float expected = i < late ? 0.0f : x[i - late];
            ASSERT_EQ(bitsOf(r.y[i]), bitsOf(expected)) << f.name << ", sample " << i;
        }
    }
}

// A count below 1 reads and writes nothing, a section count below 1 neither.
TEST(FloatBiquad, CountsBelowOneTouchNothing)
{
    for (const Form &f : kForms) {
        const Filter filter = filterFor(f);
        const std::vector<float> src = randomValues(static_cast<size_t>(8 * f.channels), 1u);
        const std::vector<float> startState = randomValues(stateWords(f, filter), 2u);
        const std::vector<float> startDst = randomValues(src.size(), 3u);
        const struct {
            int32_t stages;
            int32_t n;
        } calls[] = {{filter.stages, 0}, {filter.stages, -3}, {0, 8}, {-1, 8}};
        for (const auto &call : calls) {
            if (!f.cascade && call.stages != filter.stages)
                continue;
            std::vector<float> dst = startDst;
            std::vector<float> state = startState;
            f.call(src.data(), f.channels, dst.data(), f.channels, filter.coeffs[0].data(), filter.coeffs[1].data(),
                   state.data(), call.stages, call.n);
            EXPECT_EQ(dst, startDst) << f.name << ", " << call.stages << " sections, n = " << call.n;
            EXPECT_EQ(state, startState) << f.name << ", " << call.stages << " sections, n = " << call.n;
        }
    }
}

// A first-order section (a2 = 0, b2 = 0) leaves x[n-2] and y[n-2] where they were, and a later block with
// second-order coefficients starts from them.
TEST(FloatBiquad, FirstOrderDirectFormIKeepsTheOlderStateWords)
{
    float state[4] = {0.5f, 0.25f, -0.5f, 0.75f}; // x1, x2, y1, y2
    const float firstOrder[5] = {0.5f, 0.25f, 0.0f, -0.5f, 0.0f};
    const float x[3] = {1.0f, -2.0f, 0.5f};
    float y[3];
    kve_vecBiquad_DF1(x, 1, y, 1, firstOrder, state, 3);
    // y = 0.5 x + 0.25 x1 + 0.5 y1, exact in float.
    EXPECT_EQ(y[0], 0.5f * 1.0f + 0.25f * 0.5f + 0.5f * -0.5f);
    EXPECT_EQ(y[1], 0.5f * -2.0f + 0.25f * 1.0f + 0.5f * y[0]);
    EXPECT_EQ(y[2], 0.5f * 0.5f + 0.25f * -2.0f + 0.5f * y[1]);
    const float after[4] = {0.5f, 0.25f, y[2], 0.75f};
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(state[j], after[j]) << "state word " << j;

    const float secondOrder[5] = {1.0f, 0.0f, 0.5f, 0.0f, 0.25f};
    const float one = 1.0f;
    float out = 0.0f;
    kve_vecBiquad_DF1(&one, 1, &out, 1, secondOrder, state, 1);
    EXPECT_EQ(out, 1.0f + 0.5f * 0.25f - 0.25f * 0.75f); // from the x2 and y2 kept above
}

// ---- Quad precision ----

using Quad = kve_LongDouble;

// Sections as doubles that no float holds, so the quad coefficients carry more than a float set would: lowpass,
// resonance, highpass.
const std::vector<std::vector<double>> kQuadSections = {
    {0.067455273889071896, 0.13491054777814379, 0.067455273889071896, -1.1429805025399011, 0.41280159809618877},
    {1.0504196346233001, -1.8002213409017398, 0.86010357193717604, -1.8150943396226414, 0.90250000000000008},
    {0.91879908159016803, -1.8375981631803361, 0.91879908159016803, -1.8315432081240322, 0.84365311823663981},
};

// Runs x through `stages` quad sections in blocks, the input and output `srcInc` and `dstInc` apart (the output
// over the input when inPlace), from zero state; returns the output and leaves the state.
std::vector<float> runQuad(const std::vector<float> &x, int32_t stages, const std::vector<int32_t> &blocks,
                           int32_t srcInc, int32_t dstInc, bool inPlace, std::vector<Quad> &state)
{
    std::vector<Quad> coeffs;
    for (int32_t k = 0; k < stages; ++k)
        for (double v : kQuadSections[static_cast<size_t>(k)])
            coeffs.push_back(v);
    state.assign(static_cast<size_t>(2 * stages), 0);
    const int32_t n = static_cast<int32_t>(x.size());
    std::vector<float> src(static_cast<size_t>(n * srcInc)), dstBuffer(static_cast<size_t>(n * dstInc));
    for (int32_t i = 0; i < n; ++i)
        src[static_cast<size_t>(i * srcInc)] = x[static_cast<size_t>(i)];
    std::vector<float> &dst = inPlace ? src : dstBuffer;
    int32_t t = 0;
    for (int32_t b : blocks) {
        const int32_t count = std::min(b, n - t);
        if (stages == 1)
            kve_vecBiquad40(src.data() + t * srcInc, srcInc, dst.data() + t * dstInc, dstInc, coeffs.data(),
                            state.data(), count);
        else
            kve_vecBiquadCascade40(src.data() + t * srcInc, srcInc, dst.data() + t * dstInc, dstInc, coeffs.data(),
                                   state.data(), stages, count);
        t += count;
    }
    std::vector<float> y;
    for (int32_t i = 0; i < n; ++i)
        y.push_back(dst[static_cast<size_t>(i * dstInc)]);
    return y;
}

// The quad forms round only their output to float, and feed that float back: the oracle's model does the same in
// exact arithmetic, so the outputs agree bit for bit (the quad sums would have to fall within 2^-113 of a float's
// rounding boundary to differ) and the state to the double the oracle prints. The output also stays within float
// rounding of scipy's double-precision filter, whose coefficients these are.
TEST(QuadBiquad, RoundsOnlyItsOutputAcrossBlocks)
{
    constexpr int32_t kFrames = 300;
    const std::vector<float> x = channelSignal(0, kFrames);
    for (int32_t stages : {1, 3}) {
        std::vector<double> coeffs;
        for (int32_t k = 0; k < stages; ++k)
            coeffs.insert(coeffs.end(), kQuadSections[static_cast<size_t>(k)].begin(),
                          kQuadSections[static_cast<size_t>(k)].end());
        const size_t words = static_cast<size_t>(2 * stages);
        const Reference exact = oracle("ext", stages, coeffs, x, words);
        const Reference scipy = oracle("tdf2", stages, coeffs, x, words);
        ASSERT_EQ(exact.y.size(), x.size());
        ASSERT_EQ(scipy.y.size(), x.size());

        std::vector<Quad> state;
        const std::vector<float> y = runQuad(x, stages, {kFrames}, 1, 1, false, state);
        for (size_t t = 0; t < x.size(); ++t) {
            ASSERT_EQ(bitsOf(y[t]), bitsOf(static_cast<float>(exact.y[t]))) << stages << " sections, sample " << t;
            ASSERT_NEAR(y[t], scipy.y[t], scipy.tolerance) << stages << " sections, sample " << t;
        }
        for (size_t j = 0; j < words; ++j)
            EXPECT_NEAR(static_cast<double>(state[j]), exact.state[j], 1e-15 * std::fabs(exact.state[j]))
                << stages << " sections, state word " << j;

        const struct {
            const char *name;
            int32_t srcInc;
            int32_t dstInc;
            bool inPlace;
        } layouts[] = {{"back to back", 1, 1, false}, {"strided", 2, 3, false}, {"in place", 2, 2, true}};
        for (const auto &l : layouts) {
            std::vector<Quad> blockState;
            const std::vector<float> blocks = runQuad(x, stages, kBlocks, l.srcInc, l.dstInc, l.inPlace, blockState);
            for (size_t t = 0; t < x.size(); ++t)
                ASSERT_EQ(bitsOf(blocks[t]), bitsOf(y[t])) << l.name << ", " << stages << " sections, sample " << t;
            for (size_t j = 0; j < words; ++j)
                EXPECT_TRUE(blockState[j] == state[j]) << l.name << ", state word " << j;
        }
    }
}

TEST(QuadBiquad, CascadeIsItsSectionsOneAfterAnother)
{
    const std::vector<float> x = channelSignal(1, 50);
    std::vector<Quad> cascadeState;
    const std::vector<float> y = runQuad(x, 3, {50}, 1, 1, false, cascadeState);
    std::vector<float> expected = x;
    for (size_t k = 0; k < 3; ++k) {
        Quad coeffs[5], state[2] = {0, 0};
        std::copy(kQuadSections[k].begin(), kQuadSections[k].end(), coeffs);
        kve_vecBiquad40(expected.data(), 1, expected.data(), 1, coeffs, state, 50);
        EXPECT_TRUE(state[0] == cascadeState[2 * k] && state[1] == cascadeState[2 * k + 1]) << "section " << k;
    }
    for (size_t t = 0; t < x.size(); ++t)
        ASSERT_EQ(bitsOf(y[t]), bitsOf(expected[t])) << "sample " << t;
}

TEST(QuadBiquad, PassThroughAndEmptyCalls)
{
    const Quad pass[10] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    const std::vector<float> x = channelSignal(0, 20);
    std::vector<float> y(x.size());
    Quad state[4] = {0, 0, 0, 0};
    kve_vecBiquadCascade40(x.data(), 1, y.data(), 1, pass, state, 2, 20);
    for (size_t t = 0; t < x.size(); ++t)
        ASSERT_EQ(bitsOf(y[t]), bitsOf(x[t])) << "sample " << t;

    Quad busy[4] = {0.25, -0.5, 0.75, 1.5};
    const std::vector<float> before = y;
    const Quad coeffs[10] = {0.5, 0.1, 0.2, 0.3, 0.4, 0.5, 0.1, 0.2, 0.3, 0.4};
    kve_vecBiquad40(x.data(), 1, y.data(), 1, coeffs, busy, 0);
    kve_vecBiquadCascade40(x.data(), 1, y.data(), 1, coeffs, busy, 2, -1);
    kve_vecBiquadCascade40(x.data(), 1, y.data(), 1, coeffs, busy, 0, 20);
    EXPECT_EQ(y, before);
    EXPECT_TRUE(busy[0] == 0.25 && busy[1] == -0.5 && busy[2] == 0.75 && busy[3] == 1.5);
}

} // namespace
