// Module states and the shared mute, inactive and bypass functions.
#include <gtest/gtest.h>

#include <vector>

#include "kve/kve_vec.h"
#include "support/TestEngine.h"
#include "support/TestModules.h"

namespace {

using kvetest::bitsOf;
using kvetest::TestEngine;

void fillRamp(GenericWire *w, float start)
{
    auto *x = static_cast<float *>(w->buffer);
    const uint32_t n = KVE_WIRE_CHANNELS(w->info1) * KVE_WIRE_BLOCK_SIZE(w->info2);
    for (uint32_t i = 0; i < n; ++i)
        x[i] = start + static_cast<float>(i);
}

std::vector<float> samples(const GenericWire *w)
{
    const auto *x = static_cast<const float *>(w->buffer);
    return {x, x + KVE_WIRE_CHANNELS(w->info1) * KVE_WIRE_BLOCK_SIZE(w->info2)};
}

// A module of the test gain class on arbitrary wires, built without running its constructor's checks.
ClassModule *bareModule(TestEngine &engine, uint32_t wireWord, std::vector<GenericWire *> wires)
{
    int32_t status = KVE_OK;
    const uint32_t args[] = {bitsOf(1.0f), 1};
    return BaseClassModule_Constructor2(engine.get(), &kvetest::kGainClass.record, &status, wireWord, wires.data(),
                                        2, args);
}

TEST(ModuleStates, EachStateChoosesItsProcessFunction)
{
    TestEngine engine;
    GenericWire *in = engine.wire(2, 4);
    GenericWire *out = engine.wire(2, 4);
    ClassModule *m = engine.module(kvetest::kGainClassId, 0x101, {in, out}, {bitsOf(3.0f), 2});
    fillRamp(in, 1.0f);
    struct Case {
        uint32_t state;
        int32_t reported;
        std::vector<float> output; // after filling the output with 7s and running one block
    } cases[] = {
        {KVE_STATE_ACTIVE, 0, {3, 6, 9, 12, 15, 18, 21, 24}},
        {KVE_STATE_BYPASSED, 1, {1, 2, 3, 4, 5, 6, 7, 8}},
        {KVE_STATE_MUTED, 2, {0, 0, 0, 0, 0, 0, 0, 0}},
        {KVE_STATE_INACTIVE, 3, {7, 7, 7, 7, 7, 7, 7, 7}},
        {7, 3, {7, 7, 7, 7, 7, 7, 7, 7}}, // any other value is inactive
    };
    for (const Case &c : cases) {
        ASSERT_EQ(kve_fwSetModuleState(m, c.state), KVE_OK);
        EXPECT_EQ(kve_fwGetModuleState(m), c.reported);
        EXPECT_EQ(m->packed & 0xFFFFFFu, 0x101u) << "wire counts untouched";
        kve_vecFill(static_cast<float *>(out->buffer), 1, 7.0f, 8);
        EXPECT_EQ(kve_fwPumpModule(engine.get(), m), KVE_OK);
        EXPECT_EQ(samples(out), c.output) << "state " << c.state;
    }
    EXPECT_EQ(kve_fwSetModuleState(reinterpret_cast<ClassModule *>(in), 0), KVE_E_NOT_A_MODULE);
    EXPECT_EQ(kve_fwGetModuleState(nullptr), KVE_E_NOT_A_MODULE);
    EXPECT_EQ(kve_fwPumpModule(engine.get(), reinterpret_cast<ClassModule *>(in)), KVE_E_NOT_A_MODULE);
}

TEST(Bypass, MatchUpPairsOutputsWithTheFirstUnusedInputOfTheSameShape)
{
    TestEngine engine;
    GenericWire *stereo = engine.wire(2, 4);
    GenericWire *mono = engine.wire(1, 4);
    GenericWire *outMono = engine.wire(1, 4);
    GenericWire *outStereo = engine.wire(2, 4);
    GenericWire *outMono2 = engine.wire(1, 4);
    fillRamp(stereo, 10.0f);
    fillRamp(mono, 100.0f);
    fillRamp(outMono2, 5.0f);
    ClassModule *m = bareModule(engine, 0x302, {stereo, mono, outMono, outStereo, outMono2});
    IOMatchUpModule_Bypass(m);
    EXPECT_EQ(samples(outMono), samples(mono));
    EXPECT_EQ(samples(outStereo), samples(stereo));
    EXPECT_EQ(samples(outMono2), std::vector<float>(4, 0.0f)) << "no input left: silence, not stale data";
}

TEST(Bypass, AcrossCopiesChannelsAndSilencesTheRest)
{
    TestEngine engine;
    GenericWire *two = engine.wire(2, 3);
    GenericWire *four = engine.wire(4, 3);
    fillRamp(two, 1.0f);
    fillRamp(four, 50.0f);
    IOAcrossModule_Bypass(bareModule(engine, 0x101, {two, four}));
    EXPECT_EQ(samples(four), (std::vector<float>{1, 2, 0, 0, 3, 4, 0, 0, 5, 6, 0, 0}));

    GenericWire *narrow = engine.wire(2, 3);
    fillRamp(four, 1.0f);
    IOAcrossModule_Bypass(bareModule(engine, 0x101, {four, narrow}));
    EXPECT_EQ(samples(narrow), (std::vector<float>{1, 2, 5, 6, 9, 10}));

    // Complex wires: two words per sample, real and imaginary parts moved as pairs.
    int32_t status = KVE_OK;
    GenericWire *cin = ClassWire_Constructor(engine.get(), &status, 0, (4u << 28) | (1u << 27) | 1, 4, 0);
    GenericWire *cout = ClassWire_Constructor(engine.get(), &status, 0, (4u << 28) | (1u << 27) | 2, 4, 0);
    fillRamp(cin, 1.0f);
    fillRamp(cout, 9.0f);
    IOAcrossModule_Bypass(bareModule(engine, 0x101, {cin, cout}));
    EXPECT_EQ(samples(cout), (std::vector<float>{1, 2, 0, 0, 3, 4, 0, 0}));

    GenericWire *longer = engine.wire(1, 8);
    GenericWire *shorter = engine.wire(1, 2);
    fillRamp(longer, 1.0f);
    IOAcrossModule_Bypass(bareModule(engine, 0x101, {longer, shorter}));
    EXPECT_EQ(samples(shorter), (std::vector<float>{1, 2})) << "never past the output's block";
}

TEST(Bypass, MatchCopiesPairsWithinBothWires)
{
    TestEngine engine;
    GenericWire *big = engine.wire(2, 4);
    GenericWire *small = engine.wire(1, 4);
    GenericWire *out0 = engine.wire(1, 4);
    GenericWire *out1 = engine.wire(2, 4);
    fillRamp(big, 1.0f);
    fillRamp(small, 20.0f);
    IOMatchModule_Bypass(bareModule(engine, 0x202, {big, small, out0, out1}));
    EXPECT_EQ(samples(out0), (std::vector<float>{1, 2, 3, 4})) << "cut to the smaller wire";
    EXPECT_EQ(samples(out1), (std::vector<float>{20, 21, 22, 23, 0, 0, 0, 0}));

    GenericWire *extraIn = engine.wire(1, 4);
    IOMatchModule_Bypass(bareModule(engine, 0x102, {small, extraIn, out0}));
    EXPECT_EQ(samples(out0), samples(small)) << "inputs beyond the outputs are ignored";
}

TEST(Bypass, AllOnesFillsEveryOutput)
{
    TestEngine engine;
    GenericWire *in = engine.wire(1, 2);
    GenericWire *out = engine.wire(3, 2);
    IOAllOnesModule_Bypass(bareModule(engine, 0x101, {in, out}));
    EXPECT_EQ(samples(out), std::vector<float>(6, 1.0f));
}

} // namespace
