// Float gain computers: the limiter core against a step-by-step model with exact logarithms and powers (within the
// accuracy of the approximate dB conversions the kernel measures with) and against a single-precision model of
// those approximations (within float rounding), both on the numpy side; its knee edges against its own hard knee;
// and the compressor core against a step-by-step model within float rounding.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::oracleArg;

// The approximate log and power the limiter works through are good to a few thousandths of a dB and 0.4 % of the
// gain (the power polynomial gives 0.99629 for 2^0); 0.05 dB covers both with room.
constexpr double kApproxDb = 0.05;
// The single-precision model rounds each step apart where the kernel fuses some; a few ulp of the envelope and of
// the dB value end up as about ten ulp of the gain.
constexpr double kFloatGain = 2e-6;

struct LimiterSettings {
    const char *name;
    float env;
    float attack;
    float release;
    float threshold;
    float kneeDepth;
    float slope;
    float gainOffset;
};

float kneeRecipOf(const LimiterSettings &s) { return s.kneeDepth == 0.0f ? 100.0f : 1.0f / s.kneeDepth; }

// A level signal that rises from silence through the threshold region to above 0 dB and falls back.
std::vector<float> levelSignal(size_t count)
{
    std::vector<float> x(count);
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(count);
        x[i] = static_cast<float>(i < count / 8 ? 0.0 : 1.3 * std::pow(std::sin(M_PI * t), 3.0));
    }
    return x;
}

std::vector<std::string> limiterArgs(const LimiterSettings &s, const std::vector<float> &x)
{
    std::vector<std::string> a = {"limiter"};
    for (double v : {s.env, s.attack, s.release, s.threshold, s.kneeDepth, s.slope, kneeRecipOf(s), s.gainOffset})
        a.push_back(oracleArg(v));
    for (float v : x)
        a.push_back(oracleArg(v));
    return a;
}

// The same limiter in single precision through the published log2 and 2^f polynomials.
std::vector<std::string> limiterF32Args(const LimiterSettings &s, const std::vector<float> &x)
{
    std::vector<std::string> a = limiterArgs(s, x);
    a[0] = "limiter_f32";
    std::vector<std::string> coeffs;
    for (float c : log2f_approx_coeff)
        coeffs.push_back(oracleArg(c));
    for (float c : pow2f_approx_coeff)
        coeffs.push_back(oracleArg(c));
    a.insert(a.begin() + 1, coeffs.begin(), coeffs.end());
    return a;
}

float limiter(const float *src, float *dst, int32_t n, float *env, const LimiterSettings &s)
{
    return kve_vecAGCLimiterCore(src, dst, n, env, s.attack, s.release, s.threshold, s.kneeDepth, s.slope,
                                 kneeRecipOf(s), s.gainOffset);
}

const LimiterSettings kLimiters[] = {
    {"hard knee, 4:1", 0.0f, 0.3f, 0.02f, -20.0f, 0.0f, 0.75f, 0.0f},
    {"hard knee, brick wall, make-up gain", 0.1f, 0.9f, 0.1f, -12.0f, 0.0f, 1.0f, 6.0f},
    {"soft knee 10 dB, 2:1", 0.0f, 0.3f, 0.02f, -20.0f, 10.0f, 0.5f, 0.0f},
    {"soft knee 0.5 dB, attenuation", 0.5f, 0.05f, 0.05f, -6.0f, 0.5f, 0.9f, -3.0f},
    {"soft knee 30 dB reaching silence", 0.0f, 1.0f, 0.5f, -30.0f, 30.0f, 0.8f, 0.0f},
};

// Gains per sample, final envelope and return value, over one block and over the same signal cut in two blocks
// (the envelope state carries the trajectory on). The length leaves a tail after the four-lane blocks.
TEST(AGCLimiterCore, GainFollowsTheStepByStepLimiter)
{
    const std::vector<float> x = levelSignal(203);
    for (const LimiterSettings &s : kLimiters) {
        const std::vector<double> expected = kvetest::runOracle("agc_float_cores.py", limiterArgs(s, x));
        ASSERT_EQ(expected.size(), x.size() + 1) << s.name;
        const std::vector<double> single = kvetest::runOracle("agc_float_cores.py", limiterF32Args(s, x));
        ASSERT_EQ(single.size(), x.size()) << s.name;

        std::vector<float> dst(x.size() + 1, 7.0f);
        float env = s.env;
        const auto n = static_cast<int32_t>(x.size());
        const float last = limiter(x.data(), dst.data(), n, &env, s);
        for (size_t k = 0; k < x.size(); ++k) {
            ASSERT_NEAR(20.0 * std::log10(dst[k]), expected[k], kApproxDb) << s.name << " sample " << k;
            ASSERT_NEAR(dst[k], single[k], kFloatGain * single[k]) << s.name << " sample " << k;
        }
        EXPECT_EQ(dst.back(), 7.0f) << s.name;
        EXPECT_NEAR(env, expected.back(), 1e-6) << s.name;
        EXPECT_EQ(last, dst[x.size() - 1]) << s.name << ": the block's last gain is returned";

        std::vector<float> halves(x.size());
        float halvesEnv = s.env;
        limiter(x.data(), halves.data(), 77, &halvesEnv, s);
        const float halvesLast = limiter(x.data() + 77, halves.data() + 77, n - 77, &halvesEnv, s);
        EXPECT_EQ(halvesEnv, env) << s.name;
        EXPECT_EQ(halvesLast, last) << s.name;
        for (size_t k = 0; k < x.size(); ++k)
            ASSERT_NEAR(halves[k], dst[k], 1e-6f * dst[k]) << s.name << " two blocks, sample " << k;

        // In place, as the module may call it.
        std::vector<float> inPlace = x;
        float inPlaceEnv = s.env;
        limiter(inPlace.data(), inPlace.data(), n, &inPlaceEnv, s);
        for (size_t k = 0; k < x.size(); ++k)
            ASSERT_EQ(inPlace[k], dst[k]) << s.name << " in place, sample " << k;
    }
}

// The level signal is taken as it comes (no magnitude), an attack of 1 puts the envelope on it, and silence reads as
// the level of the smallest normal float, far below any threshold; the level of a negative envelope is that of its
// magnitude.
TEST(AGCLimiterCore, EdgeLevelsGiveTheGainOfTheirDecibelLevel)
{
    const struct {
        const char *name;
        float level;
        LimiterSettings s;
        double gainDb;
    } cases[] = {
        {"silence, hard knee", 0.0f, {"", 0.0f, 1.0f, 1.0f, -60.0f, 0.0f, 1.0f, 4.0f}, 4.0},
        {"silence, soft knee", 0.0f, {"", 0.0f, 1.0f, 1.0f, -60.0f, 6.0f, 1.0f, -2.5f}, -2.5},
        {"full scale, hard knee", 1.0f, {"", 0.0f, 1.0f, 0.0f, -6.0f, 0.0f, 0.5f, 0.0f}, -3.0},
        {"full scale, soft knee, far above it", 1.0f, {"", 0.0f, 1.0f, 0.0f, -20.0f, 2.0f, 0.75f, 0.0f}, -15.0},
        {"negative level reads as its magnitude", -1.0f, {"", 0.0f, 1.0f, 1.0f, -6.0f, 0.0f, 0.5f, 0.0f}, -3.0},
    };
    for (const auto &c : cases) {
        const float x[5] = {c.level, c.level, c.level, c.level, c.level};
        float dst[5];
        float env = c.s.env;
        const float last = limiter(x, dst, 5, &env, c.s);
        EXPECT_EQ(env, c.level) << c.name;
        for (float g : dst)
            EXPECT_NEAR(20.0 * std::log10(g), c.gainDb, kApproxDb) << c.name;
        EXPECT_EQ(last, dst[4]) << c.name;
    }
}

// At the knee's top edge (normalised excess exactly 1) the curve gives 1 and the gain is that of the line above the
// knee; at the bottom edge (exactly -1) it gives 0 and the gain is gainOffset, as below the threshold. The hard knee
// at the same threshold draws both lines, so the gains agree to the bit.
TEST(AGCLimiterCore, SoftKneeMeetsTheHardKneeLinesAtItsEdges)
{
    const float level = 0.1f;
    float levelDb = 0.0f;
    kve_vecDb20_Approx(&level, &levelDb, 1);
    const struct {
        float kneeDepth;
        float slope;
        float gainOffset;
    } knees[] = {{4.0f, 0.5f, 0.0f}, {1.0f, 0.75f, 3.0f}, {0.25f, 1.0f, -6.0f}};
    for (const auto &k : knees)
        for (const float edge : {1.0f, -1.0f}) {
            // The threshold sits kneeDepth below (top edge) or above (bottom edge) the level; the subtraction is exact.
            const float threshold = levelDb - edge * k.kneeDepth;
            ASSERT_EQ((levelDb - threshold) / k.kneeDepth, edge);
            float env = level;
            float soft[4], hard[4];
            const float x[4] = {level, level, level, level};
            kve_vecAGCLimiterCore(x, soft, 4, &env, 1.0f, 1.0f, threshold, k.kneeDepth, k.slope, 1.0f / k.kneeDepth,
                                  k.gainOffset);
            env = level;
            kve_vecAGCLimiterCore(x, hard, 4, &env, 1.0f, 1.0f, threshold, 0.0f, k.slope, 100.0f, k.gainOffset);
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(soft[i], hard[i]) << "knee " << k.kneeDepth << " edge " << edge;
            const double expectedDb = k.gainOffset - (edge > 0.0f ? k.slope * k.kneeDepth : 0.0);
            EXPECT_NEAR(20.0 * std::log10(soft[0]), expectedDb, kApproxDb) << "knee " << k.kneeDepth;
        }
}

// With no samples nothing is written and the envelope stays; the gain returned is the one the envelope stands for,
// which is the last gain of the block before, in both knee forms (not the power polynomial's value at 0 dB).
TEST(AGCLimiterCore, EmptyBlockReturnsTheGainOfTheEnvelopeItWasGiven)
{
    const std::vector<float> x = levelSignal(64);
    for (const LimiterSettings &s : kLimiters) {
        std::vector<float> dst(x.size());
        float env = s.env;
        const float last = limiter(x.data(), dst.data(), 40, &env, s);
        const float envAfter = env;
        float untouched[2] = {7.0f, 7.0f};
        for (int32_t n : {0, -3}) {
            EXPECT_EQ(limiter(x.data(), untouched, n, &env, s), last) << s.name << " n " << n;
            EXPECT_EQ(env, envAfter) << s.name;
            EXPECT_EQ(untouched[0], 7.0f) << s.name;
            EXPECT_EQ(untouched[1], 7.0f) << s.name;
        }
    }
    // An envelope well above a brick-wall threshold: the held gain is a cut, not unity.
    float env = 1.0f;
    const float held = kve_vecAGCLimiterCore(nullptr, nullptr, 0, &env, 0.5f, 0.5f, -20.0f, 3.0f, 1.0f, 1.0f / 3.0f,
                                             0.0f);
    EXPECT_NEAR(20.0 * std::log10(held), -20.0, kApproxDb);
}

struct CompressorSettings {
    const char *name;
    float env;
    float attack;
    float release;
    float gainAttack;
    float gainRelease;
    float gain;
    float threshold;
    float slope;
    float gainOffset;
};

std::vector<std::string> compressorArgs(const CompressorSettings &s, const float *x, int32_t n)
{
    std::vector<std::string> a = {"compressor"};
    for (double v : {s.env, s.attack, s.release, s.gainAttack, s.gainRelease, s.gain, s.threshold, s.slope,
                     s.gainOffset})
        a.push_back(oracleArg(v));
    for (int32_t i = 0; i < n; ++i)
        a.push_back(oracleArg(x[i]));
    return a;
}

float compressor(const float *src, float *dst, int32_t n, float *env, const CompressorSettings &s, float gain)
{
    return kve_vecAGCCompressorCore(src, dst, n, env, s.attack, s.release, s.gainAttack, s.gainRelease, gain,
                                    s.threshold, s.slope, s.gainOffset);
}

// A run of blocks, each against the model started from the state the kernel left: loud blocks attack, quiet ones
// release; levels under the threshold give gainOffset and never more.
TEST(AGCCompressorCore, GainGlidesTowardEachBlocksTargetAsTheStepByStepCompressor)
{
    const CompressorSettings settings[] = {
        {"2:1 at -20 dB", 0.0f, 0.5f, 0.05f, 0.2f, 0.01f, 1.0f, -20.0f, 0.5f, 0.0f},
        {"10:1 at -10 dB with make-up gain", 0.3f, 0.9f, 0.2f, 0.6f, 0.1f, 0.5f, -10.0f, 0.9f, 6.0f},
        {"quiet signal, threshold above it", 0.01f, 0.3f, 0.3f, 0.1f, 0.1f, 2.0f, 0.0f, 0.5f, -3.0f},
    };
    const float levels[] = {0.02f, 0.5f, 0.9f, 0.9f, 0.05f, 0.0f, 0.3f};
    const int32_t lengths[] = {32, 17, 1, 64, 9, 32, 5};
    for (const CompressorSettings &s : settings) {
        CompressorSettings now = s;
        for (size_t b = 0; b < std::size(levels); ++b) {
            const int32_t n = lengths[b];
            std::vector<float> x(static_cast<size_t>(n));
            for (int32_t i = 0; i < n; ++i)
                x[static_cast<size_t>(i)] = levels[b] * std::sin(0.3f * static_cast<float>(i) + 0.2f);
            const std::vector<double> expected =
                kvetest::runOracle("agc_float_cores.py", compressorArgs(now, x.data(), n));
            ASSERT_EQ(expected.size(), x.size() + 2) << s.name;
            std::vector<float> dst(x.size() + 1, 7.0f);
            float env = now.env;
            const float gain = compressor(x.data(), dst.data(), n, &env, now, now.gain);
            for (size_t k = 0; k < x.size(); ++k)
                ASSERT_NEAR(dst[k], expected[k], 1e-5 * expected[k]) << s.name << " block " << b << " sample " << k;
            EXPECT_EQ(dst.back(), 7.0f) << s.name;
            EXPECT_NEAR(env, expected[x.size()], 1e-6 * expected[x.size()] + 1e-30) << s.name << " block " << b;
            EXPECT_EQ(gain, dst[x.size() - 1]) << s.name << " block " << b;
            now.env = env;
            now.gain = gain;
        }
    }
}

// Below the threshold, silence included (an envelope of 0 reads as -758.6 dB), the target is gainOffset itself;
// above it the gain falls by slope per dB. A gain coefficient of 1 lands on the target in one sample. NaN samples
// are passed over by the peak.
TEST(AGCCompressorCore, TargetIsGainOffsetBelowThresholdAndFallsBySlopeAbove)
{
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char *name;
        float peak;
        float threshold;
        float slope;
        float gainOffset;
        double gainDb;
    } cases[] = {
        {"silence", 0.0f, -40.0f, 0.5f, 0.0f, 0.0},
        {"silence with make-up gain", 0.0f, -40.0f, 0.9f, 6.0f, 6.0},
        {"20 dB under the threshold", 0.01f, -20.0f, 0.5f, 0.0f, 0.0},
        {"20 dB over the threshold", 1.0f, -20.0f, 0.5f, 0.0f, -10.0},
        {"20 dB over, 4:1, make-up", 0.1f, -40.0f, 0.75f, 3.0f, 3.0 - 15.0},
    };
    for (const auto &c : cases) {
        const float x[4] = {kNaN, -2.0f, c.peak, c.peak * 0.5f};
        float dst[4];
        float env = 0.0f;
        const float gain = kve_vecAGCCompressorCore(x, dst, 4, &env, 1.0f, 1.0f, 1.0f, 1.0f, 0.25f, c.threshold,
                                                    c.slope, c.gainOffset);
        EXPECT_EQ(env, c.peak) << c.name;
        for (float g : dst)
            EXPECT_NEAR(20.0 * std::log10(g), c.gainDb, 1e-4) << c.name;
        EXPECT_EQ(gain, dst[3]) << c.name;
    }
}

// With no samples the peak is 0: the envelope releases toward 0, nothing is written and the gain comes back as it was
// passed in.
TEST(AGCCompressorCore, EmptyBlockReleasesTheEnvelopeAndKeepsTheGain)
{
    for (int32_t n : {0, -1}) {
        float dst = 7.0f;
        float env = 0.8f;
        const float gain = kve_vecAGCCompressorCore(&dst, &dst, n, &env, 0.5f, 0.25f, 0.5f, 0.5f, 0.3f, -20.0f, 0.5f,
                                                    0.0f);
        EXPECT_EQ(gain, 0.3f);
        EXPECT_EQ(dst, 7.0f);
        EXPECT_FLOAT_EQ(env, 0.6f);
    }
}

} // namespace
