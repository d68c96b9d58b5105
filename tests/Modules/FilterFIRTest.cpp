// The float FIR module: convolution against numpy across block boundaries, Set calls that must not change the
// filter or the host's taps, one tap as a gain, no taps writing nothing, and tap counts a host writes above or below
// what was built.
#include "FilterTestSupport.h"

namespace floatfiltertest {
namespace {

// An asymmetric impulse response: played backwards it is a different filter.
const std::vector<float> kTaps = {1.0f, -0.5f, 0.25f, 0.75f, -0.125f, 0.0625f, 0.3f};

class FIRFilter : public Filters {
protected:
    ClassModule *firOn(GenericWire *in, GenericWire *out, uint32_t builtTaps, const std::vector<float> &taps)
    {
        ClassModule *m = build(kFIR, 0x101, {in, out}, {builtTaps, 0});
        if (m != nullptr) {
            std::copy(taps.begin(), taps.end(), array(m, 2));
            var<int32_t>(m, 0) = static_cast<int32_t>(taps.size());
            ClassModule_Set(m, KVE_MASK_ALL);
        }
        return m;
    }
    std::vector<double> convolved(uint32_t channels, const std::vector<float> &taps, const std::vector<float> &x)
    {
        std::vector<double> params = {static_cast<double>(taps.size())};
        params.insert(params.end(), taps.begin(), taps.end());
        return oracle("fir", channels, params, x);
    }
};

TEST_F(FIRFilter, ConvolvesEveryChannelAcrossBlockBoundaries)
{
    struct Case {
        uint32_t channels, block;
    } cases[] = {{2, 32}, {1, 5}, {3, 4}};
    for (const Case &c : cases) {
        const std::string what = std::to_string(c.channels) + " channels, block " + std::to_string(c.block);
        GenericWire *in = wire(c.channels, c.block);
        GenericWire *out = wire(c.channels, c.block);
        ClassModule *m = firOn(in, out, static_cast<uint32_t>(kTaps.size()), kTaps);
        ASSERT_NE(m, nullptr) << what;
        const std::vector<float> x = noise(6 * c.block * c.channels, c.block);
        expectClose(run(m, in, out, x), convolved(c.channels, kTaps, x), c.channels, 1e-5, what);
    }
}

TEST_F(FIRFilter, SetAgainKeepsTheFilterAndTheHostsTaps)
{
    GenericWire *in = wire(2, 16);
    GenericWire *out = wire(2, 16);
    ClassModule *m = firOn(in, out, static_cast<uint32_t>(kTaps.size()), kTaps);
    ASSERT_NE(m, nullptr);
    for (int more = 0; more < 2; ++more)
        EXPECT_EQ(ClassModule_Set(m, more == 0 ? KVE_MASK_ALL : 0x200u), 0);
    EXPECT_TRUE(std::equal(kTaps.begin(), kTaps.end(), array(m, 2))) << "the host reads back what it wrote";
    const std::vector<float> x = noise(3 * 16 * 2, 11);
    expectClose(run(m, in, out, x), convolved(2, kTaps, x), 2, 1e-5, "after three Set calls");
}

TEST_F(FIRFilter, OneTapIsAGainAndNoTapsWriteNothing)
{
    GenericWire *in = wire(2, 8);
    GenericWire *out = wire(2, 8);
    ClassModule *m = firOn(in, out, 1, {-2.5f});
    ASSERT_NE(m, nullptr);
    ramp(in, -3.0f);
    pump(m);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(data(out)[i], -2.5f * data(in)[i]) << "word " << i;

    ClassModule *none = build(kFIR, 0x101, {in, out}, {0, 0});
    ASSERT_NE(none, nullptr);
    fill(out, 7.0f);
    pump(none);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(data(out)[i], 7.0f) << "word " << i;
}

TEST_F(FIRFilter, TapCountsAHostWritesStayWithinWhatWasBuilt)
{
    struct Case {
        const char *what;
        uint32_t built;
        int32_t written;
        size_t runs; // taps of kTaps the filter should run
    } cases[] = {
        {"more taps than built", 4, 1000, 4},
        {"fewer taps than built", 7, 3, 3},
        {"all taps built", 7, 7, 7},
    };
    for (const Case &c : cases) {
        GenericWire *in = wire(2, 8);
        GenericWire *out = wire(2, 8);
        ClassModule *m = build(kFIR, 0x101, {in, out}, {c.built, 0});
        ASSERT_NE(m, nullptr) << c.what;
        std::copy(kTaps.begin(), kTaps.begin() + c.built, array(m, 2));
        var<int32_t>(m, 0) = c.written;
        ClassModule_Set(m, KVE_MASK_ALL);
        const std::vector<float> x = noise(4 * 8 * 2, 5);
        const std::vector<float> taps(kTaps.begin(), kTaps.begin() + static_cast<ptrdiff_t>(c.runs));
        expectClose(run(m, in, out, x), convolved(2, taps, x), 2, 1e-5, c.what);
    }
}

} // namespace
} // namespace floatfiltertest
