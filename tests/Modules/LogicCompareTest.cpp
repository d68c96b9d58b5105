// The comparison modules: every relation code of the float, Fract32 and integer forms, wire against wire and wire
// against a constant, checked against IEEE relations from numpy (NaN, signed zeros, infinities) and signed integer
// order; codes that name no relation; outputs and second inputs of other sizes; bypass.
#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "LogicTestSupport.h"
#include "support/PythonOracle.h"

namespace {

using namespace logictest;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Float pairs that reach every corner of IEEE order: NaN on either side, signed zeros, infinities, equal values.
const std::vector<float> kFloatA = {1.0f, 2.0f, -1.0f, 0.0f, -0.0f, kNaN, 3.0f, kNaN, kInf, -kInf, 0.5f, -2.5f};
const std::vector<float> kFloatB = {1.0f, 1.0f, 2.0f, -0.0f, 0.0f, 1.0f, kNaN, kNaN, kInf, 5.0f, 0.25f, -2.5f};
// Constants the float wire is compared with.
const std::vector<float> kFloatConstants = {0.5f, -0.0f, kNaN, -2.5f};

// Integer pairs at the ends of the signed range, where an unsigned compare would order them the other way.
const std::vector<int32_t> kIntA = {0, 1, -1, INT32_MIN, INT32_MAX, INT32_MIN, 7, -7, 0x40000000, 5};
const std::vector<int32_t> kIntB = {0, -1, 1, INT32_MAX, INT32_MIN, INT32_MIN, 7, -8, 0x3FFFFFFF, 5};
const std::vector<int32_t> kIntConstants = {0, -1, INT32_MIN, INT32_MAX, 0x40000000};

// Signed order of two words, relation by code: equal, not equal, less, less or equal, greater, greater or equal.
int32_t intRelation(uint32_t code, int32_t a, int32_t b)
{
    const bool r[] = {a == b, a != b, a < b, a <= b, a > b, a >= b};
    return r[code] ? 1 : 0;
}

class LogicCompare : public Logic {
protected:
    // The numpy relations of every (a[i], b[i]) pair, then of every a[i] against each constant: six per pair.
    std::vector<int32_t> floatOracle()
    {
        std::vector<std::string> args;
        auto pair = [&](float a, float b) {
            args.push_back(kvetest::oracleArg(a));
            args.push_back(kvetest::oracleArg(b));
        };
        for (size_t i = 0; i < kFloatA.size(); ++i)
            pair(kFloatA[i], kFloatB[i]);
        for (float c : kFloatConstants)
            for (float a : kFloatA)
                pair(a, c);
        const std::vector<double> r = kvetest::runOracle("compare_relations.py", args);
        return {r.begin(), r.end()};
    }
    // The output words of a comparison module built with `args` on one-channel wires holding `a` (and `b`).
    template <class T>
    std::vector<int32_t> compare(uint32_t classId, std::vector<uint32_t> args, const std::vector<T> &a)
    {
        return run<T>(classId, std::move(args), {&a});
    }
    template <class T>
    std::vector<int32_t> compare(uint32_t classId, std::vector<uint32_t> args, const std::vector<T> &a,
                                 const std::vector<T> &b)
    {
        return run<T>(classId, std::move(args), {&a, &b});
    }

private:
    template <class T>
    std::vector<int32_t> run(uint32_t classId, std::vector<uint32_t> args, std::vector<const std::vector<T> *> inputs)
    {
        std::vector<GenericWire *> wires;
        for (const std::vector<T> *x : inputs) {
            wires.push_back(wire(1, static_cast<uint32_t>(x->size())));
            load(wires.back(), *x);
        }
        wires.push_back(wire(1, static_cast<uint32_t>(inputs[0]->size())));
        ClassModule *m = build(classId, wiring(static_cast<uint32_t>(inputs.size()), 1), wires, std::move(args));
        EXPECT_NE(m, nullptr) << std::hex << classId;
        if (m != nullptr)
            pump(m);
        return words<int32_t>(wires.back());
    }
};

TEST_F(LogicCompare, FloatRelationsFollowIeeeOrderForEveryCode)
{
    const std::vector<int32_t> oracle = floatOracle();
    const size_t n = kFloatA.size();
    ASSERT_EQ(oracle.size(), 6 * n * (1 + kFloatConstants.size()));
    for (uint32_t code = 0; code < 6; ++code) {
        const std::vector<int32_t> pairs = compare(kCompare, {code}, kFloatA, kFloatB);
        for (size_t i = 0; i < n; ++i)
            EXPECT_EQ(pairs[i], oracle[6 * i + code]) << "code " << code << " pair " << i;
        for (size_t k = 0; k < kFloatConstants.size(); ++k) {
            const std::vector<int32_t> flags = compare(kCompareConst, {code, bitsOf(kFloatConstants[k])}, kFloatA);
            for (size_t i = 0; i < n; ++i)
                EXPECT_EQ(flags[i], oracle[6 * (n * (k + 1) + i) + code])
                    << "code " << code << " sample " << i << " against " << kFloatConstants[k];
        }
    }
}

TEST_F(LogicCompare, Fract32AndIntegerRelationsAreSignedForEveryCode)
{
    // The Fract32 and integer forms read the same words the same way: both are signed 32-bit compares.
    for (const auto &[pairClass, constClass] : {std::pair{kCompareFract32, kCompareConstFract32},
                                                std::pair{kCompareInt32, kCompareConstInt32}}) {
        for (uint32_t code = 0; code < 6; ++code) {
            const std::vector<int32_t> pairs = compare(pairClass, {code}, kIntA, kIntB);
            for (size_t i = 0; i < kIntA.size(); ++i)
                EXPECT_EQ(pairs[i], intRelation(code, kIntA[i], kIntB[i]))
                    << std::hex << pairClass << " code " << code << " pair " << i;
            for (int32_t constant : kIntConstants) {
                const std::vector<int32_t> flags =
                    compare(constClass, {code, static_cast<uint32_t>(constant)}, kIntA);
                for (size_t i = 0; i < kIntA.size(); ++i)
                    EXPECT_EQ(flags[i], intRelation(code, kIntA[i], constant))
                        << std::hex << constClass << " code " << code << " sample " << i << " against " << constant;
            }
        }
    }
}

TEST_F(LogicCompare, CodesOutsideTheRelationsWriteZerosOrLeaveTheOutput)
{
    // The two-wire compares and the Fract32 constant compare clear the output first; the float and integer
    // constant compares leave what was there.
    struct Case {
        uint32_t classId;
        bool twoWires;
        bool keepsOutput;
    } cases[] = {
        {kCompare, true, false},           {kCompareFract32, true, false},     {kCompareInt32, true, false},
        {kCompareConst, false, true},      {kCompareConstInt32, false, true}, {kCompareConstFract32, false, false},
    };
    for (const Case &c : cases) {
        for (uint32_t code : {6u, 7u, static_cast<uint32_t>(-1)}) {
            GenericWire *a = filled(wire(1, 4), 1);
            GenericWire *b = filled(wire(1, 4), 1);
            GenericWire *out = filled(wire(1, 4), kSentinel);
            ClassModule *m = c.twoWires ? build(c.classId, wiring(2, 1), {a, b, out}, {code})
                                        : build(c.classId, wiring(1, 1), {a, out}, {code, 0});
            ASSERT_NE(m, nullptr);
            pump(m);
            const std::vector<int32_t> expected(4, c.keepsOutput ? kSentinel : 0);
            EXPECT_EQ(words<int32_t>(out), expected) << std::hex << c.classId << " code " << std::dec << code;
        }
    }
}

TEST_F(LogicCompare, OnlyTheWordsEveryWireHoldsAreCompared)
{
    // A short second input: the pairs it has are compared, the rest of the output reads false. A short output:
    // filled, never overrun.
    GenericWire *a = filled(wire(1, 8), 3);
    GenericWire *shortB = filled(wire(1, 3), 3);
    GenericWire *out = filled(wire(1, 8), kSentinel);
    ClassModule *m = build(kCompareInt32, wiring(2, 1), {a, shortB, out}, {0});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ(words<int32_t>(out), (std::vector<int32_t>{1, 1, 1, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(fenced(shortB));

    for (uint32_t classId : {kCompare, kCompareFract32, kCompareInt32}) {
        GenericWire *x = wire(2, 8);
        GenericWire *y = wire(2, 8);
        GenericWire *small = wire(1, 2);
        ClassModule *s = build(classId, wiring(2, 1), {x, y, small}, {0});
        ASSERT_NE(s, nullptr);
        pump(s);
        EXPECT_EQ(words<int32_t>(small), (std::vector<int32_t>{1, 1})) << std::hex << classId;
        EXPECT_TRUE(fenced(small)) << std::hex << classId;
    }
    for (uint32_t classId : {kCompareConst, kCompareConstFract32, kCompareConstInt32}) {
        GenericWire *x = wire(2, 8);
        GenericWire *small = wire(1, 3);
        ClassModule *s = build(classId, wiring(1, 1), {x, small}, {0, 0});
        ASSERT_NE(s, nullptr);
        pump(s);
        EXPECT_EQ(words<int32_t>(small), (std::vector<int32_t>{1, 1, 1})) << std::hex << classId;
        EXPECT_TRUE(fenced(small)) << std::hex << classId;
    }
}

TEST_F(LogicCompare, BypassWritesFalseEverywhereAndShortWiringIsRefused)
{
    for (uint32_t classId : {kCompare, kCompareFract32, kCompareInt32}) {
        GenericWire *a = wire(1, 4);
        GenericWire *b = wire(1, 4);
        GenericWire *out = filled(wire(1, 4), kSentinel);
        ClassModule *m = build(classId, wiring(2, 1), {a, b, out}, {0});
        ASSERT_NE(m, nullptr);
        pumpBypassed(m);
        EXPECT_EQ(words<int32_t>(out), std::vector<int32_t>(4, 0)) << std::hex << classId;

        int32_t status = KVE_OK;
        EXPECT_EQ(build(classId, wiring(1, 1), {a, out}, {0}, &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << classId;
    }
    for (uint32_t classId : {kCompareConst, kCompareConstFract32, kCompareConstInt32}) {
        GenericWire *a = wire(1, 4);
        GenericWire *out = filled(wire(1, 4), kSentinel);
        ClassModule *m = build(classId, wiring(1, 1), {a, out}, {0, 0});
        ASSERT_NE(m, nullptr);
        pumpBypassed(m);
        EXPECT_EQ(words<int32_t>(out), std::vector<int32_t>(4, 0)) << std::hex << classId;

        int32_t status = KVE_OK;
        EXPECT_EQ(build(classId, wiring(1, 0), {a}, {0, 0}, &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << classId;
    }
}

} // namespace
