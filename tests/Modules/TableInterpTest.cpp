// The piecewise-polynomial tables: the runtime spline and its straight-segment form against scipy and np.interp,
// the host-written tables, and point counts a host writes past what was built.
#include <string>

#include "DelayTableTestSupport.h"
#include "support/PythonOracle.h"

namespace delaytest {
namespace {

constexpr uint32_t kInterp = 0xBEEF08D0u;
constexpr uint32_t kFract32 = 0xBEEF08D3u;
constexpr uint32_t kRuntime = 0xBEEF0FFCu;

using Points = std::vector<std::pair<float, float>>;

class TableInterps : public DelayTable {
protected:
    // A runtime table over `points`, numUsed `used`, on a mono block of n, its coefficients computed by Set.
    ClassModule *runtime(const Points &points, uint32_t type, uint32_t n, uint32_t used = 0)
    {
        in_ = wire(1, n);
        out_ = wire(1, n);
        const auto count = static_cast<uint32_t>(points.size());
        ClassModule *m = build(kRuntime, 0x101, {in_, out_}, {count, used == 0 ? count : used, type});
        if (m == nullptr)
            return nullptr;
        for (size_t i = 0; i < points.size(); ++i) {
            array(m, 3)[2 * i] = points[i].first;
            array(m, 3)[2 * i + 1] = points[i].second;
        }
        EXPECT_EQ(set(m, KVE_MASK_ALL), KVE_OK);
        return m;
    }
    std::vector<float> run(ClassModule *m, const std::vector<float> &xs)
    {
        fill(in_, xs);
        pump(m);
        return std::vector<float>(data(out_), data(out_) + xs.size());
    }
    static std::vector<double> oracle(const char *mode, const Points &points, const std::vector<float> &xs)
    {
        std::vector<std::string> args = {mode, std::to_string(points.size())};
        for (const auto &[x, y] : points) {
            args.push_back(kvetest::oracleArg(x));
            args.push_back(kvetest::oracleArg(y));
        }
        for (float x : xs)
            args.push_back(kvetest::oracleArg(x));
        return kvetest::runOracle("delay_table_modules.py", args);
    }
    static std::vector<float> sweep(float from, float step, int count)
    {
        std::vector<float> xs;
        for (int i = 0; i < count; ++i)
            xs.push_back(from + step * static_cast<float>(i));
        return xs;
    }
    GenericWire *in_ = nullptr;
    GenericWire *out_ = nullptr;
};

TEST_F(TableInterps, RuntimeSplineMatchesScipyHermiteWithItsTangents)
{
    struct Case {
        Points points;
        std::vector<float> xs;
    };
    const Case cases[] = {
        // A peak: flat tangent at the top, end tangents 2 and -2, 0.75 halfway up either side.
        {{{0, 0}, {1, 1}, {2, 0}}, {0.5f, 1.5f, -1.0f, 3.0f, 1.0f, 0.25f}},
        // Uneven spacing, a flat run, equal slopes, and both signs.
        {{{-2, 1}, {-1, 3}, {0.5f, 3}, {1, 2}, {2.5f, -1}, {3, -2.5f}, {5, 4}}, sweep(-2.5f, 0.137f, 60)},
        // Two points: a straight line.
        {{{1, 1}, {3, 5}}, sweep(0.5f, 0.11f, 30)},
    };
    for (const Case &c : cases) {
        const std::vector<double> want = oracle("hermite", c.points, c.xs);
        ASSERT_EQ(want.size(), c.xs.size());
        ClassModule *m = runtime(c.points, 0, static_cast<uint32_t>(c.xs.size()));
        ASSERT_NE(m, nullptr);
        const std::vector<float> got = run(m, c.xs);
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], want[i], 2e-5 * (1.0 + std::abs(want[i])))
                << c.points.size() << " points, x " << c.xs[i];
    }
}

TEST_F(TableInterps, RuntimeLinearTypeMatchesNumpy)
{
    const Points points = {{-1, 2}, {0, 0}, {0.5f, 4}, {2, 1}, {4, 1.5f}};
    const std::vector<float> xs = sweep(-1.5f, 0.097f, 64);
    const std::vector<double> want = oracle("linear", points, xs);
    ClassModule *m = runtime(points, 2, static_cast<uint32_t>(xs.size()));
    ASSERT_NE(m, nullptr);
    const std::vector<float> got = run(m, xs);
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-5) << xs[i];
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(array(m, 4)[3 * s], 0.0f);
        EXPECT_EQ(array(m, 4)[3 * s + 1], 0.0f);
    }
}

TEST_F(TableInterps, PointsInUseReachTheLastSegmentAndNoFurther)
{
    // All the points in use take part, the last segment too; a count past what was built is held to it, and fewer
    // than two points compute nothing and give the first point's value.
    const Points points = {{0, 0}, {1, 2}, {2, 6}};
    const std::vector<float> xs = {1.5f, 0.5f, 2.5f};
    const std::vector<double> want = oracle("linear", points, xs);
    for (uint32_t used : {3u, 4u, 1000000u}) {
        ClassModule *m = runtime(points, 2, 3, used);
        ASSERT_NE(m, nullptr);
        const std::vector<float> got = run(m, xs);
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], want[i], 1e-6) << "numUsed " << used << " x " << xs[i];
    }
    ClassModule *m = runtime(points, 0, 3, 1);
    ASSERT_NE(m, nullptr);
    for (float y : run(m, xs))
        EXPECT_EQ(y, 0.0f);
}

TEST_F(TableInterps, HostWrittenTablesFollowTheirSegments)
{
    // Straight segments written as cubics with only a slope and an offset give np.interp; numUsed past numPoints
    // is held to the points built.
    const Points points = {{0, 1}, {1, 3}, {3, -1}};
    const std::vector<float> xs = sweep(-0.5f, 0.13f, 32);
    const std::vector<double> want = oracle("linear", points, xs);
    in_ = wire(1, 32);
    out_ = wire(1, 32);
    ClassModule *m = build(kInterp, 0x101, {in_, out_}, {3, 50, 7});
    ASSERT_NE(m, nullptr);
    for (size_t i = 0; i < points.size(); ++i) {
        array(m, 3)[2 * i] = points[i].first;
        array(m, 3)[2 * i + 1] = points[i].second;
    }
    for (size_t s = 0; s + 1 < points.size(); ++s) {
        float *c = array(m, 4) + 4 * s;
        c[0] = c[1] = 0.0f;
        c[2] = (points[s + 1].second - points[s].second) / (points[s + 1].first - points[s].first);
        c[3] = points[s].second;
    }
    const std::vector<float> got = run(m, xs);
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-5) << xs[i];
    EXPECT_EQ(var<uint32_t>(m, 2), 7u);

    // The Fract32 table at and beyond its ends gives the end values, exactly.
    GenericWire *in = wire(1, 4);
    GenericWire *out = wire(1, 4);
    ClassModule *f = build(kFract32, 0x101, {in, out}, {2, 9, 1, 2, 3});
    ASSERT_NE(f, nullptr);
    int32_t *p = array<int32_t>(f, 5);
    p[0] = -(1 << 30);
    p[1] = 1000;
    p[2] = 1 << 30;
    p[3] = -2000;
    int32_t *x = static_cast<int32_t *>(in->buffer);
    x[0] = INT32_MIN;
    x[1] = -(1 << 30);
    x[2] = 1 << 30;
    x[3] = INT32_MAX;
    pump(f);
    const int32_t *y = static_cast<const int32_t *>(out->buffer);
    EXPECT_EQ(y[0], 1000);
    EXPECT_EQ(y[1], 1000);
    EXPECT_EQ(y[2], -2000);
    EXPECT_EQ(y[3], -2000);
}

} // namespace
} // namespace delaytest
