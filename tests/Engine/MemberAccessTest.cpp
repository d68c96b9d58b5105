// Member addresses and value access: decoding, single and multi-word reads and writes, pointers, and the
// refusals that keep a host's access inside the object it names.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/TestEngine.h"
#include "support/TestModules.h"

namespace {

using kvetest::bitsOf;
using kvetest::TestEngine;

uint32_t addr(uint32_t id, uint32_t member, bool deref = false)
{
    return KVE_MEMBER_ADDRESS(id, member) | (deref ? KVE_MEMBER_DEREF : 0u);
}

class MemberAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        in_ = engine_.wire(2, 4);
        out_ = engine_.wire(2, 4);
        gain_ = engine_.module(kvetest::kGainClassId, 0x101, {in_, out_}, {bitsOf(0.25f), 2});
        layout_ = engine_.layout(2, 3);
        failing_ = engine_.module(kvetest::kFailingSetClassId, 0, {}, {static_cast<uint32_t>(-20)});
        kvetest::setLog().clear();
    }
    KVEInstance *e() { return engine_.get(); }
    kvetest::GainModule *gain() { return reinterpret_cast<kvetest::GainModule *>(gain_); }

    TestEngine engine_;
    GenericWire *in_ = nullptr;
    GenericWire *out_ = nullptr;
    ClassModule *gain_ = nullptr;
    ClassLayout *layout_ = nullptr;
    ClassModule *failing_ = nullptr;
};

TEST_F(MemberAccess, DecoderFindsFieldsByObjectKindAndRefusesOthers)
{
    struct Case {
        const char *what;
        uint32_t address;
        int32_t status;
        const void *expected;
    } cases[] = {
        {"module header: wire array", addr(3, 4), KVE_OK, &gain_->wires},
        {"module variable 1", addr(3, 9), KVE_OK, &gain()->channels},
        {"module private array, followed", addr(3, 10, true), KVE_OK, gain()->peak},
        {"module past its variables", addr(3, 11), KVE_E_MEMBER_INDEX, nullptr},
        {"wire buffer, followed", addr(1, 3, true), KVE_OK, in_->buffer},
        {"wire past member 7", addr(1, 8), KVE_E_MEMBER_INDEX, nullptr},
        {"layout load percent", addr(4, 11), KVE_OK, &layout_->loadPercent},
        {"layout past member 13", addr(4, 14), KVE_E_MEMBER_INDEX, nullptr},
        {"id never issued", addr(40, 0), KVE_E_END_OF_LIST, nullptr},
        {"a scalar is no pointer to follow", addr(3, 6, true), KVE_E_MEMBER_INDEX, nullptr},
    };
    for (const Case &c : cases) {
        int32_t status = KVE_OK;
        EXPECT_EQ(kve_fwAddressOfMember(e(), c.address, &status), c.expected) << c.what;
        EXPECT_EQ(status, c.status) << c.what;
    }
    int32_t status = -7;
    EXPECT_EQ(kve_fwAddressOfMember(e(), addr(3, 4), &status), nullptr);
    EXPECT_EQ(status, -7) << "a failure on entry passes through";

    ClassModule *owner = nullptr;
    EXPECT_EQ(kve_fwAddressOfMember2(e(), addr(3, 8), &owner, &status), &gain()->gain);
    EXPECT_EQ(status, KVE_OK);
    EXPECT_EQ(owner, gain_);
    kve_fwAddressOfMember2(e(), addr(1, 4), &owner, &status);
    EXPECT_EQ(owner, nullptr);
}

TEST_F(MemberAccess, ObjectsWithoutMembersAreRefused)
{
    // A renumbered pin-like object in the list: class ids outside modules, wires and layouts have no members.
    engine_->firstObject->classRecord = &ClassInputPin;
    int32_t status = KVE_OK;
    EXPECT_EQ(kve_fwAddressOfMember(e(), addr(1, 0), &status), nullptr);
    EXPECT_EQ(status, KVE_E_NO_MEMBERS);
    in_->classRecord = &WireClass_Descriptor;
}

TEST_F(MemberAccess, SingleWordsStayInsideTheirField)
{
    int32_t status = -1;
    EXPECT_EQ(kvetest::floatOf(kve_fwFetchValue(e(), addr(3, 8), &status, 0)), 0.25f);
    EXPECT_EQ(status, KVE_OK);
    EXPECT_EQ(kve_fwFetchValue(e(), addr(3, 8), &status, 1), 2u) << "a variable's room is 8 bytes";
    EXPECT_EQ(kve_fwFetchValue(e(), addr(3, 8), &status, 2), 0u);
    EXPECT_EQ(status, KVE_E_BAD_ARGUMENT);
    EXPECT_EQ(kve_fwFetchValue(e(), addr(4, 4), &status, 1), 0u) << "a 4-byte layout field";
    EXPECT_EQ(status, KVE_E_BAD_ARGUMENT);

    // Pointer fields read as two words, the low word first.
    const auto wires = reinterpret_cast<uint64_t>(gain_->wires);
    EXPECT_EQ(kve_fwFetchValue(e(), addr(3, 4), &status, 0), static_cast<uint32_t>(wires));
    EXPECT_EQ(kve_fwFetchValue(e(), addr(3, 4), &status, 1), static_cast<uint32_t>(wires >> 32));
    EXPECT_EQ(kve_fwFetchValue(e(), addr(4, 4), &status, 0), 3u) << "layout clock divider";
}

TEST_F(MemberAccess, RawWritesCannotBreakLinksOrSizes)
{
    struct Case {
        const char *what;
        uint32_t address;
        uint32_t value;
        int32_t status;
    } cases[] = {
        {"module next object", addr(3, 0), 0, KVE_E_MEMBER_INDEX},
        {"module class record", addr(3, 1), 0, KVE_E_MEMBER_INDEX},
        {"module wire array", addr(3, 4), 0, KVE_E_MEMBER_INDEX},
        {"module process function", addr(3, 5), 0, KVE_E_MEMBER_INDEX},
        {"module wire counts", addr(3, 6), 0x1FF, KVE_E_MEMBER_INDEX},
        {"module private array pointer, low word", addr(3, 10), 0, KVE_E_MEMBER_INDEX},
        {"wire buffer pointer", addr(1, 3), 0, KVE_E_MEMBER_INDEX},
        {"wire next object", addr(1, 0), 0, KVE_E_MEMBER_INDEX},
        {"layout next layout", addr(4, 3), 0, KVE_E_MEMBER_INDEX},
        {"layout slot count", addr(4, 12), 1000, KVE_E_MEMBER_INDEX},
        {"wire channels beyond its buffer", addr(1, 5), (4u << 28) | 3, KVE_E_BAD_ARGUMENT},
        {"wire block beyond its buffer", addr(1, 6), 5, KVE_E_BAD_ARGUMENT},
        {"module layout-owner word", addr(3, 3), 1, KVE_OK},
        {"module smoothed cycles", addr(3, 7), 9, KVE_OK},
        {"wire sample rate", addr(1, 4), bitsOf(44100.0f), KVE_OK},
        {"wire fewer channels", addr(1, 5), (4u << 28) | 1, KVE_OK},
        {"layout clock divider", addr(4, 4), 2, KVE_OK},
    };
    for (const Case &c : cases) {
        std::vector<char> before(reinterpret_cast<char *>(engine_->heap1Base),
                                 reinterpret_cast<char *>(engine_->heap1Base + engine_->heap1Used));
        EXPECT_EQ(kve_fwSetValue(e(), c.address, c.value, 0, 0), c.status) << c.what;
        if (c.status != KVE_OK) {
            EXPECT_EQ(std::memcmp(before.data(), engine_->heap1Base, before.size()), 0) << c.what << ": nothing written";
        }
    }
    EXPECT_EQ(gain_->layoutOwner, 1u);
    EXPECT_EQ(in_->sampleRate, 44100.0f);
    EXPECT_EQ(KVE_WIRE_CHANNELS(in_->info1), 1u);
    EXPECT_EQ(layout_->clockDivider, 2u);
}

TEST_F(MemberAccess, SetAndGetCallsFrameTheValueOperations)
{
    EXPECT_EQ(kve_fwSetValueSetCall(e(), addr(3, 8), bitsOf(0.5f), 0x100, 0, 0), KVE_OK);
    EXPECT_EQ(gain()->gain, 0.5f);
    ASSERT_EQ(kvetest::setLog().size(), 1u);
    EXPECT_EQ(kvetest::setLog()[0].mask, 0x100u);
    EXPECT_EQ(kve_fwSetValueSetCall(e(), addr(failing_->objectId, 8), static_cast<uint32_t>(-21), 0x100, 0, 0), -21)
        << "Set's result";
    EXPECT_EQ(kve_fwSetValueSetCall(e(), addr(3, 0), 1, 0x100, 0, 0), KVE_E_MEMBER_INDEX);
    EXPECT_EQ(kvetest::setLog().size(), 2u) << "no Set after a refused write";
    EXPECT_EQ(kve_fwSetValueSetCall(e(), addr(1, 4), bitsOf(8000.0f), 0x100, 0, 0), KVE_OK) << "a wire has no Set";

    int32_t status = -1;
    EXPECT_EQ(kve_fwGetCallFetchValue(e(), addr(3, 9), KVE_MASK_HOST, &status, 0), 2u);
    EXPECT_EQ(status, KVE_OK);
    EXPECT_EQ(kve_fwGetCallFetchValue(e(), addr(3, 12), KVE_MASK_HOST, &status, 0), 0u);
    EXPECT_EQ(status, KVE_E_MEMBER_INDEX);
}

TEST_F(MemberAccess, ArraysAreReachedThroughPointerMembersWithinTheirBounds)
{
    // The pump's default address form: a wire's buffer member without the flag.
    const std::vector<uint32_t> block = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(kve_fwSetValues(e(), addr(1, 3), 0, 8, block.data(), 0), KVE_OK);
    std::vector<uint32_t> back(8);
    EXPECT_EQ(kve_fwFetchValues(e(), addr(1, 3, true), 0, 8, back.data()), KVE_OK);
    EXPECT_EQ(back, block);
    EXPECT_EQ(kve_fwFetchValues(e(), addr(1, 3), 6, 2, back.data()), KVE_OK);
    EXPECT_EQ(back[0], 7u);

    const uint32_t peaks[] = {bitsOf(0.5f), bitsOf(0.75f)};
    EXPECT_EQ(kve_fwSetValuesSetCall(e(), addr(3, 10), 0, 0x400, 2, peaks, 0), KVE_OK);
    EXPECT_EQ(gain()->peak[1], 0.75f);
    EXPECT_EQ(kvetest::setLog().back().mask, 0x400u);
    EXPECT_EQ(kve_fwGetCallFetchValues(e(), addr(3, 10), 1, KVE_MASK_HOST, 1, back.data(), 0), KVE_OK);
    EXPECT_EQ(back[0], bitsOf(0.75f));

    struct Case {
        const char *what;
        uint32_t address, offset, count;
        int32_t status;
    } refused[] = {
        {"past the wire's block", addr(1, 3), 4, 5, KVE_E_BAD_ARGUMENT},
        {"offset that wraps around", addr(1, 3), 0xFFFFFFFFu, 2, KVE_E_BAD_ARGUMENT},
        {"through a public scalar", addr(3, 8), 0, 1, KVE_E_MEMBER_INDEX},
        {"through the wire array", addr(3, 4), 0, 1, KVE_E_MEMBER_INDEX},
        {"through the layout's next object", addr(4, 0), 0, 1, KVE_E_MEMBER_INDEX},
        {"through a null layout-owner word", addr(3, 3), 0, 1, KVE_E_BAD_ARGUMENT},
        {"unknown object", addr(77, 3), 0, 1, KVE_E_END_OF_LIST},
    };
    for (const Case &c : refused) {
        std::vector<uint32_t> words(8, 0xABCDu);
        EXPECT_EQ(kve_fwSetValues(e(), c.address, c.offset, c.count, words.data(), 0), c.status) << c.what;
        EXPECT_EQ(kve_fwFetchValues(e(), c.address, c.offset, c.count, words.data()), c.status) << c.what;
        EXPECT_EQ(words, std::vector<uint32_t>(8, 0xABCDu)) << c.what << ": nothing read";
    }
    // A pointer word aimed outside the heaps is never followed.
    uint32_t outside[4] = {};
    gain_->layoutOwner = reinterpret_cast<uintptr_t>(outside);
    EXPECT_EQ(kve_fwSetValue(e(), addr(3, 3, true), 5, 0, 0), KVE_E_BAD_ARGUMENT);
    EXPECT_EQ(outside[0], 0u);
}

TEST_F(MemberAccess, PointersAreSetIntoTheHeapsAndReadBackAsObjectIds)
{
    // Aim the module's free pointer word at the layout object, then at the output wire's buffer.
    EXPECT_EQ(kve_fwSetPointer(e(), addr(3, 3), addr(4, 0), 0), KVE_OK);
    int32_t status = -1;
    EXPECT_EQ(kve_fwDerefPointer(e(), addr(3, 3), &status), 4u);
    EXPECT_EQ(status, KVE_OK);
    EXPECT_EQ(kve_fwSetPointer(e(), addr(3, 3), addr(2, 3, true), 2), KVE_OK);
    EXPECT_EQ(reinterpret_cast<uint32_t *>(gain_->layoutOwner), static_cast<uint32_t *>(out_->buffer) + 2);
    EXPECT_EQ(kve_fwDerefPointer(e(), addr(3, 3), &status), 0u);
    EXPECT_EQ(status, KVE_E_NOT_AN_OBJECT) << "an array is not an object";

    // A wire may take another wire's buffer as its own when the whole block fits.
    EXPECT_EQ(kve_fwSetPointer(e(), addr(1, 3), addr(2, 3, true), 0), KVE_OK);
    EXPECT_EQ(in_->buffer, out_->buffer);

    struct Case {
        const char *what;
        uint32_t dest, src, offset;
        int32_t status;
    } refused[] = {
        {"into a scalar", addr(3, 8), addr(4, 0), 0, KVE_E_MEMBER_INDEX},
        {"into the wire array", addr(3, 4), addr(4, 0), 0, KVE_E_MEMBER_INDEX},
        {"a null source pointer", addr(3, 3), addr(failing_->objectId, 3, true), 0, KVE_E_BAD_ARGUMENT},
        {"a null source pointer with an offset", addr(3, 3), addr(failing_->objectId, 3, true), 5, KVE_E_BAD_ARGUMENT},
        {"a wire buffer over its own header", addr(1, 3), addr(1, 0), 0, KVE_E_BAD_ARGUMENT},
        {"a wire buffer over a module", addr(1, 3), addr(3, 0), 0, KVE_E_BAD_ARGUMENT},
        {"far past the heaps", addr(3, 3), addr(2, 3, true), 0x40000000u, KVE_E_BAD_ARGUMENT},
        {"unknown source", addr(3, 3), addr(70, 0), 0, KVE_E_END_OF_LIST},
    };
    for (const Case &c : refused)
        EXPECT_EQ(kve_fwSetPointer(e(), c.dest, c.src, c.offset), c.status) << c.what;

    // A pointer may name an object, but nothing is written through it into the engine's records; a module's
    // public variables stay reachable for modules that drive others.
    ASSERT_EQ(kve_fwSetPointer(e(), addr(3, 3), addr(4, 0), 0), KVE_OK);
    EXPECT_EQ(kve_fwSetValue(e(), addr(3, 3, true), 0x41414141u, 2, 0), KVE_E_BAD_ARGUMENT);
    const uint32_t junk[4] = {1, 2, 3, 4};
    EXPECT_EQ(kve_fwSetValues(e(), addr(3, 3), 0, 4, junk, 0), KVE_E_BAD_ARGUMENT);
    EXPECT_EQ(layout_->classRecord, &LayoutClass_Descriptor);
    EXPECT_EQ(kve_fwFetchValue(e(), addr(3, 3, true), &status, 8), 3u) << "reading stays allowed: the divider";
    ASSERT_EQ(kve_fwSetPointer(e(), addr(3, 3), addr(3, 8), 0), KVE_OK);
    EXPECT_EQ(kve_fwSetValue(e(), addr(3, 3, true), bitsOf(0.75f), 0, 0), KVE_OK);
    EXPECT_EQ(gain()->gain, 0.75f);
    EXPECT_EQ(kve_fwSetValue(e(), addr(3, 3, true), 0, 2, 0), KVE_E_BAD_ARGUMENT) << "the private array pointer";

    EXPECT_EQ(kve_fwDerefPointer(e(), addr(failing_->objectId, 3), &status), 0u) << "null pointer";
    EXPECT_EQ(status, KVE_OK);
    EXPECT_EQ(kve_fwDerefPointer(e(), addr(3, 0), &status), 4u) << "the next object in the list";
    EXPECT_EQ(kve_fwDerefPointer(e(), addr(3, 6), &status), 0u);
    EXPECT_EQ(status, KVE_E_MEMBER_INDEX);
}

} // namespace
