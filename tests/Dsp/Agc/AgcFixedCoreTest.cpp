// Fixed-point gain computers against exact integer models (128-bit arithmetic, floor divisions, written apart from
// the library's helpers) and against the published gain laws in double precision: the limiter core, the AGC core and
// the gain multiplier.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/GuardedVector.h"
#include "Dsp/Math/MathModels.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::clampTo32;
using kvetest::exactFract32Product;
using kvetest::floorDivPow2;
using kvetest::GuardedVector;
using kvetest::intOf;
using kvetest::scaleByPow2;

constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kMax = INT32_MAX;
constexpr double kQ24 = 16777216.0;
constexpr double kFixedDb = 0.01;

// Decibels and gains of the Q8.24 words the limiter and AGC take and give.
int32_t q24(double v) { return static_cast<int32_t>(std::lround(v * kQ24)); }
int32_t q31(double v) { return v >= 1.0 ? kMax : static_cast<int32_t>(std::lround(v * 2147483648.0)); }
double dbOfQ24Gain(int32_t g) { return 20.0 * std::log10(g / kQ24); }

struct FixedLimiter {
    int32_t attack;
    int32_t release;
    int32_t threshold;
    int32_t slope;
    int32_t gainOffset;
    int32_t kneeDepth;
    int32_t kneeRecip;
};

// The limiter as its module sets it up: Q8.24 dB values, the knee's reciprocal (100 for no knee), Q1.31 slope.
FixedLimiter limiterFor(double thresholdDb, double kneeDb, double ratio, double gainOffsetDb, int32_t attack = kMax,
                        int32_t release = kMax)
{
    return {attack,
            release,
            q24(thresholdDb),
            q31(1.0 - 1.0 / ratio),
            q24(gainOffsetDb),
            q24(kneeDb),
            kneeDb == 0.0 ? 0x64000000 : static_cast<int32_t>(std::min(1.0 / kneeDb * kQ24, 2147483647.0))};
}

int32_t modelEnvelopeStep(int32_t env, int32_t x, const FixedLimiter &p)
{
    const int32_t c = x > env ? p.attack : p.release;
    const __int128 d = clampTo32(static_cast<__int128>(exactFract32Product(c, x)) - exactFract32Product(c, env));
    return clampTo32(env + d);
}

// The limiter's dB gain for one envelope word, every left shift saturating.
int32_t modelLimiterGainDb(int32_t env, const FixedLimiter &p)
{
    const int32_t excess = clampTo32(static_cast<__int128>(kvetest::modelLinearToDbFract32(env, 1, 8)) - p.threshold);
    if (p.kneeDepth == 0)
        return clampTo32(static_cast<__int128>(p.gainOffset) - (excess > 0 ? exactFract32Product(excess, p.slope) : 0));
    const int h = kvetest::redundantSignBits(p.kneeRecip);
    const int s = h < 6 ? 6 - h : 0;
    const auto mantissa = static_cast<int32_t>(floorDivPow2(p.kneeRecip, s));
    const __int128 halfWidth = floorDivPow2(1 << 24, s);
    const __int128 u = clampTo32(scaleByPow2(exactFract32Product(mantissa, excess), 7));
    __int128 w = 0;
    if (u > halfWidth) {
        w = exactFract32Product(static_cast<int32_t>(u), p.slope);
    } else if (u >= -halfWidth) {
        const __int128 t = halfWidth + u;
        const int32_t square = clampTo32(scaleByPow2(floorDivPow2(t * t, 31), 5 + s));
        w = exactFract32Product(square, p.slope);
    }
    const int32_t z = clampTo32(scaleByPow2(exactFract32Product(static_cast<int32_t>(w), p.kneeDepth), 7 + s));
    return clampTo32(static_cast<__int128>(p.gainOffset) - z);
}

// Gains of a block of level words from the envelope env0: what the model says, and what the kernel gives.
std::vector<int32_t> modelLimiter(const std::vector<int32_t> &x, int32_t &env, const FixedLimiter &p)
{
    std::vector<int32_t> g;
    for (int32_t v : x) {
        env = modelEnvelopeStep(env, v, p);
        g.push_back(kvetest::modelDbToLinearFract32(modelLimiterGainDb(env, p)));
    }
    return g;
}

std::vector<int32_t> runLimiter(const std::vector<int32_t> &x, int32_t &env, const FixedLimiter &p)
{
    std::vector<int32_t> g(x.size());
    kve_vecAGCLimiterCoreFract32(x.data(), g.data(), &env, p.attack, p.release, p.threshold, p.slope, p.gainOffset,
                                 p.kneeDepth, p.kneeRecip, static_cast<int32_t>(g.size()));
    return g;
}

// Random level words, coefficients and settings, knees from none through under 1 dB to wide: word for word.
TEST(AGCLimiterCoreFract32, MatchesTheExactModel)
{
    std::mt19937 rng(110);
    const auto any = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    const double knees[] = {0.0, 0.01, 0.03, 0.1, 0.25, 0.5, 0.99, 1.0, 3.0, 12.0, 40.0};
    for (int trial = 0; trial < 300; ++trial) {
        FixedLimiter p = limiterFor(any(-90, 0), knees[trial % std::size(knees)], 1.0 + any(0, 40) / 4.0, any(-12, 12),
                                    any(0, kMax), any(0, kMax));
        if (trial % 7 == 3)
            p.kneeRecip = any(kMin, kMax); // any word, negative ones included
        std::vector<int32_t> x(static_cast<size_t>(any(1, 40)));
        for (int32_t &v : x)
            v = trial % 5 == 0 ? any(kMin, kMax) : any(0, kMax) >> any(0, 30);
        const int32_t env0 = any(0, kMax) >> any(0, 31);
        int32_t modelEnv = env0;
        int32_t env = env0;
        const std::vector<int32_t> expected = modelLimiter(x, modelEnv, p);
        const std::vector<int32_t> got = runLimiter(x, env, p);
        ASSERT_EQ(got, expected) << "trial " << trial << " knee word " << p.kneeDepth << " recip " << p.kneeRecip;
        ASSERT_EQ(env, modelEnv) << "trial " << trial;
    }

    GuardedVector dst(4, 1);
    int32_t env = 12345;
    const int32_t level = 0x40000000;
    kve_vecAGCLimiterCoreFract32(&level, dst.as<int32_t>(), &env, kMax, kMax, 0, 0x40000000, 0, q24(1.0), q24(1.0),
                                 0);
    EXPECT_EQ(env, 12345);
    EXPECT_EQ(dst.words(), GuardedVector(4, 1).words());
}

// Steady levels against the published gain law in double precision: gainOffset - slope x excess above a hard knee,
// and the quadratic (x + 1)^2 / 4 of the normalised excess inside a knee, whose width ranges from 0.01 dB to 20 dB.
// The fixed-point dB conversions are good to about 0.006 dB.
TEST(AGCLimiterCoreFract32, SteadyLevelsFollowTheGainLawOfTheKnee)
{
    const struct {
        double thresholdDb;
        double kneeDb;
        double ratio;
        double gainOffsetDb;
    } settings[] = {{-20.0, 0.0, 4.0, 0.0},  {-12.0, 0.0, 1000.0, 6.0}, {-20.0, 20.0, 2.0, 0.0},
                    {-30.0, 6.0, 8.0, -3.0}, {-10.0, 0.5, 4.0, 0.0},    {-10.0, 0.1, 10.0, 2.0},
                    {-40.0, 0.01, 2.0, 0.0}, {-6.0, 0.9, 3.0, -1.0}};
    for (const auto &s : settings) {
        const FixedLimiter p = limiterFor(s.thresholdDb, s.kneeDb, s.ratio, s.gainOffsetDb);
        const double slope = p.slope / 2147483648.0;
        for (double over = -30.0; over <= 30.0; over += 0.37) {
            const double levelDb = s.thresholdDb + over * std::max(s.kneeDb, 1.0) / 10.0;
            if (levelDb > -0.1)
                continue;
            const int32_t level = q31(std::pow(10.0, levelDb / 20.0));
            int32_t env = level;
            const std::vector<int32_t> g = runLimiter({level, level}, env, p);
            const double trueLevelDb = 20.0 * std::log10(level / 2147483648.0);
            const double excess = trueLevelDb - s.thresholdDb;
            double curve = excess > 0.0 ? excess : 0.0;
            if (s.kneeDb > 0.0) {
                const double x = excess / s.kneeDb;
                curve = x > 1.0 ? excess : (x < -1.0 ? 0.0 : s.kneeDb * (x + 1.0) * (x + 1.0) / 4.0);
            }
            const double expectedDb = s.gainOffsetDb - slope * curve;
            EXPECT_NEAR(dbOfQ24Gain(g[1]), expectedDb, kFixedDb)
                << "threshold " << s.thresholdDb << " knee " << s.kneeDb << " level " << trueLevelDb;
        }
    }
}

// Silence reads as -128 dB, far below the threshold. With a knee under 1 dB the normalised excess carries up to twice
// the excess in dB (the knee's reciprocal just under a power of two), beyond the 32-bit range; the limiter must hold
// it on the quiet side (gain gainOffset) rather than let it wrap round to a large excess (a deep cut). The wrapped
// word the shift would have given is shown to lie above the knee.
TEST(AGCLimiterCoreFract32, SilenceFarBelowASubDecibelKneeKeepsTheGainOffset)
{
    const struct {
        double thresholdDb;
        double kneeDb;
        double gainOffsetDb;
    } cases[] = {{-20.0, 0.26, 0.0}, {-10.0, 0.13, 3.0}, {-30.0, 0.07, -2.0}, {-6.0, 0.017, 0.0}};
    for (const auto &c : cases) {
        const FixedLimiter p = limiterFor(c.thresholdDb, c.kneeDb, 10.0, c.gainOffsetDb);
        const int32_t silenceDb = kvetest::modelLinearToDbFract32(0, 1, 8);
        const int h = kvetest::redundantSignBits(p.kneeRecip);
        const int s = 6 - h;
        const int32_t product =
            exactFract32Product(static_cast<int32_t>(floorDivPow2(p.kneeRecip, s)), silenceDb - p.threshold);
        const int32_t wrapped = kvetest::wrap32(static_cast<__int128>(product) * 128);
        EXPECT_GT(wrapped, (1 << 24) >> s) << "knee " << c.kneeDb << ": the case reaches past the 32-bit range";

        const std::vector<int32_t> x(37, 0);
        int32_t env = 0;
        const std::vector<int32_t> g = runLimiter(x, env, p);
        for (int32_t v : g)
            ASSERT_NEAR(dbOfQ24Gain(v), c.gainOffsetDb, kFixedDb) << "knee " << c.kneeDb;
    }
}

// Levels swept finely through the top of the knee: the gain moves smoothly, with no step where the knee curve hands
// over to the line above it, for knees under 1 dB as for wider ones.
TEST(AGCLimiterCoreFract32, GainIsContinuousAtTheTopOfTheKnee)
{
    for (double kneeDb : {0.01, 0.03, 0.1, 0.25, 0.5, 0.9, 2.0}) {
        const double thresholdDb = -20.0;
        const FixedLimiter p = limiterFor(thresholdDb, kneeDb, 1000.0, 0.0);
        const double topDb = thresholdDb + kneeDb;
        std::vector<int32_t> x;
        for (int i = -300; i <= 300; ++i)
            x.push_back(q31(std::pow(10.0, (topDb + 0.00005 * kneeDb * i) / 20.0)));
        int32_t env = x[0];
        const std::vector<int32_t> g = runLimiter(x, env, p);
        double largestStep = 0.0;
        for (size_t k = 1; k < g.size(); ++k)
            largestStep = std::max(largestStep, std::fabs(dbOfQ24Gain(g[k]) - dbOfQ24Gain(g[k - 1])));
        // Each step of the sweep moves the level by 1/20000 of the knee; at the top the curve has slope 1, so the
        // gain moves as much, plus the grain of the knee's dB value (2^-11 dB for the narrowest knees); a jump of a
        // sizeable part of the knee stands out.
        EXPECT_LT(largestStep, 0.002 * kneeDb + std::ldexp(1.0, -11)) << "knee " << kneeDb;
        EXPECT_NEAR(dbOfQ24Gain(g[300]), -kneeDb, kFixedDb) << "knee " << kneeDb;
    }
}

struct AgcInputs {
    int32_t energy;
    int32_t levelDb;
    int32_t activationEnergy;
    int32_t targetLevelDb;
    int32_t ratio;
    int32_t maxGainDb;
    int32_t maxAttenuationDb;
    int32_t holdLevel;
    int32_t holdScaleHigh;
    int32_t holdScaleLow;
    int32_t coeff;
};

std::vector<int32_t> modelAgc(const AgcInputs &a, int32_t &gain, int32_t n)
{
    int32_t targetByCoeff;
    if (a.energy < a.activationEnergy) {
        const int32_t scale = a.holdLevel > 0x1000000 ? a.holdScaleHigh : a.holdScaleLow;
        const int32_t hold = clampTo32(static_cast<__int128>(exactFract32Product(scale, a.holdLevel)) * 4);
        targetByCoeff = exactFract32Product(hold, a.coeff);
    } else {
        const int32_t excess = clampTo32(static_cast<__int128>(a.levelDb) - a.targetLevelDb);
        __int128 gainDb = clampTo32(-static_cast<__int128>(exactFract32Product(excess, a.ratio)));
        gainDb = std::max<__int128>(gainDb, clampTo32(-static_cast<__int128>(a.maxAttenuationDb)));
        gainDb = std::min<__int128>(gainDb, a.maxGainDb);
        targetByCoeff =
            exactFract32Product(kvetest::modelDbToLinearFract32(static_cast<int32_t>(gainDb)), a.coeff);
    }
    const int32_t pull = clampTo32(static_cast<__int128>(targetByCoeff) * 16);
    const int32_t keep = clampTo32(static_cast<__int128>(kMax) - a.coeff);
    std::vector<int32_t> out;
    for (int32_t k = 0; k < n; ++k) {
        gain = clampTo32(static_cast<__int128>(pull) + exactFract32Product(gain, keep));
        out.push_back(gain);
    }
    return out;
}

std::vector<int32_t> runAgc(const AgcInputs &a, int32_t &gain, int32_t n)
{
    std::vector<int32_t> out(static_cast<size_t>(n));
    kve_vecAGCCoreFract32(out.data(), a.energy, a.levelDb, a.activationEnergy, a.targetLevelDb, a.ratio, a.maxGainDb,
                          a.maxAttenuationDb, a.holdLevel, a.holdScaleHigh, a.holdScaleLow, &gain, a.coeff, n);
    return out;
}

TEST(AGCCoreFract32, MatchesTheExactModel)
{
    std::mt19937 rng(2110);
    const auto any = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    const auto word = [&] { return any(0, 9) == 0 ? (any(0, 1) ? kMin : kMax) : any(kMin, kMax) >> any(0, 31); };
    for (int trial = 0; trial < 400; ++trial) {
        const AgcInputs a = {word(), word(), word(), word(), word(), word(),
                             trial % 9 == 0 ? kMin : word(), word(), word(), word(), any(0, kMax) >> any(0, 20)};
        const int32_t g0 = word();
        const int32_t n = any(1, 33);
        int32_t modelGain = g0;
        int32_t gain = g0;
        ASSERT_EQ(runAgc(a, gain, n), modelAgc(a, modelGain, n)) << "trial " << trial;
        ASSERT_EQ(gain, modelGain) << "trial " << trial;
    }
    int32_t gain = 77;
    int32_t dst = 5;
    kve_vecAGCCoreFract32(&dst, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, &gain, 0x1000000, 0);
    EXPECT_EQ(gain, 77);
    EXPECT_EQ(dst, 5);
}

// The gain settles at 10^(gdB/20) in Q4.28, gdB = (targetLevelDb - levelDb) x ratio within the two limits; below
// the activation energy the level settings are not consulted and the hold gain is the target.
TEST(AGCCoreFract32, GainSettlesAtTheDecibelTargetOrTheHoldGain)
{
    const struct {
        const char *name;
        double levelDb, targetDb, ratio, maxGainDb, maxAttenuationDb;
        double expectedDb;
    } cases[] = {
        {"level on target", -30.0, -30.0, 0.5, 12.0, 12.0, 0.0},
        {"6 dB loud, half ratio", -24.0, -30.0, 0.5, 12.0, 12.0, -3.0},
        {"15 dB quiet, full ratio", -45.0, -30.0, 0.99, 30.0, 30.0, 14.85},
        {"quiet beyond the gain limit", -60.0, -20.0, 0.75, 9.0, 20.0, 9.0},
        {"loud beyond the attenuation limit", -2.0, -40.0, 0.9, 9.0, 15.0, -15.0},
    };
    for (const auto &c : cases) {
        const AgcInputs a = {q31(0.5), q24(c.levelDb), q31(0.25), q24(c.targetDb), q31(c.ratio), q24(c.maxGainDb),
                             q24(c.maxAttenuationDb), 0, 0, 0, 0x20000000};
        int32_t gain = 0x10000000;
        const std::vector<int32_t> g = runAgc(a, gain, 160);
        EXPECT_NEAR(20.0 * std::log10(g.back() / 268435456.0), c.expectedDb, 0.002) << c.name;
        EXPECT_EQ(gain, g.back()) << c.name;
    }

    // Below the activation energy the target is 4 x holdScale x holdLevel (read as Q8.24, so the gain settles at 64 x
    // holdScale x holdLevel in words), the high scale above a hold level of 1/128.
    for (int32_t holdLevel : {0x00400000, 0x01000000, 0x01000001, 0x01800000}) {
        const AgcInputs quiet = {q31(0.1), q24(-80.0), q31(0.25), q24(-20.0), q31(0.9), q24(30.0), q24(30.0),
                                 holdLevel, 0x40000000, 0x7FFFFFFF, 0x20000000};
        AgcInputs other = quiet;
        other.levelDb = q24(10.0);
        other.targetLevelDb = kMin;
        other.ratio = kMin;
        other.maxGainDb = kMin;
        other.maxAttenuationDb = kMax;
        int32_t gain = 0;
        int32_t otherGain = 0;
        const std::vector<int32_t> g = runAgc(quiet, gain, 200);
        EXPECT_EQ(runAgc(other, otherGain, 200), g) << "hold level " << holdLevel;
        const double scale = holdLevel > 0x01000000 ? 0.5 : 1.0;
        const double settled = 64.0 * scale * holdLevel;
        EXPECT_NEAR(g.back(), settled, 1e-5 * settled) << "hold level " << holdLevel;
    }
}

// A gain limit of 60 dB lies more than eight octaves up: the linear target saturates at 0x7FFFFFFF and the gain
// climbs to the top of its range and stays there.
TEST(AGCCoreFract32, GainBeyondEightOctavesSaturates)
{
    const AgcInputs a = {q31(0.5), q24(-100.0), q31(0.25), q24(-10.0), q31(0.99), q24(60.0), q24(10.0), 0, 0, 0,
                         0x08000000};
    int32_t modelGain = 0x10000000;
    const std::vector<int32_t> model = modelAgc(a, modelGain, 300);
    int32_t gain = 0x10000000;
    const std::vector<int32_t> g = runAgc(a, gain, 300);
    EXPECT_EQ(g, model);
    EXPECT_EQ(gain, kMax);
    EXPECT_TRUE(std::is_sorted(g.begin(), g.end()));
}

// src x gain as an exact product, shifted by the low 16 bits of postShift read as signed: right rounds toward minus
// infinity, left saturates; any increment, 0 and negative included; words outside the strided places untouched.
TEST(AGCMultiplierFract32, ScalesByTheGainSignalAndShiftsAsTheExactModel)
{
    std::mt19937 rng(883);
    const auto any = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    const int32_t shifts[] = {0, 1, -1, 4, -7, 31, -31, -32, -40, 40, 0x10001, 0xFFFF, 0x7FFF0003, 0x8000};
    const int32_t edges[] = {kMin, kMax, 0, -1, 1};
    for (int trial = 0; trial < 300; ++trial) {
        const int32_t shift = shifts[trial % std::size(shifts)];
        const int32_t n = any(0, 23);
        const int32_t srcInc = std::vector<int32_t>{1, 2, 0, -1}[static_cast<size_t>(any(0, 3))];
        const int32_t gainInc = std::vector<int32_t>{1, 3, 0, -2}[static_cast<size_t>(any(0, 3))];
        const int32_t dstInc = std::vector<int32_t>{1, 2, -1}[static_cast<size_t>(any(0, 2))];
        GuardedVector src(n, srcInc), gain(n, gainInc), dst(n, dstInc), expected(n, dstInc);
        for (int32_t i = 0; i < n; ++i) {
            src[i] = static_cast<uint32_t>(any(0, 3) == 0 ? edges[any(0, 4)] : any(kMin, kMax));
            gain[i] = static_cast<uint32_t>(any(0, 3) == 0 ? edges[any(0, 4)] : any(kMin, kMax));
        }
        for (int32_t i = 0; i < n; ++i) {
            const int32_t product = exactFract32Product(intOf(src[i]), intOf(gain[i]));
            expected[i] = static_cast<uint32_t>(clampTo32(scaleByPow2(product, static_cast<int16_t>(shift))));
        }
        kve_vecAGCMultiplierFract32(src.as<int32_t>(), srcInc, gain.as<int32_t>(), gainInc, dst.as<int32_t>(), dstInc,
                                    shift, n);
        ASSERT_EQ(dst.words(), expected.words()) << "trial " << trial << " shift " << shift << " n " << n;
    }

    // -1 x -1 saturates to 0x7FFFFFFF before the shift, so a shift right by one gives 0x3FFFFFFF, not 0x40000000.
    const int32_t minusOne = kMin;
    int32_t y = 0;
    for (const auto &[shift, expected] : {std::pair{0, kMax}, std::pair{-1, 0x3FFFFFFF}, std::pair{3, kMax}}) {
        kve_vecAGCMultiplierFract32(&minusOne, 1, &minusOne, 1, &y, 1, shift, 1);
        EXPECT_EQ(y, expected) << "shift " << shift;
    }
}

} // namespace
