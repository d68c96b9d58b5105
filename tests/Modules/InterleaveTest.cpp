// Interleave and Deinterleave: channels of several wires gathered into one wire in wire order, and split back.
#include <cstring>

#include "RoutersTestSupport.h"

namespace routertest {
namespace {

constexpr uint32_t kInterleave = 0xBEEF0862u;
constexpr uint32_t kDeinterleave = 0xBEEF0861u;

TEST_F(Interleaves, InterleaveThenDeinterleaveGivesEveryChannelBackInWireOrder)
{
    for (bool complex : {false, true}) {
        const uint32_t block = 8;
        const uint32_t parts = complex ? 2 : 1;
        GenericWire *in[2] = {wire(2, block, complex), wire(1, block, complex)};
        GenericWire *joined = wire(3, block, complex);
        GenericWire *split[3] = {wire(1, block, complex), wire(1, block, complex), wire(1, block, complex)};
        ramp(in[0], 100.0f);
        ramp(in[1], 200.0f);
        ClassModule *interleave = build(kInterleave, 0x102, {in[0], in[1], joined}, {});
        ClassModule *deinterleave = build(kDeinterleave, 0x301, {joined, split[0], split[1], split[2]}, {});
        ASSERT_NE(interleave, nullptr);
        ASSERT_NE(deinterleave, nullptr);
        pump(interleave);
        pump(deinterleave);
        // Output channel g: (wire 0 ch 0, wire 0 ch 1, wire 1 ch 0).
        const struct {
            GenericWire *w;
            uint32_t ch, channel;
        } sources[3] = {{in[0], 2, 0}, {in[0], 2, 1}, {in[1], 1, 0}};
        for (uint32_t g = 0; g < 3; ++g)
            for (uint32_t t = 0; t < block / parts; ++t)
                for (uint32_t p = 0; p < parts; ++p) {
                    const float expected = data(sources[g].w)[(t * sources[g].ch + sources[g].channel) * parts + p];
                    EXPECT_EQ(data(joined)[(t * 3 + g) * parts + p], expected)
                        << "interleaved channel " << g << (complex ? " (complex)" : "") << " frame " << t;
                    EXPECT_EQ(data(split[g])[t * parts + p], expected)
                        << "split channel " << g << (complex ? " (complex)" : "") << " frame " << t;
                }
    }
}

TEST_F(Interleaves, InterleaveAndDeinterleaveStayInsideShortWiring)
{
    // Three input channels into a two-channel output: the third is dropped.
    GenericWire *in[2] = {wire(2, 4), wire(1, 4)};
    GenericWire *narrow = wire(2, 4);
    ramp(in[0], 100.0f);
    ramp(in[1], 200.0f);
    ClassModule *interleave = build(kInterleave, 0x102, {in[0], in[1], narrow}, {});
    ASSERT_NE(interleave, nullptr);
    pump(interleave);
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(data(narrow)[i], data(in[0])[i]);
    // A three-channel input with one output wire: only channel 0 goes out.
    GenericWire *wide = wire(3, 4);
    GenericWire *one = wire(1, 4);
    ramp(wide, 10.0f);
    ClassModule *deinterleave = build(kDeinterleave, 0x101, {wide, one}, {});
    ASSERT_NE(deinterleave, nullptr);
    pump(deinterleave);
    for (uint32_t t = 0; t < 4; ++t)
        EXPECT_EQ(data(one)[t], data(wide)[3 * t]);
}

TEST_F(Interleaves, AWireWithoutChannelsHoldsNoFrameWhateverItsBlock)
{
    // A wire of no channels has no sample room; the object after it in the heap is where its samples would land.
    GenericWire *source = wire(1, 8);
    GenericWire *empty = wire(0, 64);
    GenericWire *after = wire(1, 4);
    ramp(source, 1.0f);
    fill(after, 7.0f);
    ClassModule *deinterleave = build(kDeinterleave, 0x101, {source, empty}, {});
    ClassModule *interleave = build(kInterleave, 0x101, {empty, source}, {});
    ASSERT_NE(deinterleave, nullptr);
    ASSERT_NE(interleave, nullptr);
    const GenericWire record = *after;
    pump(deinterleave);
    pump(interleave);
    EXPECT_EQ(std::memcmp(after, &record, sizeof record), 0) << "the next wire's record is untouched";
    for (uint32_t t = 0; t < 4; ++t)
        EXPECT_EQ(data(after)[t], 7.0f);
}

} // namespace
} // namespace routertest
