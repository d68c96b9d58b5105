// Reference-counted objects: holder counts through their lifecycle, clones, the stack of retained objects, and the
// process stopping on misuse.
#include "RuntimeTestSupport.h"

#include <kve/kve_recognizer_runtime.h>

#include <gmock/gmock.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A class whose destroy counts, so that a test sees an object go without reading its freed block.
int destroyed = 0;

void *zeroed(void *object, size_t size, const rcClassRecord *)
{
    std::memset(object, 0, size);
    return object;
}

void *byteCopy(void *destination, const void *source, size_t size)
{
    std::memcpy(destination, source, size);
    return destination;
}

void *refuseInit(void *, size_t, const rcClassRecord *)
{
    return nullptr;
}

void *refuseCopy(void *, const void *, size_t)
{
    return nullptr;
}

void countDestroy(void *)
{
    ++destroyed;
}

const rcClassRecord kCounted = {"counted", zeroed, byteCopy, countDestroy};
const rcClassRecord kNoCopy = {"no copy", zeroed, nullptr, countDestroy};
const rcClassRecord kInitRefuses = {"init refuses", refuseInit, byteCopy, countDestroy};
const rcClassRecord kCopyRefuses = {"copy refuses", zeroed, refuseCopy, countDestroy};

// An object header forged in memory the test owns.
struct ForgedObject {
    uint64_t holders = 0;
    uint64_t size = 8;
    uint64_t self = 0;
    const rcClassRecord *cls = &kCounted;
    unsigned char payload[8] = {};
};

} // namespace

TEST(RecognizerRefObjects, HoldersDecideWhenTheObjectGoes)
{
    // '+' retains, '-' releases; after each step the holder count, or -1 once the object is gone.
    struct Case {
        const char *steps;
        std::vector<int> holders;
    };
    const std::vector<Case> cases = {
        {"-", {-1}},
        {"+-", {1, -1}},
        {"++-", {1, 2, 1}},
        {"++--", {1, 2, 1, -1}},
        {"+++---", {1, 2, 3, 2, 1, -1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.steps);
        destroyed = 0;
        void *object = rcAlloc(16, &kCounted);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(rcExtraRefs(object), 0u);
        for (size_t i = 0; c.steps[i] != '\0'; ++i) {
            if (c.steps[i] == '+')
                rcRetain(object);
            else
                rcRelease(object);
            if (c.holders[i] < 0) {
                EXPECT_EQ(destroyed, 1);
                break;
            }
            EXPECT_EQ(destroyed, 0);
            EXPECT_EQ(rcExtraRefs(object), static_cast<uint64_t>(c.holders[i]));
            EXPECT_EQ(rcIsShared(object), c.holders[i] > 1);
        }
        if (destroyed == 0)
            while (destroyed == 0)
                rcRelease(object);
    }
    rcRelease(nullptr);
}

TEST(RecognizerRefObjects, DefaultObjectsAreZeroedMemorySegmentsOfAnySize)
{
    for (size_t size : {0, 1, 100}) {
        auto *object = static_cast<unsigned char *>(rcAlloc(size, nullptr));
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(rcSize(object), size);
        EXPECT_STREQ(rcClass(object)->name, "memory segment");
        for (size_t i = 0; i < size; ++i)
            ASSERT_EQ(object[i], 0) << i;
        for (size_t i = 0; i < size; ++i)
            object[i] = static_cast<unsigned char>(i + 1);
        auto *clone = static_cast<unsigned char *>(rcClone(object));
        ASSERT_NE(clone, nullptr);
        EXPECT_NE(clone, object);
        EXPECT_EQ(rcSize(clone), size);
        EXPECT_EQ(rcClass(clone), rcClass(object));
        EXPECT_EQ(std::memcmp(clone, object, size), 0);
        rcRelease(clone);
        rcRelease(object);
    }
    // A size that would wrap with the header is refused rather than recorded over a tiny block.
    EXPECT_EQ(rcAlloc(SIZE_MAX - 8, nullptr), nullptr);
}

TEST(RecognizerRefObjects, RefusedInitOrCopyGivesNullWithoutLeaking)
{
    destroyed = 0;
    EXPECT_EQ(rcAlloc(8, &kInitRefuses), nullptr);
    EXPECT_EQ(destroyed, 0);

    void *noCopy = rcAlloc(8, &kNoCopy);
    EXPECT_EQ(rcClone(noCopy), nullptr);
    rcRelease(noCopy);
    EXPECT_EQ(destroyed, 1);

    void *copyRefuses = rcAlloc(8, &kCopyRefuses);
    EXPECT_EQ(rcClone(copyRefuses), nullptr);
    EXPECT_EQ(destroyed, 2);  // the refused clone was released
    rcRelease(copyRefuses);
    EXPECT_EQ(destroyed, 3);
}

TEST(RecognizerRefObjects, StackRetainsWhatItHoldsAndGrowsByDoubling)
{
    destroyed = 0;
    rcStack *stack = rcStackCreate(0);
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->capacity, 0u);
    std::vector<void *> objects;
    for (int i = 0; i < 9; ++i) {
        objects.push_back(rcAlloc(4, &kCounted));
        EXPECT_EQ(rcStackPush(stack, objects.back()), objects.back());
        EXPECT_EQ(rcExtraRefs(objects.back()), 1u);
        EXPECT_EQ(stack->capacity, i < 8 ? 8u : 16u);
    }
    EXPECT_EQ(rcStackPush(stack, nullptr), nullptr);
    EXPECT_EQ(rcStackPush(nullptr, objects[0]), nullptr);
    EXPECT_EQ(stack->count, 9u);

    // The creator keeps its own hold on the top object: popping it leaves it alive.
    rcRetain(objects[8]);
    EXPECT_EQ(rcStackPop(stack), objects[8]);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(rcExtraRefs(objects[8]), 1u);
    rcRelease(objects[8]);
    EXPECT_EQ(destroyed, 1);

    // The stack was the only holder of the others: popping one destroys it, releasing the stack the rest.
    EXPECT_EQ(rcStackPop(stack), objects[7]);
    EXPECT_EQ(destroyed, 2);
    rcRelease(stack);
    EXPECT_EQ(destroyed, 9);

    rcStack *empty = rcStackCreate(3);
    EXPECT_EQ(empty->capacity, 3u);
    EXPECT_EQ(rcStackPop(empty), nullptr);
    rcRelease(empty);
}

TEST(RecognizerRefObjectsDeathTest, MisuseStopsTheProcessNamingTheObject)
{
    ForgedObject deleted;
    deleted.self = 0xDECEA5ED;
    ForgedObject foreign;
    foreign.self = reinterpret_cast<uint64_t>(deleted.payload);
    char deletedText[96];
    char foreignText[96];
    snprintf(deletedText, sizeof deletedText, "object %p has been deleted and is no longer valid.\n",
             static_cast<void *>(deleted.payload));
    snprintf(foreignText, sizeof foreignText, "%p does not point to a reference-counted object.\n",
             static_cast<void *>(foreign.payload));
    struct Case {
        const char *name;
        void *object;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"null", nullptr, "NULL reference-counted object.\n"},
        {"deleted", deleted.payload, deletedText},
        {"foreign", foreign.payload, foreignText},
    };
    // The child must see the forged headers where the parent laid them.
    GTEST_FLAG_SET(death_test_style, "fast");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // The message carries a pointer's digits, which a pattern would have to escape: compare it whole.
        const auto exactly = testing::HasSubstr(c.message);
        EXPECT_DEATH(rcRetain(c.object), exactly);
        EXPECT_DEATH(rcSize(c.object), exactly);
        EXPECT_DEATH(rcClone(c.object), exactly);
        if (c.object != nullptr) {
            EXPECT_DEATH(rcRelease(c.object), exactly);
        }
    }
}
