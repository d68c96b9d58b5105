// The host-fed sources and sinks: a host's channel-major array goes out on an interleaved wire and comes back, a
// complex wire as real and imaginary pairs, from the heap the host arrays live in, within what was built.
#include <algorithm>
#include <cstring>

#include "SourcesTestSupport.h"

namespace sourcestest {
namespace {

// Channel-major 1..8 for two channels of four frames, and the same on the wire.
const Words kChannelMajor = {1, 2, 3, 4, 5, 6, 7, 8};
const Words kInterleaved = {1, 5, 2, 6, 3, 7, 4, 8};

// Index of `value` among each class's variables.
uint32_t arrayIndex(uint32_t classId) { return classId == kSink || classId == kSinkFract32 ? 1 : 0; }

TEST_F(SourcesTable, SourcesInterleaveTheHostsChannelBlocks)
{
    for (uint32_t id : {kSource, kSourceFract32, kSourceInt, kBooleanSource}) {
        GenericWire *out = wire(2, 4);
        ClassModule *m = build(id, 0x100, {out});
        ASSERT_NE(m, nullptr) << std::hex << id;
        std::memcpy(array(m, 0), kChannelMajor.data(), 8 * 4);
        fill(out, Words(8, 0xDEAD));
        pump(m);
        EXPECT_EQ(words(out), kInterleaved) << std::hex << id;
    }
}

TEST_F(SourcesTable, SinksGatherTheWireIntoChannelBlocks)
{
    for (uint32_t id : {kSink, kSinkFract32, kSinkInt, kBooleanSink}) {
        GenericWire *in = wire(2, 4);
        ClassModule *m = build(id, 0x1, {in});
        ASSERT_NE(m, nullptr) << std::hex << id;
        fill(in, kInterleaved);
        pump(m);
        const uint32_t *v = array(m, arrayIndex(id));
        EXPECT_EQ(Words(v, v + 8), kChannelMajor) << std::hex << id;
    }
}

// On a complex wire a channel's block is block / 2 (re, im) pairs; the float and Fract32 classes keep the pairs
// together, the integer classes copy word by word as on any wire.
TEST_F(SourcesTable, ComplexWiresCarryRealAndImaginaryPairs)
{
    struct Case {
        uint32_t source, sink, channels, block;
        Words channelMajor, onWire;
    };
    const Case cases[] = {
        // Channel 0 holds (1 + 2i, 3 + 4i), channel 1 (5 + 6i, 7 + 8i).
        {kSource, kSink, 2, 4, kChannelMajor, {1, 2, 5, 6, 3, 4, 7, 8}},
        {kSourceFract32, kSinkFract32, 2, 4, kChannelMajor, {1, 2, 5, 6, 3, 4, 7, 8}},
        {kSource, kSink, 3, 2, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}},
        {kSource, kSink, 1, 6, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}},
        {kSourceInt, kSinkInt, 2, 4, kChannelMajor, kInterleaved},
        {kBooleanSource, kBooleanSink, 2, 4, kChannelMajor, kInterleaved},
    };
    for (const Case &c : cases) {
        GenericWire *w = wire(c.channels, c.block, true);
        ClassModule *source = build(c.source, 0x100, {w});
        ClassModule *sink = build(c.sink, 0x1, {w});
        ASSERT_NE(source, nullptr);
        ASSERT_NE(sink, nullptr);
        const size_t n = c.channelMajor.size();
        std::memcpy(array(source, 0), c.channelMajor.data(), n * 4);
        pump(source);
        EXPECT_EQ(words(w), c.onWire) << std::hex << c.source << " on " << c.channels << " channels";
        pump(sink);
        const uint32_t *kept = array(sink, arrayIndex(c.sink));
        EXPECT_EQ(Words(kept, kept + n), c.channelMajor) << std::hex << c.sink;
    }
}

TEST_F(SourcesTable, IntegerSinkBuildsTwiceTheArrayForAComplexWire)
{
    ClassModule *plain = build(kSinkInt, 0x1, {wire(2, 4)});
    ClassModule *complex = build(kSinkInt, 0x1, {wire(2, 4, true)});
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(complex, nullptr);
    EXPECT_EQ(kve::kit::capacity(plain, 0), 8u);
    EXPECT_EQ(kve::kit::capacity(complex, 0), 16u);
}

// The host arrays come from heap 2, the one a host reaches them in, except the logic sink's, which takes the
// default list (heap 1 first); all start silent.
TEST_F(SourcesTable, HostArraysStartSilentInTheirHeaps)
{
    struct Case {
        uint32_t id, wireWord;
        bool heap2;
    };
    const Case cases[] = {{kSource, 0x100, true},  {kSourceFract32, 0x100, true}, {kSourceInt, 0x100, true},
                          {kBooleanSource, 0x100, true}, {kSink, 0x1, true},       {kSinkFract32, 0x1, true},
                          {kSinkInt, 0x1, true},   {kBooleanSink, 0x1, false}};
    for (const Case &c : cases) {
        GenericWire *w = wire(2, 8);
        fill(w, Words(16, 0xDEAD));
        ClassModule *m = build(c.id, c.wireWord, {w});
        ASSERT_NE(m, nullptr) << std::hex << c.id;
        const uint32_t *p = array(m, arrayIndex(c.id));
        const uint32_t *heap = c.heap2 ? engine_->heap2Base : engine_->heap1Base;
        const uint32_t size = c.heap2 ? engine_->heap2Size : engine_->heap1Size;
        EXPECT_TRUE(p >= heap && p + 16 <= heap + size) << std::hex << c.id;
        EXPECT_EQ(Words(p, p + 16), Words(16, 0)) << std::hex << c.id;
        if (c.wireWord == 0x100) {
            pump(m);
            EXPECT_EQ(words(w), Words(16, 0)) << std::hex << c.id;
        }
    }
    // The reserved pair is allocated with the sink and left alone.
    ClassModule *sink = build(kSink, 0x1, {wire(1, 4)});
    ASSERT_NE(sink, nullptr);
    EXPECT_NE(array(sink, 2), nullptr);
    EXPECT_EQ(kve::kit::capacity(sink, 1), 2u);
}

// A wire wider than the array built for it (the module moved onto another wire) is served only for the channels the
// array holds whole: a source leaves the rest silent and reads nothing past its array, a sink writes nothing past
// its array. The arrays stand next to each other in the heap: sink, source, then a second sink holding a sentinel.
TEST_F(SourcesTable, WireWiderThanTheArrayMovesOnlyWholeChannels)
{
    GenericWire *narrow = wire(1, 4);
    GenericWire *wide = wire(3, 4);
    ClassModule *sink = build(kSink, 0x1, {narrow});
    ClassModule *source = build(kSource, 0x100, {narrow});
    ClassModule *next = build(kSink, 0x1, {narrow});
    ASSERT_NE(sink, nullptr);
    ASSERT_NE(source, nullptr);
    ASSERT_NE(next, nullptr);
    std::memcpy(array(source, 0), kChannelMajor.data(), 4 * 4);
    std::fill(array(next, 1), array(next, 1) + 4, 0xAAAAu);
    source->wires[0] = wide;
    sink->wires[0] = wide;
    fill(wide, Words(12, 0xDEAD));
    pump(source);
    EXPECT_EQ(words(wide), (Words{1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0}));
    fill(wide, {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2});
    pump(sink);
    EXPECT_EQ(Words(array(sink, 1), array(sink, 1) + 4), (Words{9, 6, 3, 0}));
    EXPECT_EQ(Words(array(source, 0), array(source, 0) + 4), (Words{1, 2, 3, 4}));
}

// A source has no audio input and a controlled source needs its control wire: other wirings are refused with -4
// before a wire is read.
TEST_F(SourcesTable, WiringsTheClassDoesNotTakeAreRefused)
{
    struct Case {
        uint32_t id, wireWord, wires;
        int32_t status;
    };
    const Case cases[] = {
        {kSource, 0x101, 2, KVE_E_ARG_COUNT},           {kSource, 0x0, 0, KVE_E_ARG_COUNT},
        {kZeroSource, 0x1, 1, KVE_E_ARG_COUNT},         {kDCSource, 0x101, 2, KVE_E_ARG_COUNT},
        {kSink, 0x0, 0, KVE_E_ARG_COUNT},               {kSinkInt, 0x0, 0, KVE_E_ARG_COUNT},
        {kDCSourceControl, 0x100, 1, KVE_E_ARG_COUNT},  {kDCSourceControlFract32, 0x100, 1, KVE_E_ARG_COUNT},
        {kDCSourceV2, 0x102, 3, KVE_E_ARG_COUNT},       {kDCSourceV2, 0x101, 2, KVE_OK},
        {kDCSourceV2Fract32, 0x100, 1, KVE_OK},         {kNullSink, 0x0, 0, KVE_OK},
        {kNullSinkV2, 0x3, 3, KVE_OK},                  {kSink, 0x2, 2, KVE_OK},
    };
    for (const Case &c : cases) {
        GenericWire *a = wire(2, 4);
        GenericWire *b = wire(2, 4);
        GenericWire *d = wire(2, 4);
        int32_t status = KVE_OK;
        ClassModule *m = nullptr;
        switch (c.wires) {
        case 0: m = build(c.id, c.wireWord, {}, {}, &status); break;
        case 1: m = build(c.id, c.wireWord, {a}, {}, &status); break;
        case 2: m = build(c.id, c.wireWord, {a, b}, {}, &status); break;
        default: m = build(c.id, c.wireWord, {a, b, d}, {}, &status); break;
        }
        EXPECT_EQ(status, c.status) << std::hex << c.id << " wired " << c.wireWord;
        EXPECT_EQ(m != nullptr, c.status == KVE_OK) << std::hex << c.id << " wired " << c.wireWord;
    }
}

TEST_F(SourcesTable, NullSinksLeaveTheirWiresAlone)
{
    for (uint32_t id : {kNullSink, kNullSinkV2}) {
        GenericWire *a = wire(2, 4);
        GenericWire *b = wire(1, 4);
        fill(a, kInterleaved);
        fill(b, {9, 9, 9, 9});
        ClassModule *m = build(id, 0x2, {a, b});
        ASSERT_NE(m, nullptr);
        pump(m);
        ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
        pump(m);
        EXPECT_EQ(words(a), kInterleaved);
        EXPECT_EQ(words(b), (Words{9, 9, 9, 9}));
    }
}

} // namespace
} // namespace sourcestest
