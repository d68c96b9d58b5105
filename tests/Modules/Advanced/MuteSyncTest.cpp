// The click-free mutes: the synchroniser's raised-cosine gains against their closed form, fades that span blocks and
// end after exactly their length, commands latched during a fade, the construction-time Set that issues no command,
// the Fract32 twin word for word against an integer model, and the linear fade's ramp and done flag.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "Modules/Advanced/MuteSync.h"
#include "support/ModuleFixture.h"
#include "support/ModuleVariables.h"

namespace {

using kvetest::variable;

constexpr uint32_t kMuteSync = 0xBEEF0D13u;
constexpr uint32_t kMuteSyncFract32 = 0xBEEF0D12u;
constexpr uint32_t kMuteLinearFade = 0xBEEF0D5Eu;
constexpr uint32_t kBitRequest = 1u << 8;

const ModClassDescriptor *const kTable[] = {
    &kve_modMuteSyncClass.record,
    &kve_modMuteSyncFract32Class.record,
    &kve_modMuteLinearFadeClass.record,
};

class MuteSync : public kvetest::ModuleFixture {
protected:
    void SetUp() override { useTable(kTable); }

    // A synchroniser on ch channels of `block` frames with a gain output, fades of outMs and inMs at 48 kHz.
    ClassModule *synchroniser(uint32_t classId, uint32_t ch, uint32_t block, float outMs, float inMs)
    {
        in_ = engine_.wire(ch, block);
        out_ = engine_.wire(ch, block);
        gain_ = engine_.wire(1, block);
        ClassModule *m = build(classId, 0x201, {in_, out_, gain_},
                               {0, 0, 0, bits(outMs), bits(inMs), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        if (m != nullptr)
            set(m);
        return m;
    }
    static uint32_t bits(float v) { return kvetest::bitsOf(v); }
    static void request(ClassModule *m, int32_t mute)
    {
        variable<int32_t>(m, 0) = mute;
        ASSERT_EQ(m->classRecord->set(m, kBitRequest), 0);
    }
    // Runs `blocks` blocks of a constant input and returns the gain output of every frame, as a fraction.
    std::vector<double> gains(ClassModule *m, uint32_t blocks, bool fract32)
    {
        std::vector<double> g;
        const uint32_t words = kve::kit::wireWords(in_);
        for (uint32_t b = 0; b < blocks; ++b) {
            for (uint32_t i = 0; i < words; ++i) {
                if (fract32)
                    data<int32_t>(in_)[i] = 0x40000000;
                else
                    data<float>(in_)[i] = 0.5f;
            }
            pump(m);
            const uint32_t ch = KVE_WIRE_CHANNELS(in_->info1);
            for (uint32_t t = 0; t < kve::kit::blockSize(gain_); ++t) {
                const double gain = fract32 ? data<int32_t>(gain_)[t] / 2147483648.0 : data<float>(gain_)[t];
                g.push_back(gain);
                // Every channel carries the input at the frame's gain.
                for (uint32_t c = 0; c < ch; ++c) {
                    const double y = fract32 ? data<int32_t>(out_)[t * ch + c] / 2147483648.0
                                             : data<float>(out_)[t * ch + c];
                    EXPECT_NEAR(y, 0.5 * gain, 1e-6) << "frame " << t << " channel " << c;
                }
            }
        }
        return g;
    }

    GenericWire *in_ = nullptr;
    GenericWire *out_ = nullptr;
    GenericWire *gain_ = nullptr;
};

// The gain a fade of n frames reaches at its frame k: falling (out) or rising.
double raisedCosine(uint32_t k, uint32_t n, bool out)
{
    const double c = std::cos(k * std::numbers::pi / n);
    return out ? (1.0 + c) / 2.0 : (1.0 - c) / 2.0;
}

// Checks g[from, from + n) against a fade of n frames and returns the index after it.
size_t expectFade(const std::vector<double> &g, size_t from, uint32_t n, bool out, double tolerance)
{
    for (uint32_t k = 0; k < n; ++k)
        EXPECT_NEAR(g.at(from + k), raisedCosine(k, n, out), tolerance) << (out ? "out" : "in") << " frame " << k;
    return from + n;
}

void expectSteady(const std::vector<double> &g, size_t from, size_t to, double value)
{
    for (size_t i = from; i < to; ++i)
        ASSERT_EQ(g.at(i), value) << "frame " << i;
}

TEST_F(MuteSync, FadesFollowTheRaisedCosineAcrossBlocksAndEndAfterExactlyTheirLength)
{
    struct Case {
        uint32_t classId, ch, block;
        float outMs, inMs;
        uint32_t n1, n2;
        double tolerance;
    };
    // 1 ms and 0.5 ms at 48 kHz; 0.0104 ms rounds to 0.4992 samples -> 0, 0.0105 ms to 0.504 -> 1.
    const Case cases[] = {
        {kMuteSync, 1, 10, 1.0f, 0.5f, 48, 24, 1e-6},       {kMuteSync, 2, 7, 0.5f, 1.0f, 24, 48, 1e-6},
        {kMuteSync, 1, 64, 1.0f, 1.0f, 48, 48, 1e-6},       {kMuteSync, 1, 4, 0.0104f, 0.0105f, 0, 1, 1e-6},
        {kMuteSyncFract32, 2, 10, 1.0f, 0.5f, 48, 24, 1e-6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "class " << std::hex << c.classId << std::dec << " block " << c.block);
        ClassModule *m = synchroniser(c.classId, c.ch, c.block, c.outMs, c.inMs);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(variable<int32_t>(m, 10), static_cast<int32_t>(c.n1));
        EXPECT_EQ(variable<int32_t>(m, 11), static_cast<int32_t>(c.n2));
        const bool fract32 = c.classId == kMuteSyncFract32;
        const double one = fract32 ? 2147483647.0 / 2147483648.0 : 1.0;
        // Unmuted at first; a mute given between blocks starts at the next block's first frame, at full gain.
        std::vector<double> g = gains(m, 1, fract32);
        expectSteady(g, 0, c.block, one);
        request(m, 1);
        const uint32_t blocks = (c.n1 + 2 * c.block) / c.block;
        g = gains(m, blocks, fract32);
        const size_t end = expectFade(g, 0, c.n1, true, c.tolerance);
        expectSteady(g, end, g.size(), 0.0);
        EXPECT_EQ(variable<int32_t>(m, 0), 1) << "settled muted";
        EXPECT_EQ(variable<int32_t>(m, 6), 2);
        request(m, 0);
        g = gains(m, (c.n2 + 2 * c.block) / c.block, fract32);
        expectSteady(g, expectFade(g, 0, c.n2, false, c.tolerance), g.size(), one);
        EXPECT_EQ(variable<int32_t>(m, 0), 0) << "settled unmuted";
        EXPECT_EQ(variable<int32_t>(m, 6), 1);
    }
}

TEST_F(MuteSync, CommandsGivenDuringAFadeWaitForItsEnd)
{
    ClassModule *m = synchroniser(kMuteSync, 1, 16, 1.0f, 0.5f);
    ASSERT_NE(m, nullptr);
    request(m, 1);
    std::vector<double> g = gains(m, 1, false);
    // An unmute written in the second command word, halfway through the fade-out.
    variable<int32_t>(m, 5) = 1;
    request(m, 0);
    const std::vector<double> rest = gains(m, 6, false);
    g.insert(g.end(), rest.begin(), rest.end());
    // The fade-out runs its 48 frames, then the fade-in starts at once, without a muted frame between.
    const size_t in = expectFade(g, 0, 48, true, 1e-6);
    expectSteady(g, expectFade(g, in, 24, false, 1e-6), g.size(), 1.0);
    EXPECT_EQ(variable<int32_t>(m, 1), 0);
    EXPECT_EQ(variable<int32_t>(m, 2), 0) << "commands are cleared once acted on";
}

TEST_F(MuteSync, ARequestIsACommandOnlyWhenWrittenOnItsOwn)
{
    ClassModule *m = synchroniser(kMuteSync, 1, 16, 1.0f, 1.0f);
    ASSERT_NE(m, nullptr);
    // Written with every other variable, as a stored layout restores them: passes on unmuted.
    variable<int32_t>(m, 0) = 1;
    set(m);
    std::vector<double> g = gains(m, 5, false);
    expectSteady(g, 0, g.size(), 1.0);
    EXPECT_EQ(variable<int32_t>(m, 1), 0);
    request(m, 1);
    g = gains(m, 5, false);
    expectSteady(g, expectFade(g, 0, 48, true, 1e-6), g.size(), 0.0);
}

TEST_F(MuteSync, AMuteBeforeTheFirstBlockFadesFromItsFirstFrame)
{
    ClassModule *m = synchroniser(kMuteSync, 1, 16, 1.0f, 1.0f);
    ASSERT_NE(m, nullptr);
    request(m, 1);
    const std::vector<double> g = gains(m, 5, false);
    expectSteady(g, expectFade(g, 0, 48, true, 1e-6), g.size(), 0.0);
}

// The Fract32 pipeline as listed: Q31 sines and cosines rounded from their float values, each product the 64-bit
// product shifted right 31 (toward minus infinity), sums saturated.
int32_t q31(float v) { return v >= 1.0f ? INT32_MAX : static_cast<int32_t>(std::round(v * 2147483648.0f)); }
int32_t saturated(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
int64_t times(int64_t a, int64_t b) { return (a * b) >> 31; }

std::vector<int32_t> modelFade(uint32_t n, int sign)
{
    const double a = std::numbers::pi / n;
    const int64_t s = q31(static_cast<float>(std::sin(a)));
    const int64_t c = q31(static_cast<float>(std::cos(a)));
    int64_t re = INT32_MAX;
    int64_t im = 0;
    int32_t gain = sign > 0 ? INT32_MAX : 0;
    std::vector<int32_t> g;
    for (uint32_t k = 0; k < n; ++k) {
        g.push_back(gain);
        const int64_t r = saturated(times(re, c) - times(im, s));
        im = saturated(times(re, s) + times(im, c));
        re = r;
        gain = saturated(0x40000000 + sign * times(re, 0x40000000));
    }
    return g;
}

TEST_F(MuteSync, Fract32GainsAndAudioAreBitExact)
{
    for (const float ms : {1.0f, 0.25f, 7.3f}) {
        ClassModule *m = synchroniser(kMuteSyncFract32, 2, 32, ms, ms);
        ASSERT_NE(m, nullptr);
        const auto n = static_cast<uint32_t>(std::floor(48000.0 * ms * 0.001 + 0.5));
        const uint32_t blocks = (n + 40) / 32;
        for (const int sign : {1, -1}) {
            request(m, sign > 0 ? 1 : 0);
            std::vector<int32_t> got;
            for (uint32_t b = 0; b < blocks; ++b) {
                // Full-scale negative and a mid value on the two channels.
                for (uint32_t t = 0; t < 32; ++t) {
                    data<int32_t>(in_)[2 * t] = INT32_MIN;
                    data<int32_t>(in_)[2 * t + 1] = 0x2AAAAAAB;
                }
                pump(m);
                for (uint32_t t = 0; t < 32; ++t) {
                    const int32_t g = data<int32_t>(gain_)[t];
                    // Fading frames are products with the gain; settled unmuted frames pass the input itself.
                    const bool passes = got.size() >= n && sign < 0;
                    got.push_back(g);
                    const auto faded = static_cast<int32_t>(times(INT32_MIN, g));
                    ASSERT_EQ(data<int32_t>(out_)[2 * t], passes ? INT32_MIN : faded);
                    ASSERT_EQ(data<int32_t>(out_)[2 * t + 1], static_cast<int32_t>(times(0x2AAAAAAB, g)) +
                                                                   (passes ? 1 : 0));
                }
            }
            const std::vector<int32_t> want = modelFade(n, sign);
            for (uint32_t k = 0; k < got.size(); ++k)
                ASSERT_EQ(got[k], k < n ? want[k] : (sign > 0 ? 0 : INT32_MAX)) << ms << " ms frame " << k;
        }
    }
}

TEST_F(MuteSync, LinearFadeRampsAndReportsDoneOnlyOnArrival)
{
    GenericWire *in = engine_.wire(2, 32);
    GenericWire *out = engine_.wire(2, 32);
    GenericWire *flag = engine_.wire(1, 1);
    ClassModule *m =
        build(kMuteLinearFade, 0x201, {in, out, flag}, {0, bits(2.0f), bits(1.0f), 0, bits(1.0f), 0, 0, 0});
    ASSERT_NE(m, nullptr);
    set(m);
    for (const int32_t mute : {1, 0}) {
        variable<int32_t>(m, 0) = mute;
        ASSERT_EQ(m->classRecord->set(m, kBitRequest), 0);
        const float step = variable<float>(m, mute != 0 ? 5 : 6);
        ASSERT_GT(step, 0.0f);
        const auto frames = static_cast<uint32_t>(std::ceil(1.0f / step));
        double g = mute != 0 ? 1.0 : 0.0;
        for (uint32_t b = 0; b * 32 < frames + 64; ++b) {
            for (uint32_t i = 0; i < 64; ++i)
                data<float>(in)[i] = i % 2 == 0 ? 1.0f : -0.5f;
            pump(m);
            for (uint32_t t = 0; t < 32; ++t) {
                g = mute != 0 ? std::max(g - step, 0.0) : std::min(g + step, 1.0);
                ASSERT_NEAR(data<float>(out)[2 * t], g, 1e-4) << "mute " << mute << " frame " << b * 32 + t;
                ASSERT_NEAR(data<float>(out)[2 * t + 1], -0.5 * g, 1e-4);
            }
            const bool arrived = (b + 1) * 32 >= frames;
            int32_t word = 0;
            std::memcpy(&word, flag->buffer, sizeof word);
            // Arrival is judged on the float ramp, which may reach its end one frame either side of the double one.
            if ((b + 1) * 32 + 1 < frames || (b + 1) * 32 > frames + 1)
                ASSERT_EQ(word, arrived ? 1 : 0) << "mute " << mute << " block " << b;
        }
        EXPECT_EQ(variable<int32_t>(m, 3), 1);
        EXPECT_EQ(variable<float>(m, 4), mute != 0 ? 0.0f : 1.0f);
    }
}

} // namespace
