// The streaming source: which stream it follows, what it plays of the stream's ring, and a file stream played out
// over many blocks against a host's model of the stream.
#include <deque>
#include <random>

#include "StreamingTestSupport.h"

namespace {

using namespace streamtest;

constexpr uint32_t kChannels = 2;
constexpr uint32_t kBlock = 32;
constexpr uint32_t kWords = kChannels * kBlock;

class StreamingSource : public StreamingTable {
protected:
    void SetUp() override
    {
        StreamingTable::SetUp();
        idWire_ = wire(1, 1);
        out_ = wire(kChannels, kBlock);
        source_ = source(idWire_, out_);
        ASSERT_NE(source_, nullptr);
    }
    // A stream that is playing, whose ring holds `available` words numbered from `first` on at the read index.
    ClassModule *playingStream(uint32_t classId, int32_t readIndex, int32_t available, uint32_t first = 0)
    {
        ClassModule *m = stream(classId, {.bufferSize = 1024, .state = Receiving, .prefilling = 0}, idWire_);
        EXPECT_NE(m, nullptr);
        for (int32_t i = 0; i < available; ++i)
            array(m, CircBuffer)[(readIndex + i) % 1024] = first + static_cast<uint32_t>(i);
        index(m, ReadIndex) = readIndex;
        index(m, WriteIndex) = (readIndex + available) % 1024;
        return m;
    }
    void fillOutput(float v)
    {
        for (uint32_t i = 0; i < kWords; ++i)
            data(out_)[i] = v;
    }
    void expectSilence()
    {
        for (uint32_t i = 0; i < kWords; ++i)
            ASSERT_EQ(bits(out_)[i], 0u) << "word " << i;
    }
    GenericWire *idWire_ = nullptr;
    GenericWire *out_ = nullptr;
    ClassModule *source_ = nullptr;
};

// One output block of 64 words from rings holding more or fewer; a short ring pads with zeros and counts once.
TEST_F(StreamingSource, PlaysABlockOrWhatIsThereAndCountsUnderflows)
{
    struct Case {
        int32_t readIndex;
        int32_t available;
        uint32_t played;
    };
    uint32_t underflows = 0;
    for (const Case c : {Case{0, 100, 64}, Case{0, 40, 40}, Case{1000, 100, 64}, Case{1000, 40, 40}, Case{5, 0, 0},
                         Case{0, 64, 64}}) {
        SCOPED_TRACE(testing::Message() << "read index " << c.readIndex << ", " << c.available << " available");
        ClassModule *m = playingStream(kFileStreaming, c.readIndex, c.available, 500);
        pump(m);
        fillOutput(1.0f);
        pump(source_);
        for (uint32_t i = 0; i < kWords; ++i)
            ASSERT_EQ(bits(out_)[i], i < c.played ? 500 + i : 0u) << "word " << i;
        EXPECT_EQ(var(m, ReadIndex), (static_cast<uint32_t>(c.readIndex) + c.played) % 1024);
        underflows += c.played < kWords ? 1 : 0;
        EXPECT_EQ(var(source_, 0), underflows);
    }
}

// Silence while the stream fills, is idle or paused; nothing is read from the ring then, and nothing counted.
TEST_F(StreamingSource, SilentWhileTheStreamIsNotPlaying)
{
    struct Case {
        uint32_t prefilling;
        uint32_t state;
    };
    for (const Case c : {Case{1, Receiving}, Case{0, Idle}, Case{0, Paused}, Case{1, Draining}}) {
        SCOPED_TRACE(testing::Message() << "prefilling " << c.prefilling << ", state " << c.state);
        ClassModule *m = playingStream(kFileStreaming, 0, 100, 500);
        pump(m);
        var(m, Prefilling) = c.prefilling;
        var(m, State) = c.state;
        fillOutput(1.0f);
        pump(source_);
        expectSilence();
        EXPECT_EQ(var(m, ReadIndex), 0u);
        EXPECT_EQ(var(source_, 0), 0u);
    }
}

// Any id that names no streaming module gives silence: no object, a wire, another module, the source itself.
TEST_F(StreamingSource, SilentForAnIdThatNamesNoStream)
{
    GenericWire *other = wire(1, 4);
    ClassModule *probe = engine_.module(kProbe, 0x101, {other, other}, {0});
    ASSERT_NE(probe, nullptr);
    for (const uint32_t id : {0u, 9999u, 0xFFFFFFFFu, other->objectId, probe->objectId, source_->objectId}) {
        SCOPED_TRACE(id);
        bits(idWire_)[0] = id;
        fillOutput(1.0f);
        pump(source_);
        expectSilence();
        EXPECT_EQ(var(source_, 1), id);
    }
    EXPECT_EQ(var(source_, 0), 0u);
}

// The source follows whichever stream the id names now, a file or a fixed-message stream.
TEST_F(StreamingSource, FollowsTheStreamItsWireNames)
{
    ClassModule *file = playingStream(kFileStreaming, 0, 200, 1000);
    ClassModule *fixed = playingStream(kMatlabStreaming, 0, 200, 2000);
    for (const auto &[m, first] : {std::pair{file, 1000u}, std::pair{fixed, 2000u}, std::pair{file, 1064u}}) {
        pump(m);
        pump(source_);
        EXPECT_EQ(var(source_, 1), m->objectId);
        for (uint32_t i = 0; i < kWords; ++i)
            ASSERT_EQ(bits(out_)[i], first + i) << "word " << i;
    }
}

// A layout that gives the stream's id as the source's construction argument is played all the same.
TEST_F(StreamingSource, IdGivenAtConstructionIsStillLookedUp)
{
    ClassModule *m = playingStream(kFileStreaming, 0, 100, 1000);
    ClassModule *player = engine_.module(kRawStreamingSource, 0x101, {idWire_, out_}, {0, m->objectId});
    ASSERT_NE(player, nullptr);
    pump(m);
    pump(player);
    for (uint32_t i = 0; i < kWords; ++i)
        ASSERT_EQ(bits(out_)[i], 1000 + i) << "word " << i;
}

// The pointer the source follows is its own: a host can neither aim it nor write over it.
TEST_F(StreamingSource, HostCannotAimTheSourcePointer)
{
    ClassModule *m = playingStream(kFileStreaming, 0, 100);
    pump(m);
    pump(source_);
    const uint32_t sourceMember = KVE_MEMBER_ADDRESS(source_->objectId, 8 + 2);
    const uint32_t ring = KVE_MEMBER_ADDRESS(m->objectId, 8 + CircBuffer) | KVE_MEMBER_DEREF;
    EXPECT_NE(kve_fwSetPointer(engine_.get(), sourceMember, ring, 0), KVE_OK);
    EXPECT_NE(kve_fwSetValue(engine_.get(), sourceMember, 0x1234, 0, 0), KVE_OK);
    EXPECT_EQ(array<ClassModule>(source_, 2), m);
}

// A host's model of a file stream: the ring as a queue of words, taken a message at a time and played a block at a
// time, with the stream's states reduced to the ones a host sees without commands.
struct StreamModel {
    StreamModel(size_t room, size_t threshold) : room(room), threshold(threshold) {}
    size_t room;      // words the ring holds at most
    size_t threshold; // words that start playing
    uint32_t state = Idle;
    bool filling = true;
    std::deque<uint32_t> queue;
    uint32_t underflows = 0;

    void take(const std::vector<uint32_t> &message)
    {
        queue.insert(queue.end(), message.begin(), message.end());
        if (queue.size() >= threshold)
            filling = false;
    }
    // One block of the stream with a message waiting (kind 0: none). True when the message area is free after it.
    bool stream(uint32_t kind, const std::vector<uint32_t> &message)
    {
        if (state == Draining && queue.empty()) {
            state = Idle;
            filling = true;
            return kind == 0;
        }
        if (kind == 0 || state == Draining)
            return kind == 0;
        if (state == Idle && kind != First)
            return true; // dropped
        if (state == Receiving && kind == First) {
            queue.clear();
            filling = true;
        }
        if (kind == Last)
            filling = false;
        if (queue.size() + message.size() > room)
            return false;
        take(message);
        state = kind == Last ? Draining : Receiving;
        return true;
    }
    std::vector<uint32_t> play(size_t n)
    {
        std::vector<uint32_t> out(n, 0);
        if (filling || state == Idle)
            return out;
        const size_t k = std::min(n, queue.size());
        std::copy_n(queue.begin(), k, out.begin());
        queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(k));
        if (k < n)
            ++underflows;
        return out;
    }
};

// Two streams of messages of random lengths, sent whenever the message area is free: in turns faster than the
// source plays (the ring fills and messages wait) and slower (the source runs short).
TEST_F(StreamingSource, FileStreamPlaysOutAsAHostModelOfItExpects)
{
    constexpr uint32_t kMsg = 64;
    constexpr uint32_t kRing = 512;
    constexpr uint32_t kPlayed = 16;
    constexpr uint32_t kMessages = 120;
    ClassModule *m = stream(kFileStreaming, {.msgLength = kMsg, .bufferSize = kRing, .startThreshold = 200}, idWire_);
    GenericWire *out = wire(1, kPlayed);
    ClassModule *player = source(idWire_, out);
    ASSERT_NE(m, nullptr);
    ASSERT_NE(player, nullptr);
    StreamModel model(kRing - 1, 200);
    std::mt19937 rng(7);
    uint32_t sent = 0, next = 1, waits = 0, streams = 0;
    std::vector<uint32_t> message;
    uint32_t kind = 0;
    for (uint32_t block = 0; block < 1600 && streams < 2; ++block) {
        SCOPED_TRACE(testing::Message() << "block " << block);
        // About 32 words a block against 16 played, then about 11.
        const bool fast = block % 300 < 150;
        if (kind == 0 && (fast || rng() % 3 == 0)) {
            const uint32_t words = 1 + rng() % kMsg;
            message = counting(next, words);
            next += words;
            kind = sent == 0 ? First : (sent + 1 == kMessages ? Last : Further);
            send(m, message, header(kind, 4 * words - rng() % 4));
            ++sent;
        }
        pump(m);
        const uint32_t before = model.state;
        const bool free = model.stream(kind, message);
        streams += before == Draining && model.state == Idle ? 1 : 0;
        ASSERT_EQ(pendingHeader(m) == 0, free);
        waits += kind != 0 && !free ? 1 : 0;
        if (free && kind == Last)
            sent = 0;
        if (free)
            kind = 0;
        pump(player);
        const std::vector<uint32_t> expected = model.play(kPlayed);
        for (uint32_t i = 0; i < kPlayed; ++i)
            ASSERT_EQ(bits(out)[i], expected[i]) << "word " << i;
        ASSERT_EQ(var(m, State), model.state);
    }
    EXPECT_EQ(streams, 2u);
    EXPECT_EQ(var(player, 0), model.underflows);
    // Both paths ran: messages waited for room, and the source ran short.
    EXPECT_GT(waits, 0u);
    EXPECT_GT(model.underflows, 2u);
}

} // namespace
