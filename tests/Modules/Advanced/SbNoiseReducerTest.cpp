// The subband noise reducer: what Set derives from the rate, the per-subband gain against a numpy model of the
// reducer's equations, its edge cases, and a gain that depends on power ratios only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "Modules/Advanced/SbNoiseReducer.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::oracleArg;
using kvetest::runOracle;

const ModClassDescriptor *const kTable[] = {&kve_modSCNRv1Class.record};
constexpr uint32_t kOneInOneOut = 0x101;
constexpr uint32_t kPublic = 15;
constexpr uint32_t kStates = 5; // powerState, outPowerState, gainState, noiseFloor, outPower
// 16 kHz audio with a new spectrum every 128 samples: the subband wire runs at the block rate.
constexpr float kBlockRate = 125.0f;

// The gain table's corners the edge cases read: row 0, columns 0, 8 and 9.
constexpr double kRow0Col0 = 0.23835, kRow0Col8 = 1.0062, kRow0Col9 = 1.0975;

class NoiseReducer : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = 1;
    }

    // A one-channel subband wire of nSub complex samples per block.
    GenericWire *subbands(uint32_t nSub, float rate = kBlockRate)
    {
        GenericWire *w = engine_.wire(1, 2 * nSub);
        w->sampleRate = rate;
        w->info1 |= 1u << 27;
        return w;
    }

    // The reducer with the layout's two values and `derived` in every variable Set derives, after its first Set.
    ClassModule *reducer(GenericWire *in, GenericWire *out, float minGainDb, float beta, float derived = 0.0f)
    {
        std::vector<uint32_t> args(kPublic, kvetest::bitsOf(derived));
        args[0] = kvetest::bitsOf(minGainDb);
        args[1] = kvetest::bitsOf(beta);
        int32_t status = KVE_OK;
        GenericWire *wires[] = {in, out};
        ClassModule *m = ClassModule_Constructor3(engine_.get(), kve_modSCNRv1Class.record.classId, &status,
                                                  kOneInOneOut, wires, kPublic, args.data());
        EXPECT_EQ(status, KVE_OK);
        EXPECT_NE(m, nullptr);
        if (m != nullptr) {
            EXPECT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
        }
        return m;
    }

    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    static float &var(ClassModule *m, uint32_t k) { return kvetest::variable<float>(m, k); }
    static float *state(ClassModule *m, uint32_t k) { return kvetest::privateArray<float>(m, kPublic + k); }
    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }

    kvetest::TestEngine engine_;
};

// Largest difference over a block, relative to the largest reference value of that block.
double relativeError(const float *got, const double *want, uint32_t n)
{
    double err = 0.0, scale = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        err = std::max(err, std::fabs(got[i] - want[i]));
        scale = std::max(scale, std::fabs(want[i]));
    }
    return scale > 0.0 ? err / scale : err;
}

// Every derived variable against scipy's first-order Butterworth designs, the smoother step and the exponential
// prior, whatever the layout put there; a Set at teardown (mask 0) derives the same, and no Set touches the state.
// The smoother step is 1 - exp(-x) formed in single precision: within a unit in the last place of 1.0.
TEST_F(NoiseReducer, SetDerivesEveryValueFromTheRateAndKeepsTheState)
{
    const struct {
        float rate, minGainDb;
    } cases[] = {{kBlockRate, -20.0f}, {250.0f, -6.0f}, {16000.0f, -40.0f}};
    std::vector<std::string> args = {"set"};
    for (const auto &c : cases) {
        args.push_back(oracleArg(c.rate));
        args.push_back(oracleArg(c.minGainDb));
    }
    const std::vector<double> want = runOracle("noise_reducer_model.py", args);
    ASSERT_EQ(want.size(), 13 * std::size(cases));
    const double *derivedWant = want.data();
    for (const auto &c : cases) {
        GenericWire *in = subbands(4, c.rate);
        GenericWire *out = subbands(4, c.rate);
        ClassModule *m = reducer(in, out, c.minGainDb, 1.0f, 7.0f);
        ASSERT_NE(m, nullptr);
        for (uint32_t k = 2; k < kPublic; ++k, ++derivedWant)
            EXPECT_NEAR(var(m, k), *derivedWant, std::max(2e-6 * std::fabs(*derivedWant), 1.2e-7))
                << "variable " << k << " at " << c.rate;

        for (uint32_t k = 0; k < kStates; ++k)
            state(m, k)[3] = 0.5f + float(k);
        std::vector<float> derived(kPublic);
        for (uint32_t k = 2; k < kPublic; ++k) {
            derived[k] = var(m, k);
            var(m, k) = -3.0f;
        }
        EXPECT_EQ(ClassModule_Set(m, 0), KVE_OK);
        for (uint32_t k = 2; k < kPublic; ++k)
            EXPECT_EQ(var(m, k), derived[k]) << "variable " << k;
        for (uint32_t k = 0; k < kStates; ++k)
            EXPECT_EQ(state(m, k)[3], 0.5f + float(k)) << "state " << k;
    }
}

// Bursts over stationary noise, every subband on its own pattern: each block's output and all five states follow the
// model within 1e-5 of the block's largest value. The model runs on the values Set derived (checked above), so the
// per-block equations are compared on their own.
TEST_F(NoiseReducer, FollowsTheModelOfItsEquationsBlockByBlock)
{
    const struct {
        int seed;
        uint32_t nSub, blocks;
        float rate, minGainDb, beta;
    } cases[] = {{7, 17, 300, kBlockRate, -20.0f, 1.5f}, {11, 5, 200, 1000.0f, -10.0f, 1.0f}};
    for (const auto &c : cases) {
        GenericWire *in = subbands(c.nSub, c.rate);
        GenericWire *out = subbands(c.nSub, c.rate);
        ClassModule *m = reducer(in, out, c.minGainDb, c.beta);
        ASSERT_NE(m, nullptr);
        std::vector<std::string> args = {"model",           std::to_string(c.seed), std::to_string(c.nSub),
                                         std::to_string(c.blocks), oracleArg(c.rate),   oracleArg(c.minGainDb),
                                         oracleArg(c.beta)};
        for (uint32_t k = 2; k < kPublic; ++k)
            args.push_back(oracleArg(var(m, k)));
        const std::vector<double> model = runOracle("noise_reducer_model.py", args);
        const uint32_t words = 2 * c.nSub;
        const size_t perBlock = words + kStates * c.nSub;
        ASSERT_EQ(model.size(), c.blocks * (words + perBlock));
        const double *expected = model.data() + c.blocks * words;
        double worst = 0.0;
        for (uint32_t b = 0; b < c.blocks; ++b, expected += perBlock) {
            for (uint32_t i = 0; i < words; ++i)
                data(in)[i] = float(model[b * words + i]);
            pump(m);
            const double outErr = relativeError(data(out), expected, words);
            EXPECT_LE(outErr, 1e-5) << "output, block " << b;
            worst = std::max(worst, outErr);
            for (uint32_t k = 0; k < kStates; ++k)
                EXPECT_LE(relativeError(state(m, k), expected + words + k * c.nSub, c.nSub), 1e-5)
                    << "state " << k << ", block " << b;
        }
        RecordProperty("worst_output_error_seed_" + std::to_string(c.seed), oracleArg(worst));
    }
}

// One subband driven block by block at a given amplitude (real part only, so out / in is the gain), with variables
// written after Set where a case needs the bare equation in sight.
struct EdgeCase {
    const char *what;
    float minGainDb;
    std::vector<std::pair<uint32_t, float>> writes;
    std::vector<float> amplitudes;
    std::function<void(ClassModule *m, size_t block, double gain)> check;
};

TEST_F(NoiseReducer, EdgeCases)
{
    // Near-silence: 1e-12 (-240 dB) is far below the noise term's bias, so the ratios sit at their floors, yet
    // the output still shows the gain.
    const std::vector<float> silence(120, 1e-12f);
    const std::vector<std::pair<uint32_t, float>> barePower = {{6, 1.0f}, {7, 0.0f}, {8, 0.0f}};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const EdgeCase cases[] = {
        {"silence settles on the table's first entry", -40.0f, {}, silence,
         [](ClassModule *m, size_t block, double gain) {
             EXPECT_GE(gain, var(m, 2));
             EXPECT_LE(gain, kRow0Col0 + 1e-6);
             if (block >= 60) {
                 EXPECT_NEAR(gain, kRow0Col0, 1e-5);
             }
         }},
        {"silence never goes below minGain", -6.0f, {}, silence,
         [](ClassModule *m, size_t, double gain) { EXPECT_NEAR(gain, std::pow(10.0, -0.3), 1e-6 * var(m, 2)); }},
        // Power 1 from a zero floor: 1 - (1 - c)^k after k blocks; then power 1e-4, below it; then 4 again.
        {"the noise floor rises by the step c and falls at once", -40.0f, barePower,
         {1.0f, 1.0f, 1.0f, 0.01f, 0.01f, 2.0f},
         [](ClassModule *m, size_t block, double) {
             const double c = var(m, 4);
             const double floors[] = {c, 1.0 - std::pow(1.0 - c, 2.0), 1.0 - std::pow(1.0 - c, 3.0),
                                      1e-4, 1e-4, 1e-4 + c * (4.0 - 1e-4)};
             EXPECT_NEAR(state(m, 3)[0], floors[block], 1e-5 * floors[block]) << block;
         }},
        // With the bare gain path and a prior of 1 over a zero output power, the gain is the table's row 0 at
        // u = (30 x 0.066 - 0.0031) x 4.5 = 8.896: columns 8 and 9, not the last cell's edge.
        {"a-posteriori ratio at its ceiling reads columns 8 and 9", -40.0f,
         {{6, 1.0f}, {7, 0.0f}, {8, 0.0f}, {10, 1.0f}, {11, 0.0f}, {12, 0.0f}, {14, 1.0f}}, {1.0f},
         [](ClassModule *, size_t, double gain) {
             const double fu = (30.0 * 0.066 - 0.0031000376) * 4.5 - 8.0;
             EXPECT_NEAR(gain, (1.0 - fu) * kRow0Col8 + fu * kRow0Col9, 1e-5);
             EXPECT_LT(gain, 1.09);
         }},
        {"a NaN sample leaves later gains between the floor and the table's largest", -20.0f, {},
         {1.0f, nan, 1.0f, 1.0f, 0.01f, 0.01f},
         [](ClassModule *m, size_t block, double gain) {
             if (block == 1)
                 return;
             EXPECT_GE(gain, var(m, 2));
             EXPECT_LE(gain, kRow0Col9);
         }},
    };
    for (const EdgeCase &c : cases) {
        SCOPED_TRACE(c.what);
        GenericWire *in = subbands(1);
        GenericWire *out = subbands(1);
        ClassModule *m = reducer(in, out, c.minGainDb, 1.0f);
        ASSERT_NE(m, nullptr);
        for (const auto &[k, value] : c.writes)
            var(m, k) = value;
        for (size_t b = 0; b < c.amplitudes.size(); ++b) {
            data(in)[0] = c.amplitudes[b];
            data(in)[1] = 0.0f;
            pump(m);
            ASSERT_EQ(data(out)[1], 0.0f);
            c.check(m, b, double(data(out)[0]) / double(c.amplitudes[b]));
        }
    }
}

// The output energy relative to the input, per subband, moves by less than 0.1 dB when the input is scaled by
// 1e-3 or 1e3. A model that also held the excess power at or below 1 moves by several dB, as subband powers near
// and above 1 are usual behind an unscaled transform.
TEST_F(NoiseReducer, GainDependsOnPowerRatiosOnly)
{
    constexpr uint32_t kSub = 17, kBlocks = 300;
    // The model's output-to-input energy in dB at the three scales, floor only and with the ceiling; then the input.
    const std::vector<double> model = runOracle("noise_reducer_model.py",
                                                {"invariance", "7", std::to_string(kSub), std::to_string(kBlocks),
                                                 oracleArg(kBlockRate), "-20", "1.5"});
    ASSERT_EQ(model.size(), 6 + size_t(kBlocks) * 2 * kSub);
    const double *input = model.data() + 6;

    const double scales[] = {1e-3, 1.0, 1e3};
    std::vector<std::vector<double>> ratioDb;
    double totalDbAtUnity = 0.0;
    for (double scale : scales) {
        GenericWire *in = subbands(kSub);
        GenericWire *out = subbands(kSub);
        ClassModule *m = reducer(in, out, -20.0f, 1.5f);
        ASSERT_NE(m, nullptr);
        std::vector<double> inEnergy(kSub), outEnergy(kSub);
        for (uint32_t b = 0; b < kBlocks; ++b) {
            for (uint32_t i = 0; i < 2 * kSub; ++i)
                data(in)[i] = float(scale * input[b * 2 * kSub + i]);
            pump(m);
            for (uint32_t i = 0; i < 2 * kSub; ++i) {
                inEnergy[i / 2] += double(data(in)[i]) * data(in)[i];
                outEnergy[i / 2] += double(data(out)[i]) * data(out)[i];
            }
        }
        std::vector<double> db(kSub);
        double inTotal = 0.0, outTotal = 0.0;
        for (uint32_t k = 0; k < kSub; ++k) {
            db[k] = 10.0 * std::log10(outEnergy[k] / inEnergy[k]);
            inTotal += inEnergy[k];
            outTotal += outEnergy[k];
        }
        if (scale == 1.0)
            totalDbAtUnity = 10.0 * std::log10(outTotal / inTotal);
        ratioDb.push_back(db);
    }
    for (size_t s : {0, 2})
        for (uint32_t k = 0; k < kSub; ++k)
            EXPECT_LT(std::fabs(ratioDb[s][k] - ratioDb[1][k]), 0.1) << "scale " << scales[s] << ", subband " << k;
    EXPECT_LT(totalDbAtUnity, -3.0); // it does reduce the noise between the bursts
    EXPECT_NEAR(totalDbAtUnity, model[1], 0.01);
    const double ceilingSpread = *std::max_element(model.begin() + 3, model.end()) -
                                 *std::min_element(model.begin() + 3, model.end());
    EXPECT_GT(ceilingSpread, 3.0);
}

} // namespace
