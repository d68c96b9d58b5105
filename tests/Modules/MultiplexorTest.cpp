// Multiplexor and DeMultiplexor: one of several wires passed whole, selections limited to the wires that exist.
#include "RoutersTestSupport.h"

namespace routertest {
namespace {

constexpr uint32_t kMultiplexor = 0xBEEF0867u;
constexpr uint32_t kDeMultiplexor = 0xBEEF0FD8u;

TEST_F(Multiplexors, MultiplexorPassesTheSelectedWire)
{
    struct Case {
        const char *what;
        int32_t useControlPin;
        int32_t index;
        int32_t control;
        uint32_t passed;
        int32_t indexAfter;
    } cases[] = {
        {"index 1", 0, 1, 0, 1, 1},
        {"index past the last wire passes the last, index kept", 0, 9, 0, 2, 9},
        {"negative index passes the first", 0, -4, 0, 0, -4},
        {"control 7 passes the last audio wire and is kept", 1, 0, 7, 1, 7},
        {"control 0", 1, 2, 0, 0, 0},
        {"control -1 passes the first", 1, 1, -1, 0, -1},
    };
    for (const Case &c : cases) {
        GenericWire *in[3] = {wire(2, 4), wire(2, 4), wire(2, 4)};
        GenericWire *out = wire(2, 4);
        ramp(in[0], 100.0f);
        ramp(in[1], 200.0f);
        ramp(in[2], 300.0f);
        if (c.useControlPin != 0)
            reinterpret_cast<int32_t *>(data(in[2]))[0] = c.control;
        ClassModule *m = build(kMultiplexor, 0x103, {in[0], in[1], in[2], out},
                               {static_cast<uint32_t>(c.useControlPin), static_cast<uint32_t>(c.index)});
        ASSERT_NE(m, nullptr) << c.what;
        pump(m);
        for (uint32_t i = 0; i < 8; ++i)
            EXPECT_EQ(data(out)[i], data(in[c.passed])[i]) << c.what << " word " << i;
        EXPECT_EQ(var<int32_t>(m, 1), c.indexAfter) << c.what;
    }
}

TEST_F(Multiplexors, MultiplexorWithOnlyAControlPinIsSilent)
{
    GenericWire *control = wire(1, 4);
    GenericWire *out = wire(1, 4);
    reinterpret_cast<int32_t *>(data(control))[0] = 0;
    fill(out, -1.0f);
    ClassModule *m = build(kMultiplexor, 0x101, {control, out}, {1, 0});
    ASSERT_NE(m, nullptr);
    pump(m);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(data(out)[i], 0.0f) << i;
}

TEST_F(Multiplexors, DeMultiplexorFeedsOneOutputAndSilencesTheOthers)
{
    const struct {
        int32_t index;
        uint32_t fed;
    } cases[] = {{1, 1}, {-3, 0}, {5, 2}};
    for (const auto &c : cases) {
        GenericWire *in = wire(2, 4);
        GenericWire *out[3] = {wire(2, 4), wire(2, 4), wire(2, 4)};
        ramp(in, 10.0f);
        for (GenericWire *w : out)
            fill(w, -1.0f);
        ClassModule *m =
            build(kDeMultiplexor, 0x301, {in, out[0], out[1], out[2]}, {static_cast<uint32_t>(c.index)});
        ASSERT_NE(m, nullptr);
        pump(m);
        for (uint32_t k = 0; k < 3; ++k)
            for (uint32_t i = 0; i < 8; ++i)
                EXPECT_EQ(data(out[k])[i], k == c.fed ? data(in)[i] : 0.0f) << "index " << c.index << " output " << k;
    }
}

} // namespace
} // namespace routertest
