// The RMS readers: block mean squares over every input, averaged over blocks by a one-pole filter.
#include <cmath>
#include <cstdint>

#include "Modules/DynamicsTestSupport.h"

namespace dynamicstest {
namespace {

class RmsReaders : public Dynamics {};

constexpr double kPi = 3.14159265358979323846;

// The averager's pole for a time constant of T ms at the block rate of 48 kHz / block.
double poleOf(double timeMs, double block) { return std::exp(-2.0 * kPi * (1000.0 / timeMs) / (kRate / block)); }

// A sine of amplitude a and a period of 16 samples, channel c shifted in phase.
void sine(GenericWire *w, double a)
{
    const uint32_t ch = KVE_WIRE_CHANNELS(w->info1);
    for (uint32_t i = 0; i < kve::kit::wireWords(w); ++i)
        static_cast<float *>(w->buffer)[i] = static_cast<float>(a * std::sin(2.0 * kPi * (i / ch) / 16.0 + (i % ch)));
}

// Over whole periods a sine's RMS is its amplitude / sqrt(2), whatever its phase; the running mean square of a steady
// level from 0 is e·(1 - p^N) after N blocks.
TEST_F(RmsReaders, SineOverWholePeriodsReadsAmplitudeOverRootTwo)
{
    GenericWire *a = wire(1, 64);
    GenericWire *b = wire(2, 64);
    GenericWire *out = wire(1, 1);
    sine(a, 0.5);
    sine(b, 0.5);
    ClassModule *m = build(0xBEEF087Fu, io(2, 1), {a, b, out}, {argOf(20.0f), 0, 0, 0, 0, 0, 0, 0});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(ClassModule_Set(m, 1u << 8), KVE_OK);
    const double p = poleOf(20.0, 64.0);
    EXPECT_NEAR(var(m, 3), -p, 1e-6);
    EXPECT_NEAR(var(m, 4), 1.0 - p, 1e-6);
    for (int k = 1; k <= 5; ++k) {
        pump(m);
        EXPECT_NEAR(var(m, 1), 0.5 / std::sqrt(2.0), 1e-6) << k;
        EXPECT_NEAR(var(m, 7), 0.125 * (1.0 - std::pow(p, k)), 1e-6) << k;
        EXPECT_EQ(data(out)[0], var(m, 2));
    }
}

// Only a write of averagingTime redesigns the averager.
TEST_F(RmsReaders, CoefficientsChangeOnlyWithTheAveragingTime)
{
    GenericWire *in = wire(1, 32);
    GenericWire *out = wire(1, 1);
    ClassModule *m = build(0xBEEF087Fu, io(1, 1), {in, out}, {argOf(10.0f), 0, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(ClassModule_Set(m, 1u << 8), KVE_OK);
    const float a1 = var(m, 3);
    var(m, 0) = 500.0f;
    ASSERT_EQ(ClassModule_Set(m, 1u << 9), KVE_OK);
    EXPECT_EQ(var(m, 3), a1);
    ASSERT_EQ(ClassModule_Set(m, 1u << 8), KVE_OK);
    EXPECT_NEAR(var(m, 3), -poleOf(500.0, 32.0), 1e-6);
}

// The Fract32 reader against an integer model: squares x·x >> 31, their 64-bit sum divided by the count, the
// averager b0·e − a1·y with Fract32 products (each rounded toward minus infinity); the square roots to within the
// root kernel's precision. No output wire is needed for the readings.
TEST_F(RmsReaders, Fract32MeanSquaresMatchTheIntegerModelWithoutAnOutput)
{
    GenericWire *in = wire(2, 16);
    std::vector<int32_t> x(32);
    for (uint32_t i = 0; i < 32; ++i)
        x[i] = static_cast<int32_t>(0x10000000 * std::sin(0.37 * i)) + (i == 5 ? INT32_MIN : 0);
    put(in, x);
    int64_t sum = 0;
    for (int32_t v : x)
        sum += std::min<int64_t>((int64_t{v} * v) >> 31, INT32_MAX);
    const int64_t e = sum / 32;
    ClassModule *m = build(0xBEEF08AEu, io(1, 0), {in}, {argOf(20.0f), 0, 0, 0, 0, 0, 0, 0});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(ClassModule_Set(m, 1u << 8), KVE_OK);
    const int32_t p = var<int32_t>(m, 4) == 0 ? INT32_MAX : INT32_MAX - var<int32_t>(m, 4);
    EXPECT_NEAR(p, poleOf(20.0, 16.0) * 2147483648.0, 256.0);
    EXPECT_EQ(var<int32_t>(m, 3), -p);
    int64_t ms = 0;
    for (int k = 0; k < 3; ++k) {
        pump(m);
        ms = ((var<int32_t>(m, 4) * e) >> 31) - ((int64_t{-p} * ms) >> 31);
        EXPECT_EQ(var<int32_t>(m, 6), e) << k;
        EXPECT_EQ(var<int32_t>(m, 7), ms) << k;
        const double blockRms = std::sqrt(e / 2147483648.0) * 2147483648.0;
        const double rms = std::sqrt(ms / 2147483648.0) * 2147483648.0;
        EXPECT_NEAR(var<int32_t>(m, 1), blockRms, 1e-5 * blockRms) << k;
        EXPECT_NEAR(var<int32_t>(m, 2), rms, 1e-5 * rms) << k;
    }
}

TEST_F(RmsReaders, Fract32PoleOfOneStopsTheAverager)
{
    GenericWire *in = wire(1, 16);
    GenericWire *out = wire(1, 1);
    ClassModule *m = build(0xBEEF08AEu, io(1, 1), {in, out}, {argOf(1e30f), 0, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(ClassModule_Set(m, 1u << 8), KVE_OK);
    EXPECT_EQ(var<int32_t>(m, 3), -0x7FFFFFFF);
    EXPECT_EQ(var<int32_t>(m, 4), 0);
}

// Per channel: after N blocks of a steady level the mean square is e_c·(1 - p^N); each channel reads on its own.
TEST_F(RmsReaders, PerChannelReadersAverageEachChannel)
{
    GenericWire *in = wire(3, 32);
    GenericWire *out = wire(3, 1);
    const double level[3] = {0.5, 0.25, 0.0};
    for (uint32_t i = 0; i < 96; ++i)
        data(in)[i] = static_cast<float>((i / 3) % 2 ? level[i % 3] : -level[i % 3]);
    ClassModule *m = build(0xBEEF08DAu, io(1, 1), {in, out}, {argOf(30.0f), 0, 0});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(ClassModule_Set(m, 1u << 8), KVE_OK);
    const double p = poleOf(30.0, 32.0);
    for (int k = 1; k <= 4; ++k) {
        pump(m);
        for (uint32_t c = 0; c < 3; ++c)
            EXPECT_NEAR(data(out)[c], level[c] * std::sqrt(1.0 - std::pow(p, k)), 1e-6) << k << " " << c;
    }
}

// An output with room for fewer channels than the input gets only those.
TEST_F(RmsReaders, PerChannelReadersWriteOnlyWhereTheOutputHasRoom)
{
    GenericWire *in = wire(4, 8);
    GenericWire *out = wire(2, 1);
    fill(in, 0.5f);
    ClassModule *m = build(0xBEEF08DAu, io(1, 1), {in, out}, {argOf(30.0f), 0, 0});
    ASSERT_EQ(ClassModule_Set(m, 1u << 8), KVE_OK);
    pump(m);
    EXPECT_GT(data(out)[1], 0.0f);
    EXPECT_EQ(array(m, 3)[3], 0.0f);
}

} // namespace
} // namespace dynamicstest
