// The fixed-point math classes with derived words and private arrays: what Set derives from the float variables
// (and that it does so whatever the mask), the samples those words give, the clamping of a host's coefficient count
// to what was allocated, the records' interface, and the wiring and wire sizes every class stays within.
#include <cmath>

#include "MathFract32TestSupport.h"

namespace mathq {
namespace {

TEST_F(MathFract32, ClipLimitsTakeTheRoundedConversion)
{
    struct Case {
        float lower, upper;
        int32_t lowerWord, upperWord;
    } cases[] = {
        {-2.0f, 1.0f, kMin, kMax},
        {-1.0f, 0.5f, kMin, 0x40000000},
        {-0.25f, 0.75f, -0x20000000, 0x60000000},
        {0x1p-32f, -0x1p-32f, 1, -1},
        {std::nanf(""), 3.0f, 0, kMax},
    };
    for (const Case &c : cases) {
        ClassModule *m = build(kClipAsym, 0x101, {wire(1, 4), wire(1, 4)}, {bitsOf(c.lower), 0, bitsOf(c.upper), 0});
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(var(m, 1), c.lowerWord) << c.lower;
        EXPECT_EQ(var(m, 3), c.upperWord) << c.upper;
    }
}

TEST_F(MathFract32, ScaleOffsetSplitsOnlyGainsOfMagnitudeOneOrMore)
{
    struct Case {
        float gain, offset;
        int32_t gainWord, postShift, offsetWord;
    } cases[] = {
        {3.0f, 0.0f, 0x60000000, 2, 0},
        {0.5f, 0.25f, 0x40000000, 0, 0x20000000},
        {-1.0f, -1.0f, model::word(0xC0000000), 1, kMin},
        {1.0f, 1.0f, 0x40000000, 1, kMax},
        {-0.75f, -2.0f, -0x60000000, 0, kMin},
        {0x1p-20f, 0.0f, 0x800, 0, 0},
        {1000.0f, 0.0f, 0x7D000000, 10, 0},
    };
    for (const Case &c : cases) {
        ClassModule *m =
            build(kScaleOffset, 0x101, {wire(1, 4), wire(1, 4)}, {bitsOf(c.gain), bitsOf(c.offset), 0, 0, 0});
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(var(m, 3), c.gainWord) << c.gain;
        EXPECT_EQ(var(m, 4), c.postShift) << c.gain;
        EXPECT_EQ(var(m, 2), c.offsetWord) << c.offset;
    }
}

TEST_F(MathFract32, PolynomialCoefficientsShareTheShiftOfTheLargest)
{
    struct Case {
        std::vector<float> coeffs;
        int32_t postShift;
        std::vector<int32_t> words;
    } cases[] = {
        {{0.5f, 2.0f}, 2, {0x10000000, 0x40000000}},
        {{}, -32, {}},
        {{0.25f, -0.125f}, -1, {0x40000000, -0x20000000}},
        {{0.25f, -0.125f, 0.0f}, 0, {0x20000000, -0x10000000, 0}}, // zero counts as exponent 0
        {{0.0f}, 0, {0}},
        {{0x1p-40f}, -32, {0x00800000}},
        {{-1.0f, 0.75f}, 1, {-0x40000000, 0x30000000}},
    };
    for (const Case &c : cases) {
        const auto count = static_cast<uint32_t>(c.coeffs.size());
        ClassModule *m = build(kPolynomial, 0x101, {wire(1, 4), wire(1, 4)}, {count, 0});
        ASSERT_NE(m, nullptr);
        std::copy(c.coeffs.begin(), c.coeffs.end(), array<float>(m, 2));
        EXPECT_EQ(ClassModule_Set(m, 0), 0) << "mask 0 recomputes too";
        EXPECT_EQ(var(m, 1), c.postShift) << count << " coefficients";
        EXPECT_EQ(std::vector<int32_t>(array<int32_t>(m, 3), array<int32_t>(m, 3) + count), c.words);
    }
}

TEST_F(MathFract32, SetRecomputesWhateverTheMask)
{
    for (const uint32_t mask : {0u, 0x100u, 0x7FFFFFFFu}) {
        ClassModule *clip = build(kClipAsym, 0x101, {wire(1, 4), wire(1, 4)}, {bitsOf(-1.0f), 0, bitsOf(1.0f), 0});
        ClassModule *scale =
            build(kScaleOffset, 0x101, {wire(1, 4), wire(1, 4)}, {bitsOf(1.0f), bitsOf(0.0f), 0, 0, 0});
        ASSERT_NE(clip, nullptr);
        ASSERT_NE(scale, nullptr);
        var<float>(clip, 2) = 0.5f;
        var<float>(scale, 0) = 0.5f;
        var<float>(scale, 1) = 0.5f;
        EXPECT_EQ(ClassModule_Set(clip, mask), 0);
        EXPECT_EQ(ClassModule_Set(scale, mask), 0);
        EXPECT_EQ(var(clip, 3), 0x40000000) << mask;
        EXPECT_EQ(var(scale, 3), 0x40000000) << mask;
        EXPECT_EQ(var(scale, 4), 0) << mask;
        EXPECT_EQ(var(scale, 2), 0x40000000) << mask;
    }
}

TEST_F(MathFract32, DerivedWordsShapeEverySample)
{
    const std::vector<int32_t> x = testWords(512);
    const std::vector<int32_t> clipped = apply(kClipAsym, x, {bitsOf(-0.5f), 0, bitsOf(0.25f), 0});
    ASSERT_EQ(clipped.size(), x.size());
    for (size_t i = 0; i < x.size(); ++i)
        EXPECT_EQ(clipped[i], std::clamp(x[i], -0x40000000, 0x20000000)) << x[i];
    for (const float gain : {3.0f, -1.0f, 0.3f, 1000.0f}) {
        GenericWire *in = wire(1, 512), *out = wire(1, 512);
        ClassModule *m = build(kScaleOffset, 0x101, {in, out}, {bitsOf(gain), bitsOf(-0.125f), 0, 0, 0});
        ASSERT_NE(m, nullptr);
        load(in, x);
        run(m);
        const int32_t g = var(m, 3), shift = var(m, 4);
        for (size_t i = 0; i < x.size(); ++i) {
            const model::i128 product = std::min<model::i128>(model::mul31(x[i], g), kMax);
            EXPECT_EQ(data(out)[i], model::clampTo32(model::scaleByPow2(product, shift) - 0x10000000))
                << gain << " " << x[i];
        }
    }
    {
        // 0.5 x^2 - 1.5 x + 0.25: coefficients above 1 make the shift positive.
        GenericWire *in = wire(1, 512), *out = wire(1, 512);
        ClassModule *m = build(kPolynomial, 0x101, {in, out}, {3, 0});
        ASSERT_NE(m, nullptr);
        const float coeffs[] = {0.5f, -1.5f, 0.25f};
        std::copy(std::begin(coeffs), std::end(coeffs), array<float>(m, 2));
        ClassModule_Set(m, 0xFFFFFFFFu);
        load(in, x);
        run(m);
        const std::vector<int32_t> c(array<int32_t>(m, 3), array<int32_t>(m, 3) + 3);
        const int32_t shift = var(m, 1);
        for (size_t i = 0; i < x.size(); ++i) {
            EXPECT_EQ(data(out)[i], kvetest::modelPolynomialFract32(x[i], c, shift)) << x[i];
            const double v = x[i] / 2147483648.0;
            if (std::fabs(v) < 0.4)
                EXPECT_NEAR(data(out)[i] / 2147483648.0, 0.5 * v * v - 1.5 * v + 0.25, 1e-8) << v;
        }
    }
}

TEST_F(MathFract32, HostCoefficientCountIsHeldToTheArraysBuilt)
{
    GenericWire *in = wire(1, 8), *out = wire(1, 8);
    ClassModule *m = build(kPolynomial, 0x101, {in, out}, {2, 0});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(kve::kit::capacity(m, 0), 2u);
    ASSERT_EQ(kve::kit::capacity(m, 1), 2u);
    array<float>(m, 2)[0] = 0.5f; // 0.5 x + 0.25
    array<float>(m, 2)[1] = 0.25f;
    load(in, {0, 0x40000000, -0x40000000, kMax, kMin, 1, -1, 0x20000000});
    ClassModule_Set(m, 0xFFFFFFFFu);
    run(m);
    const std::vector<int32_t> twoCoefficients = words(out);
    for (const int32_t count : {3, 1000, INT32_MAX}) {
        var(m, 0) = count;
        EXPECT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), 0);
        EXPECT_EQ(var(m, 1), 0) << count;
        run(m);
        EXPECT_EQ(words(out), twoCoefficients) << count;
    }
    for (const int32_t count : {-1, INT32_MIN}) {
        var(m, 0) = count;
        ClassModule_Set(m, 0xFFFFFFFFu);
        EXPECT_EQ(var(m, 1), -32) << count;
        run(m);
        EXPECT_EQ(words(out), std::vector<int32_t>(8, 0)) << "no coefficients: " << count;
    }
}

TEST_F(MathFract32, PowerKeepsThreeScratchArraysOfTheInputBlock)
{
    ClassModule *m = build(kPow, 0x102, {wire(2, 24), wire(2, 24), wire(2, 24)}, {});
    ASSERT_NE(m, nullptr);
    const KVEInstance *in = engine_.get();
    for (uint32_t k = 0; k < 3; ++k) {
        EXPECT_EQ(kve::kit::capacity(m, k), 24u) << "one word per frame of wire 0";
        const uint32_t *p = array<uint32_t>(m, k);
        EXPECT_TRUE(p >= in->heap2Base && p + 24 <= in->heap2Base + in->heap2Size) << "scratch " << k << " in heap 2";
    }
}

TEST_F(MathFract32, RecordsCarryTheirIdsVariablesAndSlots)
{
    struct Case {
        const ModClassDescriptor *record;
        uint32_t classId, publicCount, privateCount, floatMask;
        bool hasSet;
    } cases[] = {
        {&kve_modAbsFract32Class.record, kAbs, 0, 0, 0, false},
        {&kve_modSquareFract32Class.record, kSquare, 0, 0, 0, false},
        {&kve_modSqrtFract32Class.record, kSqrt, 0, 0, 0, false},
        {&kve_modReciprocalFract32Class.record, kReciprocal, 1, 0, 0, false},
        {&kve_modLog10Fract32Class.record, kLog10, 0, 0, 0, false},
        {&kve_modLog2Fract32Class.record, kLog2, 0, 0, 0, false},
        {&kve_modDb20Fract32Class.record, kDb20, 0, 0, 0, false},
        {&kve_modUndb10Fract32Class.record, kUndb10, 0, 0, 0, false},
        {&kve_modUndb20Fract32Class.record, kUndb20, 0, 0, 0, false},
        {&kve_modPow2Fract32Class.record, kPow2, 0, 0, 0, false},
        {&kve_modPowFract32Class.record, kPow, 0, 3, 0, false},
        {&kve_modShiftFract32Class.record, kShift, 1, 0, 0, false},
        {&kve_modLShiftFract32Class.record, kLShift, 1, 0, 0, false},
        {&kve_modClipAsymFract32Class.record, kClipAsym, 4, 0, 0b0101, true},
        {&kve_modScaleOffsetFract32Class.record, kScaleOffset, 5, 0, 0b00011, true},
        {&kve_modPolynomialFract32Class.record, kPolynomial, 2, 2, 0b0100, true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.record->classId, c.classId);
        EXPECT_EQ(kve_ClassPublicCount(c.record), c.publicCount) << std::hex << c.classId;
        EXPECT_EQ(kve_ClassVariableCount(c.record), c.publicCount + c.privateCount) << std::hex << c.classId;
        EXPECT_EQ(c.record->floatMask, c.floatMask) << std::hex << c.classId;
        EXPECT_EQ(c.record->set != nullptr, c.hasSet) << std::hex << c.classId;
        EXPECT_EQ(c.record->bypass, IOMatchUpModule_Bypass) << std::hex << c.classId;
        EXPECT_EQ(c.record->get, nullptr) << std::hex << c.classId;
    }
}

// ---- Wiring and wire sizes ----

// Public-variable counts of the classes, for construction arguments.
uint32_t argumentsOf(const ModClassDescriptor *record) { return kve_ClassPublicCount(record); }

TEST_F(MathFract32, WiringShorterThanProcessReadsIsRefused)
{
    for (const ModClassDescriptor *record : kTable) {
        const bool twoInputs = record->classId == kPow;
        for (const uint32_t wireWord : twoInputs ? std::vector<uint32_t>{0x001, 0x101, 0x002}
                                                 : std::vector<uint32_t>{0x000, 0x001, 0x100}) {
            std::vector<GenericWire *> wires{wire(1, 4), wire(1, 4), wire(1, 4)};
            std::vector<uint32_t> args(argumentsOf(record), 1);
            int32_t status = KVE_OK;
            EXPECT_EQ(ClassModule_Constructor3(engine_.get(), record->classId, &status, wireWord, wires.data(),
                                               static_cast<uint32_t>(args.size()), args.data()),
                      nullptr)
                << std::hex << record->classId << " wired 0x" << wireWord;
            EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << record->classId << " wired 0x" << wireWord;
        }
    }
}

TEST_F(MathFract32, EveryClassWorksOnlyOnWhatEachWireHolds)
{
    // Wires with room for 16 words that say they hold fewer: an output shorter than the input, an input shorter than
    // the output, and (for the power) a shorter second input. Words past what a wire holds keep the sentinel.
    struct Shape {
        uint32_t in, second, out;
    } shapes[] = {{16, 16, 8}, {8, 16, 16}, {16, 5, 16}, {0, 16, 16}};
    for (const ModClassDescriptor *record : kTable) {
        const bool twoInputs = record->classId == kPow;
        for (const Shape &s : shapes) {
            GenericWire *a = wire(1, 16), *b = wire(1, 16), *out = wire(1, 16);
            std::vector<uint32_t> args(argumentsOf(record), 1);
            int32_t status = KVE_OK;
            std::vector<GenericWire *> wires = twoInputs ? std::vector<GenericWire *>{a, b, out}
                                                         : std::vector<GenericWire *>{a, out};
            ClassModule *m = ClassModule_Constructor3(engine_.get(), record->classId, &status,
                                                      twoInputs ? 0x102u : 0x101u, wires.data(),
                                                      static_cast<uint32_t>(args.size()), args.data());
            ASSERT_NE(m, nullptr) << std::hex << record->classId;
            load(a, testWords(16));
            load(b, std::vector<int32_t>(16, 0x40000000));
            load(out, std::vector<int32_t>(16, kSentinel));
            a->info2 = (a->info2 & ~0x1FFFFu) | s.in;
            b->info2 = (b->info2 & ~0x1FFFFu) | s.second;
            out->info2 = (out->info2 & ~0x1FFFFu) | s.out;
            run(m);
            const uint32_t held = std::min({s.in, s.out, twoInputs ? s.second : 16u});
            for (uint32_t i = held; i < 16; ++i)
                EXPECT_EQ(data(out)[i], kSentinel) << std::hex << record->classId << std::dec << " word " << i
                                                   << " of " << s.in << "/" << s.second << "/" << s.out;
        }
    }
}

} // namespace
} // namespace mathq
