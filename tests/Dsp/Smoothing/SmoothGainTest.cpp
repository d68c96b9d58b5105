// Float gain smoothers: the one-pole glide against its closed form (numpy), the hold of a gain that has reached its
// target, one gain per frame across the channels of interleaved forms, sub-blocks with their own targets, how the
// kernels walk strided memory, and gains that come to rest short of their target.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::bitsOf;
using kvetest::floatOf;
using kvetest::GuardedVector;
using kvetest::oracleArg;

// Gains g_1..g_n of the one-pole glide from g0, with the hold of a start within 1e-10 of the target.
std::vector<double> glideGains(float g0, float target, float coeff, int32_t n)
{
    const std::vector<double> g =
        kvetest::runOracle("smooth_glide.py", {oracleArg(g0), oracleArg(target), oracleArg(coeff), std::to_string(n)});
    EXPECT_EQ(g.size(), static_cast<size_t>(n)) << "glide oracle";
    return g;
}

// Samples spread over -1..1, none of them zero.
std::vector<float> signal(size_t count, int seed = 0)
{
    std::vector<float> x(count);
    for (size_t i = 0; i < count; ++i)
        x[i] = (static_cast<float>((i * 37 + static_cast<size_t>(seed) * 11) % 200) - 99.5f) / 100.0f;
    return x;
}

struct Glide {
    float g0;
    float target;
    float coeff;
    int32_t frames;
};

// How far a single-precision glide may stray from the exact curve: each step rounds by a few units in the last
// place of the gain, and the pole carries an error along for about 1 / coeff steps.
double tolerance(const Glide &c)
{
    return 1e-7 * std::max(std::fabs(c.g0), std::fabs(c.target)) / c.coeff;
}

std::vector<Glide> glides()
{
    return {
        {0.5f, 1.0f, 0.5f, 9},                                    // 0.75, 0.875, ...
        {1.0f, 0.0f, 0.05f, 37},                                  // a fade toward silence
        {-0.25f, 2.0f, design_smoother(1, 5.0f, 48000.0f), 301},  // 5 ms at 48 kHz
        {0.0f, 1e-3f, 0.3f, 22},
        {3.0f, -1.5f, 1.0f, 6},                                   // a coefficient of 1 arrives at once
        {0.8f, 0.8f, 0.1f, 19},                                   // at the target already: held
    };
}

bool held(const Glide &c)
{
    return std::fabs(c.target - c.g0) < 1e-10f;
}

// Compares a kernel's final gain state with the curve's last gain; a held gain keeps its bit pattern.
void expectFinalGain(float state, const Glide &c, const std::vector<double> &g, const std::string &where)
{
    if (held(c))
        EXPECT_EQ(bitsOf(state), bitsOf(c.g0)) << where;
    else
        EXPECT_NEAR(state, g.back(), tolerance(c)) << where;
}

TEST(SmoothedGain, OneChannelFormsFollowTheOnePoleCurve)
{
    for (const Glide &c : glides()) {
        const std::vector<double> g = glideGains(c.g0, c.target, c.coeff, c.frames);
        ASSERT_EQ(g.size(), static_cast<size_t>(c.frames));
        const std::vector<float> x = signal(static_cast<size_t>(c.frames));
        const std::vector<float> before = signal(static_cast<size_t>(c.frames), 5);
        const std::string where = "g0 " + std::to_string(c.g0) + " target " + std::to_string(c.target);

        std::vector<float> scaled(x.size());
        float state = c.g0;
        kve_vecScaleSmooth(x.data(), 1, scaled.data(), 1, &state, c.target, c.coeff, c.frames);
        expectFinalGain(state, c, g, "scale " + where);

        std::vector<float> summed = before;
        float addState = c.g0;
        kve_vecScaleAddSmooth(x.data(), 1, summed.data(), 1, &addState, c.target, c.coeff, c.frames);
        expectFinalGain(addState, c, g, "scale-add " + where);

        for (size_t k = 0; k < x.size(); ++k) {
            const double expected = x[k] * g[k];
            ASSERT_NEAR(scaled[k], expected, std::fabs(x[k]) * tolerance(c) + 1e-7 * std::fabs(expected))
                << "scale " << where << " sample " << k;
            ASSERT_NEAR(summed[k], before[k] + expected, std::fabs(x[k]) * tolerance(c) + 2e-7)
                << "scale-add " << where << " sample " << k;
        }
    }
}

// Channel c of frame t carries x_t x 2^c, so every channel of a frame must come out as exactly 2^c times channel 0.
TEST(SmoothedGain, InterleavedFormsApplyOneGainPerFrameAlongTheCurve)
{
    for (const Glide &c : glides()) {
        const std::vector<double> g = glideGains(c.g0, c.target, c.coeff, c.frames);
        ASSERT_EQ(g.size(), static_cast<size_t>(c.frames));
        const std::vector<float> x = signal(static_cast<size_t>(c.frames));
        for (int32_t channels : {1, 2, 3, 4, 5, 8, 9}) {
            const std::string where = "g0 " + std::to_string(c.g0) + " target " + std::to_string(c.target) +
                                      " channels " + std::to_string(channels);
            const size_t count = x.size() * static_cast<size_t>(channels);
            std::vector<float> src(count);
            for (size_t t = 0; t < x.size(); ++t)
                for (int32_t ch = 0; ch < channels; ++ch)
                    src[t * static_cast<size_t>(channels) + static_cast<size_t>(ch)] = std::ldexp(x[t], ch);

            std::vector<float> dst(count);
            float state = c.g0;
            kve_vecScaleSmooth_Nch(src.data(), dst.data(), channels, &state, c.target, c.coeff, c.frames);
            expectFinalGain(state, c, g, where);

            std::vector<float> inPlace = src;
            float inPlaceState = c.g0;
            kve_vecScaleSmooth_Nch(inPlace.data(), inPlace.data(), channels, &inPlaceState, c.target, c.coeff,
                                   c.frames);
            EXPECT_EQ(bitsOf(inPlaceState), bitsOf(state)) << where << " in place";

            for (size_t t = 0; t < x.size(); ++t) {
                const float *frame = dst.data() + t * static_cast<size_t>(channels);
                const double expected = x[t] * g[t];
                ASSERT_NEAR(frame[0], expected, std::fabs(x[t]) * tolerance(c) + 1e-7 * std::fabs(expected))
                    << where << " frame " << t;
                for (int32_t ch = 0; ch < channels; ++ch) {
                    ASSERT_EQ(bitsOf(frame[ch]), bitsOf(std::ldexp(frame[0], ch))) << where << " frame " << t;
                    ASSERT_EQ(bitsOf(inPlace[t * static_cast<size_t>(channels) + static_cast<size_t>(ch)]),
                              bitsOf(frame[ch]))
                        << where << " in place, frame " << t;
                }
            }

            std::vector<float> summed = signal(count, 3);
            const std::vector<float> before = summed;
            float addState = c.g0;
            kve_vecScaleAddSmooth_Nch(src.data(), summed.data(), channels, &addState, c.target, c.coeff, c.frames);
            expectFinalGain(addState, c, g, where + " scale-add");
            for (size_t i = 0; i < count; ++i) {
                const size_t t = i / static_cast<size_t>(channels);
                ASSERT_NEAR(summed[i], before[i] + src[i] * g[t], std::fabs(src[i]) * tolerance(c) + 1e-6)
                    << where << " scale-add sample " << i;
            }
        }
    }
}

// A start exactly 1e-10 from the target glides; a start closer holds. Inputs of 1e10 make the tiny gains visible.
// Holding, the scalers apply the gain they hold, while the interleaved scale-add applies and stores the target.
TEST(SmoothedGain, HoldsOnlyWithinOneTenthOfANanoOfTheTarget)
{
    const std::vector<float> x(12, 1e10f);
    const float coeff = 0.5f;
    for (int32_t channels : {1, 2, 3}) {
        const int32_t frames = static_cast<int32_t>(x.size()) / channels;
        const std::string where = "channels " + std::to_string(channels);

        float state = 0.0f;
        std::vector<float> dst(x.size(), 7.0f);
        kve_vecScaleSmooth_Nch(x.data(), dst.data(), channels, &state, 5e-11f, coeff, frames);
        EXPECT_EQ(bitsOf(state), bitsOf(0.0f)) << where;
        EXPECT_EQ(dst, std::vector<float>(x.size(), 0.0f)) << where;

        state = 0.0f;
        kve_vecScaleSmooth_Nch(x.data(), dst.data(), channels, &state, 1e-10f, coeff, frames);
        EXPECT_GT(state, 0.0f) << where << ": a difference of exactly 1e-10 glides";

        state = 0.0f;
        std::vector<float> summed(x.size(), 7.0f);
        kve_vecScaleAddSmooth_Nch(x.data(), summed.data(), channels, &state, 5e-11f, coeff, frames);
        EXPECT_EQ(bitsOf(state), bitsOf(5e-11f)) << where;
        for (float y : summed)
            EXPECT_FLOAT_EQ(y, 7.5f) << where;
    }

    float state = 0.0f;
    std::vector<float> dst(x.size(), 7.0f);
    kve_vecScaleSmooth(x.data(), 1, dst.data(), 1, &state, 5e-11f, coeff, 12);
    EXPECT_EQ(bitsOf(state), bitsOf(0.0f));
    EXPECT_EQ(dst, std::vector<float>(x.size(), 0.0f));
    std::vector<float> summed(x.size(), 7.0f);
    kve_vecScaleAddSmooth(x.data(), 1, summed.data(), 1, &state, 5e-11f, coeff, 12);
    EXPECT_EQ(bitsOf(state), bitsOf(0.0f));
    EXPECT_EQ(summed, std::vector<float>(x.size(), 7.0f));
    kve_vecScaleSmooth(x.data(), 1, dst.data(), 1, &state, 1e-10f, coeff, 12);
    EXPECT_GT(state, 0.0f);
}

// With two channels the last one to three frames after the groups of four are held once the gain has come within
// 1e-10 of the target; other channel counts keep moving it. Halving from 1e-10 toward 0 is exact in binary.
TEST(SmoothedGain, StereoHoldsTheFramesAfterItsGroupsOnceTheGainArrives)
{
    const float start = 1e-10f;
    const std::vector<float> x(18, 1e10f);
    for (int32_t channels : {1, 2, 3}) {
        float state = start;
        std::vector<float> dst(x.size());
        kve_vecScaleSmooth_Nch(x.data(), dst.data(), channels, &state, 0.0f, 0.5f, 6);
        const int lastHalving = channels == 2 ? 4 : 6;
        EXPECT_EQ(bitsOf(state), bitsOf(std::ldexp(start, -lastHalving))) << "channels " << channels;
        for (int32_t t = 0; t < 6; ++t) {
            const int halvings = std::min(t + 1, lastHalving);
            EXPECT_EQ(bitsOf(dst[static_cast<size_t>(t * channels)]), bitsOf(x[0] * std::ldexp(start, -halvings)))
                << "channels " << channels << " frame " << t;
        }
    }
}

// Gains g_1..g_n of consecutive glides that carry the gain from one to the next.
std::vector<double> chainedGlides(float g0, const std::vector<float> &targets, const std::vector<int32_t> &lengths,
                                  float coeff)
{
    std::vector<double> all;
    float g = g0;
    for (size_t j = 0; j < targets.size(); ++j) {
        if (lengths[j] < 1)
            continue;
        const std::vector<double> part = glideGains(g, targets[j], coeff, lengths[j]);
        all.insert(all.end(), part.begin(), part.end());
        g = static_cast<float>(part.back());
    }
    return all;
}

// The block splits into n / count sub-blocks; the samples past the last whole one go with the last target, so the
// whole block is written. A block shorter than the count goes entirely with the last target.
TEST(SmoothedGain, SubblocksGlideTowardTheirOwnTargetsAndTheLastTakesTheRest)
{
    const struct {
        int32_t n;
        std::vector<float> targets;
        std::vector<int32_t> lengths;
    } cases[] = {
        {26, {1.0f, 0.25f, 0.5f, -0.5f}, {6, 6, 6, 8}},
        {24, {1.0f, 0.25f, 0.5f, -0.5f}, {6, 6, 6, 6}},
        {2, {1.0f, 0.25f, 0.5f, -0.5f}, {0, 0, 0, 2}},
        {9, {0.75f}, {9}},
    };
    const float coeff = 0.2f;
    const float g0 = 0.0f;
    for (const auto &c : cases) {
        const std::vector<double> g = chainedGlides(g0, c.targets, c.lengths, coeff);
        ASSERT_EQ(g.size(), static_cast<size_t>(c.n));
        const auto count = static_cast<int32_t>(c.targets.size());
        const double tol = 1e-7 / coeff;
        for (int32_t channels : {1, 2, 3}) {
            const std::vector<float> x = signal(static_cast<size_t>(c.n * channels));
            std::vector<float> dst(x.size(), 9.0f);
            float state = g0;
            if (channels == 1)
                kve_vecScaleSmoothSubblock(x.data(), 1, dst.data(), 1, &state, c.targets.data(), count, coeff, c.n);
            else
                kve_vecScaleSmoothSubblock_Nch(x.data(), dst.data(), channels, &state, c.targets.data(), count,
                                               coeff, c.n);
            EXPECT_NEAR(state, g.back(), tol) << "n " << c.n << " channels " << channels;
            for (size_t i = 0; i < x.size(); ++i)
                ASSERT_NEAR(dst[i], x[i] * g[i / static_cast<size_t>(channels)], tol)
                    << "n " << c.n << " channels " << channels << " sample " << i;
        }

        const std::vector<float> gains = {2.0f, -1.0f, 0.5f, 0.125f};
        const std::vector<float> x = signal(static_cast<size_t>(c.n));
        std::vector<float> dst(x.size(), 9.0f);
        kve_vecScaleSubblock(x.data(), 1, dst.data(), 1, gains.data(), count, c.n);
        size_t i = 0;
        for (int32_t j = 0; j < count; ++j)
            for (int32_t k = 0; k < c.lengths[static_cast<size_t>(j)]; ++k, ++i)
                ASSERT_EQ(dst[i], x[i] * gains[static_cast<size_t>(j)]) << "n " << c.n << " sample " << i;
    }
}

// One strided smoother call, on samples given as 32-bit words.
struct StridedSmoother {
    const char *name;
    void (*run)(uint32_t *src, int32_t srcInc, uint32_t *dst, int32_t dstInc, float *state, int32_t n);
};

const float kTargets[] = {0.9f, -0.3f};

const StridedSmoother kStrided[] = {
    {"scale",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, float *g, int32_t n) {
         kve_vecScaleSmooth(reinterpret_cast<float *>(s), si, reinterpret_cast<float *>(d), di, g, 0.9f, 0.3f, n);
     }},
    {"scale-add",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, float *g, int32_t n) {
         kve_vecScaleAddSmooth(reinterpret_cast<float *>(s), si, reinterpret_cast<float *>(d), di, g, 0.9f, 0.3f,
                               n);
     }},
    {"sub-block scale",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, float *, int32_t n) {
         kve_vecScaleSubblock(reinterpret_cast<float *>(s), si, reinterpret_cast<float *>(d), di, kTargets, 2, n);
     }},
    {"sub-block smoother",
     [](uint32_t *s, int32_t si, uint32_t *d, int32_t di, float *g, int32_t n) {
         kve_vecScaleSmoothSubblock(reinterpret_cast<float *>(s), si, reinterpret_cast<float *>(d), di, g, kTargets,
                                    2, 0.3f, n);
     }},
};

// Each kernel on increments 1, 2, -1 and (input only) 0 writes what it writes on contiguous vectors, at the strided
// places and nowhere else; counts below 1 touch neither the output nor the gain.
TEST(SmoothedGain, StridedFormsWalkEveryIncrementAndTouchNothingElse)
{
    for (const StridedSmoother &k : kStrided)
        for (int32_t srcInc : {1, 2, -1, 0})
            for (int32_t dstInc : {1, 2, -1})
                for (int32_t n : {-3, 0, 1, 3, 5, 17}) {
                    const std::string where = std::string(k.name) + " increments " + std::to_string(srcInc) + " " +
                                              std::to_string(dstInc) + " n " + std::to_string(n);
                    GuardedVector src(n, srcInc);
                    GuardedVector dst(n, dstInc);
                    std::vector<uint32_t> contiguousSrc;
                    std::vector<uint32_t> contiguousDst;
                    for (int32_t i = 0; i < n; ++i) {
                        // With an increment of 0 every read meets the last sample written here.
                        src[i] = bitsOf(0.25f * static_cast<float>(i % 7) - 0.6f);
                        dst[i] = bitsOf(0.1f * static_cast<float>(i));
                    }
                    for (int32_t i = 0; i < n; ++i) {
                        contiguousSrc.push_back(src[i]);
                        contiguousDst.push_back(dst[i]);
                    }
                    GuardedVector expected = dst;
                    float expectedState = 0.1f;
                    if (n > 0)
                        k.run(contiguousSrc.data(), 1, contiguousDst.data(), 1, &expectedState, n);
                    for (int32_t i = 0; i < n; ++i)
                        expected[i] = contiguousDst[static_cast<size_t>(i)];

                    float state = 0.1f;
                    k.run(src.data(), srcInc, dst.data(), dstInc, &state, n);
                    ASSERT_EQ(dst.words(), expected.words()) << where;
                    ASSERT_EQ(bitsOf(state), bitsOf(expectedState)) << where;
                }
}

TEST(SmoothedGain, InterleavedFormsWithoutChannelsOrFramesTouchNothing)
{
    const std::vector<float> src(16, 0.5f);
    const float targets[2] = {1.0f, 2.0f};
    for (const auto &[channels, frames] : {std::pair{0, 4}, {-1, 4}, {2, 0}, {2, -5}}) {
        std::vector<float> dst(16, 3.0f);
        float state = 0.25f;
        kve_vecScaleSmooth_Nch(src.data(), dst.data(), channels, &state, 1.0f, 0.5f, frames);
        kve_vecScaleAddSmooth_Nch(src.data(), dst.data(), channels, &state, 1.0f, 0.5f, frames);
        kve_vecScaleSmoothSubblock_Nch(src.data(), dst.data(), channels, &state, targets, 2, 0.5f, frames);
        EXPECT_EQ(dst, std::vector<float>(16, 3.0f)) << channels << " channels, " << frames << " frames";
        EXPECT_EQ(state, 0.25f) << channels << " channels, " << frames << " frames";
    }
    for (int32_t count : {0, -1}) {
        std::vector<float> dst(16, 3.0f);
        float state = 0.25f;
        kve_vecScaleSmoothSubblock_Nch(src.data(), dst.data(), 2, &state, targets, count, 0.5f, 8);
        kve_vecScaleSmoothSubblock(src.data(), 1, dst.data(), 1, &state, targets, count, 0.5f, 8);
        kve_vecScaleSubblock(src.data(), 1, dst.data(), 1, targets, count, 8);
        EXPECT_EQ(dst, std::vector<float>(16, 3.0f)) << count << " sub-blocks";
        EXPECT_EQ(state, 0.25f) << count << " sub-blocks";
    }
}

// ---- Gains at rest ----
//
// In single precision the one-pole step mostly stops a little short of its target, at a gain it hands back unchanged,
// long before the 1e-10 hold would catch it; from there the kernels scale by that gain directly. Whatever path they
// take, every sample and the stored gain must be bit for bit what the documented recursion gives run sample by sample
// (frame by frame): before, across and after the rest, in the blocks that follow, on strided and interleaved vectors,
// and with infinite and NaN targets.

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The same sample, or NaN where the other is NaN too (which NaN a product carries is not the kernels' to choose).
bool sameSample(float a, float b)
{
    return bitsOf(a) == bitsOf(b) || (std::isnan(a) && std::isnan(b));
}

// The documented recursion sample by sample: a gain within 1e-10 of the target at entry is used for every sample and
// not stored (when `hold`); otherwise g = g x (1 - coeff) + coeff x target, one fused multiply-add with coeff x target
// formed once, before every sample, and the last g stored.
struct Recursion {
    std::vector<float> gains;
    float state;
};

Recursion sampleBySample(float g0, float target, float coeff, size_t n, bool hold = true)
{
    if (hold && std::fabs(target - g0) < 1e-10f)
        return {std::vector<float>(n, g0), g0};
    const float keep = 1.0f - coeff;
    const float pull = coeff * target;
    Recursion r{{}, g0};
    for (size_t i = 0; i < n; ++i) {
        r.state = std::fma(r.state, keep, pull);
        r.gains.push_back(r.state);
    }
    return r;
}

// The gain the recursion from g0 comes to rest at, and after how many steps.
struct Rest {
    float gain;
    size_t steps;
};

Rest restOf(float g0, float target, float coeff)
{
    Rest r{g0, 0};
    for (float next = std::fma(r.gain, 1.0f - coeff, coeff * target); bitsOf(next) != bitsOf(r.gain);
         next = std::fma(r.gain, 1.0f - coeff, coeff * target)) {
        r.gain = next;
        ++r.steps;
    }
    return r;
}

struct Case {
    std::string what;
    float g0, target, coeff;
    int32_t n;
};

// A 10 ms glide at 48 kHz: from 0.5 toward 1 it rests about 5000 samples on, 2.6e-5 short of the target.
constexpr float kSlowCoeff = 0.00208f;

std::vector<Case> cases()
{
    const Rest slow = restOf(0.5f, 1.0f, kSlowCoeff);
    const Rest quick = restOf(0.5f, 1.0f, 0.3f);
    const Rest medium = restOf(0.5f, 0.7079458f, 0.05f);
    return {
        {"at rest at entry, short of the target", slow.gain, 1.0f, kSlowCoeff, 67},
        {"coming to rest mid-block", 0.5f, 1.0f, 0.3f, static_cast<int32_t>(quick.steps) + 40},
        {"reaching its resting gain on the last sample", 0.5f, 1.0f, 0.3f, static_cast<int32_t>(quick.steps)},
        {"coming to rest mid-block, slowly", 0.5f, 0.7079458f, 0.05f, static_cast<int32_t>(medium.steps) + 9},
        {"never at rest within the block", 0.5f, 1.0f, kSlowCoeff, 256},
        {"at rest once the gain flushes to zero", 1.0f, 0.0f, 0.5f, 200},
        {"a coefficient of 1 arrives at once", 3.0f, -1.5f, 1.0f, 9},
        {"a coefficient of 0 turns -0 into +0, then rests", -0.0f, 1.0f, 0.0f, 7},
        {"held within 1e-10 of the target", 0.25f, 0.25f, 0.1f, 11},
        {"toward a NaN target", 0.5f, kNaN, 0.1f, 13},
        {"toward an infinite target", 0.5f, kInf, 0.1f, 13},
        {"toward an infinite target with a coefficient of 1", 0.5f, -kInf, 1.0f, 13},
        {"from a NaN gain", kNaN, 1.0f, 0.1f, 13},
        {"from an infinite gain", kInf, 1.0f, 0.1f, 13},
    };
}

// One one-channel kernel and what the recursion says it writes over what the output held.
struct OneChannelKernel {
    const char *name;
    void (*run)(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *state, const Case &c);
    float (*expected)(float x, float gain, float before);
    bool holds;
};

const OneChannelKernel kOneChannel[] = {
    {"scale",
     [](const float *s, int32_t si, float *d, int32_t di, float *g, const Case &c) {
         kve_vecScaleSmooth(s, si, d, di, g, c.target, c.coeff, c.n);
     },
     [](float x, float gain, float) { return x * gain; }, true},
    {"scale-add",
     [](const float *s, int32_t si, float *d, int32_t di, float *g, const Case &c) {
         kve_vecScaleAddSmooth(s, si, d, di, g, c.target, c.coeff, c.n);
     },
     [](float x, float gain, float before) { return std::fma(x, gain, before); }, true},
};

// On contiguous and strided vectors (the rest of a block is handed on from the sample where the gain rests, so its
// place must follow the increments), every sample and the stored gain are those of the recursion, and nothing else
// is written.
TEST(SmoothedGainAtRest, OneChannelFormsFollowTheRecursionBitForBit)
{
    for (const Case &c : cases())
        for (const OneChannelKernel &k : kOneChannel)
            for (const auto &[srcInc, dstInc] : {std::pair{1, 1}, {2, 3}, {-1, 2}, {3, -2}}) {
                const std::string where = std::string(k.name) + ", " + c.what + ", increments " +
                                          std::to_string(srcInc) + " " + std::to_string(dstInc);
                const Recursion r = sampleBySample(c.g0, c.target, c.coeff, static_cast<size_t>(c.n), k.holds);
                const std::vector<float> x = signal(static_cast<size_t>(c.n));
                const std::vector<float> before = signal(static_cast<size_t>(c.n), 3);
                GuardedVector src(c.n, srcInc);
                GuardedVector dst(c.n, dstInc);
                for (int32_t i = 0; i < c.n; ++i) {
                    src[i] = bitsOf(x[static_cast<size_t>(i)]);
                    dst[i] = bitsOf(before[static_cast<size_t>(i)]);
                }
                GuardedVector expected = dst;
                for (int32_t i = 0; i < c.n; ++i) {
                    const auto s = static_cast<size_t>(i);
                    expected[i] = bitsOf(k.expected(x[s], r.gains[s], before[s]));
                }

                float state = c.g0;
                k.run(src.as<float>(), srcInc, dst.as<float>(), dstInc, &state, c);
                ASSERT_TRUE(sameSample(state, r.state)) << where << ": stored " << state << ", expected " << r.state;
                for (size_t w = 0; w < dst.words().size(); ++w)
                    ASSERT_TRUE(sameSample(floatOf(dst.words()[w]), floatOf(expected.words()[w])))
                        << where << ", word " << w << ": " << floatOf(dst.words()[w]) << ", expected "
                        << floatOf(expected.words()[w]);
            }
}

// The first-order smoother fills its output with the trajectory itself, with no hold.
TEST(SmoothedGainAtRest, FirstOrderSmootherFillsTheRecursionBitForBit)
{
    for (const Case &c : cases()) {
        const Recursion r = sampleBySample(c.g0, c.target, c.coeff, static_cast<size_t>(c.n), false);
        std::vector<float> dst(static_cast<size_t>(c.n) + 1, 9.0f);
        float state = c.g0;
        kve_vecFirstOrderSmoother(dst.data(), &state, c.target, c.coeff, c.n);
        ASSERT_TRUE(sameSample(state, r.state)) << c.what;
        for (size_t i = 0; i < r.gains.size(); ++i)
            ASSERT_TRUE(sameSample(dst[i], r.gains[i])) << c.what << ", sample " << i << ": " << dst[i];
        EXPECT_EQ(dst.back(), 9.0f) << c.what;
    }
}

// The interleaved scale-add runs every channel along the recursion from the gain at entry: at rest, all channels at
// once; the stored gain is the recursion's (the target when held).
TEST(SmoothedGainAtRest, InterleavedScaleAddFollowsTheRecursionBitForBit)
{
    for (const Case &c : cases())
        for (int32_t channels : {1, 2, 3, 8}) {
            const std::string where = c.what + ", " + std::to_string(channels) + " channels";
            const bool held = std::fabs(c.target - c.g0) < 1e-10f;
            const Recursion r = sampleBySample(c.g0, c.target, c.coeff, static_cast<size_t>(c.n));
            const size_t count = static_cast<size_t>(c.n) * static_cast<size_t>(channels);
            const std::vector<float> src = signal(count);
            std::vector<float> dst = signal(count, 5);
            const std::vector<float> before = dst;
            float state = c.g0;
            kve_vecScaleAddSmooth_Nch(src.data(), dst.data(), channels, &state, c.target, c.coeff, c.n);
            ASSERT_TRUE(sameSample(state, held ? c.target : r.state)) << where;
            for (size_t i = 0; i < count; ++i) {
                const float gain = held ? c.target : r.gains[i / static_cast<size_t>(channels)];
                ASSERT_TRUE(sameSample(dst[i], std::fma(src[i], gain, before[i])))
                    << where << ", sample " << i << ": " << dst[i];
            }
        }
}

// The interleaved scaler glides in groups of frames whose gains are the recursion unrolled, which rounds its own way;
// from a gain at rest, or one or two frames short of it, it follows the frame-by-frame recursion itself, bit for bit.
TEST(SmoothedGainAtRest, InterleavedScaleAtOrNearRestFollowsTheFrameByFrameRecursion)
{
    std::vector<Case> starts = {
        {"at rest at entry, short of the target", restOf(0.5f, 1.0f, kSlowCoeff).gain, 1.0f, kSlowCoeff, 0},
        {"at rest at an infinite gain", kInf, 1.0f, 0.1f, 0},
        {"at rest at a NaN gain", kNaN, 1.0f, 0.1f, 0},
        {"a coefficient of 0 turns -0 into +0, then rests", -0.0f, 1.0f, 0.0f, 0},
        {"a coefficient of 1 arrives at once", 3.0f, -1.5f, 1.0f, 0},
    };
    const struct {
        float g0, target, coeff;
    } endings[] = {{0.5f, 1.0f, 0.3f}, {0.5f, 0.7079458f, 0.05f}, {0.5f, 1.0f, kSlowCoeff}, {0.0f, 1.0f, 0.9f},
                   {0.0f, -3.0f, 0.33f}};
    for (const auto &glide : endings) {
        const Recursion r = sampleBySample(glide.g0, glide.target, glide.coeff,
                                           restOf(glide.g0, glide.target, glide.coeff).steps);
        for (size_t back : {1, 2})
            starts.push_back({std::to_string(back) + " frames short of rest toward " + std::to_string(glide.target) +
                                  " by " + std::to_string(glide.coeff),
                              r.gains[r.gains.size() - 1 - back], glide.target, glide.coeff, 0});
    }
    for (const Case &c : starts)
        for (int32_t frames : {3, 4, 17, 64})
            for (int32_t channels : {1, 2, 3, 5, 8, 9}) {
                const std::string where =
                    c.what + ", " + std::to_string(frames) + " frames of " + std::to_string(channels) + " channels";
                const Recursion r = sampleBySample(c.g0, c.target, c.coeff, static_cast<size_t>(frames));
                const size_t count = static_cast<size_t>(frames) * static_cast<size_t>(channels);
                const std::vector<float> src = signal(count);
                std::vector<float> dst(count, 7.0f);
                float state = c.g0;
                kve_vecScaleSmooth_Nch(src.data(), dst.data(), channels, &state, c.target, c.coeff, frames);
                ASSERT_TRUE(sameSample(state, r.state)) << where << ": stored " << state;
                for (size_t i = 0; i < count; ++i)
                    ASSERT_TRUE(sameSample(dst[i], src[i] * r.gains[i / static_cast<size_t>(channels)]))
                        << where << ", sample " << i << ": " << dst[i];
            }
}

// Block after block, the interleaved scaler's glide stays within rounding of the recursion and comes to rest at a
// gain the recursion leaves unchanged, not long after the recursion itself would (even where its grouped gains
// alone would circle a unit or two in the last place beside it for good). From then on every block is scaled by
// exactly that gain, which stays stored.
TEST(SmoothedGainAtRest, InterleavedScaleComesToRestAndStaysThere)
{
    const struct {
        float target, coeff;
    } slopes[] = {{1.0f, 0.9f}, {0.7079458f, 0.7f}, {-3.0f, 0.33f}, {0.25f, 0.05f}, {1.0f, kSlowCoeff}};
    for (const auto &glide : slopes)
        for (int32_t channels : {1, 2, 3, 8})
            for (int32_t frames : {5, 16, 32, 61}) {
                const std::string where = "toward " + std::to_string(glide.target) + " by " +
                                          std::to_string(glide.coeff) + ", " + std::to_string(frames) +
                                          " frames of " + std::to_string(channels) + " channels";
                const float keep = 1.0f - glide.coeff;
                const float pull = glide.coeff * glide.target;
                const size_t restsAfter = restOf(0.0f, glide.target, glide.coeff).steps;
                const size_t blocks = (2 * restsAfter + 64) / static_cast<size_t>(frames) + 2;
                const Recursion r = sampleBySample(0.0f, glide.target, glide.coeff, blocks * frames);
                const double tolerance = 1e-6 * std::max(1.0f, std::fabs(glide.target)) / glide.coeff;

                const size_t count = static_cast<size_t>(frames) * static_cast<size_t>(channels);
                const std::vector<float> src = signal(count);
                std::vector<float> dst(count);
                float state = 0.0f;
                bool resting = false;
                for (size_t b = 0; b < blocks; ++b) {
                    const float entry = state;
                    kve_vecScaleSmooth_Nch(src.data(), dst.data(), channels, &state, glide.target, glide.coeff,
                                           frames);
                    for (size_t i = 0; i < count; ++i) {
                        const size_t t = b * static_cast<size_t>(frames) + i / static_cast<size_t>(channels);
                        if (resting) {
                            ASSERT_EQ(bitsOf(dst[i]), bitsOf(src[i] * entry)) << where << ", block " << b;
                        } else {
                            ASSERT_NEAR(dst[i], src[i] * r.gains[t], std::fabs(src[i]) * tolerance)
                                << where << ", block " << b << " sample " << i;
                        }
                    }
                    if (resting) {
                        ASSERT_EQ(bitsOf(state), bitsOf(entry)) << where << ", block " << b;
                    }
                    resting = bitsOf(std::fma(state, keep, pull)) == bitsOf(state);
                }
                EXPECT_TRUE(resting) << where << ": still moving after " << blocks * frames << " frames, at "
                                     << state << " (the recursion rests after " << restsAfter << ")";
            }
}

} // namespace
