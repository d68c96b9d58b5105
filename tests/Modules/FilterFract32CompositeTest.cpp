// The Fract32 composites built around an inner BiquadCascadeFract32: the inner cascade built right after the outer
// module with the stage count of the order or band, the refusal of other wiring and of orders the design does not
// know, magnitude responses against scipy's Butterworth filters, cutoffs and rates the design cannot use, and the
// graphic-equaliser band's gain.
#include "FilterFract32TestSupport.h"

#include "ButterworthCorners.h"
#include "kve/kve_design.h"
#include "support/PythonOracle.h"

namespace filtertest {
namespace {

// ButterworthFilterFract32: filterType, order, cutoffFreq, innerModule.
enum { kType = 0, kOrder = 1, kCutoff = 2, kButterworthInner = 3 };
// GraphicEQBandFract32: gain, lowFreq, highFreq, numStages, innerModule.
enum { kGain = 0, kLow = 1, kHigh = 2, kBandStages = 3, kBandInner = 4 };
// The inner cascade: numStages, coeffs, coeffsFract32, state, postShift.
enum { kInnerStages = 0, kInnerCoeffs = 1, kInnerWords = 2, kInnerShifts = 4 };

using CompositesFract32 = FiltersFract32;

// Gain of a mono module at `freq`: the amplitude of its output, once settled, over that of the sine it is fed.
double gainAt(ClassModule *m, GenericWire *in, GenericWire *out, double freq, double amplitude = 0.5)
{
    constexpr uint32_t kSettle = 2400;
    constexpr uint32_t kMeasure = 4800; // whole periods of every multiple of 10 Hz
    const uint32_t block = KVE_WIRE_BLOCK_SIZE(in->info2);
    std::vector<int32_t> y;
    for (uint32_t t = 0; t < kSettle + kMeasure; t += block) {
        for (uint32_t i = 0; i < block; ++i)
            static_cast<int32_t *>(in->buffer)[i] = static_cast<int32_t>(
                std::lround(amplitude * 2147483648.0 * std::sin(2.0 * M_PI * freq * static_cast<double>(t + i) / kRate)));
        m->classRecord->process(m);
        if (t >= kSettle)
            y.insert(y.end(), static_cast<int32_t *>(out->buffer), static_cast<int32_t *>(out->buffer) + block);
    }
    return amplitudeAt(y, freq) / amplitude;
}

// The inner cascade holds what the design gives and has converted it.
void expectInnerHolds(ClassModule *inner, const std::vector<float> &design)
{
    const auto stages = static_cast<uint32_t>(design.size() / 5);
    const float *coeffs = FiltersFract32::array<float>(inner, kInnerCoeffs);
    for (uint32_t k = 0; k < stages; ++k) {
        const std::vector<float> stage(design.begin() + 5 * k, design.begin() + 5 * k + 5);
        const int shift = shiftOf(stage);
        EXPECT_EQ(FiltersFract32::array(inner, kInnerShifts)[k], shift) << k;
        for (uint32_t i = 0; i < 5; ++i) {
            EXPECT_EQ(coeffs[5 * k + i], stage[i]) << k << " " << i;
            EXPECT_EQ(FiltersFract32::array(inner, kInnerWords)[5 * k + i], q31(stage[i], shift)) << k << " " << i;
        }
    }
}

TEST_F(CompositesFract32, ButterworthBuildsItsCascadeRightAfterItself)
{
    struct Case {
        int32_t order;
        int32_t stages;
    };
    for (const Case c : {Case{1, 1}, Case{2, 1}, Case{4, 2}, Case{5, 3}, Case{10, 5}}) {
        SCOPED_TRACE(c.order);
        GenericWire *in = wire(2, 16);
        GenericWire *out = wire(2, 16);
        ClassModule *m = build(kButterworth, 0x101, {in, out}, {0, static_cast<uint32_t>(c.order), bitsOf(1000.0f)});
        ASSERT_NE(m, nullptr);
        ClassModule *inner = array<ClassModule>(m, kButterworthInner);
        ASSERT_NE(inner, nullptr);
        EXPECT_EQ(inner->classRecord->classId, kCascade);
        EXPECT_EQ(inner->objectId, m->objectId + 1);
        EXPECT_EQ(var(inner, kInnerStages), c.stages);
        EXPECT_EQ(inner->wires[0], in);
        EXPECT_EQ(inner->wires[1], out);
        std::vector<float> design(5 * c.stages);
        design_butterworth(c.order, 0, design.data(), 1000.0f, kRate);
        expectInnerHolds(inner, design);
    }
}

TEST_F(CompositesFract32, GraphicEQBandBuildsItsCascadeAndCorrectsItsBand)
{
    GenericWire *in = wire(1, 16);
    GenericWire *out = wire(1, 16);
    ClassModule *m = build(kGraphicEQ, 0x101, {in, out}, {bitsOf(6.0f), bitsOf(1000.0f), bitsOf(500.0f), 3});
    ASSERT_NE(m, nullptr);
    ClassModule *inner = array<ClassModule>(m, kBandInner);
    EXPECT_EQ(inner->classRecord->classId, kCascade);
    EXPECT_EQ(inner->objectId, m->objectId + 1);
    EXPECT_EQ(var(inner, kInnerStages), 3);
    EXPECT_EQ(var<float>(m, kLow), 499.0f); // a band turned inside out ends 1 Hz below its top
    std::vector<float> design(15);
    design_geq(6, design.data(), 499.0f, 500.0f, 6.0f, kRate);
    expectInnerHolds(inner, design);
}

// Other wiring is refused before any wire past the caller's array is read; orders outside 1 to 10 are refused.
TEST_F(CompositesFract32, RefuseOtherWiringAndUnknownOrders)
{
    struct Case {
        uint32_t classId;
        uint32_t wireWord;
        int32_t order;
        int32_t status;
    };
    const Case cases[] = {
        {kButterworth, 0x102, 4, KVE_E_ARG_COUNT},    {kButterworth, 0x201, 4, KVE_E_ARG_COUNT},
        {kButterworth, 0x1, 4, KVE_E_ARG_COUNT},      {kButterworth, 0x10101, 4, KVE_E_ARG_COUNT},
        {kButterworth, 0x101, 0, KVE_E_BAD_ARGUMENT}, {kButterworth, 0x101, 11, KVE_E_BAD_ARGUMENT},
        {kButterworth, 0x101, -1, KVE_E_BAD_ARGUMENT}, {kGraphicEQ, 0x102, 2, KVE_E_ARG_COUNT},
        {kGraphicEQ, 0x10101, 2, KVE_E_ARG_COUNT},    {kGraphicEQ, 0x0, 2, KVE_E_ARG_COUNT},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.wireWord);
        SCOPED_TRACE(c.order);
        const std::vector<GenericWire *> wires = {wire(1, 16), wire(1, 16)}; // exactly two
        const std::vector<uint32_t> args =
            c.classId == kButterworth ? std::vector<uint32_t>{0, static_cast<uint32_t>(c.order), bitsOf(1000.0f)}
                                      : std::vector<uint32_t>{0, bitsOf(500.0f), bitsOf(2000.0f), 2};
        const KVEObject *before = engine_->lastObject;
        int32_t status = KVE_OK;
        EXPECT_EQ(build(c.classId, c.wireWord, wires, args, &status), nullptr);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(engine_->lastObject, before); // nothing left behind
    }
}

// Without the cascade class in the table the composite cannot be built.
TEST_F(CompositesFract32, FailWithoutTheCascadeClass)
{
    const ModClassDescriptor *const table[] = {&kve_modButterworthFilterFract32Class.record,
                                               &kve_modGraphicEQBandFract32Class.record};
    engine_->classTable = table;
    engine_->classCount = std::size(table);
    GenericWire *in = wire(1, 16);
    GenericWire *out = wire(1, 16);
    int32_t status = KVE_OK;
    EXPECT_EQ(build(kButterworth, 0x101, {in, out}, {0, 2, bitsOf(1000.0f)}, &status), nullptr);
    EXPECT_EQ(status, KVE_E_CLASS_NOT_FOUND);
    status = KVE_OK;
    EXPECT_EQ(build(kGraphicEQ, 0x101, {in, out}, {0, bitsOf(500.0f), bitsOf(2000.0f), 2}, &status), nullptr);
    EXPECT_EQ(status, KVE_E_CLASS_NOT_FOUND);
}

// Magnitudes against scipy's Butterworth designs, in the pass band, at the cutoff and in the stop band. Each module is
// built as the other kind and redesigned by Set, so the inner cascade converts what Set designs.
TEST_F(CompositesFract32, ButterworthFollowsScipyMagnitudes)
{
    struct Case {
        int32_t order;
        int32_t kind;
        float cutoff;
    };
    const std::vector<double> freqs = {100.0, 500.0, 1000.0, 1500.0, 2000.0, 4000.0, 12000.0};
    for (const Case c : {Case{4, 0, 1000.0f}, Case{5, 1, 2000.0f}, Case{1, 0, 1500.0f}, Case{10, 1, 500.0f}}) {
        SCOPED_TRACE(c.order);
        std::vector<std::string> args = {std::to_string(c.order), std::to_string(c.kind), kvetest::oracleArg(c.cutoff),
                                         kvetest::oracleArg(kRate)};
        for (double f : freqs)
            args.push_back(kvetest::oracleArg(f));
        const std::vector<double> expected = kvetest::runOracle("filterf_butter.py", args);
        ASSERT_EQ(expected.size(), freqs.size());
        for (size_t k = 0; k < freqs.size(); ++k) {
            GenericWire *in = wire(1, 32);
            GenericWire *out = wire(1, 32);
            ClassModule *m = build(kButterworth, 0x101, {in, out},
                                   {static_cast<uint32_t>(1 - c.kind), static_cast<uint32_t>(c.order), bitsOf(c.cutoff)});
            ASSERT_NE(m, nullptr);
            var(m, kType) = c.kind;
            EXPECT_EQ(set(m), 0);
            EXPECT_NEAR(gainAt(m, in, out, freqs[k]), expected[k], 2e-5) << freqs[k];
        }
    }
}

// An order raised past the stages the cascade was built with is held to them; a lower order keeps working.
TEST_F(CompositesFract32, ButterworthHoldsAWrittenOrderToItsCascade)
{
    GenericWire *in = wire(1, 16);
    GenericWire *out = wire(1, 16);
    ClassModule *m = build(kButterworth, 0x101, {in, out}, {0, 4, bitsOf(1000.0f)});
    ASSERT_NE(m, nullptr);
    ClassModule *inner = array<ClassModule>(m, kButterworthInner);
    struct Case {
        int32_t written;
        int32_t designed;
    };
    for (const Case c : {Case{9, 4}, Case{1000, 4}, Case{3, 3}}) {
        var(m, kOrder) = c.written;
        set(m);
        std::vector<float> design(10);
        design_butterworth(c.designed, 0, design.data(), 1000.0f, kRate);
        expectInnerHolds(inner, design);
    }
}

// A cutoff or rate the design cannot use, written by the host (a rate through the wire the filter reads it from):
// meanwhile the cascade holds finite sections whose poles lie inside the unit circle (by the stability triangle
// |a2| < 1, |a1| < 1 + a2); once a usable cutoff is written back, the filter's gain follows scipy's magnitudes again.
TEST_F(CompositesFract32, ButterworthComesBackFromACutoffOrRateItCannotUse)
{
    const std::vector<double> freqs = {300.0, 1000.0, 3000.0};
    std::vector<std::string> args = {"4", "0", kvetest::oracleArg(1000.0), kvetest::oracleArg(kRate)};
    for (double f : freqs)
        args.push_back(kvetest::oracleArg(f));
    const std::vector<double> expected = kvetest::runOracle("filterf_butter.py", args);
    ASSERT_EQ(expected.size(), freqs.size());
    for (const auto &c : butterworthtest::kUnusableCorners)
        for (size_t k = 0; k < freqs.size(); ++k) {
            GenericWire *in = wire(1, 32);
            GenericWire *out = wire(1, 32);
            ClassModule *m = build(kButterworth, 0x101, {in, out}, {0, 4, bitsOf(1000.0f)});
            ASSERT_NE(m, nullptr) << c.what;
            ClassModule *inner = array<ClassModule>(m, kButterworthInner);
            const uint32_t cutoff = KVE_MEMBER_ADDRESS(m->objectId, 8 + kCutoff);

            in->sampleRate = c.rate;
            ASSERT_EQ(kve_fwSetValueSetCall(engine_.get(), cutoff, bitsOf(c.cutoff), KVE_MASK_HOST, 0, 0), KVE_OK);
            const float *sections = array<float>(inner, kInnerCoeffs);
            for (int s = 0; s < 2; ++s) {
                const float *b = sections + 5 * s;
                EXPECT_TRUE(std::all_of(b, b + 5, [](float v) { return std::isfinite(v); })) << c.what << " " << s;
                EXPECT_TRUE(std::fabs(b[4]) < 1.0f && std::fabs(b[3]) < 1.0 + b[4]) << c.what << " " << s;
            }
            for (int block = 0; block < 8; ++block) {
                load(in, testSignal(32, 0.5).data());
                process(m);
            }

            in->sampleRate = kRate;
            ASSERT_EQ(kve_fwSetValueSetCall(engine_.get(), cutoff, bitsOf(1000.0f), KVE_MASK_HOST, 0, 0), KVE_OK);
            EXPECT_NEAR(gainAt(m, in, out, freqs[k]), expected[k], 2e-5) << c.what << " at " << freqs[k] << " Hz";
        }
}

// A band of +6 dB between 500 Hz and 2 kHz: the gain at the geometric centre, half of it at the edges, none far
// away.
TEST_F(CompositesFract32, GraphicEQBandGainFollowsTheBand)
{
    struct Case {
        double freq;
        double dB;
        double tolerance;
    };
    for (const Case c : {Case{1000.0, 6.0, 0.02}, Case{500.0, 3.0, 0.05}, Case{2000.0, 3.0, 0.05},
                         Case{20.0, 0.0, 0.05}, Case{16000.0, 0.0, 0.05}}) {
        SCOPED_TRACE(c.freq);
        GenericWire *in = wire(1, 32);
        GenericWire *out = wire(1, 32);
        ClassModule *m = build(kGraphicEQ, 0x101, {in, out}, {bitsOf(6.0f), bitsOf(500.0f), bitsOf(2000.0f), 4});
        ASSERT_NE(m, nullptr);
        EXPECT_NEAR(20.0 * std::log10(gainAt(m, in, out, c.freq, 0.25)), c.dB, c.tolerance);
    }
}

} // namespace
} // namespace filtertest
