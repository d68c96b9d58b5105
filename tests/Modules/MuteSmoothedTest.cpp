// MuteSmoothed, MuteNSmoothed and their Fract32 twins: a gain gliding to silence and back in closed form, for a
// whole wire or channel by channel, and per-channel arrays that a reshaped wire cannot push past.
#include "MuteTestSupport.h"

namespace mutetest {
namespace {

// Full gain of a class, as the word its variables hold.
uint32_t unityWord(bool fract32) { return fract32 ? static_cast<uint32_t>(INT32_MAX) : bitsOf(1.0f); }

// A gain variable as a fraction of full scale.
double gainOf(uint32_t word, bool fract32)
{
    return fract32 ? static_cast<int32_t>(word) / kFullScale : static_cast<double>(kvetest::floatOf(word));
}

class MuteSmoothed : public Mutes {
protected:
    static constexpr double kLevels[] = {1.0, -0.5, 0.25};

    void fillLevels(GenericWire *w, bool fract32)
    {
        const uint32_t ch = kve::scalers::channels(w);
        for (uint32_t i = 0; i < kve::kit::wireWords(w); ++i) {
            const double v = kLevels[i % ch];
            if (fract32)
                words(w)[i] = v >= 1.0 ? INT32_MAX : static_cast<int32_t>(v * kFullScale);
            else
                data(w)[i] = static_cast<float>(v);
        }
    }
    // Frame t of the block just processed holds every channel's level times the gain expected for that channel.
    void expectGains(GenericWire *in, GenericWire *out, bool fract32, const std::vector<double> &g0,
                     const std::vector<double> &target, double a, const char *what)
    {
        const uint32_t ch = kve::scalers::channels(in);
        const uint32_t frames = KVE_WIRE_BLOCK_SIZE(in->info2);
        for (uint32_t t = 0; t < frames; ++t)
            for (uint32_t c = 0; c < ch; ++c) {
                const double g = glide(g0[c], target[c], a, static_cast<int>(t) + 1);
                ASSERT_NEAR(sample(out, t * ch + c, fract32), sample(in, t * ch + c, fract32) * g, 1e-5)
                    << what << (fract32 ? " (Fract32)" : "") << " frame " << t << " channel " << c;
            }
    }
};

TEST_F(MuteSmoothed, WholeWireGlidesToSilenceAndBack)
{
    for (uint32_t classId : {kMuteSmoothed, kMuteSmoothedFract32}) {
        const bool fract32 = classId == kMuteSmoothedFract32;
        GenericWire *in = wire(3, 32);
        GenericWire *out = wire(3, 32);
        fillLevels(in, fract32);
        // Muted, 1 ms, starting from full gain.
        ClassModule *m = build(classId, 0x101, {in, out}, {1, bitsOf(1.0f), unityWord(fract32), 0, 0});
        ASSERT_NE(m, nullptr);
        const double a = stepOf(1.0);
        EXPECT_NEAR(gainOf(var<uint32_t>(m, 3), fract32), a, 1e-6);
        EXPECT_EQ(var<uint32_t>(m, 4), fract32 ? 0u : bitsOf(0.0f));

        pump(m);
        expectGains(in, out, fract32, {1, 1, 1}, {0, 0, 0}, a, "muting");
        const double after = glide(1.0, 0.0, a, 32);
        EXPECT_NEAR(gainOf(var<uint32_t>(m, 2), fract32), after, 1e-6);

        var<int32_t>(m, 0) = 0;
        ASSERT_EQ(ClassModule_Set(m, 1u << 8), 0);
        EXPECT_EQ(var<uint32_t>(m, 4), unityWord(fract32));
        pump(m);
        expectGains(in, out, fract32, {after, after, after}, {1, 1, 1}, a, "unmuting");
    }
}

TEST_F(MuteSmoothed, EachChannelGlidesByItsOwnMuteFlag)
{
    for (uint32_t classId : {kMuteNSmoothed, kMuteNSmoothedFract32}) {
        const bool fract32 = classId == kMuteNSmoothedFract32;
        GenericWire *in = wire(3, 32);
        GenericWire *out = wire(3, 32);
        fillLevels(in, fract32);
        ClassModule *m = build(classId, 0x101, {in, out}, {bitsOf(1.0f), 0});
        ASSERT_NE(m, nullptr);
        const double a = stepOf(1.0);
        int32_t *isMuted = array<int32_t>(m, 2);
        uint32_t *current = array<uint32_t>(m, 3);

        // The gains start at 0; channel 1 stays silent while the others fade in.
        isMuted[1] = 1;
        ASSERT_EQ(ClassModule_Set(m, 1u << 10), 0);
        pump(m);
        expectGains(in, out, fract32, {0, 0, 0}, {1, 0, 1}, a, "fade in");
        for (uint32_t t = 0; t < 32; ++t)
            EXPECT_EQ(sample(out, 3 * t + 1, fract32), 0.0) << "muted channel, frame " << t;

        // A flag changed without its mask bit leaves the targets alone.
        const double g = glide(0.0, 1.0, a, 32);
        isMuted[0] = 1;
        ASSERT_EQ(ClassModule_Set(m, 1u << 8), 0);
        pump(m);
        expectGains(in, out, fract32, {g, 0, g}, {1, 0, 1}, a, "flag not flagged");

        const double g2 = glide(0.0, 1.0, a, 64);
        ASSERT_EQ(ClassModule_Set(m, 1u << 10), 0);
        pump(m);
        expectGains(in, out, fract32, {g2, 0, g2}, {0, 0, 1}, a, "channel 0 muted");
        EXPECT_NEAR(gainOf(current[0], fract32), glide(g2, 0.0, a, 32), 1e-6);

        // A new smoothing time takes effect on its own mask bit.
        var<float>(m, 0) = 4.0f;
        ASSERT_EQ(ClassModule_Set(m, 1u << 8), 0);
        EXPECT_NEAR(gainOf(var<uint32_t>(m, 1), fract32), stepOf(4.0), 1e-6);
    }
}

TEST_F(MuteSmoothed, ChannelMutesServeOnlyTheChannelsTheyWereBuiltFor)
{
    for (uint32_t classId : {kMuteNSmoothed, kMuteNSmoothedFract32}) {
        GenericWire *in = wire(2, 8);
        GenericWire *out = wire(2, 8);
        ClassModule *m = build(classId, 0x101, {in, out}, {bitsOf(1.0f), 0});
        ASSERT_NE(m, nullptr);
        for (uint32_t a = 0; a < 3; ++a)
            ASSERT_EQ(kve::kit::capacity(m, a), 2u);
        // The wires are reshaped to four channels of the same number of words.
        for (GenericWire *w : {in, out}) {
            w->info1 = (w->info1 & ~0x3FFu) | 4u;
            w->info2 = 4;
        }
        ASSERT_EQ(ClassModule_Set(m, ~0u), 0);
        fillWords(in, 0x20000000);
        fillWords(out, 0x7F800001);
        pump(m);
        for (uint32_t t = 0; t < 4; ++t) {
            EXPECT_NE(words(out)[4 * t], 0x7F800001) << "channel 0 served";
            EXPECT_NE(words(out)[4 * t + 1], 0x7F800001) << "channel 1 served";
            EXPECT_EQ(words(out)[4 * t + 2], 0x7F800001) << "channel 2 has no gain";
            EXPECT_EQ(words(out)[4 * t + 3], 0x7F800001) << "channel 3 has no gain";
        }
    }
}

TEST_F(MuteSmoothed, RefusesWiringWithoutAnOutput)
{
    for (uint32_t classId : {kMuteSmoothed, kMuteSmoothedFract32, kMuteNSmoothed, kMuteNSmoothedFract32}) {
        int32_t status = KVE_OK;
        EXPECT_EQ(build(classId, 0x001, {wire(1, 8)}, zeroArgs(classId), &status), nullptr) << std::hex << classId;
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
}

} // namespace
} // namespace mutetest
