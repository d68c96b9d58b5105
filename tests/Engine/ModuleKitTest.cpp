// The module kit: class records from a declarative description, arrays allocated at their described lengths, and
// capacities kept where no member address reaches them.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "Modules/ModuleKit.h"
#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;

// A kit class: per-channel gains of wire 0, and a history of 2 x taps + 1 words from the taps argument.
struct KitModule {
    ClassModule header;
    float masterGain;
    uint32_t taps;
    float *gains;
    int32_t *history;
};

void kitProcess(ClassModule *) {}

constexpr uint32_t kKitClassId = 0xBEEFF020u;
ClassModule *kitConstructor(int32_t *, uint32_t, GenericWire **, uint32_t, const uint32_t *);

constexpr std::array<kve::kit::Variable, 4> kKitVariables = {
    KVE_VARIABLE(KitModule, masterGain, Float),
    KVE_VARIABLE(KitModule, taps, UInt),
    KVE_ARRAY(KitModule, gains, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY_IN(KitModule, history, IntArray, perArgument(1, 2, 1), KVE_HEAPS_HOST_ARRAYS),
};
constinit const kve::kit::ClassRecord<4> kKitClass =
    kve::kit::makeClass<4>(kKitClassId, {kitConstructor, kitProcess}, kKitVariables);

ClassModule *kitConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                            const uint32_t *args)
{
    return kve::kit::construct(kKitClass, kKitVariables, 1, 1, status, wireWord, wires, argc, args);
}

// A composite of the kit: it builds a kit module on its own two wires and keeps it in a private pointer.
struct CompositeModule {
    ClassModule header;
    ClassModule *inner;
};

constexpr uint32_t kCompositeClassId = 0xBEEFF021u;
ClassModule *compositeConstructor(int32_t *, uint32_t, GenericWire **, uint32_t, const uint32_t *);

constexpr std::array<kve::kit::Variable, 1> kCompositeVariables = {KVE_VARIABLE(CompositeModule, inner, Pointer)};
constinit const kve::kit::ClassRecord<1> kCompositeClass =
    kve::kit::makeClass<1>(kCompositeClassId, {compositeConstructor, kitProcess}, kCompositeVariables);

ClassModule *compositeConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    auto *m = reinterpret_cast<CompositeModule *>(
        BaseClassModule_ConstructorHidden(&kCompositeClass.record, status, wireWord, wires, argc, args, 0));
    if (m == nullptr)
        return nullptr;
    const uint32_t innerArgs[] = {bitsOf(1.0f), 1};
    m->inner = ClassModule_Constructor(kKitClassId, status, 0x101, m->header.wires, 2, innerArgs);
    return m->inner != nullptr ? &m->header : nullptr;
}

const ModClassDescriptor *const kKitTable[] = {&kKitClass.record, &kCompositeClass.record};

class ModuleKit : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kKitTable;
        engine_->classCount = 2;
        in_ = engine_.wire(3, 8);
        out_ = engine_.wire(3, 8);
    }
    ClassModule *build(uint32_t taps, int32_t *status, uint32_t wireWord = 0x101)
    {
        return engine_.module(kKitClassId, wireWord, {in_, out_}, {bitsOf(1.0f), taps}, status);
    }

    kvetest::TestEngine engine_;
    GenericWire *in_ = nullptr;
    GenericWire *out_ = nullptr;
};

TEST_F(ModuleKit, DescriptionGivesCountWordFloatMaskAndOffsets)
{
    const ModClassDescriptor &r = kKitClass.record;
    EXPECT_EQ(r.countWord, 2u | (2u << 16));
    EXPECT_EQ(r.floatMask, 0x5u) << "masterGain and the gains array";
    EXPECT_EQ(r.constructor, &kitConstructor);
    EXPECT_EQ(r.bypass, &IOMatchUpModule_Bypass);
    const uint32_t *offsets = kve_ClassVariableOffsets(&r);
    EXPECT_EQ(offsets[0], KVE_MODULE_HEADER_SIZE);
    EXPECT_EQ(offsets[1], KVE_MODULE_HEADER_SIZE + 4);
    EXPECT_EQ(offsets[2], KVE_MODULE_HEADER_SIZE + 8);
    EXPECT_EQ(offsets[3], KVE_MODULE_HEADER_SIZE + 16);
}

TEST_F(ModuleKit, ArraysTakeTheirDescribedLengthsAndKeepThemAsCapacities)
{
    int32_t status = KVE_OK;
    ClassModule *m = build(5, &status);
    ASSERT_NE(m, nullptr) << status;
    EXPECT_EQ(status, KVE_OK);
    auto *k = reinterpret_cast<KitModule *>(m);
    EXPECT_EQ(kve::kit::capacity(m, 0), 3u) << "one gain per channel of wire 0";
    EXPECT_EQ(kve::kit::capacity(m, 1), 11u) << "2 x taps + 1";
    ASSERT_NE(k->gains, nullptr);
    ASSERT_NE(k->history, nullptr);
    for (uint32_t i = 0; i < 11; ++i)
        EXPECT_EQ(k->history[i], 0);
    EXPECT_GE(reinterpret_cast<uint32_t *>(k->history), engine_->heap2Base) << "the history lives in heap 2";
    EXPECT_LT(reinterpret_cast<uint32_t *>(k->history), engine_->heap2Base + engine_->heap2Size);

    // A host that grows the taps argument later cannot grow the capacity.
    ASSERT_EQ(kve_fwSetValue(engine_.get(), KVE_MEMBER_ADDRESS(m->objectId, 9), 1000, 0, 0), KVE_OK);
    EXPECT_EQ(kve::kit::capacity(m, 1), 11u);
}

TEST_F(ModuleKit, HiddenWordsAreOutOfEveryHostsReach)
{
    int32_t status = KVE_OK;
    ClassModule *m = build(2, &status);
    ASSERT_NE(m, nullptr);
    const uint32_t id = m->objectId;
    // The packed word a host reads holds wire counts and state only: one input, one output, active.
    int32_t readStatus = KVE_OK;
    EXPECT_EQ(kve_fwFetchValue(engine_.get(), KVE_MEMBER_ADDRESS(id, 6), &readStatus, 0), 0x101u);
    EXPECT_EQ(readStatus, KVE_OK);
    // Aim the free pointer word at the capacities (just past the two wire pointers) and try to write through it.
    ASSERT_EQ(kve_fwSetPointer(engine_.get(), KVE_MEMBER_ADDRESS(id, 3), KVE_MEMBER_ADDRESS(id, 4) | KVE_MEMBER_DEREF,
                               2 * 2 + 1),
              KVE_OK);
    EXPECT_EQ(kve_fwSetValue(engine_.get(), KVE_MEMBER_ADDRESS(id, 3) | KVE_MEMBER_DEREF, 1000000, 0, 0),
              KVE_E_BAD_ARGUMENT);
    EXPECT_EQ(kve::kit::capacity(m, 0), 3u);
    // No packed-word write reaches the mark that finds the hidden words, nor sets a bit the word does not define.
    for (uint32_t bit : {26u, 28u, 29u, 30u, 31u})
        EXPECT_EQ(kve_fwSetValue(engine_.get(), KVE_MEMBER_ADDRESS(id, 6), m->packed | 1u << bit, 0, 0),
                  KVE_E_MEMBER_INDEX)
            << "bit " << bit;
    EXPECT_EQ(kve_fwSetValue(engine_.get(), KVE_MEMBER_ADDRESS(id, 6), 0x101u | KVE_PACKED_DEFERRED_SET, 0, 0),
              KVE_OK);
    EXPECT_EQ(kve::kit::capacity(m, 0), 3u);
}

TEST_F(ModuleKit, HostsReachNoFurtherThanAnArrayHoldsAndAimNoPrivatePointer)
{
    int32_t status = KVE_OK;
    ClassModule *m = build(2, &status);
    ASSERT_NE(m, nullptr);
    KVEInstance *e = engine_.get();
    const uint32_t gains = KVE_MEMBER_ADDRESS(m->objectId, 10) | KVE_MEMBER_DEREF;   // 3 entries
    const uint32_t history = KVE_MEMBER_ADDRESS(m->objectId, 11) | KVE_MEMBER_DEREF; // 2 x 2 + 1 entries
    std::vector<uint32_t> words(6, 7);
    EXPECT_EQ(kve_fwSetValue(e, gains, bitsOf(0.5f), 2, 0), KVE_OK);
    EXPECT_EQ(kve_fwSetValue(e, gains, bitsOf(0.5f), 3, 0), KVE_E_BAD_ARGUMENT) << "one past the gains";
    EXPECT_EQ(kve_fwFetchValues(e, history, 0, 5, words.data()), KVE_OK);
    EXPECT_EQ(kve_fwFetchValues(e, history, 0, 6, words.data()), KVE_E_BAD_ARGUMENT) << "one past the history";
    EXPECT_EQ(kve_fwSetValues(e, history, 4, 2, words.data(), 0), KVE_E_BAD_ARGUMENT);
    EXPECT_EQ(kve_fwSetPointer(e, KVE_MEMBER_ADDRESS(m->objectId, 10), KVE_MEMBER_ADDRESS(m->objectId, 11), 0),
              KVE_E_MEMBER_INDEX)
        << "an array the module owns is not re-aimed";

    // The module a composite built: its id can be read, but it is neither followed as words nor re-aimed.
    ClassModule *composite = engine_.module(kCompositeClassId, 0x101, {in_, out_}, {}, &status);
    ASSERT_NE(composite, nullptr);
    const ClassModule *inner = reinterpret_cast<CompositeModule *>(composite)->inner;
    const uint32_t link = KVE_MEMBER_ADDRESS(composite->objectId, 8);
    EXPECT_EQ(kve_fwDerefPointer(e, link, &status), inner->objectId);
    EXPECT_EQ(status, KVE_OK);
    EXPECT_EQ(kve_fwFetchValue(e, link | KVE_MEMBER_DEREF, &status, 0), 0u);
    EXPECT_EQ(status, KVE_E_MEMBER_INDEX);
    EXPECT_EQ(kve_fwSetPointer(e, link, KVE_MEMBER_ADDRESS(in_->objectId, 3) | KVE_MEMBER_DEREF, 0),
              KVE_E_MEMBER_INDEX)
        << "a wire's samples, which a host writes, never stand in for the inner module";
    EXPECT_EQ(reinterpret_cast<CompositeModule *>(composite)->inner, inner);
}

TEST_F(ModuleKit, ShortWiringAndFailedArraysBuildNothing)
{
    struct Case {
        const char *what;
        uint32_t taps;
        uint32_t wireWord;
        int32_t status;
    } cases[] = {
        {"no output wire", 1, 0x1, KVE_E_ARG_COUNT},
        {"a history too large for the heaps", 0x10000000u, 0x101, KVE_E_HEAPS_FULL},
    };
    for (const Case &c : cases) {
        KVEObject *tail = engine_->lastObject;
        int32_t status = KVE_OK;
        EXPECT_EQ(build(c.taps, &status, c.wireWord), nullptr) << c.what;
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(engine_->lastObject, tail) << c.what << ": nothing left in the object list";
    }
}

} // namespace
