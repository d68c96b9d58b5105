// The delay lines: whole-sample delays pass samples exactly and hold every delay to their lines; the modulated
// delays against a numpy model of their taps (their Fract32 forms bit-exact against an integer model); a writer and
// its readers in one layout, the sparse readers on the writers' lines against numpy; the fractional delay's group
// delay against scipy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Modules/Advanced/DelayLines.h"
#include "Modules/Advanced/FirFilters.h"
#include "Modules/Standard/Delays.h"
#include "Modules/Standard/FiltersFract32.h"
#include "support/ModuleFixture.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::noise;
using kvetest::noiseFract32;
using kvetest::privateArray;
using kvetest::variable;

constexpr uint32_t kBlockDelay = 0xBEEF0CC6u;
constexpr uint32_t kBlockDelayV2 = 0xBEEF0D65u;
constexpr uint32_t kDelay16 = 0xBEEF0CE6u;
constexpr uint32_t kDelayInterp = 0xBEEF0CE2u;
constexpr uint32_t kDelayInterpFract32 = 0xBEEF0CE1u;
constexpr uint32_t kDelayciFract32 = 0xBEEF0CE7u;
constexpr uint32_t kDelayNChan = 0xBEEF0D57u;
constexpr uint32_t kDelayNChanMsec = 0xBEEF0D58u;
constexpr uint32_t kDelayNTap = 0xBEEF0CE8u;
constexpr uint32_t kDelayNTap16 = 0xBEEF0CE9u;
constexpr uint32_t kWriter = 0xBEEF0CE4u;
constexpr uint32_t kWriter16 = 0xBEEF0CE5u;
constexpr uint32_t kReader = 0xBEEF0CE3u;
constexpr uint32_t kFractionalDelay = 0xBEEF0D03u;
constexpr uint32_t kSparseReader = 0xBEEF0D00u;
constexpr uint32_t kSparseReaderFract16 = 0xBEEF0CFEu;
constexpr uint32_t kSparseReaderFract32 = 0xBEEF0CFFu;

// The delay lines, the inner modules the fractional delay builds and the sparse readers of the shared line.
const ModClassDescriptor *const kTable[] = {
    &kve_modBlockDelayClass.record,         &kve_modBlockDelayV2Class.record,
    &kve_modDelay16Class.record,            &kve_modDelayInterpClass.record,
    &kve_modDelayInterpFract32Class.record, &kve_modDelayciFract32Class.record,
    &kve_modDelayNChanClass.record,         &kve_modDelayNChanMsecClass.record,
    &kve_modDelayNTapClass.record,          &kve_modDelayNTap16Fract32Class.record,
    &kve_modDelayStateWriterClass.record,   &kve_modDelayStateWriter16Class.record,
    &kve_modDelayReaderClass.record,        &kve_modFractionalDelayFract32Class.record,
    &kve_modDelayClass.record,              &kve_modFIRFract32Class.record,
    &kve_modFIRSparseReaderClass.record,    &kve_modFIRSparseReaderFract32Class.record,
    &kve_modFIRSparseReaderFract16Class.record,
};

// The delay-line models: the words that name the model, its numbers, then the signals it runs on.
std::vector<double> oracle(std::vector<std::string> args, const std::vector<double> &head,
                           std::initializer_list<std::vector<double>> tails = {})
{
    for (double v : head)
        args.push_back(kvetest::oracleArg(v));
    for (const auto &t : tails)
        for (double v : t)
            args.push_back(kvetest::oracleArg(v));
    return kvetest::runOracle("delay_lines.py", args);
}

template <class T> std::vector<double> asDouble(const std::vector<T> &x) { return {x.begin(), x.end()}; }

// Sample n of channel c of interleaved frames of ch channels, `back` frames earlier; 0 before the start.
template <class T> T past(const std::vector<T> &x, size_t ch, size_t c, int64_t n, int64_t back)
{
    return n - back < 0 ? T{} : x[static_cast<size_t>(n - back) * ch + c];
}

class DelayLines : public kvetest::ModuleFixture {
protected:
    void SetUp() override { useTable(kTable); }
    // Runs `m` over x block by block (input wire `in`, output `out`) and returns everything it output.
    template <class T> std::vector<T> run(ClassModule *m, GenericWire *in, GenericWire *out, const std::vector<T> &x)
    {
        std::vector<T> y;
        const size_t words = kve::kit::wireWords(in);
        for (size_t b = 0; b + words <= x.size(); b += words) {
            fill(in, x, b);
            pump(m);
            const std::vector<T> block = this->template words<T>(out);
            y.insert(y.end(), block.begin(), block.end());
        }
        return y;
    }
};

// ---- Whole-sample delays ----

// A block delay passes whole blocks; a delay above the maximum behaves as the maximum, a negative one as 0.
TEST_F(DelayLines, BlockDelaysDelayWholeBlocksHeldToTheirMaximum)
{
    const struct {
        uint32_t classId;
        int32_t delay;
        int64_t blocks;
    } cases[] = {{kBlockDelay, 2, 2}, {kBlockDelay, 0, 0}, {kBlockDelay, 9, 3}, {kBlockDelay, -4, 0},
                 {kBlockDelayV2, 1, 1}, {kBlockDelayV2, 7, 3}};
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(2, 4);
        GenericWire *out = engine_.wire(2, 4);
        const bool v2 = c.classId == kBlockDelayV2;
        ClassModule *m = v2 ? build(c.classId, 0x101, {in, out}, {3, static_cast<uint32_t>(c.delay), 0, 2})
                            : build(c.classId, 0x101, {in, out}, {3, static_cast<uint32_t>(c.delay), 0});
        const std::vector<float> x = noise(8 * 10, 1);
        const std::vector<float> y = run(m, in, out, x);
        for (int64_t n = 0; n < 40; ++n)
            for (size_t ch = 0; ch < 2; ++ch)
                ASSERT_EQ(y[static_cast<size_t>(n) * 2 + ch], past(x, 2, ch, n, 4 * c.blocks))
                    << std::hex << c.classId << std::dec << " delay " << c.delay << " frame " << n;
    }
}

// The 16-bit delay keeps the rounded top 16 bits of Fract32 samples (float samples as 16-bit fractions) and holds
// its delay to 0 .. max.
TEST_F(DelayLines, SixteenBitDelayKeepsRoundedTopBitsAndHoldsItsDelay)
{
    constexpr uint32_t kMax = 6;
    const struct {
        int32_t delay;
        int64_t frames;
    } cases[] = {{0, 0}, {5, 5}, {6, 6}, {40, 6}, {-3, 0}};
    for (const auto &c : cases) {
        for (uint32_t floatMode : {0u, 1u}) {
            GenericWire *in = engine_.wire(2, 8);
            GenericWire *out = engine_.wire(2, 8);
            ClassModule *m = build(kDelay16, 0x101, {in, out}, {kMax, static_cast<uint32_t>(c.delay), 0, 2, floatMode});
            if (floatMode == 0) {
                std::vector<Fract32> x = noiseFract32(16 * 4, 2);
                x[3] = INT32_MAX; // rounds past the top: stored as the largest 16-bit sample
                const std::vector<Fract32> y = run(m, in, out, x);
                for (int64_t n = 0; n < 32; ++n)
                    for (size_t ch = 0; ch < 2; ++ch) {
                        const int64_t v = past(x, 2, ch, n, c.frames);
                        const auto kept = static_cast<Fract32>(std::min<int64_t>((v + 0x8000) >> 16, 32767) << 16);
                        ASSERT_EQ(y[static_cast<size_t>(n) * 2 + ch], kept) << "delay " << c.delay << " frame " << n;
                    }
            } else {
                const std::vector<float> x = noise(16 * 4, 3, 0.9f);
                const std::vector<float> y = run(m, in, out, x);
                for (int64_t n = 0; n < 32; ++n)
                    for (size_t ch = 0; ch < 2; ++ch)
                        ASSERT_NEAR(y[static_cast<size_t>(n) * 2 + ch], past(x, 2, ch, n, c.frames), 1.0 / 16384)
                            << "float delay " << c.delay << " frame " << n;
            }
        }
    }
}

// Per-channel delays: each channel by its own delay, one a host wrote past the maximum held to it; in milliseconds,
// Set turns 0.1 ms, 0.05 ms and 1 ms at 48 kHz into 4, 2 and (held to the maximum) 10 samples.
TEST_F(DelayLines, PerChannelDelaysHoldEachChannelToItsOwnDelay)
{
    constexpr uint32_t kMax = 10;
    GenericWire *in = engine_.wire(4, 8);
    GenericWire *out = engine_.wire(4, 8);
    ClassModule *m = build(kDelayNChan, 0x101, {in, out}, {kMax, 2});
    const int32_t delays[4] = {0, 3, 50, -2};
    std::copy_n(delays, 4, privateArray<int32_t>(m, 2));
    const std::vector<float> x = noise(4 * 8 * 6, 4);
    const std::vector<float> y = run(m, in, out, x);
    const int64_t expected[4] = {0, 3, kMax, 0};
    for (int64_t n = 0; n < 48; ++n)
        for (size_t c = 0; c < 4; ++c)
            ASSERT_EQ(y[static_cast<size_t>(n) * 4 + c], past(x, 4, c, n, expected[c])) << "channel " << c;

    GenericWire *in3 = engine_.wire(3, 8);
    GenericWire *out3 = engine_.wire(3, 8);
    ClassModule *msec = build(kDelayNChanMsec, 0x101, {in3, out3}, {kvetest::bitsOf(1.0f), 2, kMax});
    const float ms[3] = {0.1f, 0.05f, 1.0f};
    std::copy_n(ms, 3, privateArray<float>(msec, 3));
    set(msec);
    const std::vector<float> x3 = noise(3 * 8 * 5, 5);
    const std::vector<float> y3 = run(msec, in3, out3, x3);
    const int64_t samples[3] = {4, 2, kMax};
    for (int64_t n = 0; n < 40; ++n)
        for (size_t c = 0; c < 3; ++c)
            ASSERT_EQ(y3[static_cast<size_t>(n) * 3 + c], past(x3, 3, c, n, samples[c])) << "ms channel " << c;
}

// A multi-tap delay puts each tap's delayed copy of the mono input in its channel, delays held to 0 .. max; in
// bypass every tap channel repeats the input and the line is left as it was.
TEST_F(DelayLines, MultiTapDelaysReadEachTapAndRepeatTheInputInBypass)
{
    constexpr uint32_t kMax = 12, kBlock = 8;
    const int32_t delays[4] = {0, 4, 99, -1};
    const int64_t held[4] = {0, 4, kMax, 0};
    GenericWire *in = engine_.wire(1, kBlock);
    GenericWire *out = engine_.wire(4, kBlock);
    ClassModule *tap = build(kDelayNTap, 0x101, {in, out}, {kMax, 0, 0});
    std::copy_n(delays, 4, privateArray<int32_t>(tap, 3));
    const std::vector<float> x = noise(kBlock * 6, 6);
    const std::vector<float> y = run(tap, in, out, x);
    for (int64_t n = 0; n < 48; ++n)
        for (size_t t = 0; t < 4; ++t)
            ASSERT_EQ(y[static_cast<size_t>(n) * 4 + t], past(x, 1, 0, n, held[t])) << "tap " << t;

    // The 16-bit form, each tap on a wire of its own (mode 0) or in a channel of one wire (mode 1).
    std::vector<Fract32> x16 = noiseFract32(kBlock * 6, 7);
    for (uint32_t mode : {0u, 1u}) {
        GenericWire *in16 = engine_.wire(1, kBlock);
        std::vector<GenericWire *> outs;
        ClassModule *m = nullptr;
        if (mode == 0) {
            for (int k = 0; k < 4; ++k)
                outs.push_back(engine_.wire(1, kBlock));
            m = build(kDelayNTap16, 0x401, {in16, outs[0], outs[1], outs[2], outs[3]}, {4, kMax, 0, 0, 2});
        } else {
            outs.push_back(engine_.wire(4, kBlock));
            m = build(kDelayNTap16, 0x101, {in16, outs[0]}, {4, kMax, 1, 0, 2});
        }
        std::copy_n(delays, 4, privateArray<int32_t>(m, 5));
        for (size_t b = 0; b < 6; ++b) {
            fill(in16, x16, b * kBlock);
            pump(m);
            for (size_t i = 0; i < kBlock; ++i)
                for (size_t t = 0; t < 4; ++t) {
                    const Fract32 got = mode == 0 ? data<Fract32>(outs[t])[i] : data<Fract32>(outs[0])[i * 4 + t];
                    const auto n = static_cast<int64_t>(b * kBlock + i);
                    const int32_t v = past(x16, 1, 0, n, held[t]);
                    const auto top = static_cast<Fract32>(static_cast<uint32_t>(v >> 16) << 16);
                    ASSERT_EQ(got, top) << "mode " << mode << " tap " << t << " sample " << n;
                }
        }
        // Bypassed: the full input sample in every tap, the line and its write index untouched.
        const std::vector<int32_t> line(privateArray<int32_t>(m, 6), privateArray<int32_t>(m, 6) + (kBlock + kMax) / 2);
        const int32_t index = variable<int32_t>(m, 3);
        fill(in16, noiseFract32(kBlock, 8));
        m->classRecord->bypass(m);
        for (size_t i = 0; i < kBlock; ++i)
            for (size_t t = 0; t < 4; ++t)
                ASSERT_EQ(mode == 0 ? data<Fract32>(outs[t])[i] : data<Fract32>(outs[0])[i * 4 + t],
                          data<Fract32>(in16)[i]);
        EXPECT_EQ(variable<int32_t>(m, 3), index);
        EXPECT_TRUE(std::equal(line.begin(), line.end(), privateArray<int32_t>(m, 6)));
    }

    const std::vector<float> line(privateArray<float>(tap, 4), privateArray<float>(tap, 4) + kBlock + kMax);
    const int32_t index = variable<int32_t>(tap, 1);
    fill(in, noise(kBlock, 9));
    tap->classRecord->bypass(tap);
    for (size_t i = 0; i < kBlock; ++i)
        for (size_t t = 0; t < 4; ++t)
            ASSERT_EQ(data<float>(out)[i * 4 + t], data<float>(in)[i]);
    EXPECT_EQ(variable<int32_t>(tap, 1), index);
    EXPECT_TRUE(std::equal(line.begin(), line.end(), privateArray<float>(tap, 4)));
}

// ---- Modulated delays ----

// DelayInterp, linear and cubic, over a modulation that swings the delay past 0 and past the maximum, against the
// numpy model of where its taps lie; at D = 2.0 exactly the cubic gives the previous frame, the linear two frames.
TEST_F(DelayLines, ModulatedDelaysFollowTheModelOfTheirTaps)
{
    constexpr uint32_t kMax = 6, kBlock = 16, kCh = 2, kBlocks = 6;
    const std::vector<float> mod = noise(kBlock * kBlocks, 10);
    const std::vector<float> x = noise(kBlock * kBlocks * kCh, 11);
    for (uint32_t mode : {0u, 1u}) {
        GenericWire *modWire = engine_.wire(1, kBlock);
        GenericWire *in = engine_.wire(kCh, kBlock);
        GenericWire *out = engine_.wire(kCh, kBlock);
        ClassModule *m = build(kDelayInterp, 0x102, {modWire, in, out},
                               {kMax, mode, kvetest::bitsOf(3.2f), kvetest::bitsOf(4.5f), 0, 2});
        std::vector<float> y;
        for (size_t b = 0; b < kBlocks; ++b) {
            fill(modWire, mod, b * kBlock);
            fill(in, x, b * kBlock * kCh);
            pump(m);
            const std::vector<float> block = words<float>(out);
            y.insert(y.end(), block.begin(), block.end());
        }
        const std::vector<double> want =
            oracle({"modulated", mode == 0 ? "linear" : "cubic"},
                   {double(kCh), double(kMax), 3.2, 4.5, double(kBlock * kBlocks)}, {asDouble(mod), asDouble(x)});
        ASSERT_EQ(want.size(), y.size());
        for (size_t i = 0; i < y.size(); ++i)
            ASSERT_NEAR(y[i], want[i], 1e-5) << "mode " << mode << " word " << i;
    }
    for (uint32_t mode : {0u, 1u}) {
        GenericWire *modWire = engine_.wire(1, 8);
        GenericWire *in = engine_.wire(1, 8);
        GenericWire *out = engine_.wire(1, 8);
        ClassModule *m = build(kDelayInterp, 0x102, {modWire, in, out},
                               {kMax, mode, kvetest::bitsOf(2.0f), kvetest::bitsOf(0.0f), 0, 2});
        const std::vector<float> xs = noise(24, 12);
        std::fill_n(data<float>(modWire), 8, 0.0f);
        const std::vector<float> y = run(m, in, out, xs);
        for (int64_t n = 0; n < 24; ++n)
            ASSERT_EQ(y[static_cast<size_t>(n)], past(xs, 1, 0, n, mode == 0 ? 2 : 1)) << "mode " << mode;
    }
}

// The Fract32 modulated delays, bit-exact against an integer model of their datapath over a modulation that reaches
// past 0 and past the maximum (where the fraction is 0), and a frame of full-scale samples that saturates.
TEST_F(DelayLines, Fract32ModulatedDelaysMatchTheIntegerModelBitForBit)
{
    constexpr uint32_t kMax = 5, kBlock = 16, kCh = 2, kBlocks = 5;
    const std::vector<Fract32> mod = noiseFract32(kBlock * kBlocks, 13);
    std::vector<Fract32> x = noiseFract32(kBlock * kBlocks * kCh, 14);
    std::fill_n(x.begin() + 20, 8, INT32_MAX);
    std::fill_n(x.begin() + 28, 4, INT32_MIN);
    const struct {
        uint32_t classId;
        uint32_t mode;
        float base;
        float depth;
    } cases[] = {{kDelayciFract32, 1, 2.6f, 3.7f},     {kDelayInterpFract32, 0, 2.6f, 3.7f},
                 {kDelayInterpFract32, 1, 0.3f, 1.1f}, {kDelayInterpFract32, 1, 4.75f, 0.5f}};
    for (const auto &c : cases) {
        GenericWire *modWire = engine_.wire(1, kBlock);
        GenericWire *in = engine_.wire(kCh, kBlock);
        GenericWire *out = engine_.wire(kCh, kBlock);
        const uint32_t base = kvetest::bitsOf(c.base), depth = kvetest::bitsOf(c.depth);
        ClassModule *m = c.classId == kDelayciFract32
                             ? build(c.classId, 0x102, {modWire, in, out}, {kMax, base, 0, depth, 0, 0, 0, 2})
                             : build(c.classId, 0x102, {modWire, in, out}, {kMax, c.mode, base, 0, depth, 0, 0, 0, 2});
        const uint32_t q16 = c.classId == kDelayciFract32 ? 2 : 3;
        const auto baseQ16 = static_cast<int32_t>(c.base * 65536.0f);
        const auto depthQ16 = static_cast<int32_t>(c.depth * 65536.0f);
        ASSERT_EQ(variable<int32_t>(m, q16), baseQ16);
        ASSERT_EQ(variable<int32_t>(m, q16 + 2), depthQ16);
        std::vector<Fract32> y;
        for (size_t b = 0; b < kBlocks; ++b) {
            fill(modWire, mod, b * kBlock);
            fill(in, x, b * kBlock * kCh);
            pump(m);
            const std::vector<Fract32> block = words<Fract32>(out);
            y.insert(y.end(), block.begin(), block.end());
        }
        const std::vector<double> want =
            oracle({"fract32", c.mode == 0 ? "linear" : "cubic"},
                   {double(kCh), double(kMax), double(baseQ16), double(depthQ16), double(kBlock * kBlocks)},
                   {asDouble(mod), asDouble(x)});
        ASSERT_EQ(want.size(), y.size());
        for (size_t i = 0; i < y.size(); ++i)
            ASSERT_EQ(y[i], static_cast<Fract32>(want[i])) << std::hex << c.classId << std::dec << " mode " << c.mode
                                                          << " base " << c.base << " word " << i;
    }
}

// Bypassed, a modulated delay copies its audio input and leaves its line and write index as they were.
TEST_F(DelayLines, ModulatedDelaysPassTheirAudioInBypass)
{
    GenericWire *modWire = engine_.wire(1, 8);
    GenericWire *in = engine_.wire(2, 8);
    GenericWire *out = engine_.wire(2, 8);
    ClassModule *m = build(kDelayInterp, 0x102, {modWire, in, out},
                           {4, 1, kvetest::bitsOf(1.5f), kvetest::bitsOf(0.0f), 0, 2});
    fill(in, noise(16, 15));
    pump(m);
    const std::vector<float> line(privateArray<float>(m, 6), privateArray<float>(m, 6) + 10);
    fill(in, noise(16, 16));
    m->classRecord->bypass(m);
    EXPECT_EQ(words<float>(out), words<float>(in));
    EXPECT_EQ(variable<int32_t>(m, 4), 6);
    EXPECT_TRUE(std::equal(line.begin(), line.end(), privateArray<float>(m, 6)));
}

// ---- The shared line ----

// A writer and a reader after it in one layout: linear at 3.0 gives the writer's input 3 samples late, cubic 4;
// mode 2 leaves the reader's output as it was, and a bypassed reader passes the newest block. A delay past what the
// line keeps is held to it.
TEST_F(DelayLines, ReaderAfterItsWriterReadsTheLineAFractionalDelayBack)
{
    constexpr uint32_t kBlock = 8, kLine = 40, kCh = 2;
    const struct {
        uint32_t mode;
        float delay;
        int64_t late;
    } cases[] = {{0, 3.0f, 3}, {1, 3.0f, 4}, {0, 0.0f, 0}, {0, 1000.0f, (kLine - kCh * kBlock) / kCh},
                 {0, -5.0f, 0}, {0, std::numeric_limits<float>::quiet_NaN(), 0}};
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(kCh, kBlock);
        GenericWire *idWire = engine_.wire(1, 1);
        GenericWire *out = engine_.wire(kCh, kBlock);
        ClassModule *writer = build(kWriter, 0x101, {in, idWire}, {0, kLine, 0, 2});
        ClassModule *reader = build(kReader, 0x101, {idWire, out}, {0, kvetest::bitsOf(c.delay), c.mode, 0});
        ClassLayout *layout = engine_.layout(2, 1);
        ASSERT_NE(layout, nullptr);
        ASSERT_EQ(engine_.place(layout, 0, {writer, reader}), KVE_OK);
        const std::vector<float> x = noise(kCh * kBlock * 8, 17);
        for (size_t b = 0; b < 8; ++b) {
            fill(in, x, b * kBlock * kCh);
            uint32_t time = 0, period = 0;
            ClassLayout_Process(engine_.get(), layout, &time, &period);
            for (size_t i = 0; i < kBlock; ++i)
                for (size_t ch = 0; ch < kCh; ++ch)
                    ASSERT_EQ(data<float>(out)[i * kCh + ch],
                              past(x, kCh, ch, static_cast<int64_t>(b * kBlock + i), c.late))
                        << "mode " << c.mode << " delay " << c.delay << " block " << b;
        }
    }
    GenericWire *in = engine_.wire(1, kBlock);
    GenericWire *idWire = engine_.wire(1, 1);
    GenericWire *out = engine_.wire(1, kBlock);
    ClassModule *writer = build(kWriter, 0x101, {in, idWire}, {0, kLine, 0, 2});
    ClassModule *reader = build(kReader, 0x101, {idWire, out}, {0, kvetest::bitsOf(2.0f), 2, 0});
    std::fill_n(data<float>(out), kBlock, 7.0f);
    fill(in, noise(kBlock, 18));
    pump(writer);
    pump(reader);
    EXPECT_EQ(words<float>(out), std::vector<float>(kBlock, 7.0f));
    EXPECT_EQ(variable<uint32_t>(reader, 3), writer->objectId);
    // Bypassed, the reader passes the block the writer just put in the line, whatever its delay and mode.
    for (uint32_t b = 0; b < 7; ++b) {
        fill(in, noise(kBlock, 30 + b));
        pump(writer);
        reader->classRecord->bypass(reader);
        ASSERT_EQ(words<float>(out), words<float>(in)) << "block " << b;
    }
}

// A reader given the id of no module, or of a module that is no 32-bit writer, outputs silence in every channel
// until the id changes; then it follows the writer the new id names. A reader whose block is longer than the line
// outputs silence.
TEST_F(DelayLines, ReaderGivenNoWriterOutputsSilence)
{
    GenericWire *in = engine_.wire(1, 8);
    GenericWire *idWire = engine_.wire(1, 1);
    GenericWire *id16 = engine_.wire(1, 1);
    GenericWire *out = engine_.wire(2, 8);
    ClassModule *writer = build(kWriter, 0x101, {in, idWire}, {0, 64, 0, 2});
    ClassModule *writer16 = build(kWriter16, 0x101, {in, id16}, {0, 64, 0, 2});
    ClassModule *reader = build(kReader, 0x101, {idWire, out}, {0, kvetest::bitsOf(1.0f), 0, 0});
    fill(in, noise(8, 19));
    pump(writer);
    pump(writer16);
    GenericWire *given = engine_.wire(1, 1);
    ClassModule *fromGiven = build(kReader, 0x101, {given, out}, {0, kvetest::bitsOf(1.0f), 0, 0});
    for (uint32_t id : {0x7FFFFFu, writer16->objectId, in->objectId}) {
        data<uint32_t>(given)[0] = id;
        std::fill_n(data<float>(out), 16, 5.0f);
        pump(fromGiven);
        EXPECT_EQ(words<float>(out), std::vector<float>(16, 0.0f)) << "id " << id;
    }
    data<uint32_t>(given)[0] = writer->objectId;
    pump(fromGiven);
    EXPECT_NE(words<float>(out), std::vector<float>(16, 0.0f));
    pump(reader);

    GenericWire *longOut = engine_.wire(1, 80);
    ClassModule *tooLong = build(kReader, 0x101, {idWire, longOut}, {0, 0, 0, 0});
    std::fill_n(data<float>(longOut), 80, 5.0f);
    pump(tooLong);
    EXPECT_EQ(words<float>(longOut), std::vector<float>(80, 0.0f));
}

// On complex wires the line holds 2L words and a frame 2N: the reader gives each real-imaginary pair its delay.
TEST_F(DelayLines, ReaderOnComplexWiresDelaysWholePairs)
{
    constexpr uint32_t kWords = 8, kLine = 20;
    GenericWire *in = engine_.wire(1, kWords);
    GenericWire *idWire = engine_.wire(1, 1);
    GenericWire *out = engine_.wire(1, kWords);
    in->info1 |= 1u << 27;
    out->info1 |= 1u << 27;
    ClassModule *writer = build(kWriter, 0x101, {in, idWire}, {0, kLine, 0, 2});
    ClassModule *reader = build(kReader, 0x101, {idWire, out}, {0, kvetest::bitsOf(3.0f), 0, 0});
    EXPECT_GE(kve::kit::capacity(writer, 0), 2 * kLine);
    const std::vector<float> x = noise(kWords * 8, 20);
    for (size_t b = 0; b < 8; ++b) {
        fill(in, x, b * kWords);
        pump(writer);
        pump(reader);
        for (size_t i = 0; i < kWords; ++i)
            ASSERT_EQ(data<float>(out)[i], past(x, 2, i % 2, static_cast<int64_t>(b * kWords + i) / 2, 3))
                << "block " << b << " word " << i;
    }
}

// The sparse readers on the real writers' lines (float and Fract32 on the 32-bit writer, Fract16 on the 16-bit one)
// give the sparse sum numpy computes of the writer's input, each within what its line and taps keep.
TEST_F(DelayLines, SparseReadersOnTheWritersLinesGiveTheSparseSum)
{
    constexpr uint32_t kBlock = 8, kLine = 30, kBlocks = 6;
    const std::vector<int32_t> delays = {0, 5, 13, kLine - kBlock};
    const std::vector<float> coeffs = {0.25f, -0.375f, 0.125f, 0.2f};
    const std::vector<Fract32> xq = noiseFract32(kBlock * kBlocks, 21);
    std::vector<double> x;
    for (Fract32 v : xq)
        x.push_back(std::ldexp(double(v), -31));
    const std::vector<double> want =
        kvetest::runOracle("delay_lines.py", [&] {
            std::vector<std::string> a{"sparse"};
            for (double v : x)
                a.push_back(kvetest::oracleArg(v));
            a.emplace_back(";");
            for (int32_t d : delays)
                a.push_back(kvetest::oracleArg(d));
            a.emplace_back(";");
            for (float c : coeffs)
                a.push_back(kvetest::oracleArg(c));
            return a;
        }());
    const struct {
        uint32_t reader;
        uint32_t writer;
        double tolerance;
    } cases[] = {{kSparseReader, kWriter, 1e-6}, {kSparseReaderFract32, kWriter, 1e-8},
                 {kSparseReaderFract16, kWriter16, 4e-5}};
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(1, kBlock);
        GenericWire *idWire = engine_.wire(1, 1);
        GenericWire *out = engine_.wire(1, kBlock);
        ClassModule *writer = build(c.writer, 0x101, {in, idWire}, {0, kLine, 0, 2});
        const bool isFloat = c.reader == kSparseReader;
        ClassModule *reader = isFloat ? build(c.reader, 0x101, {idWire, out}, {4, 0})
                                      : build(c.reader, 0x101, {idWire, out}, {4, 0, 0});
        std::copy(delays.begin(), delays.end(), privateArray<int32_t>(reader, isFloat ? 2 : 3));
        std::copy(coeffs.begin(), coeffs.end(), privateArray<float>(reader, isFloat ? 4 : 5));
        set(reader);
        for (size_t b = 0; b < kBlocks; ++b) {
            if (isFloat) {
                for (size_t i = 0; i < kBlock; ++i)
                    data<float>(in)[i] = static_cast<float>(x[b * kBlock + i]);
            } else {
                fill(in, xq, b * kBlock);
            }
            pump(writer);
            pump(reader);
            for (size_t i = 0; i < kBlock; ++i) {
                const double got = isFloat ? data<float>(out)[i] : std::ldexp(double(data<Fract32>(out)[i]), -31);
                ASSERT_NEAR(got, want[b * kBlock + i], c.tolerance)
                    << std::hex << c.reader << std::dec << " sample " << b * kBlock + i;
            }
        }
    }
}

// ---- Fractional delay ----

// The fractional delay's group delay, as scipy measures it on the impulse response, is the delay asked for; a
// delay below 20 (or NaN) is held to 20 rather than wrapping the inner delay to its maximum.
TEST_F(DelayLines, FractionalDelayHasTheGroupDelayAskedFor)
{
    const struct {
        float delay;
        double expected;
    } cases[] = {{20.5f, 20.5}, {100.25f, 100.25}, {12.0f, 20.0}, {std::numeric_limits<float>::quiet_NaN(), 20.0}};
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(1, 32);
        GenericWire *out = engine_.wire(1, 32);
        GenericWire *scratch = engine_.wire(1, 32);
        ClassModule *m = build(kFractionalDelay, 0x10101, {in, out, scratch}, {kvetest::bitsOf(c.delay)});
        set(m);
        std::vector<Fract32> x(32 * 6, 0);
        x[0] = 1 << 30;
        const std::vector<Fract32> y = run(m, in, out, x);
        std::vector<double> h;
        for (Fract32 v : y)
            h.push_back(std::ldexp(double(v), -30));
        const std::vector<double> gd = oracle({"groupdelay"}, h);
        ASSERT_EQ(gd.size(), 1u);
        EXPECT_NEAR(gd[0], c.expected, 0.02) << "delay " << c.delay;
    }
}

} // namespace
