// The logic-word modules: all/any reductions, bitwise AND/OR/XOR of wires (word by word and folded into one
// channel), AND with a mask, bit packing and unpacking, and the logical NOT, each with its bypass.
#include "LogicTestSupport.h"

namespace {

using namespace logictest;

using Logic = logictest::Logic;

TEST_F(Logic, ReductionsTellWhetherAllOrAnyWordIsTrue)
{
    struct Case {
        std::vector<int32_t> in;
        uint32_t channels;
        int32_t all;
        int32_t any;
    } cases[] = {
        {{1, 5, -1, INT32_MIN}, 2, 1, 1}, // any nonzero word is true, negative ones too
        {{1, 1, 0, 1}, 1, 0, 1},
        {{0, 0, 0, 0}, 2, 0, 0},
        {{}, 0, 1, 0}, // a wire with no words: nothing is false, nothing is true
    };
    for (const Case &c : cases) {
        for (const auto &[classId, expected] : {std::pair{kLogicAll, c.all}, std::pair{kLogicAny, c.any}}) {
            GenericWire *in = wire(c.channels, c.channels == 0 ? 4 : 4 / c.channels);
            load(in, c.in);
            GenericWire *out = filled(wire(1, 4), kSentinel);
            ClassModule *m = build(classId, wiring(1, 1), {in, out}, {static_cast<uint32_t>(kSentinel)});
            ASSERT_NE(m, nullptr);
            pump(m);
            EXPECT_EQ(var(m, 0), expected) << std::hex << classId << " case " << &c - cases;
            EXPECT_EQ(words<int32_t>(out), (std::vector<int32_t>{expected, kSentinel, kSentinel, kSentinel}));
        }
    }
}

TEST_F(Logic, ReductionsWriteTheirOutputOnlyWhenTheyHaveExactlyOne)
{
    for (uint32_t classId : {kLogicAll, kLogicAny}) {
        GenericWire *in = filled(wire(1, 4), 1);
        ClassModule *none = build(classId, wiring(1, 0), {in}, {0});
        ASSERT_NE(none, nullptr);
        pump(none);
        EXPECT_EQ(var(none, 0), 1);
        pumpBypassed(none);

        GenericWire *first = filled(wire(1, 2), kSentinel);
        GenericWire *second = filled(wire(1, 2), kSentinel);
        ClassModule *two = build(classId, wiring(1, 2), {in, first, second}, {0});
        ASSERT_NE(two, nullptr);
        pump(two);
        EXPECT_EQ(var(two, 0), 1);
        pumpBypassed(two);
        EXPECT_EQ(words<int32_t>(first), std::vector<int32_t>(2, kSentinel));
        EXPECT_EQ(words<int32_t>(second), std::vector<int32_t>(2, kSentinel));

        // An empty output wire has no first word to write.
        GenericWire *empty = wire(0, 4);
        ClassModule *onEmpty = build(classId, wiring(1, 1), {in, empty}, {0});
        ASSERT_NE(onEmpty, nullptr);
        pump(onEmpty);
        EXPECT_TRUE(fenced(empty));

        // Bypassed with one output: true in its first word, the rest untouched.
        GenericWire *zeros = wire(1, 4);
        GenericWire *out = filled(wire(1, 3), kSentinel);
        ClassModule *one = build(classId, wiring(1, 1), {zeros, out}, {0});
        ASSERT_NE(one, nullptr);
        pumpBypassed(one);
        EXPECT_EQ(words<int32_t>(out), (std::vector<int32_t>{1, kSentinel, kSentinel})) << std::hex << classId;
        EXPECT_EQ(var(one, 0), 0);
    }
}

TEST_F(Logic, BinaryOperationsCombineEveryInputWordByWord)
{
    const std::vector<int32_t> a = {0x0F0F0F0F, -1, 0, 0x12345678};
    const std::vector<int32_t> b = {0x00FF00FF, 0x7FFFFFFF, 0, -0x12345679};
    const std::vector<int32_t> c = {0x33333333, INT32_MIN, 1, 0x0000FFFF};
    struct Case {
        int32_t operation;
        int32_t (*op)(int32_t, int32_t);
    } cases[] = {
        {0, [](int32_t x, int32_t y) { return x & y; }},
        {1, [](int32_t x, int32_t y) { return x | y; }},
        {2, [](int32_t x, int32_t y) { return x ^ y; }},
        {7, [](int32_t x, int32_t y) { return x ^ y; }}, // every code past 1 is XOR
        {-1, [](int32_t x, int32_t y) { return x ^ y; }},
    };
    for (const Case &k : cases) {
        GenericWire *in[3] = {wire(2, 2), wire(2, 2), wire(2, 2)};
        load(in[0], a);
        load(in[1], b);
        load(in[2], c);
        GenericWire *out = wire(2, 2);
        ClassModule *m = build(kBinaryOp, wiring(3, 1), {in[0], in[1], in[2], out},
                               {static_cast<uint32_t>(k.operation), 0});
        ASSERT_NE(m, nullptr);
        pump(m);
        for (size_t i = 0; i < a.size(); ++i)
            EXPECT_EQ(data<int32_t>(out)[i], k.op(k.op(a[i], b[i]), c[i]))
                << "operation " << k.operation << " word " << i;
    }
}

TEST_F(Logic, OneChannelOutputFoldsEveryChannelOfEveryInput)
{
    // Frame 0 carries bits 1, 2 on input 0 and 4, 8, 16 on input 1: OR and XOR both give all five. Frame 1 carries
    // bit 0 four times: OR keeps it, XOR cancels it.
    GenericWire *in0 = wire(2, 3);
    GenericWire *in1 = wire(3, 3);
    load(in0, std::vector<int32_t>{1, 2, 1, 1, 0, 0});
    load(in1, std::vector<int32_t>{4, 8, 16, 1, 1, 0, 0, 0, 0});
    for (const auto &[operation, expected] : {std::pair{1, std::vector<int32_t>{31, 1, 0}},
                                              std::pair{2, std::vector<int32_t>{31, 0, 0}},
                                              std::pair{0, std::vector<int32_t>{0, 0, 0}}}) {
        GenericWire *out = filled(wire(1, 3), kSentinel);
        ClassModule *m = build(kBinaryOp, wiring(2, 1), {in0, in1, out}, {static_cast<uint32_t>(operation), 1});
        ASSERT_NE(m, nullptr);
        pump(m);
        EXPECT_EQ(words<int32_t>(out), expected) << "operation " << operation;
    }
    // AND of words that share bit 0 in every channel keeps it.
    GenericWire *odd0 = filled(wire(2, 2), 0x11);
    GenericWire *odd1 = filled(wire(3, 2), 0x13);
    GenericWire *out = wire(1, 2);
    ClassModule *m = build(kBinaryOp, wiring(2, 1), {odd0, odd1, out}, {0, 1});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ(words<int32_t>(out), (std::vector<int32_t>{0x11, 0x11}));
}

TEST_F(Logic, BinaryOperationsStayInsideShortWiresAndBypassToFalse)
{
    // A short output is filled, never overrun; a short further input combines only the words it has.
    GenericWire *a = filled(wire(1, 6), 0x0F);
    GenericWire *b = filled(wire(1, 2), 0xF0);
    GenericWire *out = wire(1, 4);
    ClassModule *m = build(kBinaryOp, wiring(2, 1), {a, b, out}, {1, 0});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ(words<int32_t>(out), (std::vector<int32_t>{0xFF, 0xFF, 0x0F, 0x0F}));
    EXPECT_TRUE(fenced(out));

    // Folding into a one-channel output shorter than the inputs' blocks.
    GenericWire *wide = filled(wire(4, 8), 2);
    GenericWire *small = wire(1, 3);
    ClassModule *folded = build(kBinaryOp, wiring(1, 1), {wide, small}, {1, 1});
    ASSERT_NE(folded, nullptr);
    pump(folded);
    EXPECT_EQ(words<int32_t>(small), (std::vector<int32_t>{2, 2, 2}));
    EXPECT_TRUE(fenced(small));

    filled(out, kSentinel);
    pumpBypassed(m);
    EXPECT_EQ(words<int32_t>(out), std::vector<int32_t>(4, 0));
}

TEST_F(Logic, AndConstFract32KeepsTheMaskedBits)
{
    const std::vector<int32_t> x = {0x7FFFFFFF, INT32_MIN, -1, 0x12345678, 0};
    GenericWire *in = wire(1, 5);
    load(in, x);
    GenericWire *out = wire(1, 5);
    const int32_t mask = static_cast<int32_t>(0xFFFF0000u);
    ClassModule *m = build(kAndConstFract32, wiring(1, 1), {in, out}, {static_cast<uint32_t>(mask)});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ(words<int32_t>(out), (std::vector<int32_t>{0x7FFF0000, INT32_MIN, mask, 0x12340000, 0}));

    // Bypassed, the input passes as it is.
    pumpBypassed(m);
    EXPECT_EQ(words<int32_t>(out), x);
}

TEST_F(Logic, BitsPackIntoAnIntegerInputZeroFirst)
{
    struct Case {
        std::vector<int32_t> bits;
        int32_t packed;
    } cases[] = {
        {{1, 0, 1}, 5},
        {{0, 1, 1}, 6},
        {{1, 1, 0, 1}, 11},
        {{1}, 1},
        {std::vector<int32_t>(31, 1), INT32_MAX},
        {[] {
             std::vector<int32_t> v(32, 0);
             v[31] = 1;
             return v;
         }(),
         INT32_MIN},
    };
    for (const Case &c : cases) {
        std::vector<GenericWire *> wires;
        for (int32_t bit : c.bits) {
            GenericWire *w = wire(1, 2);
            load(w, std::vector<int32_t>{bit, 0});
            wires.push_back(w);
        }
        GenericWire *out = filled(wire(1, 2), kSentinel);
        wires.push_back(out);
        ClassModule *m = build(kBitsToInt, wiring(static_cast<uint32_t>(c.bits.size()), 1), wires, {});
        ASSERT_NE(m, nullptr);
        pump(m);
        EXPECT_EQ(words<int32_t>(out), (std::vector<int32_t>{c.packed, kSentinel})) << "case " << &c - cases;
    }
    // An empty input reads as 0; an empty output is not written.
    GenericWire *one = filled(wire(1, 1), 1);
    GenericWire *empty = wire(0, 4);
    GenericWire *out = wire(1, 1);
    ClassModule *m = build(kBitsToInt, wiring(3, 1), {one, empty, one, out}, {});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ(data<int32_t>(out)[0], 5);
    ClassModule *toEmpty = build(kBitsToInt, wiring(1, 1), {one, empty}, {});
    ASSERT_NE(toEmpty, nullptr);
    pump(toEmpty);
    EXPECT_TRUE(fenced(empty));
}

TEST_F(Logic, AnIntegerUnpacksIntoBitsOutputZeroFirst)
{
    struct Case {
        int32_t v;
        uint32_t outputs;
    } cases[] = {{6, 3}, {5, 4}, {-1, 34}, {INT32_MIN, 33}, {0, 2}};
    for (const Case &c : cases) {
        GenericWire *in = filled(wire(1, 2), c.v);
        std::vector<GenericWire *> wires{in};
        for (uint32_t j = 0; j < c.outputs; ++j)
            wires.push_back(filled(wire(1, 2), kSentinel));
        ClassModule *m = build(kIntToBits, wiring(1, c.outputs), wires, {});
        ASSERT_NE(m, nullptr);
        pump(m);
        // Bit j of the word, the word taken unsigned: past bit 31 every output reads 0, whatever the sign.
        const auto u = static_cast<uint32_t>(c.v);
        for (uint32_t j = 0; j < c.outputs; ++j) {
            const int32_t bit = j < 32 ? static_cast<int32_t>((u >> j) & 1u) : 0;
            EXPECT_EQ(words<int32_t>(wires[1 + j]), (std::vector<int32_t>{bit, kSentinel})) << c.v << " bit " << j;
        }
    }
    GenericWire *out6[3];
    GenericWire *in = filled(wire(1, 1), 6);
    for (GenericWire *&w : out6)
        w = wire(1, 1);
    ClassModule *m = build(kIntToBits, wiring(1, 3), {in, out6[0], out6[1], out6[2]}, {});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ((std::vector<int32_t>{data<int32_t>(out6[0])[0], data<int32_t>(out6[1])[0], data<int32_t>(out6[2])[0]}),
              (std::vector<int32_t>{0, 1, 1}));

    // An empty input reads as 0; an empty output is skipped.
    GenericWire *empty = wire(0, 4);
    GenericWire *zero = filled(wire(1, 1), kSentinel);
    GenericWire *emptyOut = wire(0, 4);
    ClassModule *fromEmpty = build(kIntToBits, wiring(1, 2), {empty, emptyOut, zero}, {});
    ASSERT_NE(fromEmpty, nullptr);
    pump(fromEmpty);
    EXPECT_EQ(data<int32_t>(zero)[0], 0);
    EXPECT_TRUE(fenced(emptyOut));
}

TEST_F(Logic, BitClassesBypassByPassingMatchingWires)
{
    // Bypassed, the packing classes pass input 0 to an output of its shape, and fill the others with zeros.
    GenericWire *in = filled(wire(1, 2), 3);
    GenericWire *other = filled(wire(1, 2), 1);
    GenericWire *packed = filled(wire(1, 2), kSentinel);
    ClassModule *pack = build(kBitsToInt, wiring(2, 1), {in, other, packed}, {});
    ASSERT_NE(pack, nullptr);
    pumpBypassed(pack);
    EXPECT_EQ(words<int32_t>(packed), (std::vector<int32_t>{3, 3}));

    GenericWire *same = filled(wire(1, 2), kSentinel);
    GenericWire *wider = filled(wire(2, 2), kSentinel);
    ClassModule *unpack = build(kIntToBits, wiring(1, 2), {in, same, wider}, {});
    ASSERT_NE(unpack, nullptr);
    pumpBypassed(unpack);
    EXPECT_EQ(words<int32_t>(same), (std::vector<int32_t>{3, 3}));
    EXPECT_EQ(words<int32_t>(wider), std::vector<int32_t>(4, 0));
}

TEST_F(Logic, BooleanInvertGivesOneForZeroOnly)
{
    GenericWire *in = wire(2, 3);
    const std::vector<int32_t> x = {5, 0, -1, INT32_MIN, 1, 0};
    load(in, x);
    GenericWire *out = wire(2, 3);
    ClassModule *m = build(kBooleanInvert, wiring(1, 1), {in, out}, {});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ(words<int32_t>(out), (std::vector<int32_t>{0, 1, 0, 0, 0, 1}));

    pumpBypassed(m);
    EXPECT_EQ(words<int32_t>(out), x);

    GenericWire *small = wire(1, 2);
    ClassModule *s = build(kBooleanInvert, wiring(1, 1), {in, small}, {});
    ASSERT_NE(s, nullptr);
    pump(s);
    EXPECT_EQ(words<int32_t>(small), (std::vector<int32_t>{0, 1}));
    EXPECT_TRUE(fenced(small));
}

} // namespace
