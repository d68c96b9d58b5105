// The gain appliers: every audio channel times a one-channel gain signal.
#include <cstdint>

#include "Modules/DynamicsTestSupport.h"

namespace dynamicstest {
namespace {

class GainAppliers : public Dynamics {};

// Construction arguments: the Fract32 class's postShift of 0.
std::vector<uint32_t> argsOf(uint32_t id) { return id == 0xBEEF0883u ? std::vector<uint32_t>{0} : std::vector<uint32_t>{}; }

TEST_F(GainAppliers, EveryChannelIsScaledByTheGainOfItsSampleTime)
{
    GenericWire *gain = wire(1, 8);
    GenericWire *audio = wire(3, 8);
    GenericWire *out = wire(3, 8);
    for (uint32_t t = 0; t < 8; ++t)
        data(gain)[t] = 0.125f * static_cast<float>(t);
    for (uint32_t i = 0; i < 24; ++i)
        data(audio)[i] = 1.0f + static_cast<float>(i);
    pump(build(0xBEEF0FD0u, io(2, 1), {gain, audio, out}, {}));
    for (uint32_t t = 0; t < 8; ++t)
        for (uint32_t c = 0; c < 3; ++c)
            EXPECT_EQ(data(out)[3 * t + c], 0.125f * static_cast<float>(t) * (1.0f + static_cast<float>(3 * t + c)));
}

// The Fract32 product rounds toward minus infinity (an arithmetic shift of the 64-bit product), -1 x -1 saturates,
// then postShift moves it right arithmetically or left with saturation.
int32_t fract32Model(int32_t x, int32_t g, int32_t shift)
{
    int64_t p = (int64_t{x} * g) >> 31;
    p = std::min<int64_t>(p, INT32_MAX);
    p = shift >= 0 ? p * (int64_t{1} << shift) : p >> -shift;
    return static_cast<int32_t>(std::clamp<int64_t>(p, INT32_MIN, INT32_MAX));
}

TEST_F(GainAppliers, Fract32ProductsMatchTheIntegerModel)
{
    const int32_t audioWords[] = {INT32_MIN, 0x40000001, -0x12345678, 0x7FFFFFFF, -3, 0x00010000};
    const int32_t gainWords[] = {INT32_MIN, 0x40000000, 0x7FFFFFFF};
    for (int32_t shift : {0, -3, 2}) {
        GenericWire *gain = wire(1, 3);
        GenericWire *audio = wire(2, 3);
        GenericWire *out = wire(2, 3);
        put(gain, std::vector<int32_t>(std::begin(gainWords), std::end(gainWords)));
        put(audio, std::vector<int32_t>(std::begin(audioWords), std::end(audioWords)));
        pump(build(0xBEEF0883u, io(2, 1), {gain, audio, out}, {static_cast<uint32_t>(shift)}));
        for (uint32_t t = 0; t < 3; ++t)
            for (uint32_t c = 0; c < 2; ++c)
                EXPECT_EQ(data<int32_t>(out)[2 * t + c], fract32Model(audioWords[2 * t + c], gainWords[t], shift))
                    << "shift " << shift << " t " << t << " c " << c;
    }
}

// A gain signal shorter than the audio block scales only the frames it covers; the rest of the output is left.
TEST_F(GainAppliers, AShortGainSignalScalesOnlyTheFramesItCovers)
{
    GenericWire *gain = wire(1, 2);
    GenericWire *audio = wire(2, 4);
    GenericWire *out = wire(2, 4);
    fill(gain, 0.5f);
    fill(audio, 1.0f);
    fill(out, -9.0f);
    pump(build(0xBEEF0FD0u, io(2, 1), {gain, audio, out}, {}));
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(data(out)[i], i < 4 ? 0.5f : -9.0f) << i;
}

TEST_F(GainAppliers, BypassPassesTheAudioUnchanged)
{
    for (uint32_t id : {0xBEEF0FD0u, 0xBEEF0883u}) {
        GenericWire *gain = wire(1, 4);
        GenericWire *audio = wire(2, 4);
        GenericWire *out = wire(2, 4);
        fill(gain, 0.0f);
        for (uint32_t i = 0; i < 8; ++i)
            data<int32_t>(audio)[i] = static_cast<int32_t>(0x01000000 * (i + 1));
        ClassModule *m = build(id, io(2, 1), {gain, audio, out}, argsOf(id));
        ASSERT_NE(m, nullptr);
        m->classRecord->bypass(m);
        for (uint32_t i = 0; i < 8; ++i)
            EXPECT_EQ(data<int32_t>(out)[i], data<int32_t>(audio)[i]) << i;
    }
}

TEST_F(GainAppliers, WiringWithoutTheAudioInputIsRefused)
{
    for (uint32_t id : {0xBEEF0FD0u, 0xBEEF0883u}) {
        GenericWire *gain = wire(1, 4);
        GenericWire *out = wire(1, 4);
        int32_t status = KVE_OK;
        EXPECT_EQ(build(id, io(1, 1), {gain, out}, argsOf(id), &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
}

} // namespace
} // namespace dynamicstest
