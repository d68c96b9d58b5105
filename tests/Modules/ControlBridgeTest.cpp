// The parameter bridges aimed, as a layout aims them, through the pointer commands at a probe module, and at things
// that are not modules.
#include "ControlTestSupport.h"

namespace controltest {
namespace {

class Bridges : public Control {
protected:
    // Aims variable `k` of `bridge` (a private pointer) at member `member` of `target`.
    int32_t aim(ClassModule *bridge, uint32_t k, uint32_t targetId, uint32_t member)
    {
        return kve_fwSetPointer(engine_.get(), KVE_MEMBER_ADDRESS(bridge->objectId, 8 + k),
                                KVE_MEMBER_ADDRESS(targetId, member), 0);
    }
    ClassModule *probe(uint32_t value)
    {
        ClassModule *p = build(kProbeId, wiring(0, 0), {}, {value});
        g_probeSets = 0; // the construction's own Set
        return p;
    }
    ClassModule *paramSet(GenericWire *in, uint32_t mode, ClassModule *target)
    {
        ClassModule *m = build(0xBEEF08A9u, wiring(1, 0), {in}, {mode});
        EXPECT_NE(m, nullptr);
        if (m != nullptr && target != nullptr) {
            EXPECT_EQ(aim(m, 1, target->objectId, 0), KVE_OK);
            EXPECT_EQ(aim(m, 2, target->objectId, 8), KVE_OK);
        }
        return m;
    }
};

struct ModeCase {
    uint32_t mode;
    uint32_t start;      // the target's value before the block
    uint32_t in;         // word 0 of the input
    uint32_t after;      // the target's value after it
    bool deferredAfter;  // the target's deferred-Set request
    int setsAfter;       // Set calls made inside the block
};

TEST_F(Bridges, ParamSetWritesTheTargetByMode)
{
    const ModeCase cases[] = {
        {0, 5, 5, 5, false, 0}, {0, 5, 9, 9, false, 0}, {1, 5, 5, 5, true, 0},  {1, 5, 9, 9, true, 0},
        {2, 5, 5, 5, false, 0}, {2, 5, 9, 9, false, 0}, {3, 5, 5, 5, false, 0}, {3, 5, 9, 9, true, 0},
        {4, 5, 5, 5, false, 0}, {4, 5, 9, 9, false, 1}, {5, 5, 9, 5, false, 0}, {0xFFFFFFFFu, 5, 9, 5, false, 0},
    };
    for (const ModeCase &c : cases) {
        ClassModule *target = probe(c.start);
        ASSERT_NE(target, nullptr);
        GenericWire *in = wire();
        ClassModule *m = paramSet(in, c.mode, target);
        ASSERT_NE(m, nullptr);
        words(in)[0] = c.in;
        pump(m);
        EXPECT_EQ(var(target, 0), c.after) << "mode " << c.mode << " in " << c.in;
        EXPECT_EQ(deferred(target), c.deferredAfter) << "mode " << c.mode << " in " << c.in;
        EXPECT_EQ(g_probeSets, c.setsAfter) << "mode " << c.mode << " in " << c.in;
    }
}

// Mode 2 with an unchanged input writes nothing: a value the host put in meanwhile stays.
TEST_F(Bridges, ParamSetOnChangeComparesWithTheTargetsPresentValue)
{
    ClassModule *target = probe(0);
    GenericWire *in = wire();
    ClassModule *m = paramSet(in, 2, target);
    words(in)[0] = 0x3F800000u;
    pump(m);
    EXPECT_EQ(var(target, 0), 0x3F800000u);
    var(target, 0) = 42;
    pump(m); // the input is unchanged but differs from the target: written again
    EXPECT_EQ(var(target, 0), 0x3F800000u);
}

TEST_F(Bridges, ParamSetWithABadTargetDoesNothing)
{
    GenericWire *in = wire();
    words(in)[0] = 77;
    ClassModule *target = probe(1);

    // Never aimed: both pointers null.
    pump(paramSet(in, 4, nullptr));

    // Aimed at a module's variable, but no module named.
    ClassModule *noModule = paramSet(in, 0, nullptr);
    ASSERT_EQ(aim(noModule, 2, target->objectId, 8), KVE_OK);
    pump(noModule);
    EXPECT_EQ(var(target, 0), 1u);

    // A module named, but no variable.
    ClassModule *noValue = paramSet(in, 4, nullptr);
    ASSERT_EQ(aim(noValue, 1, target->objectId, 0), KVE_OK);
    pump(noValue);
    EXPECT_EQ(g_probeSets, 0);

    // "Module" pointers at a wire and at a word that is no object: nothing is written, no bit set anywhere.
    GenericWire *other = wire();
    ClassModule *atWire = paramSet(in, 1, nullptr);
    ASSERT_EQ(aim(atWire, 1, other->objectId, 0), KVE_OK);
    ASSERT_EQ(aim(atWire, 2, target->objectId, 8), KVE_OK);
    const uint32_t wireInfo = other->info1;
    pump(atWire);
    EXPECT_EQ(var(target, 0), 1u);
    EXPECT_EQ(other->info1, wireInfo);

    ClassModule *atWord = paramSet(in, 4, nullptr);
    ASSERT_EQ(aim(atWord, 1, target->objectId, 8), KVE_OK); // inside the probe, not its start
    ASSERT_EQ(aim(atWord, 2, target->objectId, 8), KVE_OK);
    pump(atWord);
    EXPECT_EQ(var(target, 0), 1u);
    EXPECT_EQ(g_probeSets, 0);
    EXPECT_FALSE(deferred(target));
}

TEST_F(Bridges, ParamGetFollowsTheTargetAndHasItsGetRunByTheTick)
{
    ClassModule *target = probe(123);
    GenericWire *out = wire();
    ClassModule *m = build(0xBEEF08AAu, wiring(0, 1), {out}, {});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(aim(m, 0, target->objectId, 0), KVE_OK);
    ASSERT_EQ(aim(m, 1, target->objectId, 8), KVE_OK);

    // Before a block, the module asked nothing: its Set reaches no Get.
    EXPECT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
    EXPECT_EQ(g_probeGets, 0);

    pump(m);
    EXPECT_EQ(words(out)[0], 123u);
    EXPECT_TRUE(deferred(m));
    var(target, 0) = 456;
    pump(m);
    EXPECT_EQ(words(out)[0], 456u);

    // The tick's call, with the request standing, runs the target's Get once and passes its result on.
    EXPECT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 7);
    EXPECT_EQ(g_probeGets, 1);
}

TEST_F(Bridges, ParamGetWithABadTargetDoesNothing)
{
    GenericWire *out = wire();
    GenericWire *other = wire();
    ClassModule *target = probe(5);
    ClassModule *m = build(0xBEEF08AAu, wiring(0, 1), {out}, {});
    ASSERT_NE(m, nullptr);
    words(out)[0] = 99;
    pump(m); // never aimed
    ASSERT_EQ(aim(m, 0, other->objectId, 0), KVE_OK);
    ASSERT_EQ(aim(m, 1, target->objectId, 8), KVE_OK);
    pump(m); // aimed at a wire
    EXPECT_EQ(words(out)[0], 99u);
    EXPECT_FALSE(deferred(m));
    m->packed |= KVE_PACKED_DEFERRED_SET;
    EXPECT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
    EXPECT_EQ(g_probeGets, 0);
}

// The bridges' pointers are the layout's to aim; the kit classes keep theirs.
TEST_F(Bridges, OnlyTheBridgesPointersAreAimable)
{
    ClassModule *target = probe(0);
    GenericWire *in = wire();
    ClassModule *debounce = build(0xBEEF0821u, wiring(1, 1), {in, wire()}, {0, 0, 0, 0});
    ASSERT_NE(debounce, nullptr);
    EXPECT_EQ(aim(debounce, 4, target->objectId, 8), KVE_E_MEMBER_INDEX);
    ClassModule *m = paramSet(in, 0, target);
    EXPECT_EQ(ptr<ClassModule>(m, 1), target);
}

} // namespace
} // namespace controltest
