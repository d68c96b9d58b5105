// The state and timing control modules: the time-out's counting, its three actions and their gain ramps, the
// playback buffer's bounds, the Fract32 gains; the states other modules get through the engine; the multiplexor's
// choice of data wire per frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/StateControl.h"
#include "support/ModuleFixture.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"
#include "kve/kve_vec_smooth.h"

namespace {

using kvetest::variable;

constexpr uint32_t kTimeOut = 0xBEEF0D42u;
constexpr uint32_t kTimeOutFract32 = 0xBEEF0D41u;
constexpr uint32_t kStatusSet = 0xBEEF0D3Au;
constexpr uint32_t kMultiplexor = 0xBEEF0D25u;
constexpr uint32_t kPresets = 0xBEEF0D5Du;
constexpr uint32_t kPresetsV2 = 0xBEEF0D66u;
constexpr uint32_t kOverwrite = 0xBEEF0D5Cu;
constexpr uint32_t kPulse = 0xBEEF0D61u;

const ModClassDescriptor *const kTable[] = {
    &kve_modTimeOutClass.record,
    &kve_modTimeOutFract32Class.record,
    &kve_modStatusSetClass.record,
    &kve_modSampleMultiplexorControlClass.record,
    &kve_modPresetArrayHandlerClass.record,
    &kve_modPresetArrayHandlerV2Class.record,
    &kve_modOverwriteControlClass.record,
    &kve_modTriggeredPulseClass.record,
};

// Variable indices of both time-out forms.
enum : uint32_t { kTimeout, kAction, kGainDb, kCurrentGain, kTargetGain, kParam, kLength, kIndex, kCounter, kBlocks,
                  kSmoothingTime, kSmoothingCoeff, kPostShift, kGainScale };

uint32_t bits(float f) { return kvetest::bitsOf(f); }

class StateControl : public kvetest::ModuleFixture {
protected:
    void SetUp() override { useTable(kTable); }

    // A float time-out of 1 s at 48000 Hz, block 32, with a 0 dB target reached at once (smoothing 0 ms).
    ClassModule *timeOut(std::initializer_list<GenericWire *> wires, uint32_t wireWord, int32_t action,
                         uint32_t bufferLength = 0, float gainDb = 0.0f)
    {
        ClassModule *m = build(kTimeOut, wireWord, wires,
                               {bits(1.0f), static_cast<uint32_t>(action), bits(gainDb), bits(1.0f), bits(1.0f), 0,
                                bufferLength, 0, 0, 0, bits(0.0f), 0});
        if (m != nullptr)
            set(m);
        return m;
    }
    static void ramp(GenericWire *w, float from)
    {
        for (uint32_t i = 0; i < kve::kit::wireWords(w); ++i)
            data<float>(w)[i] = from + static_cast<float>(i);
    }
};

TEST_F(StateControl, TimeOutPassesItsBlocksThenActsUntilTheCounterIsWritten)
{
    GenericWire *in = engine_.wire(2, 32);
    GenericWire *out = engine_.wire(2, 32);
    ClassModule *m = timeOut({in, out}, 0x101, 0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(variable<int32_t>(m, kBlocks), 1500);
    for (int round = 0; round < 2; ++round) {
        for (int block = 1; block <= 1501; ++block) {
            ramp(in, static_cast<float>(block));
            std::fill_n(data<float>(out), 64, -1.0f);
            pump(m);
            const float expected = block <= 1500 ? static_cast<float>(block) + 5.0f : 0.0f;
            ASSERT_EQ(data<float>(out)[5], expected) << "round " << round << " block " << block;
        }
        EXPECT_EQ(variable<int32_t>(m, kCounter), 1500) << "the counter stays where it timed out";
        variable<int32_t>(m, kCounter) = 0;
    }
}

TEST_F(StateControl, TimeOutActionsAfterTheTimeOut)
{
    const struct {
        const char *what;
        int32_t action;
        float gainDb;
        float smoothingMs;
    } cases[] = {
        {"silence", 0, 0.0f, 0.0f},
        {"a smoothed gain, every wire on one ramp", 1, -6.0f, 1.0f},
        {"an unknown action writes nothing", 3, 0.0f, 0.0f},
        {"a negative action writes nothing", -1, 0.0f, 0.0f},
    };
    for (const auto &c : cases) {
        GenericWire *in[2] = {engine_.wire(3, 32), engine_.wire(3, 32)};
        GenericWire *out[2] = {engine_.wire(3, 32), engine_.wire(3, 32)};
        ClassModule *m = build(kTimeOut, 0x202, {in[0], in[1], out[0], out[1]},
                               {0, static_cast<uint32_t>(c.action), bits(c.gainDb), bits(1.0f), 0, 0, 0, 0, 0, 0,
                                bits(c.smoothingMs), 0});
        set(m);
        EXPECT_EQ(variable<int32_t>(m, kBlocks), 0) << c.what;
        float gain = 1.0f;
        for (int block = 0; block < 3; ++block) {
            for (int k = 0; k < 2; ++k) {
                ramp(in[k], 1.0f + 100.0f * k + block);
                std::fill_n(data<float>(out[k]), 96, 7.0f);
            }
            // The model: each wire from the same starting gain.
            std::vector<float> expected[2];
            float reached = gain;
            for (int k = 0; k < 2; ++k) {
                expected[k].assign(96, 7.0f);
                if (c.action == 0) {
                    expected[k].assign(96, 0.0f);
                } else if (c.action == 1) {
                    reached = gain;
                    kve_vecScaleSmooth_Nch(data<float>(in[k]), expected[k].data(), 3, &reached,
                                           variable<float>(m, kTargetGain), variable<float>(m, kSmoothingCoeff), 32);
                }
            }
            gain = reached;
            pump(m);
            for (int k = 0; k < 2; ++k)
                EXPECT_EQ(words<float>(out[k]), expected[k]) << c.what << " block " << block << " wire " << k;
        }
        if (c.action == 1) {
            EXPECT_NEAR(variable<float>(m, kTargetGain), 0.501187f, 1e-5f);
            EXPECT_EQ(variable<float>(m, kCurrentGain), gain);
            EXPECT_LT(gain, 1.0f);
        }
    }
}

TEST_F(StateControl, TimeOutPlaysItsBufferIntoEveryChannelOfEveryOutput)
{
    const struct {
        const char *what;
        int32_t length;  // as written by the layout
        int32_t index;   // as written by the layout
        int32_t firstPlayed; // -1: silence
    } cases[] = {
        {"a, b, c from a", 3, 0, 0},
        {"an index past the end wraps into the buffer", 3, 7, 1},
        {"a negative index wraps into the buffer", 3, -1, 2},
        {"a length past the buffer is clamped to it", 1000, 2, 2},
        {"an empty buffer gives silence", 0, 0, -1},
    };
    const float abc[] = {0.25f, -0.5f, 0.75f};
    for (const auto &c : cases) {
        GenericWire *in[2] = {engine_.wire(2, 8), engine_.wire(2, 8)};
        GenericWire *out[2] = {engine_.wire(2, 8), engine_.wire(2, 8)};
        ClassModule *m = build(kTimeOut, 0x202, {in[0], in[1], out[0], out[1]},
                               {0, 2, 0, bits(1.0f), 0, 0, c.firstPlayed < 0 ? 0u : 3u, 0, 0, 0, 0, 0});
        set(m);
        std::copy_n(abc, c.firstPlayed < 0 ? 0 : 3, kvetest::privateArray<float>(m, 12));
        variable<int32_t>(m, kLength) = c.length;
        variable<int32_t>(m, kIndex) = c.index;
        int32_t next = c.firstPlayed;
        for (int block = 0; block < 2; ++block) {
            ramp(in[0], 50.0f);
            pump(m);
            for (int k = 0; k < 2; ++k)
                for (uint32_t f = 0; f < 8; ++f)
                    for (uint32_t ch = 0; ch < 2; ++ch) {
                        const float expected = next < 0 ? 0.0f : abc[(next + static_cast<int32_t>(f)) % 3];
                        ASSERT_EQ(data<float>(out[k])[f * 2 + ch], expected)
                            << c.what << " block " << block << " output " << k << " frame " << f;
                    }
            if (next >= 0)
                next = (next + 8) % 3; // the sequence continues where the last block stopped
        }
        if (next >= 0)
            EXPECT_EQ(variable<int32_t>(m, kIndex), next) << c.what;
    }
}

TEST_F(StateControl, TimeOutFract32GainsAndPlayback)
{
    GenericWire *in = engine_.wire(2, 4);
    GenericWire *out = engine_.wire(2, 4);
    // 0 dB with a gain scale of 1.0 is the largest Fract32; 20 dB scaled by 0.05 and -6.0206 dB are one half.
    const struct {
        float gainDb;
        float gainScale;
        Fract32 target;
    } gains[] = {{0.0f, 1.0f, 0x7FFFFFFF}, {20.0f, 0.05f, 0x40000000}, {-6.0206f, 1.0f, 0x40000000}};
    for (const auto &g : gains) {
        ClassModule *m = build(kTimeOutFract32, 0x101, {in, out},
                               {0, 2, bits(g.gainDb), 0x7FFFFFFF, 0, 0, 2, 0, 0, 0, 0, 0, 0, bits(g.gainScale)});
        set(m);
        EXPECT_NEAR(variable<Fract32>(m, kTargetGain), g.target, 2000) << g.gainDb;
        EXPECT_EQ(variable<Fract32>(m, kSmoothingCoeff), 0x7FFFFFFF) << "0 ms reaches the target at once";
    }
    ClassModule *m = build(kTimeOutFract32, 0x101, {in, out},
                           {0, 2, 0, 0x7FFFFFFF, 0, 0, 2, 0, 0, 0, 0, 0, 0, bits(1.0f)});
    set(m);
    kvetest::privateArray<Fract32>(m, 14)[0] = 0x10000000;
    kvetest::privateArray<Fract32>(m, 14)[1] = -0x20000000;
    pump(m);
    for (uint32_t f = 0; f < 4; ++f)
        for (uint32_t ch = 0; ch < 2; ++ch)
            EXPECT_NEAR(data<Fract32>(out)[f * 2 + ch], f % 2 == 0 ? 0x10000000 : -0x20000000, 1) << f;
}

TEST_F(StateControl, TimeOutRefusesAShortWiring)
{
    int32_t status = KVE_OK;
    GenericWire *in = engine_.wire(1, 4);
    EXPECT_EQ(build(kTimeOut, 0x001, {in}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, &status), nullptr);
    EXPECT_NE(status, KVE_OK);
}

class StatusSetFixture : public StateControl {
protected:
    // Two time-outs to switch, and a StatusSet naming them (and an id that names a wire).
    void make(int32_t mode, uint32_t referencesAsked = 3)
    {
        state_ = engine_.wire(1, 1);
        for (auto &t : targets_)
            t = timeOut({engine_.wire(1, 4), engine_.wire(1, 4)}, 0x101, 0);
        ClassModule *m = build(kStatusSet, 0x001, {state_}, {static_cast<uint32_t>(mode), 0, 0, referencesAsked});
        status_ = m;
        const int32_t ids[] = {static_cast<int32_t>(targets_[0]->objectId),
                               static_cast<int32_t>(state_->objectId), static_cast<int32_t>(targets_[1]->objectId)};
        std::copy_n(ids, std::min<uint32_t>(referencesAsked, 3), kvetest::privateArray<int32_t>(m, 4));
        ASSERT_EQ(m->classRecord->set(m, 1u << 12), 0);
    }
    void feed(uint32_t state)
    {
        data<uint32_t>(state_)[0] = state;
        pump(status_);
    }
    void tick()
    {
        for (int i = 0; i < 4 && (status_->packed & KVE_PACKED_DEFERRED_SET) != 0; ++i)
            ASSERT_EQ(kve_fwTick(engine_.get()), KVE_OK);
    }
    std::vector<int32_t> states()
    {
        return {kve_fwGetModuleState(targets_[0]), kve_fwGetModuleState(targets_[1])};
    }
    GenericWire *state_ = nullptr;
    ClassModule *targets_[2] = {};
    ClassModule *status_ = nullptr;
};

TEST_F(StatusSetFixture, StatesChangeAtOnceOrThroughTheTick)
{
    for (int32_t mode : {0, 1, 2, 3}) {
        make(mode);
        const bool deferred = mode == 0 || mode == 2;
        for (uint32_t wanted : {2u, 1u, 7u, 3u}) {
            const int32_t state = wanted >= 4 ? 0 : static_cast<int32_t>(wanted);
            feed(wanted);
            if (deferred) {
                EXPECT_TRUE(status_->packed & KVE_PACKED_DEFERRED_SET) << "mode " << mode;
                tick();
            }
            EXPECT_EQ(states(), (std::vector<int32_t>{state, state})) << "mode " << mode << " input " << wanted;
            EXPECT_EQ(variable<int32_t>(status_, 2), state);
        }
    }
}

TEST_F(StatusSetFixture, ModesBeyondThreeAndCountsBeyondTheBuiltReferencesAreHarmless)
{
    make(4);
    feed(2);
    EXPECT_EQ(states(), (std::vector<int32_t>{0, 0})) << "mode 4 does nothing";

    make(1, 1);
    variable<int32_t>(status_, 3) = 1000; // more than were built
    ASSERT_EQ(status_->classRecord->set(status_, 1u << 12), 0);
    feed(2);
    EXPECT_EQ(states(), (std::vector<int32_t>{2, 0})) << "only the one reference built is used";
}

TEST_F(StateControl, MultiplexorPicksADataWirePerFrame)
{
    GenericWire *selector = engine_.wire(1, 6);
    GenericWire *sources[3] = {engine_.wire(2, 6), engine_.wire(2, 6), engine_.wire(2, 6)};
    GenericWire *out = engine_.wire(2, 6);
    ClassModule *m = build(kMultiplexor, 0x104, {selector, sources[0], sources[1], sources[2], out}, {});
    for (int k = 0; k < 3; ++k)
        ramp(sources[k], 100.0f * static_cast<float>(k));
    const int32_t picks[] = {0, 2, 1, -5, 9, 1};
    const int32_t wireUsed[] = {0, 2, 1, 0, 2, 1};
    std::copy_n(picks, 6, data<int32_t>(selector));
    pump(m);
    for (uint32_t f = 0; f < 6; ++f)
        for (uint32_t ch = 0; ch < 2; ++ch)
            EXPECT_EQ(data<float>(out)[f * 2 + ch], 100.0f * static_cast<float>(wireUsed[f]) + f * 2 + ch) << f;
    m->classRecord->bypass(m);
    EXPECT_EQ(words<float>(out), words<float>(sources[0]));
}

TEST_F(StateControl, TriggeredPulseLastsItsLengthAndARisingEdgeLengthensIt)
{
    const struct {
        const char *what;
        std::vector<int32_t> triggers; // per 32-sample block
        int32_t ones;                  // samples of the pulse
    } cases[] = {
        {"10 ms at 48000 Hz", {1, 1, 1, 0, 0}, 480},
        {"a second edge during the pulse", {1, 0, 0, 1, 0}, 960},
        {"a held trigger is one edge", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 480},
        {"no edge, no pulse", {0, 2, 0}, 0},
    };
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(1, 1);
        GenericWire *out = engine_.wire(1, 32);
        ClassModule *m = build(kPulse, 0x101, {in, out}, {bits(10.0f), 0, 0, 0, 0, 0});
        set(m);
        EXPECT_EQ(variable<int32_t>(m, 1), 480);
        int32_t ones = 0;
        int32_t zerosAfterOnes = 0;
        for (int block = 0; block < 40; ++block) {
            data<int32_t>(in)[0] = block < static_cast<int>(c.triggers.size()) ? c.triggers[block] : 0;
            pump(m);
            for (int32_t v : words<int32_t>(out)) {
                ASSERT_TRUE(v == 0 || v == 1);
                ones += v;
                zerosAfterOnes += (v == 1 && zerosAfterOnes > 0) ? 1000 : (v == 0 && ones > 0 ? 1 : 0);
            }
        }
        EXPECT_EQ(ones, c.ones) << c.what;
        EXPECT_LT(zerosAfterOnes, 1000) << c.what << ": one unbroken pulse";
        EXPECT_EQ(variable<int32_t>(m, 5), 0) << c.what << ": inactive once over";
    }
}

TEST_F(StateControl, OverwriteControlReplacesFlaggedChannels)
{
    GenericWire *in = engine_.wire(4, 1);
    GenericWire *out = engine_.wire(4, 1);
    for (int32_t convert : {0, 1}) {
        ClassModule *m = build(kOverwrite, 0x101, {in, out}, {static_cast<uint32_t>(convert)});
        const int32_t flags[] = {1, 0, 1, 2};
        const float values[] = {-2.75f, 9.0f, 1e20f, 4.0f};
        std::copy_n(flags, 4, kvetest::privateArray<int32_t>(m, 1));
        std::copy_n(values, 4, kvetest::privateArray<float>(m, 2));
        const float x[] = {0.5f, 1.5f, 2.5f, 3.5f};
        std::copy_n(x, 4, data<float>(in));
        pump(m);
        const uint32_t *y = data<uint32_t>(out);
        EXPECT_EQ(y[1], bits(1.5f));
        EXPECT_EQ(y[3], bits(3.5f)) << "only a flag of 1 overwrites";
        if (convert == 1) {
            EXPECT_EQ(static_cast<int32_t>(y[0]), -2);
            EXPECT_EQ(static_cast<int32_t>(y[2]), INT32_MAX) << "a value past the integers saturates";
        } else {
            EXPECT_EQ(y[0], bits(-2.75f));
            EXPECT_EQ(y[2], bits(1e20f));
        }
    }
}

class PresetFixture : public StateControl {
protected:
    // A time-out whose buffer of `length` floats is the target array.
    ClassModule *target(uint32_t length)
    {
        ClassModule *t = timeOut({engine_.wire(1, 4), engine_.wire(1, 4)}, 0x101, 2, length);
        std::fill_n(kvetest::privateArray<float>(t, 12), length, -9.0f);
        return t;
    }
    static void aim(ClassModule *handler, uint32_t firstTarget, ClassModule *t)
    {
        float *array = kvetest::privateArray<float>(t, 12);
        std::memcpy(reinterpret_cast<char *>(handler) + kve_ClassVariableOffsets(handler->classRecord)[firstTarget],
                    &t, sizeof t);
        std::memcpy(reinterpret_cast<char *>(handler) +
                        kve_ClassVariableOffsets(handler->classRecord)[firstTarget + 1],
                    &array, sizeof array);
    }
};

TEST_F(PresetFixture, PresetsCombineIntoTheTargetAsNumpyDoes)
{
    const struct {
        uint32_t classId;
        uint32_t firstTarget;
        int32_t presets, rows, cols, mode;
    } cases[] = {
        {kPresets, 6, 3, 2, 3, 0},   {kPresets, 6, 3, 2, 3, 1},  {kPresetsV2, 16, 4, 3, 2, 0},
        {kPresetsV2, 16, 4, 3, 2, 7}, {kPresets, 6, 0, 2, 3, 0},  {kPresetsV2, 16, 0, 2, 3, 1},
        {kPresetsV2, 16, 12, 6, 1, 1},
    };
    std::mt19937 rng(19);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    for (const auto &c : cases) {
        const auto n = static_cast<uint32_t>(c.presets * c.rows * c.cols);
        ClassModule *m = build(c.classId, 0, {},
                               {static_cast<uint32_t>(c.presets), static_cast<uint32_t>(c.rows),
                                static_cast<uint32_t>(c.cols), static_cast<uint32_t>(c.mode), 0});
        ASSERT_NE(m, nullptr);
        ClassModule *t = target(8);
        aim(m, c.firstTarget, t);
        std::vector<std::string> args = {std::to_string(c.presets), std::to_string(c.rows), std::to_string(c.cols),
                                         std::to_string(c.mode)};
        float *stored = kvetest::privateArray<float>(m, 5);
        for (uint32_t i = 0; i < n; ++i) {
            stored[i] = value(rng);
            args.push_back(kvetest::oracleArg(stored[i]));
        }
        // Triggered: the tick's Set combines.
        variable<int32_t>(m, 4) = 1;
        pump(m);
        EXPECT_EQ(variable<int32_t>(m, 4), 0);
        for (int i = 0; i < 4 && (m->packed & KVE_PACKED_DEFERRED_SET) != 0; ++i)
            ASSERT_EQ(kve_fwTick(engine_.get()), KVE_OK);
        const float *array = kvetest::privateArray<float>(t, 12);
        std::vector<double> expected = n == 0 ? std::vector<double>(static_cast<size_t>(c.rows * c.cols),
                                                                    c.mode == 0 ? 1.0 : 0.0)
                                              : kvetest::runOracle("preset_combination.py", args);
        ASSERT_EQ(expected.size(), static_cast<size_t>(c.rows * c.cols));
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_NEAR(array[i], expected[i], 1e-5 * (1.0 + std::fabs(expected[i]))) << c.classId << " " << i;
        for (size_t i = expected.size(); i < 8; ++i)
            EXPECT_EQ(array[i], -9.0f) << "past the combined values";
        EXPECT_EQ(variable<float>(t, kTargetGain), 1.0f) << "the target was Set";
        if (c.classId == kPresetsV2)
            for (int32_t p = 0; p < 10; ++p)
                EXPECT_EQ(kvetest::privateArray<float>(m, 6 + static_cast<uint32_t>(p)),
                          p < c.presets ? stored + p * c.rows * c.cols : nullptr);
    }
}

TEST_F(PresetFixture, PresetsNeverWritePastTheTargetOrActWithoutOne)
{
    for (uint32_t classId : {kPresets, kPresetsV2}) {
        const uint32_t firstTarget = classId == kPresets ? 6 : 16;
        ClassModule *m = build(classId, 0, {}, {2, 3, 2, 1, 0});
        EXPECT_EQ(m->classRecord->set(m, KVE_MASK_ALL), -96) << "no targets";
        variable<int32_t>(m, 4) = 1;
        EXPECT_EQ(m->classRecord->set(m, KVE_MASK_ALL), 0) << "no targets, triggered";
        pump(m);
        EXPECT_EQ(variable<int32_t>(m, 4), 1) << "no targets, no request";
        ClassModule *t = target(5); // one value short of 3 x 2
        aim(m, firstTarget, t);
        EXPECT_EQ(m->classRecord->set(m, KVE_MASK_ALL), KVE_E_BAD_ARGUMENT);
        for (uint32_t i = 0; i < 5; ++i)
            EXPECT_EQ(kvetest::privateArray<float>(t, 12)[i], -9.0f);
        // Counts the host rewrote past the stored presets are not read.
        ClassModule *big = target(64);
        aim(m, firstTarget, big);
        variable<int32_t>(m, 0) = 1 << 20;
        EXPECT_EQ(m->classRecord->set(m, KVE_MASK_ALL), KVE_E_BAD_ARGUMENT);
        if (classId == kPresets) {
            variable<int32_t>(m, 0) = 2;
            EXPECT_EQ(m->classRecord->set(m, 1u << 12), 0) << "acts only on its data";
            EXPECT_EQ(kvetest::privateArray<float>(big, 12)[0], -9.0f);
        }
    }
}

} // namespace
