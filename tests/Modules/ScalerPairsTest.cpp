// Scaler, ScalerDB, ScalerSmoothed, ScalerDBSmoothed: one gain on every input/output pair, fixed or gliding.
#include "ScalerTestSupport.h"

namespace scalertest {
namespace {

constexpr uint32_t kScaler = 0xBEEF0FF6u;
constexpr uint32_t kScalerDB = 0xBEEF0FF4u;
constexpr uint32_t kScalerSmoothed = 0xBEEF0FF7u;
constexpr uint32_t kScalerDBSmoothed = 0xBEEF0FF5u;

struct PairCase {
    const char *what;
    uint32_t classId;
    std::vector<uint32_t> args;
    double start;  // gain before the first frame
    double target; // gain glided toward (start = target: a fixed gain)
    double step;   // per-sample smoothing step
    uint32_t currentGain; // variable ordinal of the stored gain, or none
};

constexpr uint32_t kNone = ~0u;

const PairCase kPairCases[] = {
    {"Scaler", kScaler, {bitsOf(-3.0f)}, -3.0, -3.0, 0.0, kNone},
    {"ScalerDB at -6.0206 dB", kScalerDB, {bitsOf(-6.0206f), 0}, 0.5, 0.5, 0.0, kNone},
    {"ScalerSmoothed", kScalerSmoothed, {bitsOf(2.0f), bitsOf(1.0f), bitsOf(0.5f), 0}, 0.5, 2.0, stepOf(1.0), 2},
    {"ScalerDBSmoothed", kScalerDBSmoothed, {bitsOf(12.0f), bitsOf(-1.0f), bitsOf(3.0f), 0, 0}, -1.0,
     linearOf(12.0), stepOf(3.0), 1},
};

TEST_F(Scalers, PairScalersGiveEveryPairTheSameGainTrajectory)
{
    for (const PairCase &c : kPairCases) {
        GenericWire *in[2] = {wire(2, 32), wire(1, 32)};
        GenericWire *out[2] = {wire(2, 32), wire(1, 32)};
        fill(in[0], 1.0f);
        fill(in[1], -2.0f);
        ClassModule *m = build(c.classId, 0x202, {in[0], in[1], out[0], out[1]}, c.args);
        ASSERT_NE(m, nullptr) << c.what;
        for (int block = 0; block < 2; ++block) {
            pump(m);
            for (int t = 0; t < 32; ++t) {
                const double g = glide(c.start, c.target, c.step, 32 * block + t + 1);
                const double tolerance = 2e-5 * std::fabs(c.target);
                EXPECT_NEAR(data(out[0])[2 * t], g, tolerance) << c.what << " block " << block << " frame " << t;
                EXPECT_NEAR(data(out[0])[2 * t + 1], g, tolerance) << c.what;
                EXPECT_NEAR(data(out[1])[t], -2.0 * g, 2 * tolerance) << c.what << ": second pair";
            }
            if (c.currentGain != kNone) {
                EXPECT_NEAR(var(m, c.currentGain), glide(c.start, c.target, c.step, 32 * (block + 1)),
                            2e-5 * std::fabs(c.target))
                    << c.what;
            }
        }
    }
}

TEST_F(Scalers, PairScalersSetDerivesTheirGainsOnEveryMask)
{
    struct Case {
        const char *what;
        uint32_t classId;
        std::vector<uint32_t> args;
        uint32_t source;  // variable the host writes
        float written;
        uint32_t derived; // variable Set derives from it
        double expected;
    } cases[] = {
        {"ScalerDB gain", kScalerDB, {bitsOf(0.0f), 0}, 0, 20.0f, 1, 10.0},
        {"ScalerSmoothed coefficient", kScalerSmoothed, {bitsOf(1.0f), bitsOf(1.0f), 0, 0}, 1, 4.0f, 3, stepOf(4.0)},
        {"ScalerDBSmoothed target", kScalerDBSmoothed, {0, 0, bitsOf(1.0f), 0, 0}, 0, -20.0f, 4, 0.1},
        {"ScalerDBSmoothed coefficient", kScalerDBSmoothed, {0, 0, bitsOf(1.0f), 0, 0}, 2, 4.0f, 3, stepOf(4.0)},
    };
    for (const Case &c : cases) {
        for (uint32_t mask : {0u, 1u << 8, 0x7FFFFFFFu}) {
            GenericWire *in = wire(1, 8);
            GenericWire *out = wire(1, 8);
            ClassModule *m = build(c.classId, 0x101, {in, out}, c.args);
            ASSERT_NE(m, nullptr) << c.what;
            var(m, c.source) = c.written;
            ASSERT_EQ(ClassModule_Set(m, mask), 0);
            EXPECT_NEAR(var(m, c.derived), c.expected, 1e-5 * c.expected) << c.what << " mask " << std::hex << mask;
        }
    }
}

TEST_F(Scalers, PairScalersFillAShorterOutputWithoutOverrunningIt)
{
    for (uint32_t classId : {kScaler, kScalerDB, kScalerSmoothed, kScalerDBSmoothed}) {
        GenericWire *in = wire(2, 16);
        GenericWire *out = wire(2, 4);
        GenericWire *after = wire(1, 4);
        fill(in, 1.0f);
        fill(after, 7.0f);
        const uint32_t info1 = after->info1;
        ClassModule *m = build(classId, 0x101, {in, out}, zeroArgs(classId));
        ASSERT_NE(m, nullptr) << std::hex << classId;
        pump(m);
        EXPECT_EQ(after->info1, info1) << std::hex << classId;
        for (uint32_t i = 0; i < 4; ++i)
            EXPECT_EQ(data(after)[i], 7.0f) << std::hex << classId;
    }
}

TEST_F(Scalers, PairScalersRefuseMoreInputsThanOutputs)
{
    GenericWire *w = wire(1, 8);
    for (uint32_t classId : {kScaler, kScalerDB, kScalerSmoothed, kScalerDBSmoothed}) {
        for (uint32_t wireWord : {0x102u, 0x100u}) {
            int32_t status = KVE_OK;
            EXPECT_EQ(build(classId, wireWord, {w, w, w}, zeroArgs(classId), &status), nullptr);
            EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << classId << " " << wireWord;
        }
    }
}

} // namespace
} // namespace scalertest
