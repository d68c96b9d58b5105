// Building modules from class records, by class id and from wire ids; Set and Get calls; the class table.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "InstalledClasses.h"
#include "support/TestEngine.h"
#include "support/TestModules.h"

namespace {

using kvetest::bitsOf;
using kvetest::TestEngine;

// A class of 6 public and no private variables, generic construction, no Set.
struct SixWords {
    ClassModule header;
    uint32_t v[6];
};
void idle(ClassModule *) {}
const kvetest::ClassRecord<6> kSixWordsClass = {
    {nullptr, 0xBEEFF010u, idle, IOMatchUpModule_Bypass, nullptr, nullptr, nullptr, 6, 0, 0},
    {56, 60, 64, 68, 72, 76}};

TEST(ModuleConstruction, LaysOutHeaderVariablesAndWireArray)
{
    TestEngine engine;
    GenericWire *in = engine.wire(2, 32);
    GenericWire *out = engine.wire(2, 32);
    GenericWire *wires[] = {in, out};
    const uint32_t args[] = {1, 2, 3, 4, 5, 6};
    const uint32_t before = engine->heap1Used;
    int32_t status = KVE_OK;
    ClassModule *m = BaseClassModule_Constructor2(engine.get(), &kSixWordsClass.record, &status, 0x101, wires, 6, args);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(status, KVE_OK);
    // (2 wires + 6 variables) x 8 + header bytes, 8-aligned: the allocator adds a guard word and alignment room.
    EXPECT_EQ(engine->heap1Used - before, ((2 + 6) * 8 + KVE_MODULE_HEADER_SIZE + 4 + 8 + 3) / 4);
    const auto *s = reinterpret_cast<const SixWords *>(m);
    for (uint32_t k = 0; k < 6; ++k)
        EXPECT_EQ(s->v[k], k + 1);
    EXPECT_EQ(reinterpret_cast<char *>(m->wires), reinterpret_cast<char *>(m) + KVE_MODULE_HEADER_SIZE + 6 * 8);
    EXPECT_EQ(m->wires[0], in);
    EXPECT_EQ(m->wires[1], out);
    EXPECT_EQ(m->packed, 0x101u);
    EXPECT_EQ(m->process, &idle);
    EXPECT_EQ(m->objectId, 3u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(m) % 8, 0u);
    EXPECT_EQ(engine->lastObject, reinterpret_cast<KVEObject *>(m));
    EXPECT_EQ(kve_fwLookupID(engine.get(), 3), nullptr) << "only construction by id registers the module";
}

TEST(ModuleConstruction, RefusesBadArgumentsAndPassesAnEarlierFailureThrough)
{
    TestEngine engine;
    GenericWire *w = engine.wire(1, 8);
    KVEObject *notAWire = reinterpret_cast<KVEObject *>(engine.layout(1, 1));
    GenericWire *mixed[] = {w, reinterpret_cast<GenericWire *>(notAWire)};
    GenericWire *withNull[] = {w, nullptr};
    const uint32_t args[7] = {};
    struct Case {
        const char *what;
        int32_t statusOnEntry;
        uint32_t wireWord;
        GenericWire **wires;
        uint32_t argc;
        int32_t expected;
    } cases[] = {
        {"earlier failure passes through first", -79, 0x101, mixed, 7, -79},
        {"argument count differs", KVE_OK, 0x101, mixed, 7, KVE_E_ARG_COUNT},
        {"a wire pointer is a layout", KVE_OK, 0x101, mixed, 6, KVE_E_NOT_A_WIRE},
        {"a wire pointer is null", KVE_OK, 0x101, withNull, 6, KVE_E_NOT_A_WIRE},
        {"no wire array", KVE_OK, 0x1, nullptr, 6, KVE_E_NOT_A_WIRE},
        {"state bits in the wire-count word", KVE_OK, 0x01000001, withNull, 6, KVE_E_BAD_ARGUMENT},
    };
    for (const Case &c : cases) {
        int32_t status = c.statusOnEntry;
        const uint32_t objects = engine->lastObjectId;
        EXPECT_EQ(BaseClassModule_Constructor2(engine.get(), &kSixWordsClass.record, &status, c.wireWord, c.wires,
                                               c.argc, args),
                  nullptr)
            << c.what;
        EXPECT_EQ(status, c.expected) << c.what;
        EXPECT_EQ(engine->lastObjectId, objects) << c.what;
    }
}

TEST(ModuleConstruction, AcceptsTheLargestWireCountWordGenerically)
{
    TestEngine engine;
    std::vector<GenericWire *> wires(255, engine.wire(1, 1));
    int32_t status = KVE_OK;
    const uint32_t args[6] = {};
    EXPECT_NE(BaseClassModule_Constructor2(engine.get(), &kSixWordsClass.record, &status, 0xFF, wires.data(), 6, args),
              nullptr);
    EXPECT_EQ(status, KVE_OK);
}

TEST(ModuleConstruction, ByClassIdRegistersTheModuleAndCallsSetWithAllBits)
{
    TestEngine engine;
    ASSERT_EQ(kve_fwcreateLookupTable(engine.get(), 16), KVE_OK);
    kvetest::setLog().clear();
    GenericWire *in = engine.wire(2, 4);
    GenericWire *out = engine.wire(2, 4);
    int32_t status = KVE_OK;
    ClassModule *m = engine.module(kvetest::kGainClassId, 0x101, {in, out}, {bitsOf(2.0f), 2}, &status);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(status, KVE_OK);
    EXPECT_EQ(kve_fwLookupID(engine.get(), m->objectId), reinterpret_cast<KVEObject *>(m));
    ASSERT_EQ(kvetest::setLog().size(), 1u);
    EXPECT_EQ(kvetest::setLog()[0].mask, KVE_MASK_ALL);
    EXPECT_NE(reinterpret_cast<kvetest::GainModule *>(m)->peak, nullptr) << "the class constructor took its array";
}

TEST(ModuleConstruction, AFailingSetLeavesTheModuleBuiltWithTheSetStatus)
{
    TestEngine engine;
    ASSERT_EQ(kve_fwcreateLookupTable(engine.get(), 16), KVE_OK);
    int32_t status = KVE_OK;
    ClassModule *m = engine.module(kvetest::kFailingSetClassId, 0, {}, {static_cast<uint32_t>(-20)}, &status);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(status, -20);
    EXPECT_EQ(engine->lastObject, reinterpret_cast<KVEObject *>(m));
    EXPECT_EQ(kve_fwLookupID(engine.get(), m->objectId), reinterpret_cast<KVEObject *>(m));
}

TEST(ModuleConstruction, AFailedClassConstructorCutsItsObjectsFromListAndLookupTable)
{
    kvetest::EngineOptions options;
    options.heapWords = 256;
    TestEngine engine(options);
    ASSERT_EQ(kve_fwcreateLookupTable(engine.get(), 8), KVE_OK);
    GenericWire *in = engine.wire(100, 1);
    GenericWire *out = engine.wire(100, 1);
    KVEObject *tail = engine->lastObject;
    // The gain module's header fits, its 100-channel private array does not.
    engine->heap1Used = engine->heap1Size - 30;
    engine->heap2Used = engine->heap2Size - 30;
    engine->heap3Used = engine->heap3Size - 30;
    int32_t status = KVE_OK;
    EXPECT_EQ(engine.module(kvetest::kGainClassId, 0x101, {in, out}, {bitsOf(1.0f), 100}, &status), nullptr);
    EXPECT_EQ(status, KVE_E_HEAPS_FULL);
    EXPECT_EQ(engine->lastObject, tail);
    EXPECT_EQ(tail->next, nullptr);
    EXPECT_EQ(engine->lastObjectId, 3u) << "the cut module's id stays issued";
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    EXPECT_EQ(kve_fwGetObjectByID(engine.get(), 3, &o, &cls), KVE_E_END_OF_LIST) << "no lookup entry survives the cut";
}

TEST(ModuleConstruction, FromWireIdsChecksClassWireCountAndEveryId)
{
    TestEngine engine;
    engine.wire(2, 4);
    engine.wire(2, 4);
    engine.layout(1, 1);
    const uint32_t gainArgs[] = {bitsOf(1.0f), 2};
    struct Case {
        const char *what;
        uint32_t classId;
        uint32_t wireWord;
        std::vector<uint32_t> ids;
        int32_t expected;
    } cases[] = {
        {"unknown class", 0xBEEF0999u, 0x101, {1, 2}, KVE_E_CLASS_NOT_FOUND},
        {"more than 64 wires", kvetest::kGainClassId, 0x2121, std::vector<uint32_t>(66, 1), KVE_E_NOT_A_LAYOUT},
        {"unknown wire id", kvetest::kGainClassId, 0x101, {1, 9}, KVE_E_END_OF_LIST},
        {"id of a layout", kvetest::kGainClassId, 0x101, {1, 3}, KVE_E_NOT_A_WIRE},
        {"good", kvetest::kGainClassId, 0x101, {1, 2}, KVE_OK},
    };
    for (const Case &c : cases) {
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor2(engine.get(), c.classId, &status, c.wireWord, c.ids.data(), 2, gainArgs);
        EXPECT_EQ(status, c.expected) << c.what;
        EXPECT_EQ(m != nullptr, c.expected == KVE_OK) << c.what;
    }
    int32_t status = KVE_E_NOT_A_WIRE;
    const uint32_t ids[] = {1, 2};
    EXPECT_EQ(ClassModule_Constructor2(engine.get(), kvetest::kGainClassId, &status, 0x101, ids, 2, gainArgs), nullptr);
    EXPECT_EQ(status, KVE_E_NOT_A_WIRE) << "a failure on entry passes through";
}

TEST(ModuleConstruction, SetAndGetCallsReachTheClassOrReportTheObject)
{
    TestEngine engine;
    GenericWire *in = engine.wire(1, 4);
    ClassModule *gain = engine.module(kvetest::kGainClassId, 0x101, {in, engine.wire(1, 4)}, {bitsOf(1.0f), 1});
    kvetest::setLog().clear();
    EXPECT_EQ(ClassModule_Set(nullptr, KVE_MASK_ALL), KVE_OK);
    EXPECT_EQ(kve_fwSetCall2(engine.get(), gain->objectId, 0x100), KVE_OK);
    EXPECT_EQ(kve_fwGetCall2(engine.get(), gain->objectId, 0x100), KVE_OK) << "no Get: nothing to call";
    EXPECT_EQ(kve_fwSetCall2(engine.get(), in->objectId, 0x100), KVE_E_NOT_A_MODULE);
    EXPECT_EQ(kve_fwSetCall2(engine.get(), 99, 0x100), KVE_E_ID_NOT_FOUND);
    ASSERT_EQ(kvetest::setLog().size(), 1u);
    EXPECT_EQ(kvetest::setLog()[0].mask, 0x100u);
}

TEST(ModuleConstruction, EveryEntryThatRunsModuleCodeMakesItsInstanceTheOneAtWork)
{
    TestEngine engine;
    TestEngine other;
    GenericWire *in = engine.wire(1, 4);
    ClassModule *gain = engine.module(kvetest::kGainClassId, 0x101, {in, engine.wire(1, 4)}, {bitsOf(1.0f), 1});
    const uint32_t gainValue = KVE_MEMBER_ADDRESS(gain->objectId, 8);
    const uint32_t peaks = KVE_MEMBER_ADDRESS(gain->objectId, 10);
    uint32_t word = 0;
    struct Entry {
        const char *what;
        void (*call)(KVEInstance *, uint32_t, uint32_t, uint32_t *);
    } entries[] = {
        {"Set by id", [](KVEInstance *e, uint32_t, uint32_t, uint32_t *) { kve_fwSetCall2(e, 3, 0x100); }},
        {"value write with Set",
         [](KVEInstance *e, uint32_t a, uint32_t, uint32_t *) { kve_fwSetValueSetCall(e, a, 0, 0x100, 0, 0); }},
        {"array write with Set",
         [](KVEInstance *e, uint32_t, uint32_t p, uint32_t *w) { kve_fwSetValuesSetCall(e, p, 0, 0x100, 1, w, 0); }},
        {"deferred Set",
         [](KVEInstance *e, uint32_t, uint32_t, uint32_t *) {
             g_pKVE_instance = e; // modules raise the request from their own code, with their instance at work
             kve_fwRequestDeferredSet(reinterpret_cast<ClassModule *>(e->lastObject));
             g_pKVE_instance = nullptr;
             kve_fwTick(e);
         }},
        {"teardown", [](KVEInstance *e, uint32_t, uint32_t, uint32_t *) { kve_fwDestroy(e); }},
    };
    for (const Entry &entry : entries) {
        kvetest::setLog().clear();
        g_pKVE_instance = other.get();
        entry.call(engine.get(), gainValue, peaks, &word);
        ASSERT_FALSE(kvetest::setLog().empty()) << entry.what;
        EXPECT_EQ(kvetest::setLog().back().atWork, engine.get()) << entry.what;
    }
}

TEST(ModuleConstruction, ClassListingReportsTableEntries)
{
    TestEngine engine;
    uint32_t id = 0, count = 0;
    EXPECT_EQ(kve_fwGetCIModuleCount(engine.get()), kvetest::kTestClassCount);
    EXPECT_EQ(kve_fwGetCIModuleInfo(engine.get(), 0, &id, &count), static_cast<int32_t>(kvetest::kGainClassId));
    EXPECT_EQ(id, kvetest::kGainClassId);
    EXPECT_EQ(count, 2u | (1u << 16));
    EXPECT_EQ(kve_fwGetCIModuleInfo(engine.get(), kvetest::kTestClassCount, &id, &count), KVE_E_CLASS_INDEX);
    EXPECT_EQ(LookupModuleClass(engine.get(), 0xBEEF0999u), nullptr);
}

// The library's own table: its classes stand in the fixed table order, once each, and every record's offsets
// follow the instance layout (public words from the header on, private pointers 8-aligned after them).
TEST(ClassTable, HoldsInstalledClassesInTableOrderWithConsistentRecords)
{
    std::set<uint32_t> seen;
    size_t position = 0;
    for (uint32_t i = 0; i < g_module_descriptor_count; ++i) {
        const ModClassDescriptor *c = g_module_descriptor_table[i];
        ASSERT_NE(c, nullptr);
        EXPECT_GE(c->classId, KVE_CLASS_MODULE_FIRST);
        EXPECT_LE(c->classId, KVE_CLASS_MODULE_LAST);
        EXPECT_TRUE(seen.insert(c->classId).second) << std::hex << c->classId << " twice";
        while (position < std::size(kvetest::kInstalledClasses) &&
               kvetest::kInstalledClasses[position].classId != c->classId)
            ++position;
        ASSERT_LT(position, std::size(kvetest::kInstalledClasses))
            << "class " << std::hex << c->classId << " is out of table order or not an installed class";
        EXPECT_NE(c->process, nullptr);
        EXPECT_NE(c->bypass, nullptr);
        EXPECT_EQ(c->setState, nullptr);
        EXPECT_EQ(c->reserved, 0u);
        const uint32_t pub = kve_ClassPublicCount(c);
        const uint32_t all = kve_ClassVariableCount(c);
        if (all < 32) {
            EXPECT_EQ(c->floatMask >> all, 0u) << "float bits past the variables";
        }
        const uint32_t *offsets = kve_ClassVariableOffsets(c);
        const uint32_t firstPrivate = (KVE_MODULE_HEADER_SIZE + 4 * pub + 7) & ~7u;
        for (uint32_t k = 0; k < all; ++k)
            EXPECT_EQ(offsets[k], k < pub ? KVE_MODULE_HEADER_SIZE + 4 * k : firstPrivate + 8 * (k - pub))
                << "class " << std::hex << c->classId << " variable " << std::dec << k;
    }
    EXPECT_EQ(g_module_descriptor_table[g_module_descriptor_count], nullptr);
}

} // namespace
