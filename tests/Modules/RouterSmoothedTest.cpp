// RouterSmoothed and RouterSmoothedFract32: a changed routing word fades its channel out to silence, switches, and
// fades the new source in; a word naming nothing gives way at once.
#include <cstdint>

#include "RoutersTestSupport.h"

namespace routertest {
namespace {

constexpr uint32_t kRouterSmoothed = 0xBEEF0865u;
constexpr uint32_t kRouterSmoothedFract32 = 0xBEEF08AFu;
constexpr uint32_t kBlock = 16;
constexpr int kBlocks = 60;

// One output channel's story: the words and gain it starts with, and the word the host then writes.
struct Channel {
    const char *what;
    int32_t active;
    int32_t requested;
    double gain;
};

const Channel kChannels[] = {
    {"the zero word fades channel 0 of wire 0 in", 0, 0, 0.0},
    {"a new word fades out through silence, then in", 0, 0x00010000, 1.0},
    {"a silent word gives way at once", 0x00070000, 0x00000001, 0.5},
    {"a word naming nothing stays silent", static_cast<int32_t>(0xFFFF0000u), static_cast<int32_t>(0xFFFF0000u), 0.0},
};
constexpr uint32_t kOut = sizeof kChannels / sizeof kChannels[0];

// Input wire 0 holds 1.0 on channel 0 and 2.0 on channel 1, wire 1 holds -4.0 (imaginary parts: minus half).
double sourceOf(int32_t word)
{
    switch (word) {
    case 0x00000000: return 1.0;
    case 0x00000001: return 2.0;
    case 0x00010000: return -4.0;
    default: return 0.0; // names nothing
    }
}

// The expected channel, one block at a time: the gain follows the one-pole glide in closed form from its value at
// the block start; a quiet gain (below `quiet`) or a silent active word lets the requested word in.
struct Model {
    int32_t active;
    int32_t requested;
    double gain;
    double next(uint32_t t, double a) const
    {
        const double target = active == requested ? 1.0 : 0.0;
        return sourceOf(active) * scalertest::glide(gain, target, a, static_cast<int>(t) + 1);
    }
    void endBlock(double a, double quiet, int frames)
    {
        if (sourceOf(active) == 0.0) {
            if (active != requested) {
                gain = 0.0;
                active = requested;
            }
            return;
        }
        gain = scalertest::glide(gain, active == requested ? 1.0 : 0.0, a, frames);
        if (active != requested && gain < quiet)
            active = requested;
    }
};

TEST_F(Routers, RouterSmoothedSwitchesThroughSilenceAlongTheGlide)
{
    const double a = scalertest::stepOf(1.0);
    for (bool complex : {false, true}) {
        const uint32_t parts = complex ? 2 : 1;
        GenericWire *in[2] = {wire(2, kBlock, complex), wire(1, kBlock, complex)};
        GenericWire *out = wire(kOut, kBlock, complex);
        for (uint32_t t = 0; t < kBlock / parts; ++t)
            for (uint32_t p = 0; p < parts; ++p) {
                const float sign = p == 0 ? 1.0f : -0.5f;
                data(in[0])[(2 * t) * parts + p] = 1.0f * sign;
                data(in[0])[(2 * t + 1) * parts + p] = 2.0f * sign;
                data(in[1])[t * parts + p] = -4.0f * sign;
            }
        ClassModule *m = build(kRouterSmoothed, 0x102, {in[0], in[1], out}, {bitsOf(1.0f), 0});
        ASSERT_NE(m, nullptr);
        EXPECT_NEAR(var(m, 1), a, 1e-7);
        Model model[kOut];
        for (uint32_t o = 0; o < kOut; ++o) {
            array<int32_t>(m, 2)[o] = kChannels[o].requested;
            array<int32_t>(m, 3)[o] = kChannels[o].active;
            array<float>(m, 4)[o] = static_cast<float>(kChannels[o].gain);
            model[o] = {kChannels[o].active, kChannels[o].requested, kChannels[o].gain};
        }
        for (int block = 0; block < kBlocks * static_cast<int>(parts); ++block) {
            pump(m);
            for (uint32_t o = 0; o < kOut; ++o) {
                for (uint32_t t = 0; t < kBlock / parts; ++t)
                    for (uint32_t p = 0; p < parts; ++p) {
                        const double expected = model[o].next(t, a) * (p == 0 ? 1.0 : -0.5);
                        ASSERT_NEAR(data(out)[(t * kOut + o) * parts + p], expected, 2e-5)
                            << kChannels[o].what << (complex ? " (complex)" : "") << ", block " << block
                            << " frame " << t;
                    }
                model[o].endBlock(a, 1e-5, static_cast<int>(kBlock / parts));
                ASSERT_EQ(array<int32_t>(m, 3)[o], model[o].active) << kChannels[o].what << ", block " << block;
            }
        }
        EXPECT_EQ(array<int32_t>(m, 3)[1], 0x00010000) << "the switch has happened within the run";
        EXPECT_GT(array<float>(m, 4)[1], 0.5f) << "and the new source has faded in";
    }
}

TEST_F(Routers, RouterSmoothedFract32MatchesTheIntegerGlideBitForBit)
{
    const int32_t sources[3] = {0x40000000, -0x20000000, 0x7FFFFFFF}; // wire 0 ch 0, wire 0 ch 1, wire 1 ch 0
    GenericWire *in[2] = {wire(2, kBlock), wire(1, kBlock)};
    GenericWire *out = wire(2, kBlock);
    for (uint32_t t = 0; t < kBlock; ++t) {
        reinterpret_cast<int32_t *>(data(in[0]))[2 * t] = sources[0];
        reinterpret_cast<int32_t *>(data(in[0]))[2 * t + 1] = sources[1];
        reinterpret_cast<int32_t *>(data(in[1]))[t] = sources[2];
    }
    ClassModule *m = build(kRouterSmoothedFract32, 0x102, {in[0], in[1], out}, {bitsOf(1.0f), 0});
    ASSERT_NE(m, nullptr);
    const int32_t coeff = var<int32_t>(m, 1);
    EXPECT_NEAR(coeff, std::ldexp(scalertest::stepOf(1.0), 31), 128.0) << "the 1 ms coefficient, rounded";
    // Output 0 fades channel 1 of wire 0 in; output 1 leaves channel 0 of wire 0 for wire 1.
    const int32_t requested[2] = {0x00000001, 0x00010000};
    const int32_t initial[2] = {0, 0x7FFFFFFF};
    int32_t active[2] = {0x00000001, 0};
    int32_t gain[2] = {initial[0], initial[1]};
    for (uint32_t o = 0; o < 2; ++o) {
        array<int32_t>(m, 2)[o] = requested[o];
        array<int32_t>(m, 3)[o] = active[o];
        array<int32_t>(m, 4)[o] = gain[o];
    }
    auto sourceIndex = [](int32_t word) { return word == 0 ? 0 : word == 1 ? 1 : 2; };
    bool switched = false;
    for (int block = 0; block < kBlocks; ++block) {
        pump(m);
        for (uint32_t o = 0; o < 2; ++o) {
            const int32_t target = active[o] == requested[o] ? 0x7FFFFFFF : 0;
            for (uint32_t t = 0; t < kBlock; ++t) {
                gain[o] = stepQ31(gain[o], target, coeff);
                ASSERT_EQ(reinterpret_cast<int32_t *>(data(out))[2 * t + o],
                          mulQ31(sources[sourceIndex(active[o])], gain[o]))
                    << "output " << o << ", block " << block << " frame " << t;
            }
            if (active[o] != requested[o] && gain[o] <= 0x53E1) {
                active[o] = requested[o];
                switched = true;
            }
            ASSERT_EQ(array<int32_t>(m, 3)[o], active[o]) << "output " << o << ", block " << block;
            ASSERT_EQ(array<int32_t>(m, 4)[o], gain[o]) << "output " << o << ", block " << block;
        }
    }
    EXPECT_TRUE(switched);
}

} // namespace
} // namespace routertest
