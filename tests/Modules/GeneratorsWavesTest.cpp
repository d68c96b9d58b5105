// Periodic table playback, the periodic function generator and the sawtooth ramps against their closed forms, and
// the sizes, indices and frequencies a host writes out of the ordinary.
#include <cmath>
#include <cstdint>

#include "GeneratorsTestSupport.h"

namespace generatortest {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Distance of a from b on a circle of the given circumference: ramps that wrap may land on either end.
double wrappedDistance(double a, double b, double circumference)
{
    const double d = std::fmod(std::fabs(a - b), circumference);
    return std::min(d, circumference - d);
}

TEST_F(Generators, EveryGeneratorRefusesWiringWithoutAnOutput)
{
    for (const ModClassDescriptor *c : kGeneratorTable) {
        int32_t status = KVE_OK;
        EXPECT_EQ(engine_.module(c->classId, 0, {}, {}, &status), nullptr) << std::hex << c->classId;
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << c->classId;
    }
}

// ---- Periodic tables ----

TEST_F(Generators, PeriodicTablePlaysEveryChannelFromTheSamePositionAcrossBlocks)
{
    for (const uint32_t classId : {kPeriodicSource, kPeriodicSourceFract32}) {
        // Stereo, period 3, blocks of 4: channel-major table in, interleaved frames out.
        ClassModule *m = build(classId, {3, 0, 0, 0}, 4, 2);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(kve_fwModuleHiddenWords(m)[0], classId == kPeriodicSource ? 7u : 6u);
        const uint32_t table[] = {1, 2, 3, 10, 20, 30};
        std::memcpy(array<uint32_t>(m, 4), table, sizeof table);
        const std::vector<uint32_t> got = run<uint32_t>(m, 3);
        for (uint32_t frame = 0; frame < 12; ++frame) {
            EXPECT_EQ(got[2 * frame], table[frame % 3]) << frame;
            EXPECT_EQ(got[2 * frame + 1], table[3 + frame % 3]) << frame;
        }
        EXPECT_EQ(var(m, 3), 0); // 12 frames: whole periods
        run<uint32_t>(m, 1);
        EXPECT_EQ(var(m, 3), 1);
    }
}

TEST_F(Generators, PeriodicTableHoldsHostWrittenSizesToTheTableBuilt)
{
    struct Case {
        int32_t periodLength, readIndex;
        std::vector<uint32_t> channel0, channel1; // the first four frames
        int32_t nextIndex;
    };
    // Table [1 2 3 | 10 20 30]. A longer period plays the period built; a shorter one starts channel 1 at its own
    // length; indices past either end wrap into the period.
    const Case cases[] = {
        {1000, 0, {1, 2, 3, 1}, {10, 20, 30, 10}, 1}, {3, 7, {2, 3, 1, 2}, {20, 30, 10, 20}, 2},
        {3, -1, {3, 1, 2, 3}, {30, 10, 20, 30}, 0},    {2, 0, {1, 2, 1, 2}, {3, 10, 3, 10}, 0},
        {INT32_MAX, INT32_MIN, {2, 3, 1, 2}, {20, 30, 10, 20}, 2},
    };
    for (const uint32_t classId : {kPeriodicSource, kPeriodicSourceFract32})
        for (const Case &c : cases) {
            ClassModule *m = build(classId, {3, 0, 0, 0}, 4, 2);
            ASSERT_NE(m, nullptr);
            const uint32_t table[] = {1, 2, 3, 10, 20, 30};
            std::memcpy(array<uint32_t>(m, 4), table, sizeof table);
            var(m, 0) = c.periodLength;
            var(m, 3) = c.readIndex;
            const std::vector<uint32_t> got = run<uint32_t>(m, 1);
            for (uint32_t frame = 0; frame < 4; ++frame) {
                EXPECT_EQ(got[2 * frame], c.channel0[frame]) << c.periodLength << " " << c.readIndex;
                EXPECT_EQ(got[2 * frame + 1], c.channel1[frame]) << c.periodLength << " " << c.readIndex;
            }
            EXPECT_EQ(var(m, 3), c.nextIndex);
        }
}

TEST_F(Generators, PeriodicTableOfNoLengthIsSilent)
{
    for (const uint32_t classId : {kPeriodicSource, kPeriodicSourceFract32})
        for (const int32_t length : {0, -3}) {
            ClassModule *m = build(classId, {static_cast<uint32_t>(length), 0, 0, 0}, 8, 2);
            ASSERT_NE(m, nullptr);
            static_cast<uint32_t *>(m->wires[0]->buffer)[5] = 99;
            var(m, 0) = 5; // nothing was built to play
            for (uint32_t word : run<uint32_t>(m, 2))
                ASSERT_EQ(word, 0u);
        }
}

// ---- The periodic function generator ----

enum Variable : uint32_t { kWaveform, kFreq, kAmplitude, kPhaseDeg, kPhaseRad, kSinePhase, kPhaseInc, kImpulsePeriod };
constexpr uint32_t kFreqBit = 1u << 9;
constexpr uint32_t kPhaseDegBit = 1u << 11;

class FunctionGen : public Generators {
protected:
    ClassModule *functionGen(int32_t waveform, float freq, float amplitude, float phaseDeg, uint32_t block = 32)
    {
        ClassModule *m = build(kPeriodicFunctionGen,
                               {static_cast<uint32_t>(waveform), kvetest::bitsOf(freq), kvetest::bitsOf(amplitude),
                                kvetest::bitsOf(phaseDeg), 0, 0, 0, 0, 0, 0, 0, 0, 0},
                               block);
        if (m != nullptr) {
            EXPECT_EQ(set(m), KVE_OK);
        }
        return m;
    }
};

TEST_F(FunctionGen, WaveformsFollowTheirClosedForms)
{
    constexpr double f = 1000.0, a = 0.5;
    const auto turns = [&](int64_t g) { return f * static_cast<double>(g) / kRate; };
    struct Case {
        int32_t waveform;
        float phaseDeg;
        double (*form)(double turns, double phase); // phase in radians
        double circumference;                       // where the wave may land on either end of a jump, else 0
    };
    const Case cases[] = {
        {0, 0.0f, [](double t, double p) { return std::sin(2 * kPi * t + p); }, 0},
        {0, 90.0f, [](double t, double p) { return std::sin(2 * kPi * t + p); }, 0},
        {0, -30.0f, [](double t, double p) { return std::sin(2 * kPi * t + p); }, 0},
        // Square: the sign of the sine; its edges are checked away from them below.
        {1, 45.0f, [](double t, double p) { return std::sin(2 * kPi * t + p) >= 0 ? 1.0 : -1.0; }, 0},
        // Triangle: |x| - 1 for x running 4 per cycle over -2..2; the offset moves it by the same part of a cycle
        // as the sine (a quarter cycle for 90 degrees).
        {2, 0.0f, [](double t, double p) { return std::fabs(std::remainder(4 * (t + p / (2 * kPi)), 4.0)) - 1; }, 0},
        {2, 90.0f, [](double t, double p) { return std::fabs(std::remainder(4 * (t + p / (2 * kPi)), 4.0)) - 1; }, 0},
        {2, 360.0f, [](double t, double) { return std::fabs(std::remainder(4 * t, 4.0)) - 1; }, 0},
        // Sawtooth: x running 2 per cycle over -1..1, moved likewise.
        {3, 0.0f, [](double t, double p) { return std::remainder(2 * (t + p / (2 * kPi)), 2.0); }, 2 * a},
        {3, 120.0f, [](double t, double p) { return std::remainder(2 * (t + p / (2 * kPi)), 2.0); }, 2 * a},
        {3, 360.0f, [](double t, double) { return std::remainder(2 * t, 2.0); }, 2 * a},
    };
    for (const Case &c : cases) {
        ClassModule *m = functionGen(c.waveform, static_cast<float>(f), static_cast<float>(a), c.phaseDeg);
        const std::vector<float> got = run(m, 6);
        const double phase = c.phaseDeg * kPi / 180.0;
        for (size_t g = 0; g < got.size(); ++g) {
            if (c.waveform == 1 && std::fabs(std::sin(2 * kPi * turns(g) + phase)) < 1e-3)
                continue;
            const double want = a * c.form(turns(g), phase);
            const double d = c.circumference > 0 ? wrappedDistance(got[g], want, c.circumference)
                                                 : std::fabs(got[g] - want);
            ASSERT_LT(d, 1e-4) << "waveform " << c.waveform << " phase " << c.phaseDeg << " sample " << g;
        }
    }
}

TEST_F(FunctionGen, ImpulseTrainAndSilentWaveforms)
{
    // 4800 Hz at 48 kHz: an impulse of the amplitude every 10 samples.
    ClassModule *m = functionGen(4, 4800.0f, 0.25f, 0.0f);
    EXPECT_EQ(var(m, kImpulsePeriod), 10);
    const std::vector<float> y = run(m, 4);
    for (size_t g = 0; g < y.size(); ++g)
        ASSERT_EQ(y[g], g % 10 == 0 ? 0.25f : 0.0f) << g;
    // Waveforms past the last, and impulse trains faster than the sample rate or of no frequency, are silent.
    struct Case {
        int32_t waveform;
        float freq;
    };
    const Case silent[] = {{7, 1000.0f}, {5, 1000.0f}, {-1, 1000.0f}, {4, 96000.0f}, {4, NAN}, {4, -100.0f}};
    for (const Case &c : silent) {
        ClassModule *s = functionGen(c.waveform, c.freq, 1.0f, 0.0f);
        static_cast<float *>(s->wires[0]->buffer)[3] = 5.0f;
        for (float v : run(s, 2))
            ASSERT_EQ(v, 0.0f) << c.waveform << " " << c.freq;
    }
    // No frequency at all: the longest period, one impulse at the start.
    ClassModule *z = functionGen(4, 0.0f, 1.0f, 0.0f);
    EXPECT_EQ(var(z, kImpulsePeriod), INT32_MAX);
    const std::vector<float> once = run(z, 3);
    for (size_t g = 0; g < once.size(); ++g)
        ASSERT_EQ(once[g], g == 0 ? 1.0f : 0.0f) << g;
}

TEST_F(FunctionGen, PhaseOffsetMovesTheWaveWithoutDisturbingItsRunningPhase)
{
    constexpr double f = 750.0;
    ClassModule *moved = functionGen(0, static_cast<float>(f), 1.0f, 0.0f);
    ClassModule *still = functionGen(0, static_cast<float>(f), 1.0f, 0.0f);
    run(moved, 2);
    run(still, 2);
    var<float>(moved, kPhaseDeg) = 90.0f;
    EXPECT_EQ(set(moved, kPhaseDegBit), KVE_OK);
    const std::vector<float> y = run(moved, 2);
    run(still, 2);
    for (size_t k = 0; k < y.size(); ++k) {
        const double g = static_cast<double>(k + 64);
        ASSERT_NEAR(y[k], std::cos(2 * kPi * f * g / kRate), 1e-4) << g;
    }
    EXPECT_LT(wrappedDistance(var<float>(moved, kSinePhase), var<float>(still, kSinePhase), 2 * kPi), 1e-5);
}

TEST_F(FunctionGen, SetActsOnlyOnTheFrequencyAndPhaseBits)
{
    ClassModule *m = functionGen(0, 1000.0f, 1.0f, 0.0f);
    var<float>(m, kFreq) = 2000.0f;
    var<float>(m, kPhaseDeg) = 180.0f;
    // The phase bit alone: the increment stays that of 1000 Hz.
    EXPECT_EQ(set(m, kPhaseDegBit), KVE_OK);
    EXPECT_NEAR(var<float>(m, kPhaseRad), kPi, 1e-6);
    EXPECT_NEAR(var<float>(m, kPhaseInc), 2 * kPi * 1000.0 / kRate, 1e-6);
    EXPECT_EQ(var(m, kImpulsePeriod), 48);
    // The frequency bit alone: the offset stays.
    var<float>(m, kPhaseDeg) = 0.0f;
    EXPECT_EQ(set(m, kFreqBit), KVE_OK);
    EXPECT_NEAR(var<float>(m, kPhaseInc), 2 * kPi * 2000.0 / kRate, 1e-6);
    EXPECT_EQ(var(m, kImpulsePeriod), 24);
    EXPECT_NEAR(var<float>(m, kPhaseRad), kPi, 1e-6);
    // Other bits touch neither.
    var<float>(m, kFreq) = 100.0f;
    EXPECT_EQ(set(m, 1u << 8 | 1u << 10), KVE_OK);
    EXPECT_EQ(var(m, kImpulsePeriod), 24);
    EXPECT_NEAR(var<float>(m, kPhaseRad), kPi, 1e-6);
}

// ---- Sawtooth ramps ----

TEST_F(Generators, SawtoothRampsFromMinusOneToOne)
{
    struct Case {
        float freq, phase;
    };
    const Case cases[] = {{1000.0f, -1.0f}, {440.0f, 0.3f}, {-250.0f, 0.0f}, {12000.0f, 0.9f}};
    for (const Case &c : cases) {
        ClassModule *m = build(kSawtooth, {kvetest::bitsOf(c.freq), kvetest::bitsOf(c.phase), 0});
        EXPECT_EQ(set(m), KVE_OK);
        EXPECT_NEAR(var<float>(m, 2), 2.0 * c.freq / kRate, 1e-7);
        const std::vector<float> y = run(m, 5);
        for (size_t g = 0; g < y.size(); ++g) {
            ASSERT_LE(std::fabs(y[g]), 1.0f) << c.freq << " sample " << g;
            const double want = std::remainder(c.phase + 2.0 * c.freq * static_cast<double>(g) / kRate, 2.0);
            ASSERT_LT(wrappedDistance(y[g], want, 2.0), 1e-4) << c.freq << " sample " << g;
        }
    }
}

TEST_F(Generators, SawtoothFract32RampsOverTheFullPositiveScale)
{
    struct Case {
        float freq;
        int32_t step;
    };
    // freq / fs in Q1.31, rounded, saturated at full scale.
    const Case steps[] = {{375.0f, 1 << 24}, {1500.0f, 1 << 26}, {48000.0f, INT32_MAX}, {1e9f, INT32_MAX},
                          {-375.0f, -(1 << 24)}, {NAN, 0}};
    for (const Case &c : steps) {
        ClassModule *m = build(kSawtoothFract32, {kvetest::bitsOf(c.freq), 0, 0});
        EXPECT_EQ(set(m), KVE_OK);
        EXPECT_EQ(var(m, 2), c.step) << c.freq;
    }
    // 375 Hz: 2^24 per sample over a cycle of 0x7FFFFFFF, from a phase of 1000.
    ClassModule *m = build(kSawtoothFract32, {kvetest::bitsOf(375.0f), 1000, 0});
    set(m);
    const std::vector<int32_t> y = run<int32_t>(m, 10);
    for (size_t g = 0; g < y.size(); ++g) {
        const int64_t want = (1000 + static_cast<int64_t>(g) * (1 << 24)) % INT32_MAX;
        ASSERT_EQ(y[g], want) << g;
        ASSERT_GE(y[g], 0);
    }
}

} // namespace
} // namespace generatortest
