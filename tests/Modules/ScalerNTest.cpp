// ScalerN, ScalerNSmoothed, ScalerNDBSmoothed, ScalerNV2: one gain per channel, fixed or gliding, and arrays that
// a grown wire cannot push past.
#include "ScalerTestSupport.h"

namespace scalertest {
namespace {

constexpr uint32_t kScalerN = 0xBEEF0FF9u;
constexpr uint32_t kScalerNSmoothed = 0xBEEF0FFAu;
constexpr uint32_t kScalerNDBSmoothed = 0xBEEF0FF8u;
constexpr uint32_t kScalerNV2 = 0xBEEF0814u;

struct ArrayWrite {
    uint32_t variable;
    std::array<float, 3> values;
};

struct ChannelCase {
    const char *what;
    uint32_t classId;
    std::vector<uint32_t> args;
    std::vector<ArrayWrite> writes; // before Set with every bit
    bool complex;
    std::array<double, 3> start;
    std::array<double, 3> target;
    double step;
};

const ChannelCase kChannelCases[] = {
    {"ScalerN", kScalerN, {}, {{0, {0.5f, -2.0f, 3.0f}}}, false, {0.5, -2, 3}, {0.5, -2, 3}, 0.0},
    {"ScalerNSmoothed", kScalerNSmoothed, {bitsOf(1.0f), 0},
     {{2, {2.0f, -1.0f, 0.0f}}, {3, {0.0f, 1.0f, 0.5f}}}, false, {0, 1, 0.5}, {2, -1, 0}, stepOf(1.0)},
    {"ScalerNSmoothed ignores the complex flag", kScalerNSmoothed, {bitsOf(1.0f), 0},
     {{2, {2.0f, -1.0f, 0.0f}}, {3, {0.0f, 1.0f, 0.5f}}}, true, {0, 1, 0.5}, {2, -1, 0}, stepOf(1.0)},
    {"ScalerNDBSmoothed", kScalerNDBSmoothed, {bitsOf(2.0f), 0},
     {{2, {-6.0206f, 20.0f, 0.0f}}, {4, {1.0f, 1.0f, 0.0f}}}, false, {1, 1, 0}, {0.5, 10, 1}, stepOf(2.0)},
    {"ScalerNV2 linear, unsmoothed", kScalerNV2, {bitsOf(2.0f), 0, 0, 0},
     {{4, {0.25f, -1.0f, 1.5f}}, {6, {9.0f, 9.0f, 9.0f}}}, false, {0.5, -2, 3}, {0.5, -2, 3}, 0.0},
    {"ScalerNV2 dB, smoothed", kScalerNV2, {bitsOf(-6.0f), bitsOf(1.0f), 1, 0},
     {{4, {-0.0206f, 26.0f, 6.0f}}, {6, {0.0f, 2.0f, 1.0f}}}, false, {0, 2, 1}, {0.5, 10, 1}, stepOf(1.0)},
    {"ScalerNV2 complex is never smoothed", kScalerNV2, {bitsOf(1.0f), bitsOf(1.0f), 0, 0},
     {{4, {0.5f, -2.0f, 3.0f}}, {6, {9.0f, 9.0f, 9.0f}}}, true, {0.5, -2, 3}, {0.5, -2, 3}, 0.0},
};

TEST_F(Scalers, ChannelScalersGlideEachChannelOnItsOwn)
{
    for (const ChannelCase &c : kChannelCases) {
        GenericWire *in = wire(3, 32, c.complex);
        GenericWire *out = wire(3, 32, c.complex);
        fill(in, 1.0f);
        ClassModule *m = build(c.classId, 0x101, {in, out}, c.args.empty() ? zeroArgs(c.classId) : c.args);
        ASSERT_NE(m, nullptr) << c.what;
        for (const ArrayWrite &w : c.writes)
            std::copy(w.values.begin(), w.values.end(), array(m, w.variable));
        ASSERT_EQ(ClassModule_Set(m, ~0u), 0);
        pump(m);
        // Only ScalerNV2 reads the complex flag; a complex channel's real and imaginary parts lie side by side, so
        // word w of the block belongs to channel (w mod 2ch) / 2.
        const bool pairsOfWords = c.complex && c.classId == kScalerNV2;
        for (int t = 0; t < 32; ++t)
            for (int ch = 0; ch < 3; ++ch) {
                const int owner = pairsOfWords ? (3 * t + ch) % 6 / 2 : ch;
                const int step = pairsOfWords ? 0 : t + 1;
                const double g = glide(c.start[owner], c.target[owner], c.step, step);
                EXPECT_NEAR(data(out)[3 * t + ch], g, 2e-5 * std::max(1.0, std::fabs(c.target[owner])))
                    << c.what << " frame " << t << " channel " << ch;
            }
    }
}

TEST_F(Scalers, ChannelScalersSetRecomputesOnTheirMaskBits)
{
    struct Case {
        const char *what;
        uint32_t classId;
        uint32_t mask;
        bool coefficient; // Set recomputes smoothingCoeff
        uint32_t coeffVariable;
    } cases[] = {
        {"ScalerNSmoothed, smoothingTime flagged", kScalerNSmoothed, 1u << 8, true, 1},
        {"ScalerNSmoothed, other bits", kScalerNSmoothed, ~0u & ~(1u << 8), false, 1},
        {"ScalerNSmoothed, teardown", kScalerNSmoothed, 0, false, 1},
        {"ScalerNDBSmoothed, teardown", kScalerNDBSmoothed, 0, true, 1},
        {"ScalerNV2, smoothingTime flagged", kScalerNV2, 1u << 9, true, 3},
        {"ScalerNV2, masterGain flagged", kScalerNV2, 1u << 8, false, 3},
    };
    for (const Case &c : cases) {
        GenericWire *in = wire(2, 8);
        GenericWire *out = wire(2, 8);
        ClassModule *m = build(c.classId, 0x101, {in, out}, zeroArgs(c.classId));
        ASSERT_NE(m, nullptr) << c.what;
        var(m, 0) = 4.0f;
        if (c.classId == kScalerNV2)
            var(m, 1) = 4.0f;
        var(m, c.coeffVariable) = -1.0f;
        ASSERT_EQ(ClassModule_Set(m, c.mask), 0);
        if (c.coefficient) {
            EXPECT_NEAR(var(m, c.coeffVariable), stepOf(4.0), 1e-5 * stepOf(4.0)) << c.what;
        } else {
            EXPECT_EQ(var(m, c.coeffVariable), -1.0f) << c.what;
        }
    }

    // ScalerNV2 derives its targets on every mask, teardown included.
    GenericWire *in = wire(2, 8);
    GenericWire *out = wire(2, 8);
    ClassModule *m = build(kScalerNV2, 0x101, {in, out}, {bitsOf(3.0f), 0, 0, 0});
    ASSERT_NE(m, nullptr);
    array(m, 4)[1] = 2.0f;
    ASSERT_EQ(ClassModule_Set(m, 0), 0);
    EXPECT_EQ(array(m, 5)[1], 6.0f);
}

TEST_F(Scalers, ChannelScalersServeOnlyTheChannelsTheirArraysWereBuiltFor)
{
    for (uint32_t classId : {kScalerN, kScalerNSmoothed, kScalerNDBSmoothed, kScalerNV2}) {
        GenericWire *in = wire(2, 8);
        GenericWire *out = wire(2, 8);
        ClassModule *m = build(classId, 0x101, {in, out}, zeroArgs(classId));
        ASSERT_NE(m, nullptr) << std::hex << classId;
        const uint32_t arrays = kve_ClassVariableCount(m->classRecord) - kve_ClassPublicCount(m->classRecord);
        const uint32_t first = kve_ClassPublicCount(m->classRecord);
        for (uint32_t a = 0; a < arrays; ++a) {
            ASSERT_EQ(kve::kit::capacity(m, a), 2u);
            std::fill(array(m, first + a), array(m, first + a) + 2, 1.0f);
        }
        // The wires are reshaped to four channels of the same number of words.
        for (GenericWire *w : {in, out}) {
            w->info1 = (w->info1 & ~0x3FFu) | 4u;
            w->info2 = 4;
        }
        ASSERT_EQ(ClassModule_Set(m, ~0u), 0);
        const float sentinel = 1234.0f;
        fill(in, 1.0f);
        fill(out, sentinel);
        pump(m);
        for (uint32_t t = 0; t < 4; ++t) {
            EXPECT_NE(data(out)[4 * t], sentinel) << std::hex << classId << ": channel 0 served";
            EXPECT_NE(data(out)[4 * t + 1], sentinel) << std::hex << classId << ": channel 1 served";
            EXPECT_EQ(data(out)[4 * t + 2], sentinel) << std::hex << classId << ": channel 2 has no gain";
            EXPECT_EQ(data(out)[4 * t + 3], sentinel) << std::hex << classId << ": channel 3 has no gain";
        }
    }
}

} // namespace
} // namespace scalertest
