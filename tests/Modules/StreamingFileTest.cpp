// The file stream as a host drives it: messages taken into the ring by kind and state, the host's stop and pause
// commands, room in the ring, and sizes a host writes held to what was built.
#include "StreamingTestSupport.h"

namespace {

using namespace streamtest;

class FileStreaming : public StreamingTable {
protected:
    ClassModule *build(const StreamArgs &a = {})
    {
        idWire_ = wire(1, 1);
        ClassModule *m = stream(kFileStreaming, a, idWire_);
        EXPECT_NE(m, nullptr);
        return m;
    }
    GenericWire *idWire_ = nullptr;
};

TEST_F(FileStreaming, AnnouncesItsOwnIdOnItsWire)
{
    ClassModule *m = build();
    pump(m);
    EXPECT_EQ(bits(idWire_)[0], m->objectId);
}

TEST_F(FileStreaming, IdleStreamDropsAnyMessageButAFirstOne)
{
    ClassModule *m = build();
    send(m, counting(1, 8), header(Further, 32));
    pump(m);
    EXPECT_EQ(pendingHeader(m), 0u) << "dropped";
    EXPECT_EQ(var(m, State), Idle);
    EXPECT_EQ(var(m, WriteIndex), 0u);
    EXPECT_EQ(var(m, Ack), 0u);
}

// 256-word messages against a start threshold of 1000 words: the stream fills through three messages and starts
// playing as the fourth (1024 words) arrives; only the first message is acknowledged.
TEST_F(FileStreaming, FillsUpToTheStartThresholdBeforePlaying)
{
    ClassModule *m = build({.msgLength = 256, .bufferSize = 2048, .startThreshold = 1000});
    for (uint32_t k = 0; k < 5; ++k) {
        send(m, counting(k * 256, 256), header(k == 0 ? First : Further, 1024));
        pump(m);
        SCOPED_TRACE(k);
        EXPECT_EQ(pendingHeader(m), 0u);
        EXPECT_EQ(var(m, Ack), k == 0 ? 1u : 0u);
        EXPECT_EQ(var(m, State), Receiving);
        EXPECT_EQ(var<int32_t>(m, FillLevel), static_cast<int32_t>((k + 1) * 256));
        EXPECT_EQ(var(m, Prefilling), k < 3 ? 1u : 0u);
        EXPECT_EQ(var(m, Playing), k < 3 ? 0u : 1u);
    }
    const uint32_t *ring = array(m, CircBuffer);
    for (uint32_t i = 0; i < 5 * 256; ++i)
        ASSERT_EQ(ring[i], i) << "ring word " << i;
}

// The header gives bytes; whole words move, and never more than the message area holds.
TEST_F(FileStreaming, MovesTheWordsTheHeaderCountsUpToTheMessageArea)
{
    struct Case {
        uint32_t bytes;
        uint32_t words;
    };
    for (const Case c : {Case{10, 3}, Case{4, 1}, Case{0, 0}, Case{33, 8}, Case{0xFFFFFF, 8}}) {
        ClassModule *m = build({.msgLength = 8, .bufferSize = 64});
        array(m, CircBuffer)[c.words] = 0xA5A5A5A5u;
        send(m, counting(100, 8), header(First, c.bytes));
        pump(m);
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(var(m, WriteIndex), c.words);
        EXPECT_EQ(var<int32_t>(m, FillLevel), static_cast<int32_t>(c.words));
        for (uint32_t i = 0; i < c.words; ++i)
            EXPECT_EQ(array(m, CircBuffer)[i], 100 + i);
        EXPECT_EQ(array(m, CircBuffer)[c.words], 0xA5A5A5A5u) << "a word past the message";
    }
}

// One ring word always stays free: with 1020 of 1024 words used, 3 more fit and 4 wait in the message area.
TEST_F(FileStreaming, MessageThatDoesNotFitWaitsForRoom)
{
    ClassModule *m = build({.msgLength = 8, .bufferSize = 1024, .state = Receiving, .prefilling = 0});
    index(m, WriteIndex) = 1020;
    var(m, HostCommand) = 9; // a word the stream does not know: cleared all the same
    array(m, CircBuffer)[1024] = 0xA5A5A5A5u;
    send(m, counting(1, 4), header(Further, 16));
    pump(m);
    EXPECT_EQ(pendingHeader(m), header(Further, 16));
    EXPECT_EQ(var<int32_t>(m, FillLevel), 1020);
    EXPECT_EQ(var(m, WriteIndex), 1020u);
    EXPECT_EQ(var(m, HostCommand), 0u);

    index(m, ReadIndex) = 1; // the source played one word: now it fits, wrapping round the ring's end
    pump(m);
    EXPECT_EQ(pendingHeader(m), 0u);
    EXPECT_EQ(var(m, WriteIndex), 0u);
    EXPECT_EQ(var<int32_t>(m, FillLevel), 1023);
    EXPECT_EQ(array(m, CircBuffer)[1023], 4u);
    EXPECT_EQ(array(m, CircBuffer)[1024], 0xA5A5A5A5u) << "the spare word past the ring";
}

// A pause that comes with a message that does not fit stays asked for until the message is taken.
TEST_F(FileStreaming, PauseWaitsForTheMessageItCameWith)
{
    ClassModule *m = build({.msgLength = 8, .bufferSize = 16, .state = Receiving, .prefilling = 0});
    index(m, WriteIndex) = 12;
    send(m, counting(1, 8), header(Further, 32));
    var(m, HostCommand) = 5;
    pump(m);
    EXPECT_EQ(var(m, State), Receiving);
    EXPECT_EQ(var(m, HostCommand), 5u);
    index(m, ReadIndex) = 12;
    pump(m);
    EXPECT_EQ(var(m, State), Paused);
    EXPECT_EQ(var(m, HostCommand), 0u);
    EXPECT_EQ(var<int32_t>(m, FillLevel), 8);
}

// One block from a given state, with or without a host command and a waiting message.
TEST_F(FileStreaming, StateFollowsCommandsAndMessageKinds)
{
    struct Case {
        const char *what;
        uint32_t state;
        uint32_t command;
        uint32_t kind; // 0: no message
        uint32_t nextState;
        bool taken;    // the message reached the ring
        bool emptied;  // the ring was reset
    };
    const Case cases[] = {
        {"receiving stops", Receiving, 4, Further, Idle, false, true},
        {"receiving stops (6)", Receiving, 6, 0, Idle, false, true},
        {"receiving pauses and keeps the message", Receiving, 5, Further, Paused, true, false},
        {"receiving pauses without a message", Receiving, 5, 0, Paused, false, false},
        {"receiving takes further data", Receiving, 0, Further, Receiving, true, false},
        {"receiving takes the last data", Receiving, 0, Last, Draining, true, false},
        {"receiving restarts on a first message", Receiving, 0, First, Receiving, true, true},
        {"receiving waits on an unknown kind", Receiving, 0, 9, Receiving, false, false},
        {"paused stays paused", Paused, 5, Further, Paused, false, false},
        {"paused stops", Paused, 4, 0, Idle, false, true},
        {"paused resumes on further data", Paused, 0, Further, Receiving, true, false},
        {"paused takes the last data", Paused, 0, Last, Draining, true, false},
        {"paused restarts on a first message", Paused, 0, First, Receiving, true, true},
        {"paused with nothing waiting", Paused, 0, 0, Paused, false, false},
        {"draining pauses", Draining, 5, 0, Paused, false, false},
        {"draining stops", Draining, 6, 0, Idle, false, true},
        {"draining plays on while words are left", Draining, 0, 0, Draining, false, false},
        {"an unknown state falls back to not started", 6, 0, First, NotStarted, false, false},
        {"not started stays so", NotStarted, 0, First, NotStarted, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // A threshold no message here reaches: a restarted stream is seen filling again.
        ClassModule *m =
            build({.msgLength = 4, .bufferSize = 32, .startThreshold = 100, .state = c.state, .prefilling = 0});
        var(m, Playing) = 1;
        index(m, ReadIndex) = 2;
        index(m, WriteIndex) = 7; // 5 words are waiting to be played
        var(m, HostCommand) = c.command;
        if (c.kind != 0)
            send(m, {11, 12, 13, 14}, header(c.kind, 16));
        pump(m);
        EXPECT_EQ(var(m, State), c.nextState);
        EXPECT_EQ(var(m, HostCommand), 0u);
        const uint32_t start = c.emptied ? 0 : 7;
        EXPECT_EQ(var(m, WriteIndex), start + (c.taken ? 4 : 0));
        EXPECT_EQ(var(m, ReadIndex), c.emptied ? 0u : 2u);
        EXPECT_EQ(var<int32_t>(m, FillLevel), (c.emptied ? 0 : 5) + (c.taken ? 4 : 0));
        if (c.taken) {
            EXPECT_EQ(array(m, CircBuffer)[start + 3], 14u);
        }
        if (c.emptied) {
            EXPECT_EQ(var(m, Prefilling), 1u);
            EXPECT_EQ(var(m, Playing), 0u);
        }
        EXPECT_EQ(var(m, Ack), c.kind == First && c.emptied ? 1u : 0u);
    }
}

// The last data starts a stream still filling, whatever its threshold; once the ring runs empty the stream is idle.
TEST_F(FileStreaming, LastDataPlaysOutThenIdles)
{
    ClassModule *m = build({.msgLength = 4, .bufferSize = 32, .startThreshold = 1000});
    send(m, {1, 2, 3, 4}, header(First, 16));
    pump(m);
    send(m, {5, 6}, header(Last, 8));
    pump(m);
    EXPECT_EQ(var(m, State), Draining);
    EXPECT_EQ(var(m, Prefilling), 0u);
    EXPECT_EQ(var(m, Playing), 1u);
    pump(m);
    EXPECT_EQ(var(m, State), Draining);
    index(m, ReadIndex) = 6; // the source has played everything
    pump(m);
    EXPECT_EQ(var(m, State), Idle);
    EXPECT_EQ(var(m, Prefilling), 1u);
    EXPECT_EQ(var(m, WriteIndex), 0u);
}

// Sizes and indices a host writes cannot move the stream outside what it built.
TEST_F(FileStreaming, HostWrittenSizesAndIndicesStayInsideWhatWasBuilt)
{
    ClassModule *m = build({.msgLength = 4, .bufferSize = 8, .state = Receiving, .prefilling = 0});
    uint32_t *area = array(m, MsgBuffer);
    std::copy_n(counting(1, 4).begin(), 4, area);
    area[4] = header(Further, 0xFFFFFF);
    array(m, CircBuffer)[8] = 0xA5A5A5A5u;
    var(m, MsgLength) = 0x7FFFFFFF;
    var(m, BufferSize) = 0xFFFFFFFF;
    index(m, WriteIndex) = -13;  // 3 in a ring of 8
    index(m, ReadIndex) = 1000001; // 1
    pump(m);
    EXPECT_EQ(area[4], 0u) << "the header at the message area's end, as built";
    EXPECT_EQ(var(m, WriteIndex), 7u);
    EXPECT_EQ(var<int32_t>(m, FillLevel), 6);
    EXPECT_EQ(array(m, CircBuffer)[8], 0xA5A5A5A5u) << "the spare word past the ring";
}

TEST_F(FileStreaming, RefusesRingsTooLargeForTheHeaps)
{
    GenericWire *w = wire(1, 1);
    int32_t status = KVE_OK;
    EXPECT_EQ(stream(kFileStreaming, {.bufferSize = 1u << 24}, w, &status), nullptr);
    EXPECT_NE(status, KVE_OK);
    status = KVE_OK;
    EXPECT_EQ(stream(kFileStreaming, {.msgLength = 0xFFFFFFFFu}, w, &status), nullptr);
    EXPECT_NE(status, KVE_OK);
}

// Every class refuses wiring with fewer wires than its Process reads, and builds nothing.
TEST_F(StreamingTable, EveryClassRefusesShortWiring)
{
    const std::vector<uint32_t> streamArgs = {8, 8, 0, 0, 0, 0, 1, 0, 4, 0, 0, 0, 0};
    struct Case {
        uint32_t classId;
        uint32_t wireWord;
        std::vector<uint32_t> args;
    };
    const Case cases[] = {
        {kFileStreaming, 0x1, streamArgs},       {kMatlabStreaming, 0x0, streamArgs},
        {kRawStreamingSource, 0x1, {0, 0}},      {kRawStreamingSource, 0x100, {0, 0}},
        {kProbe, 0x1, {0}},                      {kProbe, 0x100, {0}},
    };
    GenericWire *w = wire(2, 8);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.classId << " wired " << c.wireWord);
        KVEObject *last = engine_->lastObject;
        int32_t status = KVE_OK;
        EXPECT_EQ(ClassModule_Constructor3(engine_.get(), c.classId, &status, c.wireWord, &w,
                                           static_cast<uint32_t>(c.args.size()), c.args.data()),
                  nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
        EXPECT_EQ(engine_->lastObject, last);
    }
}

} // namespace
