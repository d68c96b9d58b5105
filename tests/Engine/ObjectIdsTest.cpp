// Object ids, the lookup table, renumbering and walking the object list.
#include <gtest/gtest.h>

#include "support/TestEngine.h"
#include "support/TestModules.h"

namespace {

using kvetest::TestEngine;

TEST(ObjectIds, AreIssuedInCreationOrderAndRestartAfterDestroy)
{
    TestEngine engine;
    GenericWire *a = engine.wire(2, 32);
    GenericWire *b = engine.wire(2, 32);
    ClassModule *m = engine.module(kvetest::kGainClassId, 0x101, {a, b}, {kvetest::bitsOf(1.0f), 2});
    ClassLayout *l = engine.layout(4, 1);
    EXPECT_EQ(a->objectId, 1u);
    EXPECT_EQ(b->objectId, 2u);
    EXPECT_EQ(m->objectId, 3u);
    EXPECT_EQ(l->objectId, 4u);
    ASSERT_EQ(kve_fwcreateLookupTable(engine.get(), 8), KVE_OK);

    kve_fwDestroy(engine.get());
    EXPECT_EQ(engine->lookupTable, nullptr);
    EXPECT_EQ(engine->lookupSize, 0u);
    EXPECT_EQ(engine->firstObject, nullptr);
    EXPECT_EQ(engine->firstLayout, nullptr);
    EXPECT_EQ(engine.wire(1, 8)->objectId, 1u);
}

TEST(ObjectIds, LookupTableServesLowIdsAndTheRenumberedRange)
{
    TestEngine engine;
    ASSERT_EQ(kve_fwcreateLookupTable(engine.get(), 4), KVE_OK);
    GenericWire *w[6];
    for (auto &x : w)
        x = engine.wire(1, 8);
    EXPECT_EQ(kve_fwLookupID(engine.get(), 1), reinterpret_cast<KVEObject *>(w[0]));
    EXPECT_EQ(kve_fwLookupID(engine.get(), 4), reinterpret_cast<KVEObject *>(w[3]));
    EXPECT_EQ(kve_fwLookupID(engine.get(), 5), nullptr) << "ids above N have no slot";

    EXPECT_EQ(kve_fwSetInstanceID(engine.get(), 3, 30005), KVE_OK);
    EXPECT_EQ(kve_fwLookupID(engine.get(), 3), nullptr);
    EXPECT_EQ(kve_fwLookupID(engine.get(), 30005), reinterpret_cast<KVEObject *>(w[2]));
    EXPECT_EQ(kve_fwSetInstanceID(engine.get(), 5, 30099), KVE_OK) << "past the last slot";

    KVEObject *o = nullptr;
    uint32_t cls = 0;
    EXPECT_EQ(kve_fwGetObjectByID(engine.get(), 30099, &o, &cls), KVE_OK) << "found by walking the list";
    EXPECT_EQ(o, reinterpret_cast<KVEObject *>(w[4]));
    EXPECT_EQ(cls, KVE_CLASS_WIRE);
    EXPECT_EQ(kve_fwGetObjectByID(engine.get(), 5, &o, &cls), KVE_E_END_OF_LIST);
    EXPECT_EQ(o, nullptr);
}

TEST(ObjectIds, RenumberingRefusesTakenLowAndUnknownIds)
{
    TestEngine engine;
    engine.wire(1, 8);
    engine.wire(1, 8);
    struct Case {
        uint32_t from, to;
        int32_t status;
    } cases[] = {
        {1, 2, KVE_E_ID_IN_USE},      // taken, even below 30000
        {1, 29999, KVE_E_ID_TOO_LOW}, //
        {7, 30000, KVE_E_ID_NOT_FOUND},
    };
    for (const Case &c : cases)
        EXPECT_EQ(kve_fwSetInstanceID(engine.get(), c.from, c.to), c.status) << c.from << " -> " << c.to;
    ASSERT_EQ(kve_fwSetInstanceID(engine.get(), 1, 30000), KVE_OK);
    EXPECT_EQ(kve_fwSetInstanceID(engine.get(), 2, 30000), KVE_E_ID_IN_USE);
}

TEST(ObjectIds, LookupOnABrokenListStopsWithTheCounterCode)
{
    TestEngine engine;
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    EXPECT_EQ(kve_fwGetObjectByID(engine.get(), 1, &o, &cls), KVE_E_END_OF_LIST) << "empty list";

    GenericWire *a = engine.wire(1, 8);
    GenericWire *b = engine.wire(1, 8);
    b->next = reinterpret_cast<KVEObject *>(a); // a cycle: the walk must still end
    EXPECT_EQ(kve_fwGetObjectByID(engine.get(), 9, &o, &cls), KVE_E_ID_COUNTER);
    b->next = nullptr;
    engine->lastObjectId = 0;
    EXPECT_EQ(kve_fwGetObjectByID(engine.get(), 1, &o, &cls), KVE_E_ID_COUNTER);
}

TEST(ObjectIds, ListWalkReportsEachClassAndEndsWithANullNext)
{
    TestEngine engine;
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    EXPECT_EQ(kve_fwGetFirstObject2(engine.get(), &o, &cls), KVE_E_END_OF_LIST);
    engine.wire(1, 8);
    engine.layout(1, 1);
    ASSERT_EQ(kve_fwGetFirstObject(&o, &cls), KVE_OK);
    EXPECT_EQ(cls, KVE_CLASS_WIRE);
    KVEObject *next = nullptr;
    ASSERT_EQ(kve_fwGetNextObject(o, &next, &cls), KVE_OK);
    EXPECT_EQ(cls, KVE_CLASS_LAYOUT);
    EXPECT_EQ(kve_fwGetNextObject(next, &o, &cls), KVE_E_END_OF_LIST);
    EXPECT_EQ(o, nullptr);
    EXPECT_EQ(kve_fwGetNextObject(nullptr, &o, &cls), KVE_E_NOT_AN_OBJECT);
    EXPECT_EQ(kve_fwGetClassType(nullptr), 0u);
}

TEST(ObjectIds, LookupTableFailureLeavesLookupsToTheListWalk)
{
    kvetest::EngineOptions options;
    options.heapWords = 64;
    TestEngine engine(options);
    EXPECT_EQ(kve_fwcreateLookupTable(engine.get(), 1000), KVE_E_HEAPS_FULL);
    EXPECT_EQ(engine->lookupSize, 0u);
    EXPECT_EQ(engine->lookupTable, nullptr);
    GenericWire *w = engine.wire(1, 1);
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    EXPECT_EQ(kve_fwGetObjectByID(engine.get(), 1, &o, &cls), KVE_OK);
    EXPECT_EQ(o, reinterpret_cast<KVEObject *>(w));
}

} // namespace
