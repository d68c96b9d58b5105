// The arithmetic classes' records as hosts and composites reach them, and the bounds that keep every Process inside
// the wires it was given: short wiring refused, outputs smaller than their inputs, shorter second inputs and empty
// wires neither overrun nor read past, a host's coefficient count held to the array built.
#include "ArithmeticTestSupport.h"

namespace arithtest {
namespace {

TEST_F(Arithmetic, RecordsGiveTheVariablesHostsAndCompositesAddress)
{
    struct Case {
        uint32_t classId;
        uint32_t publicCount;
        uint32_t privateCount;
        uint32_t floatMask;
    } cases[] = {
        {kAbs, 0, 0, 0},           {kAdder, 1, 0, 0},         {kAdderFract32, 1, 0, 0},
        {kAdderInt32, 1, 0, 0},    {kSubtract, 0, 0, 0},      {kSubtractFract32, 0, 0, 0},
        {kSubtractInt32, 0, 0, 0}, {kDivide, 0, 0, 0},        {kMultiplier, 1, 0, 0},
        {kMultiplierFract32, 1, 0, 0}, {kMultiplierV2, 2, 0, 0}, {kMultiplierV2Fract32, 3, 0, 0},
        {kSumDiff, 0, 0, 0},       {kSumDiffFract32, 0, 0, 0}, {kSumDiffInt32, 0, 0, 0},
        {kSquare, 0, 0, 0},        {kSquareAdd, 1, 0, 0},     {kSquareAddFract32, 1, 0, 0},
        {kScaleOffset, 2, 0, 0x3}, {kScaleOffsetInt32, 2, 0, 0}, {kClipAsym, 2, 0, 0x3},
        {kPolynomial, 1, 1, 0x2},
    };
    for (const Case &c : cases) {
        const ModClassDescriptor *r = LookupModuleClass(engine_.get(), c.classId);
        ASSERT_NE(r, nullptr) << std::hex << c.classId;
        EXPECT_EQ(r->countWord, c.publicCount | c.privateCount << 16) << std::hex << c.classId;
        EXPECT_EQ(r->floatMask, c.floatMask) << std::hex << c.classId;
        EXPECT_EQ(r->bypass, IOMatchUpModule_Bypass) << std::hex << c.classId;
        EXPECT_EQ(r->set, nullptr) << std::hex << c.classId;
    }
}

TEST_F(Arithmetic, WiringShorterThanProcessReadsIsRefused)
{
    struct Case {
        uint32_t classId;
        uint32_t wireWord;
        std::vector<uint32_t> args;
    } cases[] = {
        {kAdder, 0x100, {0}},          {kAdderInt32, 0x001, {0}},     {kMultiplierV2, 0x002, {0, 0}},
        {kSquareAdd, 0x100, {0}},      {kSumDiff, 0x102, {}},         {kSumDiffFract32, 0x201, {}},
        {kSubtract, 0x000, {}},        {kSubtractInt32, 0x103, {}},   {kDivide, 0x002, {}},
        {kSquare, 0x001, {}},          {kPolynomial, 0x001, {2}},     {kScaleOffset, 0x100, {0, 0}},
    };
    for (const Case &c : cases) {
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < (c.wireWord & 0xFF) + (c.wireWord >> 8 & 0xFF); ++k)
            wires.push_back(wire({1, 4}));
        EXPECT_EQ(refusal(c.classId, c.wireWord, wires, c.args), KVE_E_ARG_COUNT)
            << std::hex << c.classId << " " << c.wireWord;
    }
}

TEST_F(Arithmetic, SubtractWithOneInputWritesNothing)
{
    for (const uint32_t classId : {kSubtract, kSubtractFract32, kSubtractInt32, kDivide}) {
        GenericWire *in = wire({2, 4}), *spare = wire({2, 4});
        fill(in, std::vector<float>(8, 1.5f));
        ClassModule *alone = build(classId, 1, 0, {in});
        ASSERT_NE(alone, nullptr) << std::hex << classId;
        run(alone);
        // An output wired beyond the N - 1 the class forms is left alone too.
        ClassModule *extra = build(classId, 1, 1, {in, spare});
        ASSERT_NE(extra, nullptr) << std::hex << classId;
        run(extra);
        EXPECT_EQ(words(spare), std::vector<int32_t>(8, kSentinel)) << std::hex << classId;
        EXPECT_EQ(floats(in), std::vector<float>(8, 1.5f)) << std::hex << classId;
    }
}

// Sets a wire's block size below what its buffer holds: the words past it belong to someone else.
void shrink(GenericWire *w, uint32_t block) { w->info2 = (w->info2 & ~0x1FFFFu) | block; }

TEST_F(Arithmetic, ShortWiresAreNeitherOverrunNorReadPast)
{
    // Every wire holds 2 x 8 words; the ones marked short are then declared 2 x 3, so every module may touch only
    // the first 6 words of its outputs.
    struct Case {
        const char *what;
        uint32_t classId;
        std::vector<uint32_t> args;
        uint32_t inputs;
        uint32_t outputs;
        std::vector<uint32_t> shortWires;
    } cases[] = {
        {"magnitude into a short output", kAbs, {}, 1, 1, {1}},
        {"square into a short output", kSquare, {}, 1, 1, {1}},
        {"adder into a short output", kAdder, {0}, 2, 1, {2}},
        {"adder with a short second input", kAdder, {0}, 2, 1, {1}},
        {"Fract32 adder with a short first input", kAdderFract32, {0}, 3, 1, {0}},
        {"product with a short last input", kMultiplier, {0}, 3, 1, {2}},
        {"V2 gain with a short signal", kMultiplierV2, {1, 0}, 2, 1, {1}},
        {"V2 gain into a short output", kMultiplierV2Fract32, {1, 0, 0}, 2, 1, {2}},
        {"sum of squares into a short output", kSquareAddFract32, {0}, 2, 1, {2}},
        {"half sums with a short second input", kSumDiff, {}, 2, 2, {1}},
        {"half sums into a short difference", kSumDiffInt32, {}, 2, 2, {3}},
        {"difference against a short last input", kSubtractFract32, {}, 3, 2, {2}},
        {"quotient into a short output", kDivide, {}, 2, 1, {2}},
        {"scale and offset into a short output", kScaleOffset, {bitsOf(2.0f), bitsOf(1.0f)}, 1, 1, {1}},
        {"integer scale and offset into a short output", kScaleOffsetInt32, {2, 1}, 1, 1, {1}},
        {"clip into a short output", kClipAsym, {bitsOf(-1.0f), bitsOf(1.0f)}, 1, 1, {1}},
        {"polynomial into a short output", kPolynomial, {2}, 1, 1, {1}},
    };
    for (const Case &c : cases) {
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < c.inputs + c.outputs; ++k) {
            GenericWire *w = wire({2, 8});
            if (k < c.inputs)
                fill(w, std::vector<float>(16, 0.5f));
            wires.push_back(w);
        }
        ClassModule *m = build(c.classId, c.inputs, c.outputs, wires, c.args);
        ASSERT_NE(m, nullptr) << c.what;
        for (const uint32_t k : c.shortWires)
            shrink(wires[k], 3);
        run(m);
        for (uint32_t k = c.inputs; k < c.inputs + c.outputs; ++k) {
            for (uint32_t i = 0; i < 16; ++i) {
                if (i < 6)
                    EXPECT_NE(data(wires[k])[i], kSentinel) << c.what << ": output " << k << " word " << i;
                else
                    EXPECT_EQ(data(wires[k])[i], kSentinel) << c.what << ": output " << k << " word " << i;
            }
        }
    }
}

TEST_F(Arithmetic, OneChannelOutputsTakeTheFramesEveryWireHolds)
{
    // A one-channel output of 5 words and inputs of 2 x 8 and 3 x 4 words: 4 frames; an input emptied of its
    // channels after construction leaves no frame at all.
    for (const uint32_t classId : {kAdder, kAdderInt32, kMultiplierFract32, kSquareAdd}) {
        GenericWire *a = wire({2, 8}), *b = wire({3, 4}), *out = wire({1, 5});
        fill(a, std::vector<float>(16, 0.5f));
        fill(b, std::vector<float>(12, 0.5f));
        ClassModule *m = build(classId, 2, 1, {a, b, out}, {1});
        ASSERT_NE(m, nullptr) << std::hex << classId;
        run(m);
        for (uint32_t i = 0; i < 5; ++i)
            EXPECT_EQ(data(out)[i] == kSentinel, i >= 4) << std::hex << classId << " word " << i;
        fill(out, std::vector<int32_t>(5, kSentinel));
        b->info1 &= ~0x3FFu;
        run(m);
        EXPECT_EQ(words(out), std::vector<int32_t>(5, kSentinel)) << std::hex << classId;
    }
}

TEST_F(Arithmetic, GainModeWithoutASignalInputIsSilent)
{
    for (const uint32_t classId : {kMultiplierV2, kMultiplierV2Fract32}) {
        GenericWire *gain = wire({1, 4}), *out = wire({1, 4});
        fill(gain, std::vector<float>(4, 0.5f));
        std::vector<uint32_t> args{1, 0};
        if (classId == kMultiplierV2Fract32)
            args.push_back(0);
        ClassModule *m = build(classId, 1, 1, {gain, out}, args);
        ASSERT_NE(m, nullptr) << std::hex << classId;
        run(m);
        EXPECT_EQ(words(out), std::vector<int32_t>(4, 0)) << std::hex << classId;
    }
}

TEST_F(Arithmetic, PolynomialHoldsAHostsCountToTheCoefficientsBuilt)
{
    GenericWire *in = wire({1, 4}), *out = wire({1, 4});
    fill(in, std::vector<float>{-1.0f, 0.0f, 0.5f, 3.0f});
    ClassModule *m = build(kPolynomial, 1, 1, {in, out}, {2});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(kve::kit::capacity(m, 0), 2u);
    array<float>(m, 1)[0] = 2.0f;
    array<float>(m, 1)[1] = 1.0f;
    struct Case {
        int32_t numCoeffs;
        std::vector<float> expected;
    } cases[] = {
        {2, {-1.0f, 1.0f, 2.0f, 7.0f}},    // 2x + 1
        {1000, {-1.0f, 1.0f, 2.0f, 7.0f}}, // held to the two coefficients built
        {1, {2.0f, 2.0f, 2.0f, 2.0f}},     // the highest coefficient alone
        {0, {0.0f, 0.0f, 0.0f, 0.0f}},
        {-3, {0.0f, 0.0f, 0.0f, 0.0f}},
    };
    for (const Case &c : cases) {
        var(m, 0) = c.numCoeffs;
        run(m);
        EXPECT_EQ(floats(out), c.expected) << c.numCoeffs;
    }

    // No coefficients at all is a polynomial too: it gives 0.
    GenericWire *out0 = wire({1, 4});
    ClassModule *none = build(kPolynomial, 1, 1, {in, out0}, {0});
    ASSERT_NE(none, nullptr);
    run(none);
    EXPECT_EQ(floats(out0), std::vector<float>(4, 0.0f));

    // A count the heaps cannot hold builds nothing.
    int32_t status = KVE_OK;
    std::vector<GenericWire *> wires{in, out0};
    std::vector<uint32_t> args{0x40000000u};
    EXPECT_EQ(ClassModule_Constructor3(engine_.get(), kPolynomial, &status, 0x101, wires.data(), 1, args.data()),
              nullptr);
    EXPECT_NE(status, KVE_OK);
}

} // namespace
} // namespace arithtest
