// Layouts: placing modules, the timed run and its statistics, clock dividers, the pump and the deferred-Set tick.
#include <gtest/gtest.h>

#include <vector>

#include "support/TestEngine.h"
#include "support/TestModules.h"

namespace {

using kvetest::bitsOf;
using kvetest::EngineOptions;
using kvetest::FakeClock;
using kvetest::TestEngine;

TEST(Layouts, PlacingModulesChecksEveryWord)
{
    TestEngine engine;
    GenericWire *a = engine.wire(1, 4);
    GenericWire *b = engine.wire(1, 4);
    ClassModule *m1 = engine.module(kvetest::kGainClassId, 0x101, {a, b}, {bitsOf(1.0f), 1});
    ClassModule *m2 = engine.module(kvetest::kGainClassId, 0x101, {b, a}, {bitsOf(1.0f), 1});
    ClassLayout *l = engine.layout(3, 1);
    const uint32_t L = l->objectId, M1 = m1->objectId, M2 = m2->objectId;
    struct Case {
        const char *what;
        std::vector<uint32_t> words;
        int32_t expected;
    } cases[] = {
        {"too few words", {L, 0}, KVE_E_ARG_COUNT},
        {"unknown layout", {99, 0, M1}, KVE_E_ID_NOT_FOUND},
        {"not a layout", {M1, 0, M2}, KVE_E_NOT_A_LAYOUT},
        {"past the capacity", {L, 2, M1, M2}, KVE_E_NOT_A_LAYOUT},
        {"first slot wraps around", {L, 0xFFFFFFFFu, M1}, KVE_E_NOT_A_LAYOUT},
        {"a wire is not a module", {L, 0, a->objectId}, KVE_E_NOT_A_MODULE},
        {"an unknown module", {L, 0, 77}, KVE_E_ID_NOT_FOUND},
        {"good", {L, 0, M1, M2}, KVE_OK},
    };
    for (const Case &c : cases)
        EXPECT_EQ(kve_fwAddModuleToLayout(engine.get(), static_cast<uint32_t>(c.words.size()), c.words.data()),
                  c.expected)
            << c.what;
    EXPECT_EQ(l->modules[0], m1);
    EXPECT_EQ(l->modules[1], m2);

    m2->layoutOwner = 1;
    const uint32_t partly[] = {L, 1, M1, M2};
    EXPECT_EQ(kve_fwAddModuleToLayout(engine.get(), 4, partly), KVE_E_MODULE_IN_LAYOUT);
    EXPECT_EQ(l->modules[1], m1) << "modules placed before the failing id stay placed";
}

TEST(Layouts, RunsModulesInSlotOrderUntilAnEmptySlot)
{
    TestEngine engine;
    GenericWire *a = engine.wire(1, 4);
    GenericWire *b = engine.wire(1, 4);
    GenericWire *c = engine.wire(1, 4);
    ClassModule *twice = engine.module(kvetest::kGainClassId, 0x101, {a, b}, {bitsOf(2.0f), 1});
    ClassModule *thrice = engine.module(kvetest::kGainClassId, 0x101, {b, c}, {bitsOf(3.0f), 1});
    ClassModule *never = engine.module(kvetest::kGainClassId, 0x101, {c, a}, {bitsOf(0.0f), 1});
    ClassLayout *l = engine.layout(4, 1);
    ASSERT_EQ(engine.place(l, 0, {twice, thrice}), KVE_OK);
    ASSERT_EQ(engine.place(l, 3, {never}), KVE_OK);
    static_cast<float *>(a->buffer)[0] = 1.5f;
    EXPECT_EQ(kve_fwPump(engine.get(), 0), KVE_OK);
    EXPECT_EQ(static_cast<float *>(c->buffer)[0], 9.0f);
    EXPECT_EQ(static_cast<float *>(a->buffer)[0], 1.5f) << "slot 2 is empty: slot 3 never runs";
    EXPECT_EQ(l->runCount, 1u);

    ClassLayout *empty = engine.layout(0, 1);
    EXPECT_EQ(kve_fwPump(engine.get(), 1), KVE_OK);
    EXPECT_EQ(empty->runCount, 1u) << "a layout without modules still counts its run";
    EXPECT_EQ(kve_fwPump(engine.get(), 2), KVE_E_NO_LAYOUT);
}

TEST(Layouts, ClockDividersChooseTheDueLayoutsEachBlock)
{
    TestEngine engine;
    engine.layout(0, 1);
    engine.layout(0, 3);
    engine.layout(0, 0); // runs like a divider of 1
    std::vector<uint32_t> masks;
    uint32_t dividers[4] = {};
    for (int block = 0; block < 7; ++block)
        masks.push_back(kve_fwEvalLayoutMask(engine.get(), block == 0 ? dividers : nullptr));
    const std::vector<uint32_t> expected = {7, 5, 5, 7, 5, 5, 7}; // the divider-3 layout runs on blocks 1, 4, 7
    EXPECT_EQ(masks, expected);
    EXPECT_EQ(dividers[1], 3u);
    EXPECT_EQ(dividers[2], 0u);

    TestEngine none;
    EXPECT_EQ(kve_fwEvalLayoutMask(none.get(), nullptr), 1u);
}

TEST(Layouts, TimingStatisticsWarmUpForTwentyRunsThenSmooth)
{
    EngineOptions o;
    TestEngine engine(o);
    engine->flags |= KVE_FLAG_NO_MODULE_PROFILING;
    ClassLayout *l = engine.layout(0, 1);
    const uint32_t step = 40; // 100-ns ticks between clock reads
    FakeClock clock(5000, step);

    uint32_t expectedPeriod = 0;
    for (uint32_t run = 0; run < 20; ++run) {
        uint32_t time = 0xAAAA, period = 0;
        ClassLayout_Process(engine.get(), l, &time, &period);
        EXPECT_EQ(time, 0xAAAAu) << "no time is reported while warming up, run " << run;
        if (run > 0)
            expectedPeriod = expectedPeriod - expectedPeriod / 128 + 2 * step; // one read per warm-up run
        EXPECT_EQ(period, expectedPeriod) << run;
        EXPECT_EQ(l->loadPercent, 0.0f);
    }
    uint32_t time = 0, period = 0;
    ClassLayout_Process(engine.get(), l, &time, &period);
    expectedPeriod = expectedPeriod - expectedPeriod / 128 + 2 * step;
    EXPECT_EQ(time, 256 * step);
    EXPECT_EQ(l->lastTime, 256 * step);
    EXPECT_EQ(l->peakTime, 256 * step);
    EXPECT_EQ(l->averageTime, 2 * step);
    EXPECT_EQ(period, expectedPeriod);
    EXPECT_FLOAT_EQ(l->loadPercent, 2.0f * step * 100.0f / static_cast<float>(expectedPeriod));
    EXPECT_EQ(l->runCount, 21u);

    ClassLayout_Process(engine.get(), l, &time, &period);
    expectedPeriod = expectedPeriod - expectedPeriod / 128 + 2 * (2 * step); // two reads per warm run
    EXPECT_EQ(period, expectedPeriod);
    EXPECT_EQ(l->averageTime, 2 * step - (2 * step) / 128 + 2 * step);
}

TEST(Layouts, ModuleTimesAreSmoothedOnlyAfterWarmUpAndOnlyWhenProfiled)
{
    TestEngine engine;
    GenericWire *a = engine.wire(1, 4);
    ClassModule *m = engine.module(kvetest::kGainClassId, 0x101, {a, engine.wire(1, 4)}, {bitsOf(1.0f), 1});
    ClassLayout *l = engine.layout(1, 1);
    ASSERT_EQ(engine.place(l, 0, {m}), KVE_OK);
    FakeClock clock(100, 10);
    for (int run = 0; run < 20; ++run)
        ClassLayout_Process(engine.get(), l, nullptr, nullptr);
    EXPECT_EQ(m->cycles, 0u);
    ClassLayout_Process(engine.get(), l, nullptr, nullptr);
    EXPECT_EQ(m->cycles, 20u) << "2 x the 10 ticks between the reads around the module";

    engine->flags |= KVE_FLAG_NO_LAYOUT_PROFILING;
    const ClassLayout before = *l;
    ClassLayout_Process(engine.get(), l, nullptr, nullptr);
    EXPECT_EQ(m->cycles, 20u);
    EXPECT_EQ(l->averagePeriod, before.averagePeriod);
    EXPECT_EQ(l->runCount, before.runCount + 1);
    EXPECT_EQ(ClassModule_Execute(engine.get(), m), 20u - 20u / 128 + 2 * 10);
}

TEST(Layouts, ProfileReportCombinesTwoLayoutsAndClearsOnRequest)
{
    TestEngine engine;
    uint32_t time = 9, period = 9;
    EXPECT_EQ(kve_fwGetProfileValues(engine.get(), 0, &time, &period), KVE_E_NO_LAYOUT);
    EXPECT_EQ(time, 0u);
    EXPECT_EQ(period, 0u);

    ClassLayout *first = engine.layout(0, 1);
    first->averageTime = 300;
    first->averagePeriod = 1000;
    EXPECT_EQ(kve_fwGetProfileValues(engine.get(), 0, &time, &period), KVE_OK);
    EXPECT_EQ(time, 300u);
    EXPECT_EQ(period, 1000u);

    ClassLayout *second = engine.layout(0, 4);
    second->averageTime = 2500;
    second->averagePeriod = 4000;
    EXPECT_EQ(kve_fwGetProfileValues(engine.get(), 0, &time, &period), KVE_OK);
    EXPECT_EQ(time, 2500u + (4u - 2500u / 1000u) * 300u);
    EXPECT_EQ(period, 4000u);

    EXPECT_EQ(kve_fwClearProfileValues(engine.get(), 2), KVE_OK);
    EXPECT_EQ(second->averageTime, 0u);
    EXPECT_EQ(second->averagePeriod, 0u);
    EXPECT_EQ(first->averageTime, 300u);
    EXPECT_EQ(kve_fwClearProfileValues(engine.get(), 0), KVE_OK);
    EXPECT_EQ(first->averageTime, 0u);
    EXPECT_EQ(kve_fwClearProfileValues(engine.get(), 3), KVE_E_NO_LAYOUT);
}

class DeferredSets : public ::testing::Test {
protected:
    void SetUp() override
    {
        wire_ = engine_.wire(1, 4);
        a_ = engine_.module(kvetest::kDeferredClassId, 0, {}, {0, 0});
        b_ = engine_.module(kvetest::kDeferredClassId, 0, {}, {0, 0});
        layout_ = engine_.layout(2, 1);
        ASSERT_EQ(engine_.place(layout_, 0, {a_, b_}), KVE_OK);
        kvetest::setLog().clear();
    }
    void request(ClassModule *m) { reinterpret_cast<kvetest::DeferredModule *>(m)->requests = 1; }
    uint32_t fullSets(ClassModule *m) { return reinterpret_cast<kvetest::DeferredModule *>(m)->fullSets; }

    TestEngine engine_;
    GenericWire *wire_ = nullptr;
    ClassModule *a_ = nullptr;
    ClassModule *b_ = nullptr;
    ClassLayout *layout_ = nullptr;
};

TEST_F(DeferredSets, TwoRequestsAreServedOnePerTickInListOrder)
{
    request(a_);
    request(b_);
    kve_fwPump(engine_.get(), 0);
    EXPECT_EQ(engine_->flags & KVE_FLAG_TICKED, 0u);
    const uint32_t before = fullSets(a_);
    kve_fwTick(engine_.get());
    EXPECT_NE(engine_->flags & KVE_FLAG_TICKED, 0u);
    EXPECT_EQ(fullSets(a_), before + 1);
    EXPECT_EQ(fullSets(b_), before);
    EXPECT_EQ(a_->packed & KVE_PACKED_DEFERRED_SET, 0u);
    kve_fwTick(engine_.get());
    EXPECT_EQ(fullSets(b_), before + 1);
    EXPECT_EQ(b_->packed & KVE_PACKED_DEFERRED_SET, 0u);
}

TEST_F(DeferredSets, ATickThatReachesTheEndServesNothingAndTheNextStartsOver)
{
    request(a_);
    kve_fwPump(engine_.get(), 0);
    kve_fwTick(engine_.get());
    EXPECT_EQ(engine_->tickCursor, reinterpret_cast<KVEObject *>(a_));
    request(a_);
    kve_fwPump(engine_.get(), 0);
    const uint32_t served = fullSets(a_);
    kve_fwTick(engine_.get());
    EXPECT_EQ(fullSets(a_), served) << "the walk went on past a to the end";
    EXPECT_EQ(engine_->tickCursor, nullptr);
    kve_fwTick(engine_.get());
    EXPECT_EQ(fullSets(a_), served + 1);
}

TEST_F(DeferredSets, AnIdleTickLeavesTheObjectListAlone)
{
    KVEObject *cursor = reinterpret_cast<KVEObject *>(wire_);
    engine_->tickCursor = cursor;
    kve_fwTick(engine_.get());
    EXPECT_EQ(engine_->tickCursor, cursor) << "nothing waits: no walk, the cursor stays";
    EXPECT_TRUE(kvetest::setLog().empty());
}

TEST_F(DeferredSets, RequestsRaisedThroughThePackedWordAreCountedToo)
{
    int32_t status = kve_fwSetValue(engine_.get(), KVE_MEMBER_ADDRESS(b_->objectId, 6),
                                    b_->packed | KVE_PACKED_DEFERRED_SET, 0, 0);
    ASSERT_EQ(status, KVE_OK);
    const uint32_t before = fullSets(b_);
    kve_fwTick(engine_.get());
    EXPECT_EQ(fullSets(b_), before + 1);
    kve_fwDestroy(engine_.get());
    EXPECT_EQ(engine_->pendingSets, 0u);
}

} // namespace
