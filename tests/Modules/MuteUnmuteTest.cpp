// MuteUnmute and its Fract32 twin: the mute-hold-unmute envelope against its half-cosine closed form, the trigger
// and sample count it clears, fades cut by block and scratch boundaries, and the wiring it refuses.
#include "Dsp/ExactModels.h"
#include "MuteTestSupport.h"

namespace mutetest {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The phasor turns by steps stored in single precision (or Q1.31), whose length is 1 only to within 2^-24; over a
// fade of 2400 turns its radius may drift by 2400 x 2^-24 = 1.4e-4 and the envelope by half of that. A fade one
// sample early or late is off by up to 6.5e-4.
constexpr double kTolerance = 7e-5;

// Lengths of a sequence in samples.
struct Lengths {
    int32_t down, mute, up;
};

// The envelope at sample k of a sequence: a half cosine down over D samples, silence for M, a half cosine up over U.
double envelopeAt(const Lengths &n, int64_t k)
{
    const int64_t hold = std::max(n.mute, 0);
    if (k < n.down)
        return (1.0 + std::cos(k * kPi / n.down)) / 2.0;
    if (k < n.down + hold)
        return 0.0;
    if (k < n.down + hold + n.up)
        return (1.0 - std::cos((k - n.down - hold) * kPi / n.up)) / 2.0;
    return 1.0;
}

class MuteUnmute : public Mutes {
protected:
    // An envelope module of `classId` on a stereo pair of `block` frames and a scratch wire of `scratchWords`.
    ClassModule *build(uint32_t classId, float downMs, float muteMs, float upMs, uint32_t block = 32,
                       uint32_t scratchWords = 0)
    {
        in_ = wire(2, block);
        out_ = wire(2, block);
        scratch_ = wire(1, scratchWords == 0 ? block : scratchWords);
        return Mutes::build(classId, 0x10101, {in_, out_, scratch_},
                            {1, bitsOf(downMs), bitsOf(muteMs), bitsOf(upMs), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    }
    // Channel 0 at full scale, channel 1 at minus one half.
    void fillInput(bool fract32)
    {
        for (uint32_t t = 0; t < KVE_WIRE_BLOCK_SIZE(in_->info2); ++t) {
            if (fract32) {
                words(in_)[2 * t] = INT32_MAX;
                words(in_)[2 * t + 1] = INT32_MIN / 2;
            } else {
                data(in_)[2 * t] = 1.0f;
                data(in_)[2 * t + 1] = -0.5f;
            }
        }
    }
    static Lengths lengthsOf(ClassModule *m)
    {
        return {var<int32_t>(m, 4), var<int32_t>(m, 5), var<int32_t>(m, 6)};
    }

    GenericWire *in_ = nullptr;
    GenericWire *out_ = nullptr;
    GenericWire *scratch_ = nullptr;
};

// ---- Set: lengths and phasor steps ----

TEST_F(MuteUnmute, HostsSeeTheTimesAsFloatsAndThePhasorInTheClassSampleType)
{
    EXPECT_EQ(kve_modMuteUnmuteClass.record.floatMask, 0x1F8Eu);
    EXPECT_EQ(kve_modMuteUnmuteFract32Class.record.floatMask, 0x000Eu);
    EXPECT_EQ(kve_modMuteUnmuteClass.record.countWord, 14u);
    EXPECT_EQ(kve_modMuteUnmuteFract32Class.record.countWord, 14u);
}

TEST_F(MuteUnmute, SetTurnsTimesIntoSampleCountsAndPhasorSteps)
{
    struct Case {
        float downMs, muteMs, upMs;
        Lengths expected;
    } cases[] = {
        {0.1f, 100.0f, 50.0f, {5, 4800, 2400}},
        {0.0f, 0.0f, 0.0f, {1, 0, 1}},        // fades never shorter than one sample
        {0.01f, 0.01f, 0.01f, {1, 0, 1}},     // 0.48 samples round down
        {10.5f, 1000.25f, 3.3f, {504, 48012, 158}},
        {0.1f, -5.0f, 1.0f, {5, -240, 48}},   // the hold keeps its sign
    };
    for (uint32_t classId : {kMuteUnmute, kMuteUnmuteFract32}) {
        const bool fract32 = classId == kMuteUnmuteFract32;
        for (const Case &c : cases) {
            ClassModule *m = build(classId, c.downMs, c.muteMs, c.upMs);
            ASSERT_NE(m, nullptr);
            const Lengths n = lengthsOf(m);
            EXPECT_EQ(n.down, c.expected.down) << c.downMs;
            EXPECT_EQ(n.mute, c.expected.mute) << c.muteMs;
            EXPECT_EQ(n.up, c.expected.up) << c.upMs;
            const double steps[] = {std::cos(kPi / n.down), std::sin(kPi / n.down), std::cos(kPi / n.up),
                                    std::sin(kPi / n.up)};
            for (uint32_t k = 0; k < 4; ++k) {
                const double stored = fract32 ? var<int32_t>(m, 7 + k) / kFullScale : var<float>(m, 7 + k);
                EXPECT_NEAR(stored, steps[k], 2e-7) << "variable " << 7 + k << " fades " << c.downMs;
            }
        }
    }
}

TEST_F(MuteUnmute, OneSampleFadesTurnThePhasorByHalfACircle)
{
    ClassModule *f = build(kMuteUnmute, 0.0f, 2.0f, 0.0f);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(var<float>(f, 7), -1.0f);
    EXPECT_EQ(bitsOf(var<float>(f, 8)), bitsOf(-8.74227766e-08f));
    ClassModule *q = build(kMuteUnmuteFract32, 0.0f, 2.0f, 0.0f);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(var<int32_t>(q, 7), INT32_MIN);
    // -8.74227766e-08 x 2^31 = -187.74, rounded away from zero by one half and truncated.
    EXPECT_EQ(var<int32_t>(q, 8), -188);
}

// ---- Process: the envelope ----

TEST_F(MuteUnmute, EnvelopeFollowsItsClosedFormAndClearsTheTrigger)
{
    struct Case {
        const char *what;
        float downMs, muteMs, upMs;
        uint32_t blocks;
    } cases[] = {
        // Sample 0 at 1.0, falling through 4, silent from 5 to 4805, rising through 7204, 1.0 from 7205 on.
        {"0.1 / 100 / 50 ms", 0.1f, 100.0f, 50.0f, 227},
        {"0 ms fades: one sample at 1.0, the hold, one sample at 0", 0.0f, 2.0f, 0.0f, 5},
        {"a negative hold is no hold", 0.1f, -5.0f, 1.0f, 3},
    };
    for (uint32_t classId : {kMuteUnmute, kMuteUnmuteFract32}) {
        const bool fract32 = classId == kMuteUnmuteFract32;
        for (const Case &c : cases) {
            ClassModule *m = build(classId, c.downMs, c.muteMs, c.upMs);
            ASSERT_NE(m, nullptr);
            fillInput(fract32);
            const Lengths n = lengthsOf(m);
            const int64_t end = n.down + std::max(n.mute, 0) + n.up;
            for (uint32_t b = 0; b < c.blocks; ++b) {
                pump(m);
                for (uint32_t t = 0; t < 32; ++t) {
                    const int64_t k = 32 * b + t;
                    const double env = sample(scratch_, t, fract32);
                    ASSERT_NEAR(env, envelopeAt(n, k), kTolerance)
                        << c.what << " sample " << k << (fract32 ? " (Fract32)" : "");
                    if (k >= n.down && k < n.down + n.mute) {
                        ASSERT_EQ(env, 0.0) << c.what << " sample " << k << " is in the hold";
                    }
                    if (k == 0 || k >= end) {
                        ASSERT_EQ(env, fract32 ? INT32_MAX / kFullScale : 1.0) << c.what << " sample " << k;
                    }
                    for (uint32_t ch = 0; ch < 2; ++ch) {
                        const uint32_t i = 2 * t + ch;
                        if (fract32)
                            ASSERT_EQ(words(out_)[i], kvetest::exactFract32Product(words(in_)[i], words(scratch_)[t]));
                        else
                            ASSERT_EQ(data(out_)[i], data(in_)[i] * data(scratch_)[t]);
                    }
                }
                const bool over = 32 * (b + 1) >= end;
                ASSERT_EQ(var<int32_t>(m, 0), over ? 0 : 1) << c.what << " trigger after block " << b;
                ASSERT_EQ(var<int32_t>(m, 13), over ? 0 : 32 * (b + 1)) << c.what << " count after block " << b;
            }
        }
    }
}

TEST_F(MuteUnmute, ClearingTheTriggerStopsAtOnceAndAStartResumes)
{
    for (uint32_t classId : {kMuteUnmute, kMuteUnmuteFract32}) {
        const bool fract32 = classId == kMuteUnmuteFract32;
        ClassModule *m = build(classId, 0.1f, 2.0f, 1.0f); // 5, 96, 48 samples
        ASSERT_NE(m, nullptr);
        const double one = fract32 ? INT32_MAX / kFullScale : 1.0;
        var<int32_t>(m, 0) = 0;
        pump(m);
        for (uint32_t t = 0; t < 32; ++t)
            ASSERT_EQ(sample(scratch_, t, fract32), one) << "idle";
        var<int32_t>(m, 0) = 1;
        pump(m); // samples 0..31: the fade and the start of the hold
        var<int32_t>(m, 0) = 0;
        pump(m);
        for (uint32_t t = 0; t < 32; ++t)
            ASSERT_EQ(sample(scratch_, t, fract32), one) << "stopped";
        EXPECT_EQ(var<int32_t>(m, 13), 32);
        var<int32_t>(m, 0) = 7; // any non-zero value starts
        pump(m);                // samples 32..63, still in the hold
        for (uint32_t t = 0; t < 32; ++t)
            ASSERT_EQ(sample(scratch_, t, fract32), 0.0) << "resumed";
        EXPECT_EQ(var<int32_t>(m, 13), 64);
    }
}

TEST_F(MuteUnmute, BlockAndScratchBoundariesInsideFadesChangeNothing)
{
    // 48-sample fade out, 12-sample hold, 96-sample fade in: every boundary below cuts a fade.
    struct Case {
        uint32_t block, scratchWords;
    } cases[] = {{32, 32}, {16, 16}, {32, 8}, {32, 5}, {48, 48}, {64, 1}}; // the first is the reference
    constexpr uint32_t kSamples = 192;
    for (uint32_t classId : {kMuteUnmute, kMuteUnmuteFract32}) {
        const bool fract32 = classId == kMuteUnmuteFract32;
        std::vector<uint32_t> reference;
        for (const Case &c : cases) {
            ClassModule *m = build(classId, 1.0f, 0.25f, 2.0f, c.block, c.scratchWords);
            ASSERT_NE(m, nullptr);
            ASSERT_EQ(lengthsOf(m).down, 48);
            std::vector<uint32_t> got;
            for (uint32_t first = 0; first < kSamples; first += c.block) {
                for (uint32_t w = 0; w < 2 * c.block; ++w) {
                    const uint32_t i = 2 * first + w + 1;
                    if (fract32)
                        words(in_)[w] = static_cast<int32_t>(i * 0x100000u);
                    else
                        data(in_)[w] = static_cast<float>(i);
                }
                fillWords(out_, 0x7F800001); // a word every Process must overwrite
                pump(m);
                got.insert(got.end(), words(out_), words(out_) + 2 * c.block);
            }
            if (reference.empty())
                reference = got;
            else
                EXPECT_EQ(got, reference) << "block " << c.block << ", scratch " << c.scratchWords;
        }
    }
}

// ---- Construction ----

TEST_F(MuteUnmute, RefusesWiringWithoutInputOutputOrScratch)
{
    struct Case {
        const char *what;
        uint32_t wireWord;
        uint32_t scratchWords;
    } cases[] = {
        {"no scratch wire", 0x00101, 32},
        {"no input", 0x10100, 32},
        {"no output", 0x10001, 32},
    };
    for (uint32_t classId : {kMuteUnmute, kMuteUnmuteFract32})
        for (const Case &c : cases) {
            GenericWire *a = wire(1, 32);
            GenericWire *b = wire(1, 32);
            GenericWire *s = wire(1, c.scratchWords);
            int32_t status = KVE_OK;
            ClassModule *m = Mutes::build(classId, c.wireWord, {a, b, s}, zeroArgs(classId), &status);
            EXPECT_EQ(m, nullptr) << c.what;
            EXPECT_EQ(status, KVE_E_ARG_COUNT) << c.what;
        }
}

// ---- The Fract32 twin word for word ----

// The envelope of the Fract32 twin in exact integer arithmetic: a Q1.31 phasor turned by saturated differences and
// sums of products rounded toward minus infinity; the fades read off half its real component.
struct Fract32EnvelopeModel {
    int32_t downCos, downSin, upCos, upSin;
    Lengths n;
    int32_t re = 0, im = 0;

    void turn(int32_t cs, int32_t sn)
    {
        using kvetest::exactFract32Product;
        const int32_t nextRe =
            kvetest::clampTo32(static_cast<__int128>(exactFract32Product(re, cs)) - exactFract32Product(im, sn));
        im = kvetest::clampTo32(static_cast<__int128>(exactFract32Product(re, sn)) + exactFract32Product(im, cs));
        re = nextRe;
    }
    int32_t at(int64_t k)
    {
        if (k == 0 || k == n.down + n.mute) {
            re = INT32_MAX;
            im = 0;
        }
        const auto halfRe = static_cast<int32_t>(kvetest::floorDivPow2(re, 1));
        if (k < n.down) {
            turn(downCos, downSin);
            return halfRe + (1 << 30);
        }
        if (k < n.down + n.mute)
            return 0;
        if (k < n.down + n.mute + n.up) {
            turn(upCos, upSin);
            return kvetest::clampTo32(static_cast<__int128>(1 << 30) - halfRe);
        }
        return INT32_MAX;
    }
};

TEST_F(MuteUnmute, Fract32EnvelopeIsExactlyTheIntegerSequence)
{
    ClassModule *m = build(kMuteUnmuteFract32, 0.1f, 100.0f, 50.0f);
    ASSERT_NE(m, nullptr);
    Fract32EnvelopeModel model{var<int32_t>(m, 7), var<int32_t>(m, 8), var<int32_t>(m, 9), var<int32_t>(m, 10),
                               lengthsOf(m)};
    const int32_t inputs[] = {INT32_MAX, INT32_MIN, 0x12345678, -0x2468ACE};
    for (uint32_t b = 0; b < 227; ++b) {
        for (uint32_t w = 0; w < 64; ++w)
            words(in_)[w] = inputs[(w + b) % 4];
        pump(m);
        for (uint32_t t = 0; t < 32; ++t) {
            const int64_t k = 32 * b + t;
            const int32_t env = model.at(k);
            ASSERT_EQ(words(scratch_)[t], env) << "sample " << k;
            for (uint32_t ch = 0; ch < 2; ++ch)
                ASSERT_EQ(words(out_)[2 * t + ch], kvetest::exactFract32Product(words(in_)[2 * t + ch], env))
                    << "sample " << k << " channel " << ch;
        }
    }
    EXPECT_EQ(var<int32_t>(m, 0), 0);
}

} // namespace
} // namespace mutetest
