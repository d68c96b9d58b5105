// Item ring buffers against a double-ended queue as their model: random reservations, commits, reads, advances,
// peeks, copies and transfers, for both full-ring behaviours, every small capacity and chunk size.
#include <kve/kve_recognizer_runtime.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

namespace {

using Item = uint16_t;

// A ring with its model: the unread items in order and the absolute counts.
struct Modelled {
    buffer *ring;
    std::deque<Item> unread;
    uint64_t readCount = 0;
    uint64_t writeCount = 0;

    size_t capacity() const { return bufferCapacity(ring); }
    size_t freeRoom() const { return capacity() - unread.size(); }
    bool overwrites() const { return bufferMode(ring) == 1; }

    void append(Item value)
    {
        unread.push_back(value);
        ++writeCount;
        if (unread.size() > capacity()) {
            unread.pop_front();
            ++readCount;
        }
    }
    void consume(size_t items)
    {
        for (size_t i = 0; i < items; ++i)
            unread.pop_front();
        readCount += items;
    }
    // Items that appending `wanted` would take: all of them when a full ring overwrites, else the free room.
    size_t accepted(size_t wanted) const { return overwrites() ? wanted : std::min(wanted, freeRoom()); }

    void expectAgrees() const
    {
        ASSERT_EQ(bufferReadCount(ring), readCount);
        ASSERT_EQ(bufferWriteCount(ring), writeCount);
        ASSERT_EQ(bufferAvailable(ring), unread.size());
    }
};

// The contiguous reservation a ring grants: the free room up to its end, or one chunk of free room across the end,
// whichever is larger; a full ring that overwrites counts all of its room as free.
size_t expectedGrant(const Modelled &m, size_t wanted)
{
    const size_t capacity = m.capacity();
    const size_t free = m.overwrites() && m.unread.size() == capacity ? capacity : m.freeRoom();
    const size_t beforeEnd = std::min(free, capacity - m.writeCount % capacity);
    return std::min(wanted, std::max(beforeEnd, std::min(free, bufferMaxChunk(m.ring))));
}

// The contiguous run a reader sees: the unread items up to the ring's end, or one chunk across it.
size_t expectedRun(const Modelled &m)
{
    const size_t capacity = m.capacity();
    return std::min(m.unread.size(), std::max(capacity - m.readCount % capacity, bufferMaxChunk(m.ring)));
}

void expectFront(const Modelled &m, const Item *items, size_t count, size_t offset = 0)
{
    for (size_t i = 0; i < count; ++i)
        ASSERT_EQ(items[i], m.unread[offset + i]) << "item " << i;
}

void exercise(size_t capacity, size_t chunk, int32_t mode, unsigned seed)
{
    std::mt19937 random(seed);
    const auto upTo = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n)(random); };
    Modelled m{bufferCreate(capacity, sizeof(Item), chunk, mode), {}};
    const size_t targetCapacity = 1 + upTo(8);
    Modelled target{bufferCreate(targetCapacity, sizeof(Item), 1 + upTo(targetCapacity + 1), int32_t(upTo(1))), {}};
    ASSERT_NE(m.ring, nullptr);
    ASSERT_NE(target.ring, nullptr);
    Item next = 1;
    Item *reserved = nullptr;
    size_t granted = 0;
    std::vector<Item> scratch(32);

    for (int step = 0; step < 400; ++step) {
        const size_t op = upTo(10);
        const size_t n = upTo(capacity + 2);
        SCOPED_TRACE(testing::Message() << "step " << step << " op " << op << " n " << n);
        if (op == 0 && reserved == nullptr) {
            const size_t expected = expectedGrant(m, n);
            reserved = static_cast<Item *>(bufferWritePtr(m.ring, n, &granted));
            ASSERT_EQ(granted, expected);
            ASSERT_EQ(reserved == nullptr, expected == 0);
            if (m.overwrites() && m.unread.size() == capacity)
                m.consume(granted);
            for (size_t i = 0; i < granted; ++i)
                reserved[i] = next++;
            if (reserved == nullptr)
                bufferCommit(m.ring, 0);
        } else if (op == 0 || op == 1) {
            if (reserved == nullptr)
                continue;
            // A second reservation and a copying write are refused while one is open.
            size_t again = 1;
            EXPECT_EQ(bufferWritePtr(m.ring, 1, &again), nullptr);
            EXPECT_EQ(again, 0u);
            EXPECT_EQ(bufferWrite(m.ring, &next, 1), 0u);
            const size_t committed = std::min(upTo(granted + 2), granted);
            const std::vector<Item> values(reserved, reserved + committed);
            bufferCommit(m.ring, committed + (committed == granted ? upTo(2) : 0));
            for (Item v : values)
                m.append(v);
            reserved = nullptr;
        } else if (op == 2 && reserved == nullptr) {
            std::vector<Item> values(n);
            for (Item &v : values)
                v = next++;
            const size_t expected = m.accepted(n);
            ASSERT_EQ(bufferWrite(m.ring, values.data(), n), expected);
            for (size_t i = 0; i < expected; ++i)
                m.append(values[i]);
        } else if (op == 3) {
            const size_t expected = std::min(n, m.unread.size());
            ASSERT_EQ(bufferRead(m.ring, scratch.data(), n), expected);
            expectFront(m, scratch.data(), expected);
            m.consume(expected);
        } else if (op == 4) {
            size_t available = 99;
            const auto *run = static_cast<const Item *>(bufferReadPtr(m.ring, &available));
            ASSERT_EQ(available, expectedRun(m));
            ASSERT_EQ(run == nullptr, available == 0);
            expectFront(m, run, available);
            bufferAdvance(m.ring, n);
            m.consume(std::min(n, m.unread.size()));
        } else if (op == 5) {
            bufferAdvance(m.ring, n);
            m.consume(std::min(n, m.unread.size()));
        } else if (op == 6) {
            const size_t offset = upTo(capacity);
            const size_t roomBytes = upTo(2 * n + 1);
            const size_t expected =
                offset >= m.unread.size() ? 0 : std::min({n, m.unread.size() - offset, roomBytes / 2});
            std::fill(scratch.begin(), scratch.end(), Item{0xEEEE});
            ASSERT_EQ(bufferPeek(scratch.data(), roomBytes, m.ring, offset, n), expected);
            expectFront(m, scratch.data(), expected, offset);
            // Nothing past the destination's room was written.
            for (size_t i = expected; i < scratch.size(); ++i)
                ASSERT_EQ(scratch[i], 0xEEEE);
        } else if (op == 7 && upTo(3) == 0) {
            bufferDiscard(m.ring);
            m.consume(m.unread.size());
        } else if (op == 8) {
            const size_t offset = upTo(capacity);
            const size_t count = offset >= m.unread.size() ? 0 : std::min(n, m.unread.size() - offset);
            const size_t expected = target.accepted(count);
            ASSERT_EQ(bufferCopyFrom(target.ring, m.ring, offset, n), expected);
            for (size_t i = 0; i < expected; ++i)
                target.append(m.unread[offset + i]);
        } else if (op == 9) {
            const size_t expected = target.accepted(std::min(n, m.unread.size()));
            ASSERT_EQ(bufferTransfer(target.ring, m.ring, n), expected);
            for (size_t i = 0; i < expected; ++i)
                target.append(m.unread[i]);
            m.consume(expected);
        } else if (op == 10) {
            const size_t expected = target.unread.size();
            ASSERT_EQ(bufferRead(target.ring, scratch.data(), scratch.size()), expected);
            expectFront(target, scratch.data(), expected);
            target.consume(expected);
        }
        m.expectAgrees();
        target.expectAgrees();
        if (testing::Test::HasFatalFailure())
            return;
    }
    rcRelease(m.ring);
    rcRelease(target.ring);
}

} // namespace

TEST(RecognizerRingBuffer, AgreesWithAQueueModel)
{
    unsigned seed = 1;
    for (int32_t mode : {0, 1})
        for (size_t capacity = 1; capacity <= 9; ++capacity)
            for (size_t chunk = 1; chunk <= capacity + 2; ++chunk) {
                SCOPED_TRACE(testing::Message() << "mode " << mode << " capacity " << capacity << " chunk " << chunk);
                exercise(capacity, chunk, mode, seed++);
                if (HasFatalFailure())
                    return;
            }
}

TEST(RecognizerRingBuffer, ReservationAcrossTheEndLandsAtTheRingStart)
{
    buffer *ring = bufferCreate(8, sizeof(Item), 4, 0);
    const Item six[6] = {1, 2, 3, 4, 5, 6};
    Item out[6];
    ASSERT_EQ(bufferWrite(ring, six, 6), 6u);
    ASSERT_EQ(bufferRead(ring, out, 6), 6u);
    size_t granted = 0;
    auto *region = static_cast<Item *>(bufferWritePtr(ring, 4, &granted));
    ASSERT_EQ(granted, 4u);
    EXPECT_EQ(region, reinterpret_cast<Item *>(ring->data) + 6);
    EXPECT_EQ(ring->pendingWrap, 2u);
    for (Item i = 0; i < 4; ++i)
        region[i] = Item(10 + i);
    bufferCommit(ring, 4);
    const auto *data = reinterpret_cast<const Item *>(ring->data);
    EXPECT_EQ(data[0], 12);
    EXPECT_EQ(data[1], 13);
    EXPECT_EQ(bufferPending(ring), 0u);
    rcRelease(ring);
}

TEST(RecognizerRingBuffer, FullRingOverwritesOnlyInOverwriteMode)
{
    for (int32_t mode : {0, 1}) {
        SCOPED_TRACE(mode);
        buffer *ring = bufferCreate(8, sizeof(Item), 1, mode);
        const Item items[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        ASSERT_EQ(bufferWrite(ring, items, 8), 8u);
        EXPECT_EQ(bufferWrite(ring, items, 3), mode == 1 ? 3u : 0u);
        EXPECT_EQ(bufferReadCount(ring), mode == 1 ? 3u : 0u);
        EXPECT_EQ(bufferAvailable(ring), 8u);
        // Advancing stops at what was written; discarding keeps the write count.
        bufferAdvance(ring, 100);
        EXPECT_EQ(bufferReadCount(ring), bufferWriteCount(ring));
        bufferDiscard(ring);
        EXPECT_EQ(bufferWriteCount(ring), mode == 1 ? 11u : 8u);
        rcRelease(ring);
    }
}

TEST(RecognizerRingBuffer, ResetClosesAnOpenReservation)
{
    buffer *ring = bufferCreate(4, sizeof(Item), 2, 0);
    size_t granted = 0;
    ASSERT_NE(bufferWritePtr(ring, 3, &granted), nullptr);
    bufferReset(ring);
    EXPECT_EQ(bufferPending(ring), 0u);
    EXPECT_NE(bufferWritePtr(ring, 3, &granted), nullptr);
    EXPECT_EQ(granted, 3u);
    rcRelease(ring);
}

TEST(RecognizerRingBuffer, ImpossibleShapesAndMismatchedItemsAreRefused)
{
    struct Shape {
        size_t capacity, itemSize, maxChunk;
    };
    for (const Shape s : {Shape{0, 2, 1}, Shape{4, 0, 1}, Shape{4, 2, 0}, Shape{SIZE_MAX, 2, 2},
                          Shape{SIZE_MAX / 2, 4, 1}, Shape{2, SIZE_MAX, 1}}) {
        SCOPED_TRACE(testing::Message() << s.capacity << " x " << s.itemSize << " chunk " << s.maxChunk);
        EXPECT_EQ(bufferCreate(s.capacity, s.itemSize, s.maxChunk, 0), nullptr);
    }
    buffer *narrow = bufferCreate(4, 2, 1, 0);
    buffer *wide = bufferCreate(4, 4, 1, 0);
    const uint32_t items[2] = {1, 2};
    ASSERT_EQ(bufferWrite(wide, items, 2), 2u);
    EXPECT_EQ(bufferTransfer(narrow, wide, 2), 0u);
    EXPECT_EQ(bufferCopyFrom(narrow, wide, 0, 2), 0u);
    EXPECT_EQ(bufferAvailable(wide), 2u);
    rcRelease(narrow);
    rcRelease(wide);
}
