// The peak readers: the largest magnitude over every channel of every input at each sample time.
#include <cmath>
#include <cstdint>
#include <limits>

#include "Modules/DynamicsTestSupport.h"

namespace dynamicstest {
namespace {

class PeakReaders : public Dynamics {};

// A signal that differs in every word, with both signs, so each output sample tells which input won.
std::vector<float> signal(uint32_t words, float scale)
{
    std::vector<float> v(words);
    for (uint32_t i = 0; i < words; ++i)
        v[i] = scale * std::sin(0.7f * static_cast<float>(i) + scale);
    return v;
}

TEST_F(PeakReaders, OneMonoInputIsItsMagnitude)
{
    GenericWire *in = wire(1, 16);
    GenericWire *out = wire(1, 16);
    const std::vector<float> x = signal(16, 0.8f);
    put(in, x);
    pump(build(0xBEEF087Eu, io(1, 1), {in, out}, {}));
    for (uint32_t t = 0; t < 16; ++t)
        EXPECT_EQ(data(out)[t], std::fabs(x[t])) << t;
}

TEST_F(PeakReaders, EachSampleIsTheLargestOverEveryChannelOfEveryInput)
{
    GenericWire *a = wire(2, 16);
    GenericWire *b = wire(3, 16);
    GenericWire *out = wire(1, 16);
    const std::vector<float> x = signal(32, 0.9f);
    const std::vector<float> y = signal(48, -0.6f);
    put(a, x);
    put(b, y);
    pump(build(0xBEEF087Eu, io(2, 1), {a, b, out}, {}));
    for (uint32_t t = 0; t < 16; ++t) {
        const float five[] = {x[2 * t], x[2 * t + 1], y[3 * t], y[3 * t + 1], y[3 * t + 2]};
        float peak = 0.0f;
        for (float v : five)
            peak = std::max(peak, std::fabs(v));
        EXPECT_EQ(data(out)[t], peak) << t;
    }
}

// A NaN in one channel loses to the number beside it; a lone NaN stays.
TEST_F(PeakReaders, ANaNChannelLosesToANumber)
{
    GenericWire *in = wire(2, 2);
    GenericWire *out = wire(1, 2);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    put(in, std::vector<float>{nan, -0.25f, 0.5f, nan});
    pump(build(0xBEEF087Eu, io(1, 1), {in, out}, {}));
    EXPECT_EQ(data(out)[0], 0.25f);
    EXPECT_EQ(data(out)[1], 0.5f);
}

// A second input with a shorter block adds only the frames it holds; an output shorter than the first input's
// block is not written past.
TEST_F(PeakReaders, ShortWiresAreNeitherReadNorWrittenPast)
{
    GenericWire *a = wire(1, 8);
    GenericWire *b = wire(2, 3);
    GenericWire *out = wire(1, 5);
    fill(a, 0.125f);
    fill(b, -0.5f);
    pump(build(0xBEEF087Eu, io(2, 1), {a, b, out}, {}));
    for (uint32_t t = 0; t < 5; ++t)
        EXPECT_EQ(data(out)[t], t < 3 ? 0.5f : 0.125f) << t;
}

TEST_F(PeakReaders, Fract32MagnitudesSaturateAndCompareAsIntegers)
{
    GenericWire *a = wire(2, 4);
    GenericWire *b = wire(1, 4);
    GenericWire *out = wire(1, 4);
    put(a, std::vector<int32_t>{INT32_MIN, 5, -7, 6, 0, 0, -1, 1});
    put(b, std::vector<int32_t>{3, -8, 0, 0x40000000});
    pump(build(0xBEEF089Cu, io(2, 1), {a, b, out}, {}));
    const int32_t expected[] = {INT32_MAX, 8, 0, 0x40000000};
    for (uint32_t t = 0; t < 4; ++t)
        EXPECT_EQ(data<int32_t>(out)[t], expected[t]) << t;

    GenericWire *mono = wire(1, 3);
    GenericWire *monoOut = wire(1, 3);
    put(mono, std::vector<int32_t>{INT32_MIN, -3, INT32_MAX});
    pump(build(0xBEEF089Cu, io(1, 1), {mono, monoOut}, {}));
    EXPECT_EQ(data<int32_t>(monoOut)[0], INT32_MAX);
    EXPECT_EQ(data<int32_t>(monoOut)[1], 3);
    EXPECT_EQ(data<int32_t>(monoOut)[2], INT32_MAX);
}

TEST_F(PeakReaders, WiringWithoutAnOutputIsRefused)
{
    for (uint32_t id : {0xBEEF087Eu, 0xBEEF089Cu}) {
        GenericWire *in = wire(1, 4);
        int32_t status = KVE_OK;
        EXPECT_EQ(build(id, io(1, 0), {in}, {}, &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
}

} // namespace
} // namespace dynamicstest
