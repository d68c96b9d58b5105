// The uniform lookup table and the two-slope curve, against np.interp and the curve's own lines.
#include <cmath>
#include <limits>
#include <string>

#include "DelayTableTestSupport.h"
#include "support/PythonOracle.h"

namespace delaytest {
namespace {

using kvetest::bitsOf;

uint32_t u(float v) { return bitsOf(v); }

class Tables : public DelayTable {
protected:
    // A lookup module over minX .. maxX holding `table`, reading `kind`, on a mono block of `n`.
    ClassModule *lookup(uint32_t kind, float lo, float hi, const std::vector<float> &table, uint32_t n)
    {
        in_ = wire(1, n);
        out_ = wire(1, n);
        ClassModule *m = build(0xBEEF08D1u, 0x101, {in_, out_},
                               {static_cast<uint32_t>(table.size()), kind, u(lo), u(hi), 0});
        if (m != nullptr)
            std::memcpy(array(m, 5), table.data(), table.size() * sizeof(float));
        return m;
    }
    GenericWire *in_ = nullptr;
    GenericWire *out_ = nullptr;
};

TEST_F(Tables, LookupGivesTheNearestEntryOrTheLineBetweenTwo)
{
    // (0, 10, 20) over 0..1: 0.3 is nearest 10 and 0.2 nearest 0; read by lines 0.25 gives 5.
    ClassModule *nearest = lookup(0, 0.0f, 1.0f, {0.0f, 10.0f, 20.0f}, 4);
    ASSERT_NE(nearest, nullptr);
    EXPECT_FLOAT_EQ(var(nearest, 4), 2.0f); // two entries per unit of x
    fill(in_, {0.3f, 0.2f, -5.0f, 7.0f});
    pump(nearest);
    EXPECT_EQ(data(out_)[0], 10.0f);
    EXPECT_EQ(data(out_)[1], 0.0f);
    EXPECT_EQ(data(out_)[2], 0.0f);
    EXPECT_EQ(data(out_)[3], 20.0f);

    ClassModule *linear = lookup(1, 0.0f, 1.0f, {0.0f, 10.0f, 20.0f}, 1);
    ASSERT_NE(linear, nullptr);
    fill(in_, {0.25f});
    pump(linear);
    EXPECT_FLOAT_EQ(data(out_)[0], 5.0f);
}

TEST_F(Tables, LookupMatchesNumpyAcrossTheRangeAndItsEnds)
{
    const std::vector<float> table = {1.0f, -2.0f, 3.5f, 0.25f, 8.0f, -1.0f, 4.0f};
    std::vector<float> xs;
    for (int i = 0; i < 40; ++i)
        xs.push_back(-2.2f + 0.13f * static_cast<float>(i));
    for (uint32_t kind : {0u, 1u}) {
        std::vector<std::string> args = {"lookup", std::to_string(kind), kvetest::oracleArg(-2.0),
                                         kvetest::oracleArg(2.5), std::to_string(table.size())};
        for (float t : table)
            args.push_back(kvetest::oracleArg(t));
        for (float x : xs)
            args.push_back(kvetest::oracleArg(x));
        const std::vector<double> want = kvetest::runOracle("delay_table_modules.py", args);
        ASSERT_EQ(want.size(), xs.size());
        ClassModule *m = lookup(kind, -2.0f, 2.5f, table, static_cast<uint32_t>(xs.size()));
        ASSERT_NE(m, nullptr);
        fill(in_, xs);
        pump(m);
        for (size_t i = 0; i < xs.size(); ++i)
            EXPECT_NEAR(data(out_)[i], want[i], 2e-5) << "type " << kind << " at x = " << xs[i];
    }
}

TEST_F(Tables, LookupStaysInsideTheTable)
{
    // NaN reads entry 0; an x just below maxX whose rounding reaches the end reads the last entry; a size the
    // host raises past what was built reads only what was built; an equal minX and maxX still clamps.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (uint32_t kind : {0u, 1u}) {
        ClassModule *m = lookup(kind, 0.0f, 1.0f, {3.0f, 5.0f, 7.0f}, 3);
        ASSERT_NE(m, nullptr);
        fill(in_, {nan, std::nextafter(1.0f, 0.0f), 0.5f});
        pump(m);
        EXPECT_EQ(data(out_)[0], 3.0f) << kind;
        EXPECT_NEAR(data(out_)[1], 7.0f, 1e-5) << kind;
        EXPECT_EQ(data(out_)[2], 5.0f) << kind;

        var<uint32_t>(m, 0) = 1000000;
        fill(in_, {0.9f, 2.0f, 0.1f});
        pump(m);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(std::isfinite(data(out_)[i])) << kind;

        var<uint32_t>(m, 0) = 3;
        var(m, 3) = 0.0f;
        ASSERT_EQ(set(m, KVE_MASK_ALL), KVE_OK);
        fill(in_, {-1.0f, 1.0f, 0.0f});
        pump(m);
        EXPECT_EQ(data(out_)[0], 3.0f) << kind;
        EXPECT_EQ(data(out_)[1], 7.0f) << kind;
    }
}

TEST_F(Tables, LookupV2ReadsItsTableFromTheNamedHeap)
{
    GenericWire *in = wire(1, 3);
    GenericWire *out = wire(1, 3);
    ClassModule *m = build(0xBEEF08DDu, 0x101, {in, out}, {3, 1, u(0.0f), u(1.0f), 0, KVE_HEAPS_DEFAULT});
    ASSERT_NE(m, nullptr);
    EXPECT_FLOAT_EQ(var(m, 4), 2.0f);
    const float table[] = {0.0f, 10.0f, 20.0f};
    std::memcpy(array(m, 6), table, sizeof table);
    fill(in, {0.25f, 2.0f, std::numeric_limits<float>::quiet_NaN()});
    pump(m);
    EXPECT_FLOAT_EQ(data(out)[0], 5.0f);
    EXPECT_EQ(data(out)[1], 20.0f);
    EXPECT_EQ(data(out)[2], 0.0f);

    // A heap list that names no heap gives no module.
    int32_t status = KVE_OK;
    EXPECT_EQ(build(0xBEEF08DDu, 0x101, {in, out}, {3, 1, u(0.0f), u(1.0f), 0, 0}, &status), nullptr);
    EXPECT_NE(status, KVE_OK);
}

TEST_F(Tables, TwoPieceCurveFollowsBothLinesAndJoinsThemSmoothly)
{
    struct Case {
        float knee, slope1, slope2, width;
    };
    const Case cases[] = {{0.0f, 1.0f, 0.5f, 0.1f}, {-0.3f, 2.0f, 0.25f, 0.2f}, {0.5f, 0.5f, 3.0f, 0.05f}};
    for (const Case &c : cases) {
        GenericWire *in = wire(1, 6);
        GenericWire *out = wire(1, 6);
        ClassModule *m = build(0xBEEF0FFDu, 0x101, {in, out}, {u(c.knee), u(c.slope1), u(c.slope2), u(c.width)});
        ASSERT_NE(m, nullptr);
        const float below = c.knee - 1.0f;
        const float above = c.knee + 1.0f;
        fill(in, {below, above});
        pump(m);
        EXPECT_NEAR(data(out)[0], c.knee - c.slope1, 1e-6);
        EXPECT_NEAR(data(out)[1], c.knee + c.slope2, 1e-6);

        // The quadratic's value and slope at both ends of the knee match the lines'.
        const float *q = array(m, 4);
        auto curve = [&](double x) { return q[0] + (q[1] + q[2] * x) * x; };
        auto slope = [&](double x) { return q[1] + 2.0 * q[2] * x; };
        const double lo = c.knee - c.width;
        const double hi = c.knee + c.width;
        EXPECT_NEAR(curve(lo), c.knee + (lo - c.knee) * c.slope1, 1e-5);
        EXPECT_NEAR(curve(hi), c.knee + (hi - c.knee) * c.slope2, 1e-5);
        EXPECT_NEAR(slope(lo), c.slope1, 1e-4);
        EXPECT_NEAR(slope(hi), c.slope2, 1e-4);
        EXPECT_EQ(q[3], 0.0f);

        // Inside the knee the module evaluates that quadratic.
        const float mid = c.knee + 0.5f * c.width;
        fill(in, {mid});
        pump(m);
        EXPECT_NEAR(data(out)[0], curve(mid), 1e-5);
    }
}

TEST_F(Tables, TwoPieceWithoutWidthMeetsAtTheKnee)
{
    GenericWire *in = wire(1, 2);
    GenericWire *out = wire(1, 2);
    ClassModule *m = build(0xBEEF0FFDu, 0x101, {in, out}, {u(1.0f), u(2.0f), u(0.5f), u(0.0f)});
    ASSERT_NE(m, nullptr);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(array(m, 4)[k], 0.0f);
    fill(in, {0.0f, 3.0f});
    pump(m);
    EXPECT_EQ(data(out)[0], -1.0f);
    EXPECT_EQ(data(out)[1], 2.0f);
}

} // namespace
} // namespace delaytest
