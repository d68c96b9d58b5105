// Counters, the toggle button, the debouncer, the preset trigger and the pin placeholder, against sequences worked
// out by hand from their definitions.
#include "ControlTestSupport.h"

namespace controltest {
namespace {

struct CounterCase {
    uint32_t maxCount;
    std::vector<uint32_t> expected;
};

// 32-sample blocks against one count per 48 samples: at most one increment a block, the remainder carried.
TEST_F(Control, CounterCountsSamplesAtMostOncePerBlockAndWraps)
{
    const CounterCase cases[] = {
        {0, {0, 1, 2, 2, 3, 4, 4, 5}},
        {3, {0, 1, 2, 2, 0, 1, 1, 2}},
    };
    for (const CounterCase &c : cases) {
        GenericWire *in = wire();
        GenericWire *out = wire();
        ClassModule *m = build(0xBEEF085Cu, wiring(1, 1), {in, out}, {0x3F800000u, c.maxCount, 0, 0, 48});
        ASSERT_NE(m, nullptr);
        for (size_t b = 0; b < c.expected.size(); ++b) {
            pump(m);
            EXPECT_EQ(words(out)[0], c.expected[b]) << "maxCount " << c.maxCount << " block " << b;
        }
    }
}

TEST_F(Control, CounterKeepsCountingWhenBypassed)
{
    GenericWire *in = wire();
    GenericWire *out = wire();
    ClassModule *m = build(0xBEEF085Cu, wiring(1, 1), {in, out}, {0, 0, 0, 0, 32});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
    for (uint32_t b = 1; b <= 3; ++b) {
        pump(m);
        EXPECT_EQ(words(out)[0], b);
    }
}

TEST_F(Control, BlockCounterStartsFromItsArgument)
{
    GenericWire *out = wire();
    ClassModule *m = build(0xBEEF085Bu, wiring(0, 1), {out}, {5});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ(words(out)[0], 6u);
    pump(m);
    EXPECT_EQ(words(out)[0], 7u);
}

TEST_F(Control, ToggleButtonFlipsOnRisingValues)
{
    GenericWire *in = wire();
    GenericWire *out = wire();
    ClassModule *m = build(0xBEEF0828u, wiring(1, 1), {in, out}, {0, 0});
    ASSERT_NE(m, nullptr);
    // Signed: -5 after 0 is no rise, 3 after -5 is.
    const int32_t inputs[] = {0, 1, 1, 0, 1, -5, 3, 2};
    const uint32_t expected[] = {0, 1, 1, 1, 0, 0, 1, 1};
    for (size_t b = 0; b < std::size(inputs); ++b) {
        std::memcpy(words(in), &inputs[b], 4);
        pump(m);
        EXPECT_EQ(words(out)[0], expected[b]) << "block " << b;
    }
}

TEST_F(Control, ToggleButtonBypassedCopiesItsInputAcross)
{
    GenericWire *in = wire(1, 4);
    GenericWire *out = wire(1, 4);
    ClassModule *m = build(0xBEEF0828u, wiring(1, 1), {in, out}, {0, 0});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
    for (uint32_t i = 0; i < 4; ++i)
        words(in)[i] = 10 + i;
    pump(m);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(words(out)[i], 10 + i);
    EXPECT_EQ(var(m, 1), 0u); // no toggle
}

TEST_F(Control, DebounceWaitInBlocksFromSingleFloatArithmetic)
{
    struct Case {
        float waitMs;
        uint32_t block;
        int32_t blocks;
    };
    // 10 ms of 32-sample blocks at 48 kHz: 0.01 / (32 / 48000) lands just above 15 in single precision, so 16 - 1.
    const Case cases[] = {{10.0f, 32, 15}, {1.5f, 32, 2}, {0.0f, 32, 0}, {-3.0f, 32, 0}, {0.5f, 32, 0}};
    for (const Case &c : cases) {
        GenericWire *in = wire(1, c.block);
        GenericWire *out = wire(1, c.block);
        uint32_t bits;
        std::memcpy(&bits, &c.waitMs, 4);
        ClassModule *m = build(0xBEEF0821u, wiring(1, 1), {in, out}, {bits, 0, 0, 0});
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(ClassModule_Set(m, KVE_MASK_ALL), KVE_OK);
        EXPECT_EQ(static_cast<int32_t>(var(m, 2)), c.blocks) << c.waitMs << " ms";
    }
    // Not a number holds nothing rather than converting an undefined value.
    GenericWire *in = wire();
    GenericWire *out = wire();
    ClassModule *m = build(0xBEEF0821u, wiring(1, 1), {in, out}, {0x7FC00000u, 0, 0, 0});
    ASSERT_NE(m, nullptr);
    ClassModule_Set(m, KVE_MASK_ALL);
    EXPECT_EQ(var(m, 2), 0u);
}

// A change passes at once; the following waitBlocks blocks hold it whatever comes in.
TEST_F(Control, DebouncePassesAChangeThenHoldsIt)
{
    GenericWire *in = wire(2, 4);
    GenericWire *out = wire(2, 4);
    ClassModule *m = build(0xBEEF0821u, wiring(1, 1), {in, out}, {0, 0, 0, 0});
    ASSERT_NE(m, nullptr);
    var(m, 2) = 2; // waitBlocks, as a host may write it
    const uint32_t inputs[] = {1, 2, 3, 3, 4, 4, 4, 5, 5};
    const uint32_t expected[] = {1, 1, 1, 3, 3, 3, 4, 4, 4};
    for (size_t b = 0; b < std::size(inputs); ++b) {
        for (uint32_t i = 0; i < 8; ++i)
            words(in)[i] = inputs[b] * 100 + i;
        pump(m);
        for (uint32_t i = 0; i < 8; ++i)
            ASSERT_EQ(words(out)[i], expected[b] * 100 + i) << "block " << b << " word " << i;
    }
    // A reset takes the present block and restarts the hold.
    var(m, 3) = 1;
    for (uint32_t i = 0; i < 8; ++i)
        words(in)[i] = 900 + i;
    pump(m);
    EXPECT_EQ(words(out)[7], 907u);
    EXPECT_EQ(var(m, 3), 0u);
    EXPECT_EQ(static_cast<int32_t>(var(m, 1)), 1);
}

// An output smaller than the input gets only what it holds (the sanitizer build sees any overrun).
TEST_F(Control, DebounceWritesNoFurtherThanItsOutput)
{
    GenericWire *in = wire(2, 8);
    GenericWire *out = wire(1, 3);
    ClassModule *m = build(0xBEEF0821u, wiring(1, 1), {in, out}, {0, 0, 0, 0});
    ASSERT_NE(m, nullptr);
    for (uint32_t i = 0; i < 16; ++i)
        words(in)[i] = i + 1;
    pump(m);
    EXPECT_EQ(words(out)[0], 1u);
    EXPECT_EQ(words(out)[2], 3u);
}

TEST_F(Control, ApplyPresetAsksForATickOnANonZeroChange)
{
    GenericWire *in = wire();
    ClassModule *m = build(0xBEEF0FD1u, wiring(1, 0), {in}, {0});
    ASSERT_NE(m, nullptr);
    const uint32_t *block = ptr<uint32_t>(m, 1);
    ASSERT_NE(block, nullptr);
    for (uint32_t i = 0; i < 14; ++i)
        EXPECT_EQ(block[i], 0u);
    words(in)[0] = 0;
    pump(m);
    EXPECT_FALSE(deferred(m)); // no change
    words(in)[0] = 3;
    pump(m);
    EXPECT_TRUE(deferred(m));
    EXPECT_EQ(var(m, 0), 3u);
    m->packed &= ~KVE_PACKED_DEFERRED_SET;
    pump(m);
    EXPECT_FALSE(deferred(m)); // same trigger
    words(in)[0] = 0;
    pump(m);
    EXPECT_FALSE(deferred(m)); // a change to zero applies nothing
    EXPECT_EQ(var(m, 0), 0u);
    EXPECT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
}

TEST_F(Control, GPIOCarriesItsPinArrays)
{
    ClassModule *m = build(0xBEEF085Du, wiring(0, 0), {}, {4, 1, 2});
    ASSERT_NE(m, nullptr);
    ASSERT_NE(ptr<uint32_t>(m, 3), nullptr);
    ASSERT_NE(ptr<uint32_t>(m, 4), nullptr);
    EXPECT_EQ(kve_fwModuleHiddenWords(m)[0], 4u);
    EXPECT_EQ(kve_fwModuleHiddenWords(m)[1], 4u);
    pump(m);
    EXPECT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
    // More pins than the heaps hold: nothing built, and the status says so.
    int32_t status = KVE_OK;
    EXPECT_EQ(build(0xBEEF085Du, wiring(0, 0), {}, {0x40000000u, 0, 0}, &status), nullptr);
    EXPECT_NE(status, KVE_OK);
}

TEST_F(Control, ShortWiringIsRefused)
{
    GenericWire *w = wire();
    const uint32_t ids[] = {0xBEEF08A9u, 0xBEEF08AAu, 0xBEEF085Bu, 0xBEEF085Cu, 0xBEEF0821u, 0xBEEF0828u, 0xBEEF0FD1u};
    for (uint32_t id : ids) {
        int32_t status = KVE_OK;
        EXPECT_EQ(build(id, wiring(0, 0), {w}, {0, 0, 0, 0, 0}, &status), nullptr) << std::hex << id;
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << id;
    }
}

} // namespace
} // namespace controltest
