// The command-packet interpreter: packet checks, replies, the opcodes that build and run a layout, and the
// refusals that keep a packet from reading or writing outside itself and its buffer.
#include <gtest/gtest.h>

#include <vector>

#include "kve/kve_packet.h"
#include "packets/PacketBuilder.h"
#include "support/TestEngine.h"
#include "support/TestModules.h"

namespace {

using kvepackets::bits;
using kvepackets::packet;

constexpr uint32_t kCopier = 0xBEEF0860u;

// The library's classes and the test classes together.
std::vector<const ModClassDescriptor *> combinedTable()
{
    std::vector<const ModClassDescriptor *> table(g_module_descriptor_table,
                                                  g_module_descriptor_table + g_module_descriptor_count);
    table.insert(table.end(), kvetest::kTestClassTable, kvetest::kTestClassTable + kvetest::kTestClassCount);
    return table;
}

class Packets : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = table_.data();
        engine_->classCount = static_cast<uint32_t>(table_.size());
    }

    // Runs a packet in a buffer of `capacity` words (at least the packet); returns the buffer after the reply.
    std::vector<uint32_t> run(std::vector<uint32_t> words, size_t capacity = 0, int32_t *result = nullptr)
    {
        words.resize(std::max(capacity, words.size()), 0xEEEEEEEEu);
        kve_fwPacketInit(words.data(), static_cast<uint32_t>(words.size()));
        const int32_t r = kve_fwPacketProcess(engine_.get());
        if (result != nullptr)
            *result = r;
        kve_fwPacketInit(nullptr, 0);
        return words;
    }
    // The reply words of a packet run in a roomy buffer, check word included.
    std::vector<uint32_t> reply(uint32_t opcode, const std::vector<uint32_t> &operands)
    {
        std::vector<uint32_t> b = run(packet(opcode, operands), 300);
        b.resize(b[0] >> 16);
        return b;
    }
    int32_t status(uint32_t opcode, const std::vector<uint32_t> &operands)
    {
        return static_cast<int32_t>(reply(opcode, operands).at(1));
    }
    // Builds in-wire 1, out-wire 2 (stereo, block 4), Copier 3 and a one-slot layout 4 through packets.
    void buildCopierLayout(uint32_t divider = 1)
    {
        ASSERT_EQ(status(81, {16}), 0);
        ASSERT_EQ(reply(6, {bits(48000.0f), kvepackets::wireInfo1(2), 4, 0}).at(1), 1u);
        ASSERT_EQ(reply(6, {bits(48000.0f), kvepackets::wireInfo1(2), 4, 0}).at(1), 2u);
        ASSERT_EQ(reply(15, {kCopier, 0x101, 0, 1, 2}), (std::vector<uint32_t>{0x40000, 3, 0, 0x40003}));
        ASSERT_EQ(reply(16, {1, divider}).at(1), 4u);
        ASSERT_EQ(status(47, {4, 0, 3}), 0);
    }

    kvetest::TestEngine engine_;
    std::vector<const ModClassDescriptor *> table_ = combinedTable();
};

TEST_F(Packets, RejectedPacketsGetAThreeWordReplyAndRunNothing)
{
    struct Case {
        const char *what;
        std::vector<uint32_t> words;
        int32_t code;
    } cases[] = {
        {"wrong check word", {0x30001, 5, 0}, KVE_E_PACKET_CHECK},
        {"opcode 0", packet(0, {}), KVE_E_BAD_OPCODE},
        {"opcode 3", packet(3, {1}), KVE_E_BAD_OPCODE},
        {"opcode 200", packet(200, {}), KVE_E_BAD_OPCODE},
        {"longer than the buffer", {0x70001, 1, 2}, KVE_E_PACKET_LENGTH},
    };
    for (const Case &c : cases) {
        int32_t result = 0;
        const std::vector<uint32_t> b = run(c.words, 3, &result);
        EXPECT_EQ(result, c.code) << c.what;
        EXPECT_EQ(b[0], 0x30000u) << c.what;
        EXPECT_EQ(static_cast<int32_t>(b[1]), c.code) << c.what;
        EXPECT_EQ(b[2], 0x30000u ^ static_cast<uint32_t>(c.code)) << c.what;
    }
    EXPECT_EQ(run({0x30001, 5, 0})[2], 0xFFFCFFB4u);
    EXPECT_EQ(engine_->lastObjectId, 0u);
}

TEST_F(Packets, ALengthFieldOfZeroSkipsTheCheckWord)
{
    EXPECT_EQ(run({10, 0xDEAD, 0xBEEF}), (std::vector<uint32_t>{0x30000, 3, 0x30003}));
}

TEST_F(Packets, FixedRepliesOfTheSimpleOpcodes)
{
    struct Case {
        uint32_t opcode;
        std::vector<uint32_t> operands;
        std::vector<uint32_t> reply; // without the check word
    } cases[] = {
        {12, {}, {0x20000}},
        {110, {}, {0x20000}},
        {10, {}, {0x30000, 3}},
        {31, {}, {0x30000, 4}},
        {87, {}, {0x30000, 0}},
        {111, {7, 0}, {0x40000, 0, 0}},
        {111, {7, 1, 0x0000FFFF}, {0x50000, 0, 1, 0xFFFF0000}},
        {112, {201}, {0x40000, static_cast<uint32_t>(KVE_E_BAD_ARGUMENT), 0}},
        {34, {1, 0x41414141}, {0x40000, static_cast<uint32_t>(KVE_E_FILE_COMMAND), 0}},
        {37, {}, {0x30000, static_cast<uint32_t>(KVE_E_FILE_COMMAND)}},
        {40, {}, {0x30000, static_cast<uint32_t>(KVE_E_FILE_COMMAND)}},
        {28, {}, {0x30000, static_cast<uint32_t>(KVE_E_NO_HOOK)}},
        {13, {}, {0x30000, static_cast<uint32_t>(table_.size())}},
        {14, {0}, {0x50000, table_[0]->classId, table_[0]->classId, table_[0]->countWord}},
        {14, {static_cast<uint32_t>(table_.size())}, {0x50000, static_cast<uint32_t>(KVE_E_CLASS_INDEX), 0, 0}},
        {23, {}, {0x50000, static_cast<uint32_t>(KVE_E_END_OF_LIST), 0, 0}},
        {43, {}, {0x50000, static_cast<uint32_t>(KVE_E_NO_LAYOUT), 0, 0}},
    };
    for (const Case &c : cases) {
        std::vector<uint32_t> expected = c.reply;
        expected.push_back(kvepackets::checkWord(expected.data(), expected.size()));
        EXPECT_EQ(reply(c.opcode, c.operands), expected) << "opcode " << c.opcode;
    }
}

TEST_F(Packets, AReplyThatWouldNotFitTheBufferIsRefusedAndNothingElseWritten)
{
    // The target information reply has 14 words; the buffer holds 5.
    int32_t result = 0;
    std::vector<uint32_t> b = run(packet(41, {}), 5, &result);
    EXPECT_EQ(result, KVE_E_PACKET_LENGTH);
    EXPECT_EQ(b, (std::vector<uint32_t>{0x30000, static_cast<uint32_t>(KVE_E_PACKET_LENGTH), 0xFFFCFFB5, 0xEEEEEEEE,
                                        0xEEEEEEEE}));
    // An array read whose reply would run past a buffer of exactly its request.
    b = run(packet(29, {KVE_MEMBER_ADDRESS(1, 3), 0, 5}), 0, &result);
    EXPECT_EQ(result, KVE_E_PACKET_LENGTH);
    // A buffer too small even for a refusal is left alone.
    std::vector<uint32_t> tiny = {KVE_PACKET_WORD0(10, 0), 0x1234};
    kve_fwPacketInit(tiny.data(), 2);
    EXPECT_EQ(kve_fwPacketProcess(engine_.get()), KVE_E_PACKET_LENGTH);
    EXPECT_EQ(tiny[1], 0x1234u);
    kve_fwPacketInit(nullptr, 0);
}

TEST_F(Packets, OperandsOutsideThePacketAreRefusedAndNothingRuns)
{
    buildCopierLayout();
    const uint32_t objects = engine_->lastObjectId;
    struct Case {
        const char *what;
        uint32_t opcode;
        std::vector<uint32_t> operands;
    } cases[] = {
        {"set call without its mask", 1, {3}},
        {"array write longer than the packet", 30, {KVE_MEMBER_ADDRESS(1, 3), 0, 9, 1, 2}},
        {"module with more arguments than words", 15, {kvetest::kFailingSetClassId, 0, 5, 1}},
        {"module with more wires than words", 15, {kCopier, 0x101, 0, 1}},
        {"block pump with more input than words", 58, {0, KVE_MEMBER_ADDRESS(1, 3), 0, KVE_MEMBER_ADDRESS(2, 3), 0, 8, 8, 1}},
        {"echo of more words than sent", 111, {0, 3, 1}},
        {"embedded array longer than sent", 112, {4, 1}},
        {"wire without its info words", 6, {bits(48000.0f), kvepackets::wireInfo1(1)}},
    };
    for (const Case &c : cases) {
        int32_t result = 0;
        const std::vector<uint32_t> b = run(packet(c.opcode, c.operands), 300, &result);
        EXPECT_EQ(result, KVE_E_BAD_ARGUMENT) << c.what;
        EXPECT_EQ(static_cast<int32_t>(b[1]), KVE_E_BAD_ARGUMENT) << c.what;
        EXPECT_EQ(b[0], 0x30000u) << c.what;
    }
    EXPECT_EQ(engine_->lastObjectId, objects) << "nothing was built";
    EXPECT_EQ(static_cast<uint32_t *>(reinterpret_cast<GenericWire *>(kve_fwLookupID(engine_.get(), 1))->buffer)[0], 0u)
        << "nothing was written";
}

TEST_F(Packets, ALayoutBuiltByPacketsCarriesABlockThroughItsCopier)
{
    buildCopierLayout();
    const std::vector<uint32_t> block = {bits(0.5f), bits(-0.25f), bits(1.0f), bits(2.0f),
                                         bits(3.0f), bits(4.0f),   bits(5.0f), bits(6.0f)};
    std::vector<uint32_t> operands = {0, KVE_MEMBER_ADDRESS(1, 3), 0, KVE_MEMBER_ADDRESS(2, 3), 0, 8, 8};
    operands.insert(operands.end(), block.begin(), block.end());
    const std::vector<uint32_t> r = reply(58, operands);
    ASSERT_EQ(r.size(), 13u);
    EXPECT_EQ(r[1], 0u);
    EXPECT_EQ(std::vector<uint32_t>(r.begin() + 4, r.begin() + 12), block);

    // Selector: the layout by id; an id that is not a layout is refused; a negative selector reports the pins.
    operands[0] = 4;
    EXPECT_EQ(reply(58, operands).at(1), 0u);
    operands[0] = 3;
    EXPECT_EQ(static_cast<int32_t>(reply(58, operands).at(1)), KVE_E_NOT_A_LAYOUT);
    ASSERT_EQ(status(7, {1, 1}), 0);
    ASSERT_EQ(status(7, {2, 2}), 0);
    operands[0] = static_cast<uint32_t>(-1);
    EXPECT_EQ(reply(58, operands), (std::vector<uint32_t>{0x70000, 0, 0, 0, kvepackets::wireInfo1(2),
                                                          kvepackets::wireInfo1(2),
                                                          0x70000 ^ kvepackets::wireInfo1(2) ^ kvepackets::wireInfo1(2)}));
}

TEST_F(Packets, PumpLayoutFollowsTheClockDivider)
{
    buildCopierLayout(3);
    std::vector<uint32_t> runs;
    for (int call = 0; call < 7; ++call) {
        reply(22, {4});
        runs.push_back(reinterpret_cast<ClassLayout *>(kve_fwLookupID(engine_.get(), 4))->runCount);
    }
    EXPECT_EQ(runs, (std::vector<uint32_t>{1, 1, 1, 2, 2, 2, 3}));
    EXPECT_EQ(status(22, {0}), KVE_E_NO_LAYOUT);
    EXPECT_EQ(status(22, {3}), KVE_E_NOT_A_LAYOUT);
    EXPECT_EQ(status(22, {99}), KVE_E_END_OF_LIST);
}

TEST_F(Packets, ConstructorsReplyIdAndStatus)
{
    EXPECT_EQ(reply(15, {0xBEEF0999u, 0, 0}), (std::vector<uint32_t>{0x40000, static_cast<uint32_t>(-6),
                                                                      static_cast<uint32_t>(-6), 0x40000}));
    const uint32_t huge = kvepackets::wireInfo1(1023);
    const std::vector<uint32_t> full = reply(6, {bits(48000.0f), huge, 0x1FFFF, 0});
    EXPECT_EQ(full[1], 0u);
    EXPECT_EQ(static_cast<int32_t>(full[2]), KVE_E_HEAPS_FULL);
    const std::vector<uint32_t> failingSet = reply(15, {kvetest::kFailingSetClassId, 0, 1, static_cast<uint32_t>(-20)});
    EXPECT_EQ(static_cast<int32_t>(failingSet[1]), -20) << "a failing Set replies its status in both words";
    EXPECT_EQ(static_cast<int32_t>(failingSet[2]), -20);
}

TEST_F(Packets, ObjectAndPinEnumeration)
{
    buildCopierLayout();
    EXPECT_EQ(reply(23, {}), (std::vector<uint32_t>{0x50000, 0, 1, KVE_CLASS_WIRE, 0x50000 ^ 1 ^ KVE_CLASS_WIRE}));
    EXPECT_EQ(reply(24, {3}).at(2), 4u);
    EXPECT_EQ(reply(24, {3}).at(3), KVE_CLASS_LAYOUT);
    const std::vector<uint32_t> end = reply(24, {4});
    EXPECT_EQ(static_cast<int32_t>(end[1]), KVE_E_END_OF_LIST);
    EXPECT_EQ(end[2], 0u);
    EXPECT_EQ(reply(4, {3}).at(2), kCopier);
    EXPECT_EQ(reply(46, {50}).at(2), 0u);

    ASSERT_EQ(status(7, {1, 1}), 0);
    const std::vector<uint32_t> first = reply(25, {});
    EXPECT_EQ(first.size(), 12u);
    EXPECT_EQ(first[2], 1u) << "pin id";
    EXPECT_EQ(first[3], KVE_CLASS_INPUT_PIN);
    EXPECT_EQ(first[4], 1u) << "bound";
    const std::vector<uint32_t> next = reply(26, {1});
    EXPECT_EQ(next[2], 2u);
    EXPECT_EQ(next[4], 0u) << "output pin unbound";
    EXPECT_EQ(static_cast<int32_t>(reply(26, {2}).at(1)), KVE_E_NO_MORE_PINS);
    EXPECT_EQ(static_cast<int32_t>(reply(26, {9}).at(1)), KVE_E_NOT_AN_OBJECT);
    EXPECT_EQ(reply(5, {1}).at(3), 1u) << "bound wire id";
    EXPECT_EQ(reply(85, {2}).at(5), 4u) << "wire block size";
    EXPECT_EQ(reply(41, {}).at(5), 0x12020264u);
}

TEST_F(Packets, StatesValuesAndPointersThroughPackets)
{
    buildCopierLayout();
    EXPECT_EQ(status(19, {3, KVE_STATE_MUTED}), 0);
    EXPECT_EQ(status(20, {3}), KVE_STATE_MUTED);
    EXPECT_EQ(status(19, {1, KVE_STATE_MUTED}), KVE_E_NOT_A_MODULE);
    EXPECT_EQ(status(20, {77}), KVE_E_END_OF_LIST);
    EXPECT_EQ(status(21, {3}), 0);

    EXPECT_EQ(status(9, {KVE_MEMBER_ADDRESS(4, 4), 2, 0}), 0);
    EXPECT_EQ(reply(8, {KVE_MEMBER_ADDRESS(4, 4), 0}).at(2), 2u);
    EXPECT_EQ(status(30, {KVE_MEMBER_ADDRESS(1, 3), 6, 2, 11, 12}), 0);
    EXPECT_EQ(reply(29, {KVE_MEMBER_ADDRESS(1, 3), 6, 2}), (std::vector<uint32_t>{0x50000, 0, 11, 12, 0x50000 ^ 11 ^ 12}));
    EXPECT_EQ(status(29, {KVE_MEMBER_ADDRESS(1, 3), 7, 2}), KVE_E_BAD_ARGUMENT);
    EXPECT_EQ(status(77, {KVE_MEMBER_ADDRESS(3, 3), KVE_MEMBER_ADDRESS(4, 0), 0}), 0);
    EXPECT_EQ(reply(84, {KVE_MEMBER_ADDRESS(3, 3)}).at(2), 4u);
    EXPECT_EQ(status(86, {3, 30003}), 0);
    EXPECT_EQ(status(20, {30003}), KVE_STATE_MUTED);
}

TEST_F(Packets, StartAndStopCallTheHooksAndDestroyEndsTheLayout)
{
    static int starts = 0, stops = 0;
    engine_->startHook = [] { return ++starts, 0; };
    engine_->stopHook = [] { return ++stops, -5; };
    buildCopierLayout();
    ASSERT_EQ(status(7, {1, 1}), 0);
    EXPECT_EQ(status(27, {}), 0);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(reinterpret_cast<GenericWire *>(kve_fwLookupID(engine_.get(), 1))->buffer, engine_->inputPins[0].bufferB)
        << "start attaches the pins' buffers";
    EXPECT_EQ(status(28, {}), -5);
    EXPECT_EQ(status(93, {}), -5);
    EXPECT_EQ(stops, 2);
    EXPECT_EQ(engine_->firstObject, nullptr);
    buildCopierLayout();
    EXPECT_EQ(reply(12, {}).size(), 2u);
    EXPECT_EQ(stops, 3);
    EXPECT_EQ(engine_->lastObjectId, 0u);
}

TEST_F(Packets, EmbeddedArraysRunInTheSameBufferAndDoNotNest)
{
    kvepackets::LayoutStream inner;
    inner.lookupTable(8);
    inner.wire(1, 4);
    inner.module(0xBEEF0999u, 0, {});
    std::vector<uint32_t> operands{static_cast<uint32_t>(inner.words().size())};
    operands.insert(operands.end(), inner.words().begin(), inner.words().end());
    std::vector<uint32_t> r = reply(112, operands);
    EXPECT_EQ(static_cast<int32_t>(r[1]), KVE_E_CLASS_NOT_FOUND);
    EXPECT_EQ(r[2], 2u + 5u) << "offset of the third stored packet";
    EXPECT_EQ(engine_->lastObjectId, 1u) << "the packets before it ran";

    kvepackets::LayoutStream outer;
    std::vector<uint32_t> nested{static_cast<uint32_t>(inner.words().size())};
    nested.insert(nested.end(), inner.words().begin(), inner.words().end());
    outer.add(112, nested);
    operands = {static_cast<uint32_t>(outer.words().size())};
    operands.insert(operands.end(), outer.words().begin(), outer.words().end());
    r = reply(112, operands);
    EXPECT_EQ(static_cast<int32_t>(r[1]), KVE_E_BAD_ARGUMENT) << "an embedded array inside an embedded array";
    EXPECT_EQ(engine_->lastObjectId, 1u);
}

} // namespace
