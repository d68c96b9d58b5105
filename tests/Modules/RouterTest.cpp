// Router: routing words pick an input channel per output channel; words naming nothing silence their channel.
#include "RoutersTestSupport.h"

namespace routertest {
namespace {

constexpr uint32_t kRouter = 0xBEEF0864u;

// Sample (frame t, channel c) of input wire k, distinct for every wire, channel, frame and part.
float sampleOf(uint32_t k, uint32_t c, uint32_t t, uint32_t part = 0)
{
    return static_cast<float>(1000 * (k + 1) + 100 * c + 2 * t + part);
}

void fillInput(GenericWire *w, uint32_t k, bool complex)
{
    const uint32_t ch = KVE_WIRE_CHANNELS(w->info1);
    const uint32_t parts = complex ? 2 : 1;
    const uint32_t frames = KVE_WIRE_BLOCK_SIZE(w->info2) / parts;
    for (uint32_t t = 0; t < frames; ++t)
        for (uint32_t c = 0; c < ch; ++c)
            for (uint32_t p = 0; p < parts; ++p)
                static_cast<float *>(w->buffer)[(t * ch + c) * parts + p] = sampleOf(k, c, t, p);
}

TEST_F(Routers, RouterCopiesTheChannelEachWordNamesAndSilencesTheRest)
{
    struct Case {
        const char *what;
        int32_t word;
        int32_t wire; // -1: silence
        uint32_t channel;
    } cases[] = {
        {"wire 1 channel 0", 0x00010000, 1, 0},
        {"wire 0 channel 1", 0x00000001, 0, 1},
        {"wire 2 channel 1", 0x00020001, 2, 1},
        {"wire past the inputs", 0x00050000, -1, 0},
        {"channel past the wire", 0x00010001, -1, 0},
        {"negative wire index", -1, -1, 0},
        {"wire -1 channel 0", static_cast<int32_t>(0xFFFF0000u), -1, 0},
    };
    constexpr uint32_t kOut = sizeof cases / sizeof cases[0];
    for (bool complex : {false, true}) {
        const uint32_t block = 8;
        GenericWire *in[3] = {wire(2, block, complex), wire(1, block, complex), wire(3, block, complex)};
        GenericWire *out = wire(kOut, block, complex);
        for (uint32_t k = 0; k < 3; ++k)
            fillInput(in[k], k, complex);
        fill(out, -1.0f);
        ClassModule *m = build(kRouter, 0x103, {in[0], in[1], in[2], out}, {});
        ASSERT_NE(m, nullptr);
        for (uint32_t o = 0; o < kOut; ++o)
            array<int32_t>(m, 0)[o] = cases[o].word;
        pump(m);
        const uint32_t parts = complex ? 2 : 1;
        for (uint32_t o = 0; o < kOut; ++o)
            for (uint32_t t = 0; t < block / parts; ++t)
                for (uint32_t p = 0; p < parts; ++p) {
                    const float expected = cases[o].wire < 0 ? 0.0f
                                                             : sampleOf(static_cast<uint32_t>(cases[o].wire),
                                                                        cases[o].channel, t, p);
                    EXPECT_EQ(data(out)[(t * kOut + o) * parts + p], expected)
                        << cases[o].what << (complex ? " (complex)" : "") << " frame " << t << " part " << p;
                }
    }
}

TEST_F(Routers, RouterNeverReadsOrWritesPastItsWordsOrAShortSource)
{
    GenericWire *in[2] = {wire(2, 8), wire(1, 4)};
    GenericWire *out = wire(2, 8);
    fillInput(in[0], 0, false);
    fillInput(in[1], 1, false);
    ClassModule *m = build(kRouter, 0x102, {in[0], in[1], out}, {});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(kve::kit::capacity(m, 0), 2u);
    array<int32_t>(m, 0)[0] = 0x00010000; // a 4-frame source into an 8-frame output
    array<int32_t>(m, 0)[1] = 0x00000001;
    // The output wire now claims three channels in fewer frames: the third has no routing word.
    GenericWire *wider = wire(3, 4);
    m->wires[2] = wider;
    fill(wider, -1.0f);
    pump(m);
    for (uint32_t t = 0; t < 4; ++t) {
        EXPECT_EQ(data(wider)[3 * t], sampleOf(1, 0, t)) << t;
        EXPECT_EQ(data(wider)[3 * t + 1], sampleOf(0, 1, t)) << t;
        EXPECT_EQ(data(wider)[3 * t + 2], 0.0f) << "a channel without a routing word is silent";
    }
    m->wires[2] = out;
    fill(out, -1.0f);
    pump(m);
    for (uint32_t t = 0; t < 8; ++t)
        EXPECT_EQ(data(out)[2 * t], t < 4 ? sampleOf(1, 0, t) : 0.0f) << "frames past a short source are silent";
}

TEST_F(Routers, RouterRefusesWiringWithoutAnInput)
{
    GenericWire *out = wire(1, 8);
    int32_t status = KVE_OK;
    EXPECT_EQ(build(kRouter, 0x100, {out}, {}, &status), nullptr);
    EXPECT_EQ(status, KVE_E_ARG_COUNT);
}

} // namespace
} // namespace routertest
