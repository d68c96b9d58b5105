// The probe on a stereo wire: passing the audio, capturing channel 0, playing the capture into channel 0.
#include "StreamingTestSupport.h"

namespace {

using namespace streamtest;

constexpr uint32_t kBlock = 8;

class Probe : public StreamingTable {};

TEST_F(Probe, ModesPassCaptureOrInjectChannelZero)
{
    enum Expect { Input, Untouched, Injected };
    struct Case {
        uint32_t mode;
        Expect channel0;
        Expect channel1;
        bool captures;
    };
    for (const Case c : {Case{0, Input, Input, false}, Case{1, Input, Input, true}, Case{2, Injected, Untouched, false},
                         Case{3, Untouched, Untouched, false}}) {
        SCOPED_TRACE(c.mode);
        GenericWire *in = wire(2, kBlock);
        GenericWire *out = wire(2, kBlock);
        ClassModule *m = engine_.module(kProbe, 0x101, {in, out}, {c.mode});
        ASSERT_NE(m, nullptr);
        float *capture = array<float>(m, 1);
        for (uint32_t i = 0; i < 2 * kBlock; ++i) {
            data(in)[i] = 1.0f + static_cast<float>(i);
            data(out)[i] = -1.0f;
            capture[i] = 100.0f + static_cast<float>(i);
        }
        pump(m);
        for (uint32_t t = 0; t < kBlock; ++t) {
            const Expect e[2] = {c.channel0, c.channel1};
            for (uint32_t ch = 0; ch < 2; ++ch) {
                const uint32_t i = 2 * t + ch;
                const float expected = e[ch] == Input ? data(in)[i] : (e[ch] == Injected ? 100.0f + t : -1.0f);
                EXPECT_EQ(data(out)[i], expected) << "frame " << t << ", channel " << ch;
            }
            EXPECT_EQ(capture[t], c.captures ? data(in)[2 * t] : 100.0f + t) << "capture " << t;
        }
        EXPECT_EQ(capture[kBlock], 100.0f + kBlock) << "capture holds one channel's block";
    }
}

} // namespace
