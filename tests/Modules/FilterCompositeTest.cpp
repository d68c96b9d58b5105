// The Butterworth filter and the graphic-equaliser band: responses against scipy's Butterworth design and against
// the band's own definition (its gain in dB at the centre, half of it at the edges, none far away), how the
// Butterworth filter builds its inner cascade and refuses what it cannot build, orders and stage counts a host
// writes beyond what was built, cutoffs and rates it cannot design at, and the band's coefficient glide.
#include "FilterTestSupport.h"

#include <numbers>

#include "ButterworthCorners.h"

namespace floatfiltertest {
namespace {

constexpr float kRate = 48000.0f;

std::vector<uint32_t> butterworthArgs(int32_t type, int32_t order, float cutoff)
{
    return {static_cast<uint32_t>(type), static_cast<uint32_t>(order), bitsOf(cutoff)};
}

TEST_F(Filters, ButterworthFilterMatchesScipyOnAStereoWire)
{
    struct Case {
        int32_t type; // 0 lowpass, 1 highpass
        int32_t order;
        float cutoff;
    } cases[] = {{0, 3, 1000.0f}, {0, 4, 2500.0f}, {1, 5, 2000.0f}, {1, 2, 300.0f}, {0, 10, 8000.0f}};
    for (const Case &c : cases) {
        const std::string what = std::string(c.type == 0 ? "lowpass" : "highpass") + " of order " +
                                 std::to_string(c.order) + " at " + std::to_string(c.cutoff) + " Hz";
        GenericWire *in = wire(2, 32);
        GenericWire *out = wire(2, 32);
        ClassModule *m = build(kButterworthFilter, 0x101, {in, out}, butterworthArgs(c.type, c.order, c.cutoff));
        ASSERT_NE(m, nullptr) << what;
        const std::vector<float> x = noise(8 * 32 * 2, static_cast<uint32_t>(c.order));
        expectClose(run(m, in, out, x), oracle("butter", 2, {double(c.order), double(c.type), c.cutoff, kRate}, x), 2,
                    2e-4, what);
    }
}

TEST_F(Filters, ButterworthFilterRunsInALayout)
{
    GenericWire *in = wire(2, 32);
    GenericWire *out = wire(2, 32);
    ClassModule *m = build(kButterworthFilter, 0x101, {in, out}, butterworthArgs(0, 2, 1000.0f));
    ASSERT_NE(m, nullptr);
    ClassLayout *l = engine_.layout(1, 1);
    ASSERT_NE(l, nullptr);
    ASSERT_EQ(engine_.place(l, 0, {m}), KVE_OK);
    const std::vector<float> x = noise(4 * 32 * 2, 99);
    std::vector<float> y;
    for (size_t at = 0; at < x.size(); at += 64) {
        std::copy(x.begin() + static_cast<ptrdiff_t>(at), x.begin() + static_cast<ptrdiff_t>(at + 64), data(in));
        uint32_t time = 0, period = 0;
        ClassLayout_Process(engine_.get(), l, &time, &period);
        y.insert(y.end(), data(out), data(out) + 64);
    }
    expectClose(y, oracle("butter", 2, {2, 0, 1000.0, kRate}, x), 2, 2e-4, "lowpass of order 2 in a layout");
}

TEST_F(Filters, ButterworthFilterBuildsItsInnerCascadeRightAfterItself)
{
    for (int32_t order : {1, 4, 5, 10}) {
        GenericWire *in = wire(2, 32);
        GenericWire *out = wire(2, 32);
        ClassModule *m = build(kButterworthFilter, 0x101, {in, out}, butterworthArgs(0, order, 1000.0f));
        ASSERT_NE(m, nullptr) << "order " << order;
        ClassModule *inner = var<ClassModule *>(m, 3);
        ASSERT_NE(inner, nullptr);
        EXPECT_EQ(inner->classRecord, &kve_modBiquadCascadeClass.record);
        EXPECT_EQ(inner->objectId, m->objectId + 1) << "order " << order;
        EXPECT_EQ(m->next, reinterpret_cast<KVEObject *>(inner));
        EXPECT_EQ(engine_->lastObject, reinterpret_cast<KVEObject *>(inner));
        EXPECT_EQ(var<int32_t>(inner, 0), (order + 1) / 2) << "order " << order;
        EXPECT_EQ(inner->wires[0], in);
        EXPECT_EQ(inner->wires[1], out);
        KVEObject *found = nullptr;
        uint32_t classId = 0;
        EXPECT_EQ(kve_fwGetObjectByID(engine_.get(), inner->objectId, &found, &classId), KVE_OK);
        EXPECT_EQ(found, reinterpret_cast<KVEObject *>(inner)) << "the inner module is an object of its own";
        EXPECT_EQ(classId, kBiquadCascade);
    }
}

TEST_F(Filters, ButterworthFilterRefusesWhatItCannotBuild)
{
    struct Case {
        const char *what;
        uint32_t wireWord;
        int32_t order;
        int32_t status;
    } cases[] = {
        {"two outputs", 0x201, 2, KVE_E_ARG_COUNT},
        {"two inputs", 0x102, 2, KVE_E_ARG_COUNT},
        {"no output", 0x001, 2, KVE_E_ARG_COUNT},
        {"a scratch wire", 0x10101, 2, KVE_E_ARG_COUNT},
        {"order 0", 0x101, 0, KVE_E_BAD_ARGUMENT},
        {"order 11", 0x101, 11, KVE_E_BAD_ARGUMENT},
        {"order -1", 0x101, -1, KVE_E_BAD_ARGUMENT},
    };
    for (const Case &c : cases) {
        // Exactly the wires the word names: a read past them shows under the address sanitizer.
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < KVE_PACKED_INPUTS(c.wireWord) + KVE_PACKED_OUTPUTS(c.wireWord) +
                                    KVE_PACKED_SCRATCH(c.wireWord);
             ++k)
            wires.push_back(wire(2, 32));
        KVEObject *const last = engine_->lastObject;
        const std::vector<uint32_t> args = butterworthArgs(0, c.order, 1000.0f);
        int32_t status = KVE_OK;
        EXPECT_EQ(build(kButterworthFilter, c.wireWord, wires, args, &status), nullptr) << c.what;
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(engine_->lastObject, last) << c.what << ": nothing is left in the object list";
    }

    // Without the inner class in the class table.
    const ModClassDescriptor *const alone[] = {&kve_modButterworthFilterClass.record};
    engine_->classTable = alone;
    engine_->classCount = 1;
    GenericWire *in = wire(2, 32);
    GenericWire *out = wire(2, 32);
    KVEObject *const last = engine_->lastObject;
    int32_t status = KVE_OK;
    EXPECT_EQ(build(kButterworthFilter, 0x101, {in, out}, butterworthArgs(0, 4, 1000.0f), &status), nullptr);
    EXPECT_EQ(status, KVE_E_CLASS_NOT_FOUND);
    EXPECT_EQ(engine_->lastObject, last);
}

TEST_F(Filters, ButterworthOrdersAHostWritesStayWithinTheInnerCascade)
{
    struct Case {
        const char *what;
        int32_t built, written, runs; // runs: the order the filter should have
    } cases[] = {
        {"a higher order than built", 4, 9, 4},
        {"a lower order, odd", 6, 3, 3},
        {"a lower order, leaving two sections passing through", 5, 2, 2},
        {"order 0", 4, 0, 1},
    };
    for (const Case &c : cases) {
        GenericWire *in = wire(2, 32);
        GenericWire *out = wire(2, 32);
        ClassModule *m = build(kButterworthFilter, 0x101, {in, out}, butterworthArgs(1, c.built, 1500.0f));
        ASSERT_NE(m, nullptr) << c.what;
        var<int32_t>(m, 1) = c.written;
        EXPECT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
        const std::vector<float> x = noise(6 * 32 * 2, 17);
        expectClose(run(m, in, out, x), oracle("butter", 2, {double(c.runs), 1, 1500.0, kRate}, x), 2, 2e-4, c.what);
    }
}

// A cutoff or rate the design cannot use, written by the host into a running lowpass (a rate through the wire the
// filter reads it from), is designed at the nearest edge of the band instead, so nothing non-finite reaches the
// filter's state: the output stays finite, and once the host writes a usable cutoff again the filter settles back
// onto scipy's response to the whole input.
TEST_F(Filters, ButterworthFilterComesBackFromACutoffOrRateItCannotUse)
{
    constexpr size_t kBlock = 64; // two channels of 32 frames
    constexpr size_t kBadFrom = 8, kGoodFrom = 16, kCompareFrom = 40, kBlocks = 48;
    const std::vector<float> x = noise(kBlocks * kBlock, 31);
    const std::vector<double> reference = oracle("butter", 2, {4, 0, 1000.0, kRate}, x);
    ASSERT_EQ(reference.size(), x.size());
    for (const auto &c : butterworthtest::kUnusableCorners) {
        GenericWire *in = wire(2, 32);
        GenericWire *out = wire(2, 32);
        ClassModule *m = build(kButterworthFilter, 0x101, {in, out}, butterworthArgs(0, 4, 1000.0f));
        ASSERT_NE(m, nullptr) << c.what;
        ClassLayout *l = engine_.layout(1, 1);
        ASSERT_NE(l, nullptr);
        ASSERT_EQ(engine_.place(l, 0, {m}), KVE_OK);
        const uint32_t cutoff = KVE_MEMBER_ADDRESS(m->objectId, 8 + 2);
        std::vector<float> y;
        for (size_t block = 0; block < kBlocks; ++block) {
            if (block == kBadFrom || block == kGoodFrom) {
                const bool bad = block == kBadFrom;
                in->sampleRate = bad ? c.rate : kRate;
                ASSERT_EQ(kve_fwSetValueSetCall(engine_.get(), cutoff, bitsOf(bad ? c.cutoff : 1000.0f),
                                                KVE_MASK_HOST, 0, 0),
                          KVE_OK)
                    << c.what;
            }
            std::copy_n(x.begin() + static_cast<ptrdiff_t>(block * kBlock), kBlock, data(in));
            uint32_t time = 0, period = 0;
            ClassLayout_Process(engine_.get(), l, &time, &period);
            y.insert(y.end(), data(out), data(out) + kBlock);
        }
        for (size_t i = 0; i < y.size(); ++i)
            ASSERT_TRUE(std::isfinite(y[i])) << c.what << ": block " << i / kBlock << " word " << i % kBlock;
        const auto from = static_cast<ptrdiff_t>(kCompareFrom * kBlock);
        expectClose(std::vector<float>(y.begin() + from, y.end()),
                    std::vector<double>(reference.begin() + from, reference.end()), 2, 2e-4, c.what);
    }
}

// ---- GraphicEQBand ----

std::vector<uint32_t> bandArgs(float gainDb, float low, float high, float timeMs, int32_t stages)
{
    return {bitsOf(gainDb), bitsOf(low), bitsOf(high), bitsOf(timeMs), static_cast<uint32_t>(stages), 0};
}

// Gain in dB of a band at frequency f: a sine through it, measured once the band has settled over a whole number of
// cycles.
double gainAt(kvetest::TestEngine &engine, ClassModule *m, GenericWire *in, GenericWire *out, double f)
{
    constexpr uint32_t kBlock = 32;
    constexpr uint32_t kSettle = 150, kMeasure = 150; // blocks; 0.1 s holds whole cycles of multiples of 10 Hz
    double s = 0.0, c = 0.0;
    for (uint32_t block = 0; block < kSettle + kMeasure; ++block) {
        for (uint32_t t = 0; t < kBlock; ++t)
            static_cast<float *>(in->buffer)[t] =
                0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * f * (block * kBlock + t) / kRate));
        EXPECT_EQ(kve_fwPumpModule(engine.get(), m), KVE_OK);
        if (block < kSettle)
            continue;
        for (uint32_t t = 0; t < kBlock; ++t) {
            const double phase = 2.0 * std::numbers::pi * f * (block * kBlock + t) / kRate;
            s += static_cast<float *>(out->buffer)[t] * std::sin(phase);
            c += static_cast<float *>(out->buffer)[t] * std::cos(phase);
        }
    }
    const double amplitude = 2.0 * std::hypot(s, c) / (kMeasure * kBlock);
    return 20.0 * std::log10(amplitude / 0.5);
}

TEST_F(Filters, GraphicEQBandHasItsGainAtTheCentreHalfAtTheEdgesAndNoneFarAway)
{
    // Bands low enough that the frequency warping of a sampled filter leaves the edges where they were asked for.
    struct Case {
        double gainDb, low, high, farBelow, farAbove;
        bool edges;
    } cases[] = {
        {6.0, 500.0, 2000.0, 40.0, 12000.0, true},
        {-12.0, 250.0, 1000.0, 20.0, 8000.0, true},
        {9.0, 2000.0, 8000.0, 100.0, 20000.0, false},
    };
    for (const Case &c : cases) {
        struct Point {
            double f, dB, tolerance;
        };
        std::vector<Point> points = {
            {std::sqrt(c.low * c.high), c.gainDb, 0.05}, {c.farBelow, 0.0, 0.1}, {c.farAbove, 0.0, 0.1}};
        if (c.edges) {
            points.push_back({c.low, c.gainDb / 2, 0.1});
            points.push_back({c.high, c.gainDb / 2, 0.1});
        }
        for (const Point &p : points) {
            GenericWire *in = wire(1, 32);
            GenericWire *out = wire(1, 32);
            ClassModule *m = build(kGraphicEQBand, 0x101, {in, out},
                                   bandArgs(float(c.gainDb), float(c.low), float(c.high), 0.0f, 4));
            ASSERT_NE(m, nullptr);
            EXPECT_NEAR(gainAt(engine_, m, in, out, p.f), p.dB, p.tolerance)
                << c.gainDb << " dB over " << c.low << " to " << c.high << " Hz, at " << p.f << " Hz";
        }
    }
}

TEST_F(Filters, GraphicEQBandMovesALowEdgeAtOrAboveTheHighOneBelowIt)
{
    struct Case {
        float low, high, stored;
    } cases[] = {{1000.0f, 500.0f, 499.0f}, {500.0f, 500.0f, 499.0f}, {400.0f, 500.0f, 400.0f}};
    for (const Case &c : cases) {
        GenericWire *in = wire(1, 32);
        GenericWire *out = wire(1, 32);
        ClassModule *m = build(kGraphicEQBand, 0x101, {in, out}, bandArgs(6.0f, c.low, c.high, 0.0f, 2));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(var(m, 1), c.stored) << c.low << " to " << c.high << " Hz";
    }
}

TEST_F(Filters, GraphicEQBandGlidesFromRestTowardItsDesignOncePerBlock)
{
    constexpr float kTime = 10.0f;
    GenericWire *in = wire(2, 32);
    GenericWire *out = wire(2, 32);
    ClassModule *m = build(kGraphicEQBand, 0x101, {in, out}, bandArgs(6.0f, 500.0f, 2000.0f, kTime, 4));
    ASSERT_NE(m, nullptr);
    const double step = 1.0 - std::exp(-(32 * 1000.0) / (kTime * kRate));
    EXPECT_NEAR(var(m, 5), step, 1e-6);
    const std::vector<float> target(array(m, 6), array(m, 6) + 20);
    fill(in, 0.25f);
    for (int block = 1; block <= 6; ++block) {
        pump(m);
        for (uint32_t k = 0; k < 20; ++k)
            EXPECT_NEAR(array(m, 7)[k], target[k] * (1.0 - std::pow(1.0 - step, block)), 1e-5)
                << "coefficient " << k << " after block " << block;
    }
}

TEST_F(Filters, GraphicEQBandStageCountsAHostWritesStayWithinWhatWasBuilt)
{
    GenericWire *in = wire(2, 32);
    GenericWire *reference = wire(2, 32);
    GenericWire *out = wire(2, 32);
    ClassModule *built = build(kGraphicEQBand, 0x101, {in, reference}, bandArgs(-6.0f, 300.0f, 3000.0f, 0.0f, 4));
    ClassModule *raised = build(kGraphicEQBand, 0x101, {in, out}, bandArgs(-6.0f, 300.0f, 3000.0f, 0.0f, 4));
    ASSERT_NE(built, nullptr);
    ASSERT_NE(raised, nullptr);
    var<int32_t>(raised, 4) = 64;
    EXPECT_EQ(ClassModule_Set(raised, KVE_MASK_ALL), 0);
    const std::vector<float> x = noise(64, 23);
    for (int block = 0; block < 3; ++block) {
        std::copy(x.begin(), x.end(), data(in));
        pump(built);
        pump(raised);
        for (uint32_t i = 0; i < 64; ++i)
            EXPECT_EQ(data(out)[i], data(reference)[i]) << "block " << block << " word " << i;
    }
    var<int32_t>(raised, 4) = 0;
    EXPECT_EQ(ClassModule_Set(raised, KVE_MASK_ALL), 0);
    std::fill(data(out), data(out) + 64, 7.0f);
    pump(raised);
    EXPECT_TRUE(std::all_of(data(out), data(out) + 64, [](float v) { return v == 7.0f; }))
        << "a band of no stages writes nothing";
}

} // namespace
} // namespace floatfiltertest
