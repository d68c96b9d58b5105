// Ring kernels against positions by modular arithmetic: steps of +-1 and +-k, steps of a ring length and more,
// indices outside the ring, rings of one element, strided vectors; ring-to-ring reads with every destination
// increment; delay lines; the block copies against the same models for every count around the ring length.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/Generators/RingModels.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::GuardedRing;
using kvetest::ringPosition;

struct Walk {
    int32_t len;
    int32_t idx;
    int32_t step;
    int32_t inc; // of the vector beside the ring
    int32_t n;
};

const Walk kWalks[] = {
    {8, 7, 1, 1, 1},      // last element, back to 0
    {8, 0, -1, 1, 1},     // element 0 backwards, on to the last
    {8, 3, 1, 1, 21},     // around more than twice (contiguous: the block path)
    {8, 3, 3, 2, 20},     {8, 5, -3, -1, 11},   {8, 2, 13, 1, 9},  // a step beyond the length
    {8, 1, -13, 3, 9},    {8, 2, 9, 1, 17},     // a step of one more than the length: the block path
    {8, 4, 8, 1, 3},      {8, 4, -16, 1, 3},    // whole turns: stays put
    {8, 6, 0, 1, 5},      {8, -3, 1, 1, 10},    // a negative index counts from the end
    {8, 19, -2, 1, 5},    {1, 0, 1, 1, 4},      {1, 5, -3, 2, 3},   // rings of one element
    {7, INT32_MIN, INT32_MAX, 1, 12},           {7, INT32_MAX, INT32_MIN, 1, 12},
    {8, 1, 1, 0, 5},      // one source sample again and again
};

// The source vector of a walk: n samples inc apart (the sign of inc says which end is sample 0).
struct Strided {
    std::vector<uint32_t> words;
    int32_t inc;
    uint32_t *first() { return words.data() + (inc < 0 ? words.size() - 1 : 0); }
    uint32_t &operator[](int64_t k) { return first()[k * inc]; }
};

Strided strided(int32_t n, int32_t inc, uint32_t fill)
{
    const int32_t count = n > 0 ? n : 1;
    Strided v{std::vector<uint32_t>(static_cast<size_t>((count - 1) * std::abs(inc) + 1), fill), inc};
    return v;
}

// A source of n numbered samples, 0xC0000000 + k.
Strided numbered(int32_t n, int32_t inc)
{
    Strided v = strided(n, inc, 0);
    for (int32_t k = 0; k < n; ++k)
        v[k] = 0xC0000000u + static_cast<uint32_t>(k);
    return v;
}

std::string describe(const Walk &w)
{
    return "len " + std::to_string(w.len) + " idx " + std::to_string(w.idx) + " step " + std::to_string(w.step) +
           " inc " + std::to_string(w.inc) + " n " + std::to_string(w.n);
}

int32_t finalIndex(const Walk &w) { return static_cast<int32_t>(ringPosition(w.idx, w.step, w.n, w.len)); }

TEST(RingWrite, StoresEachSampleAtTheModularPositionAndStaysInsideTheRing)
{
    for (const Walk &w : kWalks) {
        GuardedRing ring(w.len);
        Strided src = numbered(w.n, w.inc);
        std::vector<uint32_t> expected = ring.contents();
        for (int32_t k = 0; k < w.n; ++k)
            expected[static_cast<size_t>(ringPosition(w.idx, w.step, k, w.len))] = src[k];
        int32_t idx = w.idx;
        kve_vecCircWrite(ring.data(), w.len, &idx, w.step, src.first(), w.inc, w.n);
        EXPECT_EQ(ring.contents(), expected) << describe(w);
        EXPECT_EQ(idx, finalIndex(w)) << describe(w);
        EXPECT_TRUE(ring.guardsIntact()) << describe(w);
    }
}

TEST(RingRead, TakesEachSampleFromTheModularPosition)
{
    for (const Walk &w : kWalks) {
        GuardedRing ring(w.len);
        Strided dst = strided(w.n, w.inc, 0xEEEEEEEEu);
        Strided expected = dst;
        for (int32_t k = 0; k < w.n; ++k)
            expected[k] = ring.at(ringPosition(w.idx, w.step, k, w.len));
        int32_t idx = w.idx;
        kve_vecCircRead(ring.data(), w.len, &idx, w.step, dst.first(), w.inc, w.n);
        EXPECT_EQ(dst.words, expected.words) << describe(w);
        EXPECT_EQ(idx, finalIndex(w)) << describe(w);
    }
}

TEST(RingAccumulateAndFill, AddSaturateAndFillAtTheModularPositions)
{
    const int32_t words[] = {INT32_MAX - 5, INT32_MIN + 3, 1000, -7, 0x40000000};
    for (const Walk &w : kWalks) {
        std::vector<int32_t> start(static_cast<size_t>(w.len));
        std::vector<float> floatStart(start.size());
        for (size_t i = 0; i < start.size(); ++i) {
            start[i] = words[i % std::size(words)];
            floatStart[i] = static_cast<float>(i) * 0.5f;
        }
        Strided src = strided(w.n, w.inc, 0);
        Strided floatSrc = strided(w.n, w.inc, 0);
        for (int32_t k = 0; k < w.n; ++k) {
            src[k] = static_cast<uint32_t>(k % 2 == 0 ? 0x30000000 + k : -0x30000000 - k);
            floatSrc[k] = std::bit_cast<uint32_t>(static_cast<float>(k) - 2.0f);
        }
        std::vector<int32_t> sums = start;
        std::vector<float> floatSums = floatStart;
        std::vector<int32_t> fills = start;
        std::vector<float> floatFills = floatStart;
        for (int32_t k = 0; k < w.n; ++k) {
            const auto p = static_cast<size_t>(ringPosition(w.idx, w.step, k, w.len));
            sums[p] = kvetest::clampTo32(static_cast<__int128>(sums[p]) + static_cast<int32_t>(src[k]));
            floatSums[p] += std::bit_cast<float>(floatSrc[k]);
            fills[p] = -99;
            floatFills[p] = 0.75f;
        }

        std::vector<int32_t> ring = start;
        int32_t idx = w.idx;
        kve_vecCircAddFract32(ring.data(), w.len, &idx, w.step, reinterpret_cast<const Fract32 *>(src.first()), w.inc,
                              w.n);
        EXPECT_EQ(ring, sums) << describe(w);
        EXPECT_EQ(idx, finalIndex(w)) << describe(w);

        std::vector<float> floatRing = floatStart;
        idx = w.idx;
        kve_vecCircAdd(floatRing.data(), w.len, &idx, w.step, reinterpret_cast<const float *>(floatSrc.first()), w.inc,
                       w.n);
        EXPECT_EQ(floatRing, floatSums) << describe(w);
        EXPECT_EQ(idx, finalIndex(w)) << describe(w);

        ring = start;
        idx = w.idx;
        kve_vecCircFillFract32(ring.data(), w.len, &idx, w.step, -99, w.n);
        EXPECT_EQ(ring, fills) << describe(w);
        EXPECT_EQ(idx, finalIndex(w)) << describe(w);

        floatRing = floatStart;
        idx = w.idx;
        kve_vecCircFill(floatRing.data(), w.len, &idx, w.step, 0.75f, w.n);
        EXPECT_EQ(floatRing, floatFills) << describe(w);
        EXPECT_EQ(idx, finalIndex(w)) << describe(w);
    }
}

TEST(RingKernels, LeaveRingAndIndexAloneWithoutALengthOrACount)
{
    struct Call {
        int32_t len;
        int32_t n;
    };
    for (const auto [len, n] : {Call{0, 4}, Call{-5, 4}, Call{4, 0}, Call{4, -1}}) {
        GuardedRing ring(4);
        const std::vector<uint32_t> before = ring.contents();
        const uint32_t src[4] = {1, 2, 3, 4};
        uint32_t dst[4] = {};
        int32_t idx = 2;
        int32_t other = 3;
        kve_vecCircWrite(ring.data(), len, &idx, 1, src, 1, n);
        kve_vecCircWrite(ring.data(), len, &idx, 3, src, 1, n);
        kve_vecCircRead(ring.data(), len, &idx, 1, dst, 1, n);
        kve_vecCircFillFract32(reinterpret_cast<Fract32 *>(ring.data()), len, &idx, -1, 5, n);
        kve_vecCircWriteRead(ring.data(), len, &idx, &other, 1, src, dst, 1, n);
        kve_vecCircWrite_SIMD4(ring.data(), len, &idx, src, n);
        kve_vecCircRead_SIMD4(ring.data(), len, &idx, dst, n);
        kve_vecCircWriteRead_SIMD4(ring.data(), len, &idx, &other, src, dst, n);
        const std::string what = "length " + std::to_string(len) + " count " + std::to_string(n);
        EXPECT_EQ(ring.contents(), before) << what;
        EXPECT_EQ(idx, 2) << what;
        EXPECT_EQ(other, 3) << what;
        EXPECT_EQ(dst[0], 0u) << what;
    }
}

// ---- Reads into a destination ring ----

struct RingToRing {
    int32_t idx;
    int32_t step;
    int32_t dstLen;
    int32_t dstOffset; // of dst from dstBase
    int32_t dstInc;
    int32_t n;
};

TEST(RingToRingRead, WrapsTheDestinationForEveryIncrementAndNeverWritesOutsideIt)
{
    constexpr int32_t kLen = 6;
    const RingToRing cases[] = {
        {0, 1, 8, 0, 1, 20},  // around the destination twice
        {2, 1, 5, 0, 2, 12},  // an increment that does not divide the distance to the end
        {2, -1, 5, 4, 5, 7},  // an increment of the destination length: one sample, rewritten
        {1, 2, 5, 0, 7, 9},   // an increment beyond the length
        {1, 1, 5, 3, -1, 9},  // backwards
        {1, 1, 5, 2, -12, 9}, // backwards past the length
        {1, 1, 5, 7, 1, 4},   // a start past the end
        {1, 1, 5, -2, 1, 4},  // a start before the base
        {0, 1, 1, 0, 3, 5},   // a destination of one sample
        {4, -5, 3, 1, 0, 3},  // an increment of 0
    };
    for (const RingToRing &c : cases) {
        GuardedRing src(kLen);
        const std::vector<uint32_t> ring = src.contents();
        std::vector<uint32_t> expected(static_cast<size_t>(c.dstLen), 0xEEEEEEEEu);
        for (int32_t k = 0; k < c.n; ++k)
            expected[static_cast<size_t>(ringPosition(c.dstOffset, c.dstInc, k, c.dstLen))] =
                ring[static_cast<size_t>(ringPosition(c.idx, c.step, k, kLen))];
        const int32_t expectedIdx = static_cast<int32_t>(ringPosition(c.idx, c.step, c.n, kLen));
        for (const bool fract32 : {false, true}) {
            GuardedRing dst(c.dstLen);
            for (int32_t i = 0; i < c.dstLen; ++i)
                dst.at(i) = 0xEEEEEEEEu;
            int32_t idx = c.idx;
            if (fract32) {
                Fract32 *base = reinterpret_cast<Fract32 *>(dst.data());
                kve_vecCircReadFract32(reinterpret_cast<const Fract32 *>(src.data()), kLen, &idx, c.step,
                                       base + c.dstOffset, base, c.dstLen, c.dstInc, c.n);
            } else {
                float *base = reinterpret_cast<float *>(dst.data());
                kve_vecCircReadCirc(reinterpret_cast<const float *>(src.data()), kLen, &idx, c.step,
                                    base + c.dstOffset, base, c.dstLen, c.dstInc, c.n);
            }
            const std::string what = std::string(fract32 ? "Fract32" : "float") + " dstLen " +
                                     std::to_string(c.dstLen) + " offset " + std::to_string(c.dstOffset) + " inc " +
                                     std::to_string(c.dstInc);
            EXPECT_EQ(dst.contents(), expected) << what;
            EXPECT_TRUE(dst.guardsIntact()) << what;
            EXPECT_EQ(idx, expectedIdx) << what;
        }
    }
    // No destination: nothing is read, the index stays.
    GuardedRing src(kLen);
    float out = 3.0f;
    int32_t idx = 2;
    kve_vecCircReadCirc(reinterpret_cast<const float *>(src.data()), kLen, &idx, 1, &out, &out, 0, 1, 4);
    EXPECT_EQ(idx, 2);
    EXPECT_EQ(out, 3.0f);
}

// ---- Delay lines ----

struct WriteRead {
    int32_t len;
    int32_t writeIdx;
    int32_t readIdx;
    int32_t step;
    int32_t inc;
    int32_t n;
};

TEST(RingWriteRead, WritesThenReadsEachSampleSoMeetingIndicesPassTheSampleThrough)
{
    const WriteRead cases[] = {
        {8, 3, 3, 1, 1, 20},   // indices together: dst = src
        {8, 5, 2, 1, 1, 20},   // read 3 behind: a delay of 3
        {8, 2, 5, 1, 1, 20},   // read 3 ahead: the old contents first
        {8, 6, 1, -1, 2, 13},  // backwards, every second sample
        {8, 0, 7, 3, -1, 11},  {5, -1, 12, 7, 1, 9},  {1, 0, 3, 1, 1, 4},
    };
    for (const WriteRead &c : cases) {
        GuardedRing ring(c.len);
        Strided src = numbered(c.n, c.inc);
        std::vector<uint32_t> model = ring.contents();
        Strided expected = strided(c.n, c.inc, 0xEEEEEEEEu);
        for (int32_t k = 0; k < c.n; ++k) {
            model[static_cast<size_t>(ringPosition(c.writeIdx, c.step, k, c.len))] = src[k];
            expected[k] = model[static_cast<size_t>(ringPosition(c.readIdx, c.step, k, c.len))];
        }
        const std::string what = "len " + std::to_string(c.len) + " write " + std::to_string(c.writeIdx) + " read " +
                                 std::to_string(c.readIdx) + " step " + std::to_string(c.step);
        Strided dst = strided(c.n, c.inc, 0xEEEEEEEEu);
        int32_t w = c.writeIdx;
        int32_t r = c.readIdx;
        kve_vecCircWriteRead(ring.data(), c.len, &w, &r, c.step, src.first(), dst.first(), c.inc, c.n);
        EXPECT_EQ(dst.words, expected.words) << what;
        EXPECT_EQ(ring.contents(), model) << what;
        EXPECT_TRUE(ring.guardsIntact()) << what;
        EXPECT_EQ(w, ringPosition(c.writeIdx, c.step, c.n, c.len)) << what;
        EXPECT_EQ(r, ringPosition(c.readIdx, c.step, c.n, c.len)) << what;

        // In place: each sample is taken before its slot is overwritten.
        GuardedRing again(c.len);
        w = c.writeIdx;
        r = c.readIdx;
        kve_vecCircWriteRead(again.data(), c.len, &w, &r, c.step, src.first(), src.first(), c.inc, c.n);
        for (int32_t k = 0; k < c.n; ++k)
            EXPECT_EQ(src[k], expected[k]) << what << " in place, sample " << k;
    }
}

TEST(RingWriteRead, StreamsADelayOfTheGapBetweenTheIndicesAcrossBlocks)
{
    constexpr int32_t kLen = 50;
    constexpr int32_t kBlock = 16;
    for (const int32_t delay : {0, 1, 17, kLen - kBlock, kLen - 1}) {
        std::vector<uint32_t> ring(kLen, 0);
        std::vector<uint32_t> blockRing(kLen, 0);
        int32_t w = 7;
        int32_t r = 7 - delay;
        int32_t bw = w;
        int32_t br = r;
        std::vector<uint32_t> in(kBlock);
        std::vector<uint32_t> out(kBlock);
        std::vector<uint32_t> blockOut(kBlock);
        for (int32_t blk = 0; blk < 40; ++blk) {
            for (int32_t i = 0; i < kBlock; ++i)
                in[static_cast<size_t>(i)] = static_cast<uint32_t>(1 + blk * kBlock + i);
            kve_vecCircWriteRead(ring.data(), kLen, &w, &r, 1, in.data(), out.data(), 1, kBlock);
            kve_vecCircWriteRead_SIMD4(blockRing.data(), kLen, &bw, &br, in.data(), blockOut.data(), kBlock);
            for (int32_t i = 0; i < kBlock; ++i) {
                const int32_t t = blk * kBlock + i - delay;
                const uint32_t delayed = t < 0 ? 0u : static_cast<uint32_t>(1 + t);
                ASSERT_EQ(out[static_cast<size_t>(i)], delayed) << "delay " << delay << " sample " << blk * kBlock + i;
                // Written whole before it is read, the block delay line holds for delays up to len - n.
                if (delay <= kLen - kBlock) {
                    ASSERT_EQ(blockOut[static_cast<size_t>(i)], delayed)
                        << "delay " << delay << " sample " << blk * kBlock + i << " (block copies)";
                }
            }
        }
        EXPECT_EQ(ring, blockRing) << "delay " << delay;
        EXPECT_EQ(w, bw);
        EXPECT_EQ(r, br);
    }
}

// ---- Block copies ----

TEST(RingBlockCopies, MatchTheStepOneWalkForEveryCountAroundTheRingLength)
{
    for (const int32_t len : {1, 5, 16, 37}) {
        std::vector<int32_t> counts = {0, 1, 3, 4, 15, 16, 17, 33, 64};
        for (const int32_t d : {-1, 0, 1, 2})
            counts.push_back(std::max(0, len + d));
        counts.push_back(2 * len + 3);
        for (const int32_t idx : {0, len / 2, len - 1, -1, len + 2}) {
            for (const int32_t n : counts) {
                const std::string what =
                    "len " + std::to_string(len) + " idx " + std::to_string(idx) + " n " + std::to_string(n);
                std::vector<uint32_t> src(static_cast<size_t>(n) + 1);
                for (size_t k = 0; k < src.size(); ++k)
                    src[k] = 0xC0000000u + static_cast<uint32_t>(k);
                const int32_t expectedIdx = n < 1 ? idx : static_cast<int32_t>(ringPosition(idx, 1, n, len));

                GuardedRing ring(len);
                const std::vector<uint32_t> before = ring.contents();
                std::vector<uint32_t> written = before;
                std::vector<uint32_t> read(static_cast<size_t>(n) + 1, 0xEEEEEEEEu);
                for (int32_t k = 0; k < n; ++k) {
                    read[static_cast<size_t>(k)] = before[static_cast<size_t>(ringPosition(idx, 1, k, len))];
                    written[static_cast<size_t>(ringPosition(idx, 1, k, len))] = src[static_cast<size_t>(k)];
                }

                std::vector<uint32_t> dst(static_cast<size_t>(n) + 1, 0xEEEEEEEEu);
                int32_t at = idx;
                kve_vecCircRead_SIMD4(ring.data(), len, &at, dst.data(), n);
                EXPECT_EQ(dst, read) << what;
                EXPECT_EQ(at, expectedIdx) << what;
                if (n >= len) {
                    // The reads run from idx on: after a whole turn they repeat.
                    for (int32_t k = len; k < n; ++k)
                        ASSERT_EQ(dst[static_cast<size_t>(k)], dst[static_cast<size_t>(k - len)]) << what;
                }

                at = idx;
                kve_vecCircWrite_SIMD4(ring.data(), len, &at, src.data(), n);
                EXPECT_EQ(ring.contents(), written) << what;
                EXPECT_EQ(at, expectedIdx) << what;
                EXPECT_TRUE(ring.guardsIntact()) << what;

                // The whole block written, then the whole block read from the same index: the block comes back
                // where it has not wrapped onto itself, else the last turn of it.
                GuardedRing both(len);
                std::vector<uint32_t> back(static_cast<size_t>(n) + 1, 0xEEEEEEEEu);
                int32_t w = idx;
                int32_t r = idx;
                kve_vecCircWriteRead_SIMD4(both.data(), len, &w, &r, src.data(), back.data(), n);
                EXPECT_EQ(both.contents(), written) << what;
                EXPECT_EQ(w, expectedIdx) << what;
                EXPECT_EQ(r, expectedIdx) << what;
                for (int32_t k = 0; k < n; ++k)
                    ASSERT_EQ(back[static_cast<size_t>(k)], written[static_cast<size_t>(ringPosition(idx, 1, k, len))])
                        << what << " sample " << k;
                EXPECT_EQ(back[static_cast<size_t>(n)], 0xEEEEEEEEu) << what;
            }
        }
    }
}

} // namespace
