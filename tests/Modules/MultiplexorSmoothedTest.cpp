// MultiplexorSmoothed, MultiplexorSmoothedFract32 and MultiplexorControl: a changed request fades the current input
// out to silence, switches in the next block, and fades the requested input in.
#include "RoutersTestSupport.h"

namespace routertest {
namespace {

constexpr uint32_t kSmoothed = 0xBEEF0FEFu;
constexpr uint32_t kSmoothedFract32 = 0xBEEF0FEEu;
constexpr uint32_t kControl = 0xBEEF0FEAu;
constexpr uint32_t kBlock = 16;
constexpr int kBlocks = 60;
constexpr uint32_t kInputs = 3;

// Two-channel audio input k holds (k + 1) / 8 on channel 0 and -(k + 1) / 16 on channel 1.
double valueOf(uint32_t k, uint32_t c) { return c == 0 ? (k + 1) / 8.0 : -(k + 1.0) / 16.0; }

struct Case {
    const char *what;
    int32_t request;
    int32_t current;
    double gain;
};
const Case kCases[] = {
    {"a new request switches through silence", 2, 0, 1.0},
    {"the requested input fades in", 1, 1, 0.0},
    {"a request past the inputs keeps the output silent", 9, 0, 1.0},
    {"a current index past the inputs is limited", 0, 5, 1.0},
};

int32_t limitedIndex(int32_t k) { return std::clamp<int32_t>(k, 0, kInputs - 1); }

TEST_F(Multiplexors, MultiplexorSmoothedAndControlSwitchThroughSilenceAlongTheGlide)
{
    const double a = scalertest::stepOf(1.0);
    for (bool control : {false, true})
        for (const Case &c : kCases) {
            const std::string what = std::string(c.what) + (control ? " (control pin)" : "");
            GenericWire *pin = wire(1, kBlock);
            std::vector<GenericWire *> wires;
            if (control)
                wires.push_back(pin);
            for (uint32_t k = 0; k < kInputs; ++k) {
                GenericWire *w = wire(2, kBlock);
                for (uint32_t t = 0; t < kBlock; ++t)
                    for (uint32_t ch = 0; ch < 2; ++ch)
                        data(w)[2 * t + ch] = static_cast<float>(valueOf(k, ch));
                wires.push_back(w);
            }
            GenericWire *out = wire(2, kBlock);
            wires.push_back(out);
            words(pin)[0] = c.request;
            const auto cur = static_cast<uint32_t>(c.current);
            const auto req = static_cast<uint32_t>(c.request);
            const float g0 = static_cast<float>(c.gain);
            ClassModule *m = control
                                 ? build(kControl, 0x104, wires, {bitsOf(1.0f), 0, 0, cur, bitsOf(g0)})
                                 : build(kSmoothed, 0x103, wires, {req, bitsOf(1.0f), 0, cur, bitsOf(g0)});
            ASSERT_NE(m, nullptr) << what;
            int32_t current = c.current;
            double g = c.gain;
            for (int block = 0; block < kBlocks; ++block) {
                pump(m);
                current = limitedIndex(current);
                const bool requested = current == c.request;
                const double target = requested ? 1.0 : 0.0;
                for (uint32_t t = 0; t < kBlock; ++t)
                    for (uint32_t ch = 0; ch < 2; ++ch)
                        ASSERT_NEAR(data(out)[2 * t + ch],
                                    valueOf(static_cast<uint32_t>(current), ch) *
                                        scalertest::glide(g, target, a, static_cast<int>(t) + 1),
                                    1e-5)
                            << what << ", block " << block << " frame " << t;
                if (!requested && g < 1e-5)
                    current = c.request;
                g = scalertest::glide(g, target, a, kBlock);
                ASSERT_EQ(var<int32_t>(m, 3), current) << what << ", block " << block;
                ASSERT_NEAR(var(m, 4), g, 1e-5) << what << ", block " << block;
                if (control) {
                    ASSERT_EQ(var<int32_t>(m, 1), c.request) << what;
                }
            }
            if (c.request < static_cast<int32_t>(kInputs)) {
                EXPECT_GT(g, 0.5) << what << ": the requested input has faded in";
            } else {
                EXPECT_LT(g, 1e-5) << what;
            }
        }
}

TEST_F(Multiplexors, MultiplexorSmoothedFract32MatchesTheIntegerGlideBitForBit)
{
    for (const Case &c : kCases) {
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < kInputs; ++k) {
            GenericWire *w = wire(2, kBlock);
            for (uint32_t t = 0; t < kBlock; ++t)
                for (uint32_t ch = 0; ch < 2; ++ch)
                    words(w)[2 * t + ch] = static_cast<int32_t>(std::ldexp(valueOf(k, ch), 31));
            wires.push_back(w);
        }
        GenericWire *out = wire(2, kBlock);
        wires.push_back(out);
        const int32_t g0 = c.gain == 1.0 ? 0x7FFFFFFF : 0;
        ClassModule *m = build(kSmoothedFract32, 0x103, wires,
                               {static_cast<uint32_t>(c.request), bitsOf(1.0f), 0, static_cast<uint32_t>(c.current),
                                static_cast<uint32_t>(g0)});
        ASSERT_NE(m, nullptr) << c.what;
        const int32_t coeff = var<int32_t>(m, 2);
        int32_t current = c.current;
        int32_t g = g0;
        for (int block = 0; block < kBlocks; ++block) {
            pump(m);
            current = limitedIndex(current);
            const bool requested = current == c.request;
            int32_t end = g;
            for (uint32_t ch = 0; ch < 2; ++ch) {
                int32_t working = g;
                for (uint32_t t = 0; t < kBlock; ++t) {
                    working = stepQ31(working, requested ? 0x7FFFFFFF : 0, coeff);
                    ASSERT_EQ(words(out)[2 * t + ch],
                              mulQ31(words(wires[static_cast<uint32_t>(current)])[2 * t + ch], working))
                        << c.what << ", block " << block << " frame " << t;
                }
                end = working;
            }
            if (!requested && g <= 0x53E2)
                current = c.request;
            g = end;
            ASSERT_EQ(var<int32_t>(m, 3), current) << c.what << ", block " << block;
            ASSERT_EQ(var<int32_t>(m, 4), g) << c.what << ", block " << block;
        }
    }
}

TEST_F(Multiplexors, MultiplexorControlWithOnlyAControlPinIsSilent)
{
    GenericWire *pin = wire(1, 4);
    GenericWire *out = wire(1, 4);
    words(pin)[0] = 0;
    fill(out, -1.0f);
    ClassModule *m = build(kControl, 0x101, {pin, out}, {bitsOf(1.0f), 0, 0, 0, bitsOf(1.0f)});
    ASSERT_NE(m, nullptr);
    pump(m);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(data(out)[i], 0.0f) << i;
}

} // namespace
} // namespace routertest
