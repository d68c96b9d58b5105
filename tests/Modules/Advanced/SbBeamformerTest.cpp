// The subband beamformers on plane waves reaching a line array: delay-and-sum weights give the analytic array factor
// in every subband, the white-noise gain of M and the diffuse-field directivity index of the closed form; the
// selected-beam form with its direction clamp, the table output of the second version, the bypass, an array without
// microphones, and the construction refusals and run-time clamps.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/SbBeamformers.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace {

using cplx = std::complex<double>;

constexpr uint32_t kBeamformer = 0xBEEF42FCu;
constexpr uint32_t kBeamformerV2 = 0xBEEF42FDu;
const ModClassDescriptor *const kTable[] = {&kve_modSbBeamformerClass.record, &kve_modSbBeamformerV2Class.record};

// 16 kHz audio in 512-point spectra: 257 subbands 31.25 Hz apart.
constexpr uint32_t kSubbands = 257;
constexpr double kBinHz = 16000.0 / 512.0;
constexpr double kSound = 343.0;
constexpr uint32_t kDirections = 8;

// Look direction d, as the cosine of its angle to the array axis: 0 to 180 degrees in equal steps.
double lookCosine(uint32_t d) { return std::cos(M_PI * d / (kDirections - 1)); }

struct LineArray {
    uint32_t mics;
    double spacing; // metres
};

// Microphone m's response in subband k to a plane wave from the direction of cosine u: the delay m d u / c.
cplx steering(const LineArray &a, uint32_t k, uint32_t m, double u)
{
    return std::polar(1.0, -2.0 * M_PI * k * kBinHz * m * a.spacing * u / kSound);
}

// |sin(M psi / 2) / (M sin(psi / 2))|: the delay-and-sum array's gain toward u when it looks toward u0.
double arrayFactor(const LineArray &a, uint32_t k, double u, double u0)
{
    const double psi = 2.0 * M_PI * k * kBinHz * a.spacing * (u - u0) / kSound;
    const double half = std::sin(psi / 2.0);
    return std::abs(half) < 1e-12 ? 1.0 : std::abs(std::sin(a.mics * psi / 2.0) / (a.mics * half));
}

// The directivity index of delay-and-sum toward u0 in a spherically isotropic field, in closed form:
// M^2 / sum over microphone pairs of cos(kappa (m - n) d u0) sinc(kappa (m - n) d).
double directivityIndexDb(const LineArray &a, uint32_t k, double u0)
{
    const double kappa = 2.0 * M_PI * k * kBinHz / kSound;
    double sum = 0.0;
    for (uint32_t m = 0; m < a.mics; ++m)
        for (uint32_t n = 0; n < a.mics; ++n) {
            const double x = kappa * (static_cast<double>(m) - n) * a.spacing;
            sum += std::cos(x * u0) * (x == 0.0 ? 1.0 : std::sin(x) / x);
        }
    return 10.0 * std::log10(a.mics * a.mics / sum);
}

double dB(double power) { return 10.0 * std::log10(power); }

class SbBeamformer : public ::testing::Test {
protected:
    SbBeamformer() : engine_(kvetest::EngineOptions{.heapWords = 1u << 18}) {}
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = 2;
    }
    GenericWire *subbandWire(uint32_t channels, uint32_t subbands = kSubbands)
    {
        GenericWire *w = engine_.wire(channels, 2 * subbands);
        w->info1 |= 1u << 27;
        return w;
    }
    GenericWire *floatWire(uint32_t words) { return engine_.wire(1, words); }
    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }
    static uint32_t words(GenericWire *w) { return kve::kit::wireWords(w); }
    static void setDirection(GenericWire *w, int32_t d) { std::memcpy(w->buffer, &d, sizeof d); }

    // The weights array of either class (variable 2 of the first, 3 of the second).
    static float *weights(ClassModule *m)
    {
        return kvetest::privateArray<float>(m, m->classRecord->classId == kBeamformer ? 2 : 3);
    }
    static uint32_t weightCount(uint32_t directions, uint32_t mics, uint32_t subbands = kSubbands)
    {
        return 2 * directions * subbands * mics;
    }
    ClassModule *build(uint32_t classId, uint32_t wireWord, std::vector<GenericWire *> wires,
                       std::vector<uint32_t> args, int32_t *status = nullptr)
    {
        int32_t local = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), classId, status != nullptr ? status : &local,
                                                  wireWord, wires.data(), static_cast<uint32_t>(args.size()),
                                                  args.data());
        if (status == nullptr) {
            EXPECT_EQ(local, KVE_OK) << std::hex << classId;
        }
        return m;
    }
    // Arguments of a class for D directions on M microphones; the second version's table has one row per subband.
    static std::vector<uint32_t> args(uint32_t classId, uint32_t directions, uint32_t mics)
    {
        std::vector<uint32_t> a = {directions, weightCount(directions, mics)};
        if (classId == kBeamformerV2)
            a.push_back(kSubbands);
        return a;
    }
    // Delay-and-sum weights conj(steering) / M toward every look direction.
    static void delayAndSum(ClassModule *m, const LineArray &a)
    {
        float *w = weights(m);
        for (uint32_t d = 0; d < kDirections; ++d)
            for (uint32_t k = 0; k < kSubbands; ++k)
                for (uint32_t mic = 0; mic < a.mics; ++mic) {
                    const cplx v = std::conj(steering(a, k, mic, lookCosine(d))) / static_cast<double>(a.mics);
                    const size_t at = 2 * ((size_t{d} * kSubbands + k) * a.mics + mic);
                    w[at] = static_cast<float>(v.real());
                    w[at + 1] = static_cast<float>(v.imag());
                }
    }
    static void planeWave(GenericWire *mics, const LineArray &a, double u)
    {
        for (uint32_t k = 0; k < kSubbands; ++k)
            for (uint32_t m = 0; m < a.mics; ++m) {
                const cplx v = steering(a, k, m, u);
                data(mics)[2 * (k * a.mics + m)] = static_cast<float>(v.real());
                data(mics)[2 * (k * a.mics + m) + 1] = static_cast<float>(v.imag());
            }
    }
    static void randomFill(GenericWire *w, std::mt19937 &rng)
    {
        std::normal_distribution<float> normal;
        for (uint32_t i = 0; i < words(w); ++i)
            data(w)[i] = normal(rng);
    }
    // Subband k of channel c of a subband wire of `channels` channels.
    static cplx at(GenericWire *w, uint32_t channels, uint32_t k, uint32_t c)
    {
        return {data(w)[2 * (k * channels + c)], data(w)[2 * (k * channels + c) + 1]};
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    kvetest::TestEngine engine_;
};

// Four microphones 4 cm apart, and arrays that leave microphones over after the groups of four (or have none).
const LineArray kArrays[] = {{4, 0.04}, {6, 0.03}, {3, 0.05}};

TEST_F(SbBeamformer, DelayAndSumBeamsFollowTheArrayFactorInEverySubband)
{
    for (const LineArray &a : kArrays) {
        const std::string what = std::to_string(a.mics) + " microphones";
        GenericWire *mics = subbandWire(a.mics);
        GenericWire *beams = subbandWire(kDirections);
        ClassModule *m = build(kBeamformer, 0x101, {mics, beams}, args(kBeamformer, kDirections, a.mics));
        ASSERT_NE(m, nullptr) << what;
        delayAndSum(m, a);
        std::vector<double> angles;
        for (int deg = 0; deg <= 180; deg += 5)
            angles.push_back(deg);
        for (uint32_t d = 0; d < kDirections; ++d)
            angles.push_back(180.0 * d / (kDirections - 1));
        for (double deg : angles) {
            const double u = std::cos(deg * M_PI / 180.0);
            planeWave(mics, a, u);
            pump(m);
            for (uint32_t d = 0; d < kDirections; ++d) {
                const bool look = std::abs(u - lookCosine(d)) < 1e-12;
                for (uint32_t k = 0; k < kSubbands; ++k) {
                    const double gotDb = dB(std::norm(at(beams, kDirections, k, d)));
                    const double af = arrayFactor(a, k, u, lookCosine(d));
                    const std::string where = what + ", wave from " + std::to_string(deg) + " deg, beam " +
                                              std::to_string(d) + ", subband " + std::to_string(k);
                    if (look)
                        EXPECT_NEAR(gotDb, 0.0, 0.01) << where;
                    else if (af > 1e-3)
                        EXPECT_NEAR(gotDb, 20.0 * std::log10(af), 0.1) << where;
                    else
                        EXPECT_LT(gotDb, -55.0) << where << " (a null of the array factor)";
                }
            }
        }
    }
}

TEST_F(SbBeamformer, DelayAndSumGainsOnWhiteNoiseAndInADiffuseField)
{
    const LineArray a = kArrays[0];
    GenericWire *mics = subbandWire(a.mics);
    GenericWire *beams = subbandWire(kDirections);
    ClassModule *m = build(kBeamformer, 0x101, {mics, beams}, args(kBeamformer, kDirections, a.mics));
    ASSERT_NE(m, nullptr);
    delayAndSum(m, a);

    // White-noise gain: a look-direction gain of 1 over the output power of independent unit noise on every
    // microphone.
    std::mt19937 rng(7);
    double in = 0.0;
    std::vector<double> out(kDirections, 0.0);
    for (int block = 0; block < 200; ++block) {
        randomFill(mics, rng);
        pump(m);
        for (uint32_t i = 0; i < words(mics); ++i)
            in += data(mics)[i] * data(mics)[i] / a.mics;
        for (uint32_t k = 0; k < kSubbands; ++k)
            for (uint32_t d = 0; d < kDirections; ++d)
                out[d] += std::norm(at(beams, kDirections, k, d));
    }
    double meanWng = 0.0;
    for (uint32_t d = 0; d < kDirections; ++d) {
        const double wng = dB(in / out[d]);
        EXPECT_NEAR(wng, 6.02, 0.2) << "beam " << d;
        meanWng += wng / kDirections;
    }
    RecordProperty("whiteNoiseGainDb", std::to_string(meanWng));

    // Directivity index: the look-direction power over the power pattern averaged over the sphere, which for a line
    // array is the average over the cosine u in [-1, 1] (midpoints of equal steps).
    constexpr int kSteps = 128;
    std::vector<double> pattern(size_t{kDirections} * kSubbands, 0.0);
    for (int q = 0; q < kSteps; ++q) {
        planeWave(mics, a, -1.0 + (q + 0.5) * 2.0 / kSteps);
        pump(m);
        for (uint32_t k = 0; k < kSubbands; ++k)
            for (uint32_t d = 0; d < kDirections; ++d)
                pattern[d * kSubbands + k] += std::norm(at(beams, kDirections, k, d)) / kSteps;
    }
    for (uint32_t d = 0; d < kDirections; ++d) {
        planeWave(mics, a, lookCosine(d));
        pump(m);
        double worst = 0.0;
        double mean = 0.0;
        for (uint32_t k = 0; k < kSubbands; ++k) {
            const double di = dB(std::norm(at(beams, kDirections, k, d)) / pattern[d * kSubbands + k]);
            const double expected = directivityIndexDb(a, k, lookCosine(d));
            EXPECT_NEAR(di, expected, 0.5) << "beam " << d << ", subband " << k;
            worst = std::max(worst, std::abs(di - expected));
            mean += di / kSubbands;
        }
        RecordProperty("directivityIndexDb_beam" + std::to_string(d), std::to_string(mean));
        RecordProperty("directivityIndexWorstErrorDb_beam" + std::to_string(d), std::to_string(worst));
    }
}

TEST_F(SbBeamformer, SelectedBeamFormPicksTheClampedDirectionOfBothVersions)
{
    const LineArray a = kArrays[1];
    const struct {
        int32_t word;
        uint32_t beam;
    } cases[] = {{-5, 0}, {INT32_MIN, 0}, {0, 0}, {3, 3}, {7, 7}, {8, 7}, {1000, 7}};
    std::mt19937 rng(3);
    for (uint32_t classId : {kBeamformer, kBeamformerV2}) {
        GenericWire *direction = floatWire(1);
        GenericWire *mics = subbandWire(a.mics);
        GenericWire *beam = subbandWire(1);
        GenericWire *all = subbandWire(kDirections);
        ClassModule *one = build(classId, 0x102, {direction, mics, beam}, args(classId, kDirections, a.mics));
        ClassModule *every = build(classId, 0x101, {mics, all}, args(classId, kDirections, a.mics));
        ASSERT_NE(one, nullptr);
        ASSERT_NE(every, nullptr);
        delayAndSum(one, a);
        delayAndSum(every, a);
        randomFill(mics, rng);
        pump(every);
        for (const auto &c : cases) {
            setDirection(direction, c.word);
            pump(one);
            for (uint32_t k = 0; k < kSubbands; ++k)
                EXPECT_EQ(at(beam, 1, k, 0), at(all, kDirections, k, c.beam))
                    << std::hex << classId << std::dec << ": direction word " << c.word << ", subband " << k;
        }
    }
}

TEST_F(SbBeamformer, SecondVersionPutsOutItsDirectionTable)
{
    const uint32_t mics = 4;
    auto fillTable = [](ClassModule *m) {
        float *info = kvetest::privateArray<float>(m, 4);
        for (uint32_t k = 0; k < kSubbands; ++k)
            for (uint32_t d = 0; d < kDirections; ++d)
                info[k * kDirections + d] = static_cast<float>(100 * k + d);
    };
    GenericWire *direction = floatWire(1);
    GenericWire *in = subbandWire(mics);
    GenericWire *beam = subbandWire(1);
    GenericWire *column = floatWire(kSubbands);
    ClassModule *selected =
        build(kBeamformerV2, 0x202, {direction, in, beam, column}, args(kBeamformerV2, kDirections, mics));
    ASSERT_NE(selected, nullptr);
    fillTable(selected);
    for (int32_t word : {5, -1, 99}) {
        setDirection(direction, word);
        pump(selected);
        const uint32_t d = word < 0 ? 0 : std::min<uint32_t>(word, kDirections - 1);
        for (uint32_t k = 0; k < kSubbands; ++k)
            EXPECT_EQ(data(column)[k], static_cast<float>(100 * k + d)) << "direction word " << word << ", row " << k;
    }

    GenericWire *beams = subbandWire(kDirections);
    GenericWire *table = floatWire(kSubbands * kDirections);
    ClassModule *all = build(kBeamformerV2, 0x201, {in, beams, table}, args(kBeamformerV2, kDirections, mics));
    ASSERT_NE(all, nullptr);
    fillTable(all);
    pump(all);
    for (uint32_t i = 0; i < kSubbands * kDirections; ++i)
        EXPECT_EQ(data(table)[i], static_cast<float>(100 * (i / kDirections) + i % kDirections)) << "word " << i;
}

TEST_F(SbBeamformer, BypassPassesMicrophoneZeroAndATableOfOnes)
{
    const uint32_t mics = 4;
    std::mt19937 rng(11);
    const struct {
        const char *what;
        uint32_t classId;
        bool selected;
        uint32_t beamChannels;
    } cases[] = {
        {"second version, selected beam", kBeamformerV2, true, 1},
        {"second version, all beams", kBeamformerV2, false, kDirections},
        {"first version, selected beam", kBeamformer, true, 1},
        {"first version, all beams", kBeamformer, false, kDirections},
    };
    for (const auto &c : cases) {
        GenericWire *direction = floatWire(1);
        GenericWire *in = subbandWire(mics);
        GenericWire *beams = subbandWire(c.beamChannels);
        const uint32_t tableWords = c.selected ? kSubbands : kSubbands * kDirections;
        GenericWire *table = floatWire(tableWords);
        std::vector<GenericWire *> wires = {in, beams};
        if (c.selected)
            wires.insert(wires.begin(), direction);
        const bool withTable = c.classId == kBeamformerV2;
        if (withTable)
            wires.push_back(table);
        const uint32_t wireWord = (withTable ? 0x200u : 0x100u) + (c.selected ? 2 : 1);
        ClassModule *m = build(c.classId, wireWord, wires, args(c.classId, kDirections, mics));
        ASSERT_NE(m, nullptr) << c.what;
        randomFill(in, rng);
        std::fill(data(beams), data(beams) + words(beams), -9.0f);
        ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
        pump(m);
        for (uint32_t k = 0; k < kSubbands; ++k)
            for (uint32_t ch = 0; ch < c.beamChannels; ++ch)
                EXPECT_EQ(at(beams, c.beamChannels, k, ch), at(in, mics, k, 0))
                    << c.what << ": channel " << ch << ", subband " << k;
        if (withTable) {
            for (uint32_t i = 0; i < tableWords; ++i)
                EXPECT_EQ(data(table)[i], 1.0f) << c.what << ": table word " << i;
        }
    }
}

TEST_F(SbBeamformer, AnArrayWithoutMicrophonesGivesSilentBeams)
{
    GenericWire *direction = floatWire(1);
    GenericWire *none = subbandWire(0);
    GenericWire *beam = subbandWire(1);
    GenericWire *beams = subbandWire(3);
    ClassModule *one = build(kBeamformer, 0x102, {direction, none, beam}, {3, 0});
    ClassModule *all = build(kBeamformer, 0x101, {none, beams}, {3, 0});
    ASSERT_NE(one, nullptr);
    ASSERT_NE(all, nullptr);
    std::fill(data(beam), data(beam) + words(beam), 5.0f);
    std::fill(data(beams), data(beams) + words(beams), 5.0f);
    setDirection(direction, 2);
    pump(one);
    pump(all);
    for (uint32_t i = 0; i < words(beam); ++i)
        EXPECT_EQ(data(beam)[i], 0.0f) << "selected beam, word " << i;
    for (uint32_t i = 0; i < words(beams); ++i)
        EXPECT_EQ(data(beams)[i], 0.0f) << "all beams, word " << i;
}

TEST_F(SbBeamformer, RefusesArgumentsThatCannotServeTheMicrophones)
{
    const uint32_t mics = 2;
    const uint32_t subbands = 8;
    const uint32_t full = weightCount(3, mics, subbands);
    const struct {
        const char *what;
        uint32_t classId, wireWord;
        std::vector<uint32_t> args;
        int32_t status;
    } cases[] = {
        {"no direction", kBeamformer, 0x101, {0, full}, KVE_E_BAD_ARGUMENT},
        {"a negative direction count", kBeamformer, 0x101, {0xFFFFFFFFu, full}, KVE_E_BAD_ARGUMENT},
        {"one weight short", kBeamformer, 0x101, {3, full - 1}, KVE_E_BAD_ARGUMENT},
        {"a negative weight count", kBeamformer, 0x101, {3, 0xFFFFFFFFu}, KVE_E_BAD_ARGUMENT},
        {"every weight", kBeamformer, 0x101, {3, full}, KVE_OK},
        {"the selected form sizes by input 1", kBeamformer, 0x102, {3, full}, KVE_OK},
        {"second version, a table short of the subbands", kBeamformerV2, 0x201, {3, full, subbands - 1},
         KVE_E_BAD_ARGUMENT},
        {"second version, a table row per subband", kBeamformerV2, 0x201, {3, full, subbands}, KVE_OK},
        {"second version without its table output", kBeamformerV2, 0x101, {3, full, 0}, KVE_OK},
        {"second version, a negative row count", kBeamformerV2, 0x101, {3, full, 0xFFFFFFFFu}, KVE_E_BAD_ARGUMENT},
        {"second version, one weight short", kBeamformerV2, 0x101, {3, full - 1, subbands}, KVE_E_BAD_ARGUMENT},
    };
    for (const auto &c : cases) {
        // The selected-beam form has the direction wire first; every wiring ends in the table wire.
        std::vector<GenericWire *> wires;
        if (KVE_PACKED_INPUTS(c.wireWord) == 2)
            wires.push_back(floatWire(1));
        wires.push_back(subbandWire(mics, subbands));
        wires.push_back(subbandWire(3, subbands));
        if (KVE_PACKED_OUTPUTS(c.wireWord) == 2)
            wires.push_back(floatWire(subbands * 3));
        int32_t status = KVE_OK;
        ClassModule *m = build(c.classId, c.wireWord, wires, c.args, &status);
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(m != nullptr, c.status == KVE_OK) << c.what;
    }
}

TEST_F(SbBeamformer, DirectionCountsAHostWritesStayWithinTheWeightsAndTheOutput)
{
    const LineArray a = kArrays[0];
    std::mt19937 rng(5);
    GenericWire *direction = floatWire(1);
    GenericWire *mics = subbandWire(a.mics);
    GenericWire *reference = subbandWire(kDirections);
    GenericWire *narrow = subbandWire(3);
    GenericWire *beam = subbandWire(1);
    ClassModule *all = build(kBeamformer, 0x101, {mics, reference}, args(kBeamformer, kDirections, a.mics));
    ClassModule *three = build(kBeamformer, 0x101, {mics, narrow}, args(kBeamformer, kDirections, a.mics));
    ClassModule *one = build(kBeamformer, 0x102, {direction, mics, beam}, args(kBeamformer, kDirections, a.mics));
    ASSERT_NE(all, nullptr);
    ASSERT_NE(three, nullptr);
    ASSERT_NE(one, nullptr);
    for (ClassModule *m : {all, three, one}) {
        delayAndSum(m, a);
        kvetest::variable<int32_t>(m, 0) = 1000; // beyond the weights built
    }
    randomFill(mics, rng);
    pump(all);
    // An output of three channels carries beams 0 to 2.
    pump(three);
    for (uint32_t k = 0; k < kSubbands; ++k)
        for (uint32_t d = 0; d < 3; ++d)
            EXPECT_EQ(at(narrow, 3, k, d), at(reference, kDirections, k, d)) << "beam " << d << ", subband " << k;
    // The selected form picks at most the last direction the weights hold.
    setDirection(direction, 500);
    pump(one);
    for (uint32_t k = 0; k < kSubbands; ++k)
        EXPECT_EQ(at(beam, 1, k, 0), at(reference, kDirections, k, kDirections - 1)) << "subband " << k;
    // No direction at all: silence.
    kvetest::variable<int32_t>(one, 0) = 0;
    pump(one);
    for (uint32_t i = 0; i < words(beam); ++i)
        EXPECT_EQ(data(beam)[i], 0.0f) << "word " << i;
}

} // namespace
