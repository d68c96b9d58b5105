// The filters steered by control wires: the first-order poles against the closed form with the frequency clamp, the
// fixed-point pole against an integer model of its cubic, the sample-by-sample pole glide, the second-order sections
// against scipy once their glide has converged, the redesign asked of the tick only when a control changed, and the
// wiring the classes refuse or never read past.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/ControlledFilters.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::oracleArg;
using kvetest::privateArray;
using kvetest::variable;

constexpr uint32_t kSOFControl = 0xBEEF0D39u;
constexpr uint32_t kSOFControlFract32 = 0xBEEF0D38u;
constexpr uint32_t kSOFControlHP = 0xBEEF0D33u;
constexpr uint32_t kFOFControl = 0xBEEF0D02u;
constexpr uint32_t kFOFControlFract32 = 0xBEEF0D01u;
constexpr uint32_t kLPF1Control = 0xBEEF0D0Eu;

const ModClassDescriptor *const kTable[] = {
    &kve_modSOFControlClass.record, &kve_modSOFControlFract32Class.record, &kve_modSOFControlHPClass.record,
    &kve_modFOFControlClass.record, &kve_modFOFControlFract32Class.record, &kve_modLPF1ControlClass.record,
};

constexpr float kRate = 48000.0f;
constexpr uint32_t kBlock = 32;

uint32_t bits(float f) { return kvetest::bitsOf(f); }

std::vector<float> noise(size_t n, uint32_t seed, float scale)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-scale, scale);
    std::vector<float> x(n);
    for (float &v : x)
        v = u(rng);
    return x;
}

std::vector<double> oracle(const std::string &script, const std::vector<double> &values,
                           const std::vector<std::string> &lead = {})
{
    std::vector<std::string> args = lead;
    for (double v : values)
        args.push_back(oracleArg(v));
    return kvetest::runOracle(script, args);
}

// b0 b1 b2 a1 a2 of numbered filter types at kRate, designed by the reference in double precision: five a design.
std::vector<double> referenceDesigns(const std::vector<std::vector<float>> &typeFreqGainQ)
{
    std::vector<double> args;
    for (const std::vector<float> &d : typeFreqGainQ)
        args.insert(args.end(), {d[0], kRate, d[1], d[2], d[3]});
    return oracle("design_second_order.py", args);
}

// Appends one channel of an interleaved block to a batch of the biquad reference: the five coefficients, the count
// and the samples.
void addFilterGroup(std::vector<double> &batch, const double *biquad, const std::vector<float> &x, uint32_t channel,
                    uint32_t channels)
{
    batch.insert(batch.end(), biquad, biquad + 5);
    batch.push_back(static_cast<double>(x.size() / channels));
    for (size_t i = channel; i < x.size(); i += channels)
        batch.push_back(x[i]);
}

// Appends one channel of an interleaved block to a batch of the first-order reference.
void addSamples(std::vector<std::string> &batch, const std::vector<float> &x, uint32_t channel, uint32_t channels)
{
    batch.push_back(std::to_string(x.size() / channels));
    for (size_t i = channel; i < x.size(); i += channels)
        batch.push_back(oracleArg(x[i]));
}

class ControlledFilters : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = sizeof kTable / sizeof kTable[0];
    }
    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args)
    {
        int32_t status = KVE_OK;
        ClassModule *m = engine_.module(classId, wireWord, wires, args, &status);
        EXPECT_NE(m, nullptr) << "status " << status;
        return m;
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }
    static void fill(GenericWire *w, const std::vector<float> &x) { std::copy(x.begin(), x.end(), data(w)); }
    static void setControl(GenericWire *w, float v) { data(w)[0] = v; }
    static bool deferred(const ClassModule *m) { return (m->packed & KVE_PACKED_DEFERRED_SET) != 0; }

    kvetest::TestEngine engine_;
};

// ---- First-order sections ----

struct FrequencyCase {
    float control;
    float used;
};
// Below 10 Hz and above 0.45 fs the corner stays at the bound; NaN carries no frequency and takes the low bound.
const FrequencyCase kFrequencies[] = {{5.0f, 10.0f}, {1000.0f, 1000.0f}, {12000.0f, 12000.0f},
                                      {30000.0f, 21600.0f}, {NAN, 10.0f}};

TEST_F(ControlledFilters, FirstOrderPoleIsTheClosedFormOfTheClampedFrequencyAndFiltersLikeScipy)
{
    const std::vector<float> x = noise(kBlock * 2, 3, 0.9f);
    struct Run {
        std::string what;
        ClassModule *m;
        GenericWire *out;
    };
    std::vector<Run> runs;
    std::vector<std::string> batch;
    for (const FrequencyCase &c : kFrequencies) {
        for (int32_t highPass : {0, 1}) {
            GenericWire *control = engine_.wire(1, 1);
            GenericWire *in = engine_.wire(2, kBlock);
            GenericWire *out = engine_.wire(2, kBlock);
            // A smoothing time of 0 takes the pole in one block.
            ClassModule *m =
                build(kFOFControl, 0x102, {control, in, out}, {bits(0.0f), static_cast<uint32_t>(highPass), 0, 0});
            setControl(control, c.control);
            fill(in, x);
            pump(m);
            runs.push_back({"f " + std::to_string(c.control) + " highPass " + std::to_string(highPass), m, out});
            for (uint32_t ch = 0; ch < 2; ++ch) {
                batch.insert(batch.end(), {"fixed", oracleArg(kRate), oracleArg(c.used), std::to_string(highPass)});
                addSamples(batch, x, ch, 2);
            }
        }
    }
    const std::vector<double> ref = kvetest::runOracle("first_order_sections.py", batch);
    ASSERT_EQ(ref.size(), runs.size() * 2 * (kBlock + 1));
    const double *r = ref.data();
    for (const Run &run : runs) {
        for (uint32_t ch = 0; ch < 2; ++ch, r += kBlock + 1) {
            EXPECT_NEAR(variable<float>(run.m, 3), r[0], 1e-6) << run.what;
            for (uint32_t i = 0; i < kBlock; ++i)
                EXPECT_NEAR(data(run.out)[2 * i + ch], r[i + 1], 2e-6) << run.what << " sample " << i;
        }
    }
}

TEST_F(ControlledFilters, FixedPointPoleFollowsItsCubicAndTracksTheClosedForm)
{
    std::vector<std::string> poles;
    for (const FrequencyCase &c : kFrequencies)
        poles.insert(poles.end(), {"cubic", oracleArg(kRate), oracleArg(c.used), "fixed", oracleArg(kRate),
                                   oracleArg(c.used), "0", "0"});
    const std::vector<double> ref = kvetest::runOracle("first_order_sections.py", poles);
    ASSERT_EQ(ref.size(), 2 * std::size(kFrequencies));
    const std::vector<float> x = noise(kBlock, 5, 0.5f);
    std::vector<double> batch;
    std::vector<std::vector<Fract32>> outputs;
    std::vector<double> tolerances;
    for (size_t k = 0; k < std::size(kFrequencies); ++k) {
        // The coefficients held at a quarter lose two bits, which the pole's feedback multiplies.
        for (auto [highPass, postShift] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{0, 2}, std::pair{1, 2}}) {
            const std::string what = "f " + std::to_string(kFrequencies[k].control) + " highPass " +
                                     std::to_string(highPass) + " postShift " + std::to_string(postShift);
            GenericWire *control = engine_.wire(1, 1);
            GenericWire *in = engine_.wire(1, kBlock);
            GenericWire *out = engine_.wire(1, kBlock);
            ClassModule *m = build(kFOFControlFract32, 0x102, {control, in, out},
                                   {bits(0.0f), static_cast<uint32_t>(highPass), static_cast<uint32_t>(postShift), 0,
                                    0, 0});
            setControl(control, kFrequencies[k].control);
            auto *xin = static_cast<Fract32 *>(in->buffer);
            for (uint32_t i = 0; i < kBlock; ++i)
                xin[i] = static_cast<Fract32>(std::lround(x[i] * 2147483648.0));
            pump(m);
            // A smoothing time of 0 glides all the way from 0 but for the coefficient's missing last bit.
            const Fract32 pole = variable<Fract32>(m, 4);
            EXPECT_EQ(pole, static_cast<Fract32>((static_cast<int64_t>(ref[2 * k]) * INT32_MAX) >> 31)) << what;
            // The cubic stands for (1 - sin w) / cos w to about 1%.
            EXPECT_NEAR(pole / 2147483648.0, ref[2 * k + 1], 0.012) << what;
            // The section runs the first-order filter of that pole: (1 -+ p) / 2 (x +- x1) + p y1.
            const double p = pole / 2147483648.0;
            const double b0 = highPass != 0 ? (1 + p) / 2 : (1 - p) / 2;
            const double biquad[] = {b0, highPass != 0 ? -b0 : b0, 0.0, -p, 0.0};
            std::vector<float> scaled(kBlock);
            for (uint32_t i = 0; i < kBlock; ++i)
                scaled[i] = static_cast<float>(xin[i] / 2147483648.0);
            addFilterGroup(batch, biquad, scaled, 0, 1);
            const auto *y = static_cast<const Fract32 *>(out->buffer);
            outputs.emplace_back(y, y + kBlock);
            tolerances.push_back(postShift == 0 ? 1e-6 : 1e-5);
        }
    }
    const std::vector<double> y = oracle("design_sos2ss.py", batch);
    ASSERT_EQ(y.size(), outputs.size() * kBlock);
    for (size_t k = 0; k < outputs.size(); ++k)
        for (uint32_t i = 0; i < kBlock; ++i)
            EXPECT_NEAR(outputs[k][i] / 2147483648.0, y[k * kBlock + i], tolerances[k]) << "run " << k << " " << i;
}

TEST_F(ControlledFilters, LowPassPoleGlidesSampleBySampleOnEveryChannelAlike)
{
    const std::vector<float> x = noise(kBlock * 3, 9, 1.0f);
    const FrequencyCase cases[] = {{0.1f, 0.48f}, {2000.0f, 2000.0f}, {30000.0f, 21600.0f}};
    std::vector<ClassModule *> modules;
    std::vector<GenericWire *> outputs;
    std::vector<std::string> batch;
    for (const FrequencyCase &c : cases) {
        GenericWire *control = engine_.wire(1, 1);
        GenericWire *in = engine_.wire(3, kBlock);
        GenericWire *out = engine_.wire(3, kBlock);
        ClassModule *m = build(kLPF1Control, 0x102, {control, in, out}, {bits(1.0f), 0, bits(0.25f)});
        const float step = variable<float>(m, 1);
        // 1 ms at 48 kHz, stepped once per sample.
        EXPECT_NEAR(step, 1.0 - std::exp(-1000.0 / 48000.0), 1e-6);
        setControl(control, c.control);
        fill(in, x);
        pump(m);
        modules.push_back(m);
        outputs.push_back(out);
        for (uint32_t ch = 0; ch < 3; ++ch) {
            batch.insert(batch.end(), {"gliding", oracleArg(kRate), oracleArg(c.used), "0.25", oracleArg(step)});
            addSamples(batch, x, ch, 3);
        }
    }
    const std::vector<double> ref = kvetest::runOracle("first_order_sections.py", batch);
    ASSERT_EQ(ref.size(), std::size(cases) * 3 * (kBlock + 1));
    const double *r = ref.data();
    for (size_t k = 0; k < std::size(cases); ++k) {
        const std::string what = "f " + std::to_string(cases[k].control);
        for (uint32_t ch = 0; ch < 3; ++ch, r += kBlock + 1) {
            EXPECT_NEAR(variable<float>(modules[k], 2), r[0], 1e-5) << what;
            for (uint32_t i = 0; i < kBlock; ++i)
                EXPECT_NEAR(data(outputs[k])[3 * i + ch], r[i + 1], 1e-5) << what << " channel " << ch << " " << i;
        }
    }
}

// ---- Second-order sections ----

// The construction arguments of a second-order control class: its controls, smoothing time and mask, every
// derived word 0.
std::vector<uint32_t> secondOrderArgs(uint32_t classId, int32_t type, float f, float gain, float q, float timeMs,
                                      int32_t mask, int32_t postShift = 0)
{
    std::vector<uint32_t> a = {static_cast<uint32_t>(type), bits(f), bits(gain), bits(q), bits(timeMs)};
    if (classId == kSOFControl) {
        a.insert(a.end(), 12, 0); // updateActive, targets, current set, smoothing coefficient
    } else if (classId == kSOFControlHP) {
        a.insert(a.end(), 2, 0);
    } else {
        a.insert(a.end(), {static_cast<uint32_t>(postShift), 0, 0, 0});
    }
    a.push_back(static_cast<uint32_t>(mask));
    return a;
}

ClassModule *buildArgs(kvetest::TestEngine &engine, uint32_t classId, uint32_t wireWord,
                       const std::vector<GenericWire *> &wires, const std::vector<uint32_t> &args, int32_t *status)
{
    std::vector<GenericWire *> w = wires;
    return ClassModule_Constructor3(engine.get(), classId, status, wireWord, w.data(),
                                    static_cast<uint32_t>(args.size()), args.data());
}

TEST_F(ControlledFilters, SecondOrderSectionsMatchScipyOnceTheGlideHasConverged)
{
    struct Case {
        uint32_t classId;
        int32_t type;
        float f, gain, q;
        int32_t postShift;
    } cases[] = {
        {kSOFControl, 12, 1000.0f, 6.0f, 1.0f, 0},  {kSOFControl, 21, 200.0f, 0.0f, 0.707f, 0},
        {kSOFControlHP, 12, 1000.0f, 6.0f, 1.0f, 0}, {kSOFControlHP, 21, 40.0f, 0.0f, 0.707f, 0},
        {kSOFControlFract32, 12, 1000.0f, 6.0f, 1.0f, 1}, {kSOFControlFract32, 22, 300.0f, 0.0f, 0.707f, 1},
    };
    std::vector<std::vector<float>> designs;
    for (const Case &c : cases)
        designs.push_back({static_cast<float>(c.type), c.f, c.gain, c.q});
    const std::vector<double> design = referenceDesigns(designs);
    ASSERT_EQ(design.size(), 5 * std::size(cases));
    struct Run {
        std::string what;
        bool fixed;
        uint32_t channels;
        std::vector<float> y;
    };
    std::vector<Run> runs;
    std::vector<double> batch;
    for (size_t k = 0; k < std::size(cases); ++k) {
        const Case &c = cases[k];
        for (uint32_t channels : {1u, 2u, 3u, 8u}) {
            const std::string what = "class " + std::to_string(c.classId & 0xFFF) + " type " +
                                     std::to_string(c.type) + " channels " + std::to_string(channels);
            GenericWire *in = engine_.wire(channels, kBlock);
            GenericWire *out = engine_.wire(channels, kBlock);
            int32_t status = KVE_OK;
            ClassModule *m = buildArgs(engine_, c.classId, 0x101, {in, out},
                                       secondOrderArgs(c.classId, c.type, c.f, c.gain, c.q, 5.0f, 0, c.postShift),
                                       &status);
            ASSERT_NE(m, nullptr) << what << " status " << status;
            // 5 ms of 32-sample blocks glide by 0.19 a block: 300 blocks leave nothing of the start.
            for (int block = 0; block < 300; ++block)
                pump(m);
            const uint32_t stateArray = c.classId == kSOFControl ? 18 : c.classId == kSOFControlHP ? 10 : 13;
            const bool fixed = c.classId == kSOFControlFract32;
            std::fill_n(privateArray<uint32_t>(m, stateArray), channels * (fixed ? 4 : 2), 0u);
            const std::vector<float> x = noise(kBlock * channels, 11 + channels, fixed ? 0.25f : 1.0f);
            if (fixed) {
                for (size_t i = 0; i < x.size(); ++i)
                    static_cast<Fract32 *>(in->buffer)[i] = static_cast<Fract32>(std::lround(x[i] * 2147483648.0));
            } else {
                fill(in, x);
            }
            pump(m);
            Run run{what, fixed, channels, std::vector<float>(x.size())};
            for (size_t i = 0; i < x.size(); ++i)
                run.y[i] = fixed ? static_cast<Fract32 *>(out->buffer)[i] / 2147483648.0f : data(out)[i];
            runs.push_back(run);
            for (uint32_t ch = 0; ch < channels; ++ch)
                addFilterGroup(batch, &design[5 * k], x, ch, channels);
        }
    }
    const std::vector<double> ref = oracle("design_sos2ss.py", batch);
    const double *r = ref.data();
    const double *end = r + ref.size();
    for (const Run &run : runs) {
        for (uint32_t ch = 0; ch < run.channels; ++ch, r += kBlock) {
            ASSERT_LE(r + kBlock, end);
            for (uint32_t i = 0; i < kBlock; ++i)
                EXPECT_NEAR(run.y[i * run.channels + ch], r[i], 2e-5) << run.what << " channel " << ch << " " << i;
        }
    }
}

TEST_F(ControlledFilters, FixedPointTargetsAreTheDesignScaledAndRoundedHalfAwayFromZero)
{
    for (int32_t postShift : {1, 2, 0}) {
        GenericWire *in = engine_.wire(1, kBlock);
        GenericWire *out = engine_.wire(1, kBlock);
        int32_t status = KVE_OK;
        ClassModule *m = buildArgs(engine_, kSOFControlFract32, 0x101, {in, out},
                                   secondOrderArgs(kSOFControlFract32, 12, 3000.0f, 9.0f, 2.0f, 0.0f, 0, postShift),
                                   &status);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(variable<float>(m, 6), std::ldexp(1.0f, -postShift));
        const float *coeffs = privateArray<float>(m, 10);
        const Fract32 *targets = privateArray<Fract32>(m, 11);
        for (uint32_t k = 0; k < 5; ++k) {
            const double scaled = std::ldexp(static_cast<double>(coeffs[k]), 31 - postShift);
            const double expected = scaled >= 2147483647.0 ? 2147483647.0 : std::max(-2147483648.0, std::round(scaled));
            EXPECT_EQ(targets[k], static_cast<Fract32>(expected)) << "postShift " << postShift << " word " << k;
        }
        // A smoothing time of 0 takes the targets in one block, each but for the coefficient's missing last bit.
        pump(m);
        for (uint32_t k = 0; k < 5; ++k)
            EXPECT_EQ(privateArray<Fract32>(m, 12)[k], (static_cast<int64_t>(targets[k]) * INT32_MAX) >> 31) << k;
    }
}

TEST_F(ControlledFilters, ChangedControlsAloneAskTheTickForARedesign)
{
    for (uint32_t classId : {kSOFControl, kSOFControlHP, kSOFControlFract32}) {
        const std::string what = "class " + std::to_string(classId & 0xFFF);
        GenericWire *freq = engine_.wire(1, 1);
        GenericWire *gain = engine_.wire(1, 1);
        GenericWire *q = engine_.wire(1, 1);
        GenericWire *in = engine_.wire(2, kBlock);
        GenericWire *out = engine_.wire(2, kBlock);
        int32_t status = KVE_OK;
        ClassModule *m = buildArgs(engine_, classId, 0x104, {freq, gain, q, in, out},
                                   secondOrderArgs(classId, 12, 1000.0f, 3.0f, 1.0f, 0.0f, 7, 1), &status);
        ASSERT_NE(m, nullptr) << what;
        setControl(freq, 1000.0f);
        setControl(gain, 3.0f);
        setControl(q, 1.0f);
        for (int block = 0; block < 3; ++block) {
            pump(m);
            EXPECT_FALSE(deferred(m)) << what << ": unchanged controls";
        }
        // Each control on its own wire, in the mask's order.
        const uint32_t floatVariables[] = {1, 2, 3};
        GenericWire *wires[] = {freq, gain, q};
        const float changed[] = {2000.0f, -4.0f, 0.5f};
        for (uint32_t k = 0; k < 3; ++k) {
            setControl(wires[k], changed[k]);
            pump(m);
            EXPECT_TRUE(deferred(m)) << what << " control " << k;
            EXPECT_EQ(variable<float>(m, floatVariables[k]), changed[k]) << what;
            // The tick serves one module a call and walks on from where it stopped: two calls reach every module.
            for (int tick = 0; tick < 2 && deferred(m); ++tick)
                ASSERT_EQ(kve_fwTick(engine_.get()), KVE_OK);
            EXPECT_FALSE(deferred(m)) << what << ": the tick served the request";
            pump(m);
            EXPECT_FALSE(deferred(m)) << what << ": the same control again";
        }
        // A NaN control asks for one redesign, not one every block.
        setControl(freq, NAN);
        pump(m);
        EXPECT_TRUE(deferred(m)) << what << ": NaN";
        for (int tick = 0; tick < 2 && deferred(m); ++tick)
            ASSERT_EQ(kve_fwTick(engine_.get()), KVE_OK);
        pump(m);
        EXPECT_FALSE(deferred(m)) << what << ": NaN again";
        setControl(freq, 2000.0f);
        pump(m);
        for (int tick = 0; tick < 2 && deferred(m); ++tick)
            ASSERT_EQ(kve_fwTick(engine_.get()), KVE_OK);
        // The tick's Set designed the new controls.
        if (classId == kSOFControl) {
            const std::vector<double> ref = referenceDesigns({{12, 2000.0f, -4.0f, 0.5f}});
            for (uint32_t k = 0; k < 5; ++k)
                EXPECT_NEAR(variable<float>(m, 6 + k), ref[k], 1e-5) << "target " << k;
        }
    }
}

TEST_F(ControlledFilters, ModuleWithoutControlWiresNeverAsksForARedesign)
{
    GenericWire *in = engine_.wire(2, kBlock);
    GenericWire *out = engine_.wire(2, kBlock);
    int32_t status = KVE_OK;
    ClassModule *m =
        buildArgs(engine_, kSOFControl, 0x101, {in, out}, secondOrderArgs(kSOFControl, 12, 1000, 3, 1, 0, 0), &status);
    ASSERT_NE(m, nullptr);
    fill(in, noise(2 * kBlock, 1, 1.0f));
    for (int block = 0; block < 4; ++block) {
        pump(m);
        EXPECT_FALSE(deferred(m));
    }
    EXPECT_EQ(engine_->pendingSets, 0u);
}

TEST_F(ControlledFilters, WiringShortOfTheMaskIsRefusedAndAWidenedMaskReadsOnlyTheWiresBuilt)
{
    for (uint32_t classId : {kSOFControl, kSOFControlHP, kSOFControlFract32}) {
        const std::string what = "class " + std::to_string(classId & 0xFFF);
        GenericWire *control = engine_.wire(1, 1);
        GenericWire *in = engine_.wire(1, kBlock);
        GenericWire *out = engine_.wire(1, kBlock);
        // Gain and Q wires named, one control wire given.
        int32_t status = KVE_OK;
        EXPECT_EQ(buildArgs(engine_, classId, 0x102, {control, in, out},
                            secondOrderArgs(classId, 12, 1000, 0, 1, 0, 6), &status),
                  nullptr)
            << what;
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << what;

        status = KVE_OK;
        ClassModule *m = buildArgs(engine_, classId, 0x102, {control, in, out},
                                   secondOrderArgs(classId, 12, 1000, 0, 1, 0, 1), &status);
        ASSERT_NE(m, nullptr) << what;
        const uint32_t maskVariable = classId == kSOFControl ? 17 : classId == kSOFControlHP ? 7 : 9;
        variable<int32_t>(m, maskVariable) = 7;
        setControl(control, 500.0f);
        data(in)[0] = 123.0f;
        pump(m);
        EXPECT_EQ(variable<float>(m, 1), 500.0f) << what;
        EXPECT_EQ(variable<float>(m, 2), 0.0f) << what << ": the audio wire is never read as a control";
    }
}

TEST_F(ControlledFilters, BypassCopiesTheAudioInput)
{
    struct Case {
        uint32_t classId;
        std::vector<uint32_t> args;
    } cases[] = {
        {kSOFControl, secondOrderArgs(kSOFControl, 12, 1000, 6, 1, 0, 1)},
        {kSOFControlHP, secondOrderArgs(kSOFControlHP, 12, 1000, 6, 1, 0, 1)},
        {kSOFControlFract32, secondOrderArgs(kSOFControlFract32, 12, 1000, 6, 1, 0, 1, 1)},
        {kFOFControl, {0, 0, 0, 0}},
        {kFOFControlFract32, {0, 0, 0, 0, 0, 0}},
        {kLPF1Control, {0, 0, 0}},
    };
    for (const Case &c : cases) {
        GenericWire *control = engine_.wire(1, 1);
        GenericWire *in = engine_.wire(2, kBlock);
        GenericWire *out = engine_.wire(2, kBlock);
        int32_t status = KVE_OK;
        ClassModule *m = buildArgs(engine_, c.classId, 0x102, {control, in, out}, c.args, &status);
        ASSERT_NE(m, nullptr) << std::hex << c.classId;
        setControl(control, 700.0f);
        const std::vector<float> x = noise(2 * kBlock, 4, 0.5f);
        fill(in, x);
        ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
        pump(m);
        EXPECT_EQ(std::vector<float>(data(out), data(out) + x.size()), x) << std::hex << c.classId;
    }
}

} // namespace
